// SPDX-License-Identifier: GPL-3.0-or-later
// The window's network pieces: the advertisement strip, the update notice
// and the hidden media control, offscreen against a local server.
#include "shell/AdStrip.h"
#include "shell/MediaControl.h"
#include "shell/ServerAddresses.h"
#include "shell/UpdateNotice.h"
#include "shell/pagefetch/PageFetcher.h"
#include "tests/support/TestHttpServer.h"
#include "update/update.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <algorithm>

#include <sys/inotify.h>
#include <unistd.h>

using tallyvox::AdStrip;
using tallyvox::test::TestHttpServer;

// Stands in for the user's browser: records what would have been opened.
class BrowserRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class ShellNetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void addresses_data();
    void addresses();
    void showsTheServedPage();
    void staysBlankOnFailure_data();
    void staysBlankOnFailure();
    void acceptsAPageOfExactlyTheCap();
    void hostilePagesCostTheWindowNothing_data();
    void hostilePagesCostTheWindowNothing();
    void navigateReturnsAtOnce();
    void laterNavigateWins();
    void runsNoScript();
    void fetchesNothingButThePageAndItsWebImages();
    void showsWebImagesWithinBounds();
    void linksOpenOnlyInTheBrowserWhenClicked();
    void decodesTheDeclaredCharset();
    void destroyedWhileLoading();
    void staysBlankWithoutTheFetcherModule();
    void updateNoticeAppearsNonModally();
    void updateNoticeRefusesNonWebPages();
    void updateNoticeIsBounded_data();
    void updateNoticeIsBounded();
    void updateNoticeGoneWithItsWindow();
    void mediaControlIsHiddenAndInert();

private:
    static QUrl Page(const TestHttpServer &server, const char *path = "/softs/tallyvox/ad.html")
    {
        return QUrl(QString::fromStdString(server.url(path)));
    }
    static std::string Html(const QByteArray &body)
    {
        return TestHttpServer::Response(200, body.toStdString(), "text/html; charset=utf-8");
    }
    // Waits for the strip's one loaded signal and returns its value.
    static bool WaitLoaded(QSignalSpy &spy, int timeoutMs = 5000)
    {
        if (spy.isEmpty() && !spy.wait(timeoutMs))
            return false;
        return spy.count() == 1 && spy.first().first().toBool();
    }

    BrowserRecorder browser_;
};

void ShellNetTest::initTestCase()
{
    tallyvox::SetPageFetcherLibrary(QStringLiteral(PAGEFETCH_LIBRARY));
}

void ShellNetTest::init()
{
    browser_.opened.clear();
    for (const char *scheme : {"http", "https", "file", "javascript", "ftp"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &browser_, "open");
}

void ShellNetTest::cleanup()
{
    for (const char *scheme : {"http", "https", "file", "javascript", "ftp"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void ShellNetTest::addresses_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("page");
    QTest::newRow("plain") << "http://www.example.test"
                           << "http://www.example.test/softs/tallyvox/Update.txt"
                           << "http://www.example.test/softs/tallyvox/ad.html";
    QTest::newRow("trailing slash") << "http://h:8080/"
                                    << "http://h:8080/softs/tallyvox/Update.txt"
                                    << "http://h:8080/softs/tallyvox/ad.html";
    QTest::newRow("build setting") << QString::fromUtf8(tallyvox::kServer.data(), tallyvox::kServer.size())
                                   << QStringLiteral(TALLYVOX_SERVER "/softs/tallyvox/Update.txt")
                                   << QStringLiteral(TALLYVOX_SERVER "/softs/tallyvox/ad.html");
}

void ShellNetTest::addresses()
{
    QFETCH(QString, server);
    QFETCH(QString, manifest);
    QFETCH(QString, page);
    QCOMPARE(QString::fromStdString(tallyvox::UpdateManifestAddress(server.toStdString())), manifest);
    QCOMPARE(tallyvox::AdPageAddress(server), page);
}

void ShellNetTest::showsTheServedPage()
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/ad.html", Html("<html><body><p>Buy the <b>deluxe</b> voice pack</p></body></html>"));
    AdStrip strip;
    QCOMPARE(strip.objectName(), QStringLiteral("wbAD"));
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(QUrl(tallyvox::AdPageAddress(QString::fromStdString(server.base()))));
    QVERIFY(WaitLoaded(spy));
    QCOMPARE(strip.toPlainText(), QStringLiteral("Buy the deluxe voice pack"));
    QCOMPARE(server.requests(), std::vector<std::string>{"/softs/tallyvox/ad.html"});
}

void ShellNetTest::staysBlankOnFailure_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("connection refused") << QString();
    QTest::newRow("404") << "/missing";
    QTest::newRow("over 1 MiB with length") << "/big";
    QTest::newRow("over 1 MiB without length") << "/big-unsized";
    QTest::newRow("not a page") << "/image";
    QTest::newRow("server never answers") << "/stall";
    QTest::newRow("not a web address") << "file:///etc/hostname";
    QTest::newRow("reserved .invalid name") << "http://www.tallyvox.invalid/softs/tallyvox/ad.html";
    QTest::newRow("redirect to a user name") << "/to-user";
    QTest::newRow("over 8,192 characters of text") << "/long-text";
}

void ShellNetTest::staysBlankOnFailure()
{
    QFETCH(QString, path);
    TestHttpServer server;
    const QByteArray big = "<p>" + QByteArray(AdStrip::kMaxPageBytes, 'x') + "</p>";
    server.serve("/big", Html(big));
    server.serve("/big-unsized", TestHttpServer::Response(200, big.toStdString(), "text/html", false));
    server.serve("/image", TestHttpServer::Response(200, "GIF89a....", "image/gif"));
    server.stall("/stall");
    server.serve("/shown-first", Html("<p>previous advertisement</p>"));
    server.serve("/to-user",
                 TestHttpServer::Response(302, "", "text/html", true,
                                          "Location: http://user:pw@" + server.base().substr(7) + "/shown-first\r\n"));
    server.serve("/long-text", Html("<p>" + QByteArray(8193, 'z') + "</p>"));

    AdStrip strip;
    strip.SetTimeouts(300, 600);
    QSignalSpy spy(&strip, &AdStrip::loaded);
    // A failure must also wipe what an earlier load showed.
    strip.Navigate(Page(server, "/shown-first"));
    QVERIFY(WaitLoaded(spy));
    spy.clear();

    QUrl url = path.isEmpty()         ? QUrl(QStringLiteral("http://127.0.0.1:%1/x").arg(tallyvox::test::ClosedPort()))
               : path.startsWith('/') ? Page(server, path.toLatin1().constData())
                                      : QUrl(path);
    strip.Navigate(url);
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toBool(), false);
    QCOMPARE(strip.toPlainText(), QString());
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);
}

void ShellNetTest::acceptsAPageOfExactlyTheCap()
{
    TestHttpServer server;
    const QByteArray shown = "<p>" + QByteArray(100, 'y') + "</p>";
    const QByteArray body = "<!--" + QByteArray(AdStrip::kMaxPageBytes - 7 - shown.size(), ' ') + "-->" + shown;
    QCOMPARE(body.size(), AdStrip::kMaxPageBytes);
    server.serve("/softs/tallyvox/ad.html", TestHttpServer::Response(200, body.toStdString(), "text/html", false));
    AdStrip strip;
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(Page(server));
    QVERIFY(WaitLoaded(spy));
    QCOMPARE(strip.toPlainText(), QString(100, QLatin1Char('y')));
}

// Pages that hung, crashed or made the old strip open local files. Each
// must load (or be refused) at once, keep the event loop turning, open no
// local file (an inotify watch on one the page names) and leave a document
// without any image or other resource to load.
void ShellNetTest::hostilePagesCostTheWindowNothing_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("shown");
    auto nested = [](const char *open, const char *close, int levels) {
        QByteArray page;
        for (int i = 0; i < levels; ++i)
            page += open;
        page += "x";
        for (int i = 0; i < levels; ++i)
            page += close;
        return page;
    };
    QTest::newRow("20 nested tables") << nested("<table><tr><td>", "</td></tr></table>", 20) << false;
    QTest::newRow("3,000 nested tables") << nested("<table><tr><td>", "</td></tr></table>", 3000) << false;
    QTest::newRow("60,000 nested divs") << nested("<div>", "</div>", 60000) << false;
    QTest::newRow("20,000 nested lists") << nested("<ul><li>", "</li></ul>", 20000) << false;
    QTest::newRow("2,100 line breaks") << nested("<br>", "", 2100) << false;
    QTest::newRow("3 nested tables") << nested("<table><tr><td>", "</td></tr></table>", 3) << true;
    for (const char *source : {"/dev/ptmx", "@FILE@", "file://@FILE@", "qrc:/icons/16.png"}) {
        const QByteArray page = QByteArray("<p>ad</p><img src=\"") + source + "\"><link rel=\"stylesheet\" href=\"" +
                                source + "\"><p style=\"background-image: url(" + source + ")\">more</p>";
        QTest::newRow(source) << page << true;
    }
}

void ShellNetTest::hostilePagesCostTheWindowNothing()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, shown);
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("hostname"));
    QFile file(local);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("secret\n") == 7);
    file.close();
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 && inotify_add_watch(watch, QFile::encodeName(local).constData(), IN_OPEN | IN_ACCESS) >= 0);

    TestHttpServer server;
    server.serve("/softs/tallyvox/ad.html", Html(page.replace("@FILE@", QFile::encodeName(local))));
    AdStrip strip;
    strip.resize(400, 60);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    // The longest the event loop went without turning while the page loaded.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QSignalSpy spy(&strip, &AdStrip::loaded);
    sinceTick.start();
    tick.start(5);
    strip.Navigate(Page(server));
    QVERIFY(spy.wait(10000));
    strip.repaint();
    QTest::qWait(100);
    tick.stop();
    QCOMPARE(spy.first().first().toBool(), shown);
    QVERIFY2(longestGap < 1000, qPrintable(QString::number(longestGap)));
    QCOMPARE(strip.toPlainText().isEmpty(), !shown);

    char events[4096];
    QCOMPARE(read(watch, events, sizeof events), ssize_t(-1)); // nothing opened or read it
    close(watch);
    for (QTextBlock block = strip.document()->begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            QVERIFY(!fragment.fragment().charFormat().isImageFormat());
    }
}

void ShellNetTest::navigateReturnsAtOnce()
{
    TestHttpServer server;
    server.stall("/softs/tallyvox/ad.html");
    AdStrip strip;
    strip.SetTimeouts(300, 600);
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(Page(server));
    // A Navigate that waited for the stalled server would have timed out and
    // reported the failure before returning.
    QVERIFY(spy.isEmpty());
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.first().first().toBool(), false);
}

void ShellNetTest::laterNavigateWins()
{
    TestHttpServer server;
    server.stall("/first");
    server.serve("/second", Html("<p>second page</p>"));
    AdStrip strip;
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(Page(server, "/first"));
    QVERIFY(QTest::qWaitFor([&] { return server.requests().size() == 1; }, 5000));
    strip.Navigate(Page(server, "/second"));
    QVERIFY(WaitLoaded(spy));
    QTest::qWait(50);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(strip.toPlainText(), QStringLiteral("second page"));
}

void ShellNetTest::runsNoScript()
{
    TestHttpServer server;
    const QString beacon = QString::fromStdString(server.url("/beacon"));
    server.serve("/softs/tallyvox/ad.html",
                 Html(QStringLiteral("<html><head><script>document.title='SCRIPTRAN';</script></head>"
                                     "<body onload=\"location='%1'\"><p>before</p>"
                                     "<script type=\"text/javascript\">document.write('SCRIPTRAN'); "
                                     "new Image().src='%1';</script><p>after</p>"
                                     "<a href=\"javascript:alert('SCRIPTRAN')\">js</a></body></html>")
                          .arg(beacon)
                          .toUtf8()));
    AdStrip strip;
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(Page(server));
    QVERIFY(WaitLoaded(spy));
    QTest::qWait(100);
    const QString text = strip.toPlainText();
    QVERIFY2(text.contains(QStringLiteral("before")) && text.contains(QStringLiteral("after")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("SCRIPTRAN")) && !text.contains(QStringLiteral("document.write")),
             qPrintable(text));
    QVERIFY(strip.documentTitle() != QStringLiteral("SCRIPTRAN"));
    QCOMPARE(server.requests(), std::vector<std::string>{"/softs/tallyvox/ad.html"});
}

void ShellNetTest::fetchesNothingButThePageAndItsWebImages()
{
    TestHttpServer server;
    QTemporaryDir dir;
    QImage picture(24, 24, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString localFile = dir.filePath(QStringLiteral("local.png"));
    QVERIFY(picture.save(localFile));
    const QUrl localUrl = QUrl::fromLocalFile(localFile);
    server.serve("/softs/tallyvox/ad.html",
                 Html(QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"%1\"></head><body>"
                                     "<img src=\"%2\"><img src=\"/relative.png\"><img src=\"%3\">"
                                     "<iframe src=\"%4\"></iframe><p>text</p></body></html>")
                          .arg(QString::fromStdString(server.url("/style.css")),
                               QString::fromStdString(server.url("/remote.png")), localUrl.toString(),
                               QString::fromStdString(server.url("/frame.html")))
                          .toUtf8()));
    AdStrip strip;
    strip.resize(400, 60);
    strip.show();
    QSignalSpy spy(&strip, &AdStrip::loaded);
    QSignalSpy images(&strip, &AdStrip::imagesDone);
    strip.Navigate(Page(server));
    QVERIFY(WaitLoaded(spy));
    QVERIFY(images.wait(5000));
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QTest::qWait(200);
    // The two web images are asked for (and missing); the style sheet, the
    // frame and the local file never.
    std::vector<std::string> requests = server.requests();
    std::sort(requests.begin(), requests.end());
    QCOMPARE(requests, (std::vector<std::string>{"/relative.png", "/remote.png", "/softs/tallyvox/ad.html"}));
    // The page cannot make the strip read local files either: the red
    // picture must not be drawn.
    const QImage shot = strip.grab().toImage().convertToFormat(QImage::Format_RGB32);
    bool red = false;
    for (int y = 0; y < shot.height() && !red; ++y) {
        for (int x = 0; x < shot.width() && !red; ++x)
            red = shot.pixel(x, y) == qRgb(255, 0, 0);
    }
    QVERIFY(!red);
    QVERIFY(strip.toPlainText().contains(QStringLiteral("text")));
}

// Web images are shown in place of their alt text; one over a bound, or not
// PNG, JPEG or GIF, keeps its alt text.
void ShellNetTest::showsWebImagesWithinBounds()
{
    auto png = [](QSize size, bool noise) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::red);
        for (int y = 0; noise && y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, QRandomGenerator::global()->generate());
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return buffer.data().toStdString();
    };
    TestHttpServer server;
    server.serve("/pic.png", TestHttpServer::Response(200, png({120, 80}, false), "image/png"));
    server.serve("/wide.png", TestHttpServer::Response(200, png({1500, 1000}, false), "image/png"));
    server.serve("/noise.png", TestHttpServer::Response(200, png({300, 300}, true), "image/png"));
    server.serve("/pic.svg", TestHttpServer::Response(200,
                                                      "<svg xmlns='http://www.w3.org/2000/svg' width='9' "
                                                      "height='9'><rect width='9' height='9'/></svg>",
                                                      "image/svg+xml"));
    server.serve("/softs/tallyvox/ad.html",
                 Html("<p><a href='/buy'><img src='/pic.png' alt='PIC'></a><img src='/wide.png' alt='WIDE'>"
                      "<img src='/noise.png' alt='NOISE'><img src='/pic.svg' alt='SVG'></p>"));
    AdStrip strip;
    QSignalSpy spy(&strip, &AdStrip::loaded);
    QSignalSpy images(&strip, &AdStrip::imagesDone);
    strip.Navigate(Page(server));
    QVERIFY(WaitLoaded(spy));
    QVERIFY(images.wait(5000));
    QList<QTextImageFormat> shown;
    for (QTextBlock block = strip.document()->begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isImageFormat())
                shown.append(fragment.fragment().charFormat().toImageFormat());
    }
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].height(), qreal(AdStrip::kMaxImageHeight)); // 120x80 is scaled to the strip: 84x56
    QCOMPARE(shown[0].width(), qreal(84));
    QCOMPARE(shown[0].anchorHref(), QString::fromStdString(server.url("/buy")));
    QVERIFY(strip.document()->resource(QTextDocument::ImageResource, QUrl(shown[0].name())).isValid());
    const QString text = strip.toPlainText();
    QVERIFY2(!text.contains(QStringLiteral("PIC")) && text.contains(QStringLiteral("WIDE")) &&
                 text.contains(QStringLiteral("NOISE")) && text.contains(QStringLiteral("SVG")),
             qPrintable(text));

    // Side by side, with and without alt text, each takes its own place.
    server.serve("/two.html", Html("<p>a<img src='/pic.png'><img src='/pic.png' alt='TWO'>b</p>"));
    spy.clear();
    images.clear();
    strip.Navigate(Page(server, "/two.html"));
    QVERIFY(WaitLoaded(spy));
    QVERIFY(images.wait(5000));
    QCOMPARE(strip.toPlainText(), QStringLiteral("a\ufffc\ufffcb"));
}

void ShellNetTest::linksOpenOnlyInTheBrowserWhenClicked()
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/ad.html", Html("<p><a href=\"http://shop.example.test/buy\">AAAA</a> "
                                                 "<a href=\"/more.html\">BBBB</a> "
                                                 "<a href=\"file:///etc/passwd\">CCCC</a> "
                                                 "<a href=\"javascript:alert(1)\">DDDD</a></p>"));
    AdStrip strip;
    strip.resize(600, 60);
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    QSignalSpy spy(&strip, &AdStrip::loaded);
    strip.Navigate(Page(server));
    QVERIFY(WaitLoaded(spy));
    QVERIFY(browser_.opened.isEmpty());
    const QString shown = strip.toPlainText();

    const QList<std::pair<QString, QUrl>> clicks = {
        {QStringLiteral("AAAA"), QUrl(QStringLiteral("http://shop.example.test/buy"))},
        {QStringLiteral("BBBB"), QUrl(QString::fromStdString(server.url("/more.html")))},
        {QStringLiteral("CCCC"), QUrl()},
        {QStringLiteral("DDDD"), QUrl()},
    };
    for (const auto &[word, expected] : clicks) {
        browser_.opened.clear();
        QTextCursor cursor = strip.document()->find(word);
        QVERIFY(!cursor.isNull());
        cursor.setPosition(cursor.selectionStart() + 2);
        const QPoint at = strip.cursorRect(cursor).center();
        QTest::mouseClick(strip.viewport(), Qt::LeftButton, {}, at);
        QTest::qWait(20);
        if (expected.isEmpty())
            QVERIFY2(browser_.opened.isEmpty(), qPrintable(word));
        else
            QCOMPARE(browser_.opened, QList<QUrl>{expected});
        // The strip itself never navigates.
        QCOMPARE(strip.toPlainText(), shown);
        QVERIFY(strip.source().isEmpty());
    }
    QCOMPARE(server.requests(), std::vector<std::string>{"/softs/tallyvox/ad.html"});
}

void ShellNetTest::decodesTheDeclaredCharset()
{
    QStringEncoder gbk("GBK");
    if (!gbk.isValid())
        QSKIP("this Qt has no GBK codec");
    const QByteArray body = gbk.encode(QStringLiteral("<p>语音计算器</p>"));
    TestHttpServer server;
    server.serve("/header", TestHttpServer::Response(200, body.toStdString(), "text/html; charset=GBK"));
    server.serve("/meta",
                 TestHttpServer::Response(200,
                                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" +
                                              body.toStdString(),
                                          "text/html"));
    server.serve("/default", Html(QStringLiteral("<p>语音计算器</p>").toUtf8()));
    for (const char *path : {"/header", "/meta", "/default"}) {
        AdStrip strip;
        QSignalSpy spy(&strip, &AdStrip::loaded);
        strip.Navigate(Page(server, path));
        QVERIFY(WaitLoaded(spy));
        QCOMPARE(strip.toPlainText(), QStringLiteral("语音计算器"));
    }
}

void ShellNetTest::destroyedWhileLoading()
{
    TestHttpServer server;
    server.stall("/softs/tallyvox/ad.html");
    auto *strip = new AdStrip;
    strip->Navigate(Page(server));
    QVERIFY(QTest::qWaitFor([&] { return server.requests().size() == 1; }, 5000));
    delete strip;
    server.releaseStalls();
    QTest::qWait(100); // a reply finishing now must find nothing to call
}

// The fetcher module is opened at the first load; without it the strip
// stays blank and makes no request, and a later load tries the module again.
void ShellNetTest::staysBlankWithoutTheFetcherModule()
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/ad.html", Html("<p>advertisement</p>"));
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    tallyvox::SetPageFetcherLibrary(empty.filePath(QStringLiteral("libtallyvox-pagefetch.so")));
    {
        AdStrip strip;
        QSignalSpy spy(&strip, &AdStrip::loaded);
        strip.Navigate(Page(server));
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toBool(), false);
        QVERIFY(strip.toPlainText().isEmpty());
        QVERIFY(server.requests().empty());

        tallyvox::SetPageFetcherLibrary(QStringLiteral(PAGEFETCH_LIBRARY));
        spy.clear();
        strip.Navigate(Page(server));
        QVERIFY(WaitLoaded(spy));
        QCOMPARE(strip.toPlainText(), QStringLiteral("advertisement"));
    }
}

void ShellNetTest::updateNoticeAppearsNonModally()
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/Update.txt",
                 TestHttpServer::Response(200, "version: 77.0\npage: http://example.test/get.html\n"
                                               "notes: <b>not bold</b>\nnotes: second line\n"));
    QWidget window;
    window.show();
    tallyvox::InstallUpdateNotice(&window);
    const std::string address = tallyvox::UpdateManifestAddress(server.base());
    QCOMPARE(BeginUpdate(address.c_str(), UPDATE_NOTIFY_ONLY), UPDATE_STARTED);

    QDialog *dialog = nullptr;
    QVERIFY(
        QTest::qWaitFor([&] { return (dialog = window.findChild<QDialog *>("dlgUpdateNotice")) != nullptr; }, 5000));
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    auto *lblUpdate = dialog->findChild<QLabel *>("lblUpdate");
    QVERIFY(lblUpdate);
    QVERIFY(lblUpdate->text().contains(QStringLiteral("77.0")));
    QVERIFY(lblUpdate->text().contains(QStringLiteral("href=\"http://example.test/get.html\"")));
    auto *lblNotes = dialog->findChild<QLabel *>("lblUpdateNotes");
    QVERIFY(lblNotes);
    QCOMPARE(lblNotes->textFormat(), Qt::PlainText);
    QCOMPARE(lblNotes->text(), QStringLiteral("<b>not bold</b>\nsecond line"));

    QTest::qWait(100);
    QCOMPARE(window.findChildren<QDialog *>("dlgUpdateNotice").size(), 1);
    QVERIFY(browser_.opened.isEmpty()); // nothing opens until the user clicks
    emit lblUpdate->linkActivated(QStringLiteral("http://example.test/get.html"));
    QCOMPARE(browser_.opened, QList<QUrl>{QUrl(QStringLiteral("http://example.test/get.html"))});
    dialog->close();
}

void ShellNetTest::updateNoticeRefusesNonWebPages()
{
    QWidget window;
    for (const char *page : {"javascript:alert(1)", "file:///etc/passwd", "ftp://example.test/", "", "http://"}) {
        QVERIFY2(!tallyvox::ShowUpdateNotice(&window, QStringLiteral("9.9"), QString::fromLatin1(page), {}), page);
    }
    QVERIFY(window.findChildren<QDialog *>().isEmpty());
}

// Whatever the server sends, the notice fits two thirds of the screen with
// its close button on it, and shows no control or bidi characters.
void ShellNetTest::updateNoticeIsBounded_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("shown");
    const QString page = QStringLiteral("http://example.test/get.html");
    QStringList numbered;
    for (int i = 1; i <= 100; ++i)
        numbered.append(QString::number(i));
    QTest::newRow("9,000 blank lines") << "9.0" << page << "first" + QString(9000, QLatin1Char('\n')) + "last"
                                       << "first\n\nlast";
    QTest::newRow("a 60,000-character line")
        << "9.0" << page << QString(60000, QLatin1Char('x')) << QString(200, QLatin1Char('x')) + "…";
    QTest::newRow("100 lines") << "9.0" << page << numbered.join('\n') << numbered.mid(0, 40).join('\n') + "\n…";
    QTest::newRow("U+202E and controls everywhere")
        << QStringLiteral("9.0\u202e") << QStringLiteral("http://example.test/\u202eget.html")
        << QStringLiteral("abc\u202edef\u2066g\u0007h\u200fi\r") << "abcdefghi";
}

void ShellNetTest::updateNoticeIsBounded()
{
    QFETCH(QString, version);
    QFETCH(QString, page);
    QFETCH(QString, notes);
    QFETCH(QString, shown);
    QWidget window;
    window.show();
    QPointer<QDialog> dialog = tallyvox::ShowUpdateNotice(&window, version, page, notes);
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QSize screen = dialog->screen()->availableGeometry().size();
    QVERIFY2(dialog->width() <= screen.width() * 2 / 3 && dialog->height() <= screen.height() * 2 / 3,
             qPrintable(QStringLiteral("%1x%2").arg(dialog->width()).arg(dialog->height())));
    auto *btnClose = dialog->findChild<QPushButton *>("btnUpdateClose");
    QVERIFY(btnClose && btnClose->isVisible());
    QVERIFY(dialog->rect().contains(btnClose->geometry()));
    auto *lblUpdate = dialog->findChild<QLabel *>("lblUpdate");
    QVERIFY(lblUpdate->text().contains(QStringLiteral("Tallyvox 9.0 ")));
    QVERIFY(lblUpdate->text().contains(QStringLiteral("href=\"http://example.test/get.html\"")));
    auto *lblNotes = dialog->findChild<QLabel *>("lblUpdateNotes");
    QVERIFY(lblNotes);
    QCOMPARE(lblNotes->text(), shown);
    delete dialog;
}

void ShellNetTest::updateNoticeGoneWithItsWindow()
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/Update.txt",
                 TestHttpServer::Response(200, "version: 78.0\npage: http://example.test/get.html\n"));
    const std::string address = tallyvox::UpdateManifestAddress(server.base());
    auto notices = [] {
        int n = 0;
        for (QWidget *top : QApplication::topLevelWidgets())
            n += top->objectName() == QStringLiteral("dlgUpdateNotice");
        return n;
    };

    // A replaced window going away must not take its successor's notifier.
    auto *first = new QWidget;
    tallyvox::InstallUpdateNotice(first);
    QWidget second;
    tallyvox::InstallUpdateNotice(&second);
    delete first;
    QCOMPARE(BeginUpdate(address.c_str(), UPDATE_NOTIFY_ONLY), UPDATE_STARTED);
    QVERIFY(QTest::qWaitFor([&] { return second.findChild<QDialog *>("dlgUpdateNotice") != nullptr; }, 5000));
    const int shown = notices();

    // Once the window is gone, a notice finds nobody to show it.
    auto *third = new QWidget;
    tallyvox::InstallUpdateNotice(third);
    delete third;
    QCOMPARE(BeginUpdate(address.c_str(), UPDATE_NOTIFY_ONLY), UPDATE_STARTED);
    QVERIFY(QTest::qWaitFor([&] { return server.requests().size() == 2; }, 5000));
    QTest::qWait(200);
    QCOMPARE(notices(), shown);
}

void ShellNetTest::mediaControlIsHiddenAndInert()
{
    QObject owner;
    QPointer<tallyvox::TMMControl> control = new tallyvox::TMMControl(&owner);
    // The window sets these through the properties, as on the original control.
    QVERIFY(control->setProperty("Notify", false));
    QVERIFY(control->setProperty("Wait", false));
    control->setVisible(false);
    QCOMPARE(control->property("Notify").toBool(), false);
    QCOMPARE(control->property("Wait").toBool(), false);
    QVERIFY(!control->isVisible());
    QVERIFY(!control->inherits("QWidget")); // no window of its own
    QVERIFY(control->children().isEmpty());
}

QTEST_MAIN(ShellNetTest)
#include "ShellNetTest.moc"
