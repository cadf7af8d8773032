// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, the update check, clipboard, tray and close of the main window.
#include "ShellTestSupport.h"
#include "scientific/ScientificKeys.h"
#include "shell/AdStrip.h"
#include "shell/pagefetch/PageFetcher.h"
#include "voice/CueScramble.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <stdexcept>

using namespace shelltest;
using tallyvox::TFrmMain;

namespace {

struct UpdateCall {
    std::string address;
    int flags;
};

// A cue file: a silent 16-bit mono WAV of the given length, scrambled.
bool WriteCue(const QString &path, int milliseconds)
{
    const quint32 rate = 22050, samples = rate * quint32(milliseconds) / 1000, data = samples * 2;
    QByteArray bytes;
    const auto put = [&bytes](quint32 v, int n) {
        for (int i = 0; i < n; ++i)
            bytes.append(char(v >> (8 * i)));
    };
    bytes.append("RIFF");
    put(36 + data, 4);
    bytes.append("WAVE");
    bytes.append("fmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    bytes.append("data");
    put(data, 4);
    bytes.append(QByteArray(qsizetype(data), '\0'));
    std::vector<std::uint8_t> wav(bytes.begin(), bytes.end());
    tallyvox::UnscrambleCue(wav, tallyvox::CueKey()); // its own inverse
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char *>(wav.data()), qint64(wav.size())) == qint64(wav.size());
}

} // namespace

class ShellLifecycleTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TFrmMain> Open(tallyvox::ShellOptions options)
    {
        auto w = std::make_unique<TFrmMain>(std::move(options));
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qWarning("window not exposed");
        return w;
    }

    CueRecorder recorder_;

private Q_SLOTS:
    void initTestCase()
    {
        // The strip's fetcher module lies beside the program, not the tests.
        tallyvox::SetPageFetcherLibrary(QString::fromStdString((BinDir() / "libtallyvox-pagefetch.so").string()));
    }
    void init() { recorder_ = {}; }

    // ------------------------------------------------------------ clipboard

    void copyTakesTheWholeDisplay()
    {
        auto w = Open(TestOptions(recorder_));
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("old"));
        Find<QAction>(*w, "N8")->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("0"));
        auto *display = Find<QLineEdit>(*w, "edtInput");
        QCOMPARE(display->selectedText(), QStringLiteral("0"));

        for (const char *key : {"btnNum1", "btnNum2", "SpbDian", "btnNum5", "btnSingle"})
            Click(*w, key);
        Find<QAction>(*w, "N8")->trigger();
        QCOMPARE(clipboard->text(), QStringLiteral("-12.5"));
        QCOMPARE(display->selectedText(), QStringLiteral("-12.5"));
        const std::size_t cues = recorder_.cues.size();
        Click(*w, "btnNum3"); // the next key puts the caret at the end again
        QVERIFY(!display->hasSelectedText());
        QCOMPARE(recorder_.cues.size(), cues + 1);
    }

    // A paste is one number or nothing (any text used to reach the display).
    void pasteIsANumberOrNothing_data()
    {
        QTest::addColumn<QStringList>("clipboards"); // one paste per entry; "<none>" clears
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("errorCues");
        QTest::newRow("number") << QStringList{QStringLiteral("12.5")} << "12.5" << 0;
        QTest::newRow("grouped, full-width") << QStringList{QStringLiteral("１,２３４．５")} << "1234.5" << 0;
        QTest::newRow("two pastes") << QStringList{QStringLiteral("12"), QStringLiteral("34")} << "34" << 0;
        QTest::newRow("no text is refused") << QStringList{QStringLiteral("<none>")} << "0" << 1;
        QTest::newRow("letters and points") << QStringList{QStringLiteral("1.2.3abc")} << "0" << 1;
        QTest::newRow("the error text") << QStringList{QStringLiteral("错误！")} << "0" << 1;
        QTest::newRow("a number, then junk") << QStringList{QStringLiteral("8"), QStringLiteral("8+1")} << "8" << 1;
    }

    void pasteIsANumberOrNothing()
    {
        QFETCH(QStringList, clipboards);
        QFETCH(QString, display);
        QFETCH(int, errorCues);
        auto w = Open(TestOptions(recorder_));
        Click(*w, "btnNum7");
        Click(*w, "btnAdd");
        std::vector<std::string> expectedCues = recorder_.Names();
        expectedCues.insert(expectedCues.end(), std::size_t(errorCues), "错误");
        for (const QString &text : clipboards) {
            if (text == QLatin1String("<none>"))
                QGuiApplication::clipboard()->clear();
            else
                QGuiApplication::clipboard()->setText(text);
            Find<QAction>(*w, "N9")->trigger();
        }
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), display);
        QVERIFY(recorder_.Names() == expectedCues);
        Click(*w, "btnEqual"); // the pasted number is the operand
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QString::fromStdString(tallyvox::GeneralNumberText(
                                                              7 + tallyvox::ParseNumberText(display.toStdString()))));
    }

    // ------------------------------------------------------------ settings

    // Kept settings come back once the window shows; the options dialog
    // applies a change at once and writes it.
    void settingsAreKeptAndAppliedAtOnce()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("tallyvox.conf");
        QFile kept(file);
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("speech=results\nangle=rad\n");
        kept.close();
        auto options = TestOptions(recorder_);
        options.keepSettings = true;
        options.settingsFile = file.toStdString();
        auto w = Open(options);
        QTRY_COMPARE(w->Angle(), tallyvox::AngleMode::Radians);
        QCOMPARE(Find<QRadioButton>(*w, "RadRadian")->isChecked(), true);
        recorder_.cues.clear();
        Click(*w, "btnNum7"); // results only: no key cue
        QVERIFY(recorder_.cues.empty());

        QTimer::singleShot(0, w.get(), [&] {
            auto *speech = Find<QComboBox>(*QApplication::activeModalWidget(), "cmbSpeech");
            QCOMPARE(speech->accessibleName(), QStringLiteral("朗读内容"));
            speech->setFocus();
            QTest::keyClick(speech, Qt::Key_Up); // back to every key and result
            QApplication::activeModalWidget()->close();
        });
        Find<QAction>(*w, "NOptions")->trigger();
        Click(*w, "btnNum8");
        QCOMPARE(recorder_.Names(), std::vector<std::string>{"8"});
        QSettings written(file, QSettings::IniFormat);
        QCOMPARE(written.value("speech").toString(), QStringLiteral("all"));
        QCOMPARE(written.value("angle").toString(), QStringLiteral("rad"));
    }

    // ------------------------------------------------------------ tray

    void minimiseWithoutTrayStaysReachable()
    {
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("a notification area exists here");
        auto w = Open(TestOptions(recorder_));
        w->showMinimized();
        QTest::qWait(50);
        QVERIFY(w->isVisible());
        QVERIFY(w->isMinimized());
    }

    void minimiseHidesToTray()
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("no notification area on this display");
        auto w = Open(TestOptions(recorder_));
        w->showMinimized();
        QTRY_VERIFY(!w->isVisible());
        QVERIFY(w->TrayIconWidget()->isVisible());
        Q_EMIT w->TrayIconWidget()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(w->isVisible());
        QVERIFY(!w->isMinimized());
    }

    void trayClickAndOpenRestore_data()
    {
        QTest::addColumn<bool>("viaMenu");
        QTest::newRow("left click") << false;
        QTest::newRow("打开") << true;
    }

    void trayClickAndOpenRestore()
    {
        QFETCH(bool, viaMenu);
        auto w = Open(TestOptions(recorder_));
        const auto restore = [&] {
            if (viaMenu)
                Find<QAction>(*w, "N10")->trigger();
            else
                Q_EMIT w->TrayIconWidget()->activated(QSystemTrayIcon::Trigger);
        };
        w->hide(); // as after minimising to the tray
        w->setWindowState(Qt::WindowMinimized);
        restore();
        QVERIFY(w->isVisible());
        QVERIFY(!w->isMinimized());
        const QRect before = w->geometry();
        restore(); // in the normal state it only brings the window to the front
        QVERIFY(w->isVisible());
        QCOMPARE(w->geometry(), before);
        // A right click (context) or double click does not restore.
        w->hide();
        Q_EMIT w->TrayIconWidget()->activated(QSystemTrayIcon::Context);
        QVERIFY(!w->isVisible());
        QVERIFY(recorder_.cues.empty());
    }

    // ------------------------------------------------------------ real cue player

    // Without a sink the cues go through the player (SDL's dummy driver
    // here): equals waits for each cue while the window keeps handling
    // timers and painting.
    void synchronousCuesKeepTheWindowAlive()
    {
        QTemporaryDir play;
        QVERIFY(play.isValid());
        for (const char *name : {"7", "8", "加", "等于", "1", "拾", "5"})
            QVERIFY(WriteCue(play.path() + QLatin1Char('/') + QString::fromUtf8(name) + QStringLiteral(".WAV"), 200));
        auto options = TestOptions(recorder_);
        options.cueSink = nullptr;
        options.cueFolder = play.path().toStdString();
        auto w = Open(std::move(options));
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8"})
            Click(*w, key);

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        Click(*w, "btnEqual"); // "等于" and three read-out cues, 200 ms each
        const qint64 elapsed = clock.elapsed();
        ticker.stop();
        QVERIFY2(elapsed >= 700, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QStringLiteral("15"));
        QVERIFY(Find<QLabel>(*w, "lblInput")->text().isEmpty());
    }

    void closeInsideASynchronousCueCutsItShort()
    {
        QTemporaryDir play;
        QVERIFY(play.isValid());
        for (const char *name : {"7", "等于", "1", "拾", "5"})
            QVERIFY(WriteCue(play.path() + QLatin1Char('/') + QString::fromUtf8(name) + QStringLiteral(".WAV"), 1000));
        auto options = TestOptions(recorder_);
        options.cueSink = nullptr;
        options.cueFolder = play.path().toStdString();
        auto w = Open(std::move(options));
        Click(*w, "btnNum7");
        Click(*w, "btnNum8");                                  // 78: read as "7", "拾", "8"
        QTimer::singleShot(100, w.get(), [&] { w->close(); }); // a timer runs while a cue plays
        QElapsedTimer clock;
        clock.start();
        Click(*w, "btnEqual");
        const qint64 elapsed = clock.elapsed();
        QVERIFY(w->CueStreamReleased());
        // "等于" stopped at the release and the read-out that followed was
        // silent: played out, the cues would take 4 s.
        QVERIFY2(elapsed < 990, qPrintable(QString::number(elapsed)));
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QStringLiteral("78"));
    }

    // ------------------------------------------------------------ expression window

    void expressionKeyOpensOneModalWindow()
    {
        auto w = Open(TestOptions(recorder_));
        QList<QWidget *> opened;
        int closedWithTheWindowModal = 0;
        QTimer closer;
        closer.setInterval(10);
        connect(&closer, &QTimer::timeout, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            opened << modal;
            closedWithTheWindowModal += modal->isModal() && modal->isVisible();
            modal->close();
        });
        closer.start();
        Click(*w, "SpeedButton1");
        Click(*w, "SpeedButton1");
        closer.stop();
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0], opened[1]); // created once, hidden when closed
        QCOMPARE(opened[0]->objectName(), QStringLiteral("ForTest"));
        QCOMPARE(opened[0]->parentWidget(), w.get());
        QCOMPARE(closedWithTheWindowModal, 2);
        QVERIFY(!opened[0]->isVisible());
        QVERIFY(recorder_.cues.empty()); // opening speaks nothing
    }

    // ------------------------------------------------------------ close

    void closeCleansUp_data()
    {
        QTest::addColumn<bool>("viaTrayExit");
        QTest::newRow("close box") << false;
        QTest::newRow("退出") << true;
    }

    void closeCleansUp()
    {
        QFETCH(bool, viaTrayExit);
        auto w = Open(TestOptions(recorder_));
        QSignalSpy closed(w.get(), &TFrmMain::FormClosed);
        Click(*w, "btnNum5");
        QCOMPARE(recorder_.cues.size(), std::size_t(1));
        if (viaTrayExit)
            Find<QAction>(*w, "N11")->trigger();
        else
            QVERIFY(w->close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!w->isVisible());
        QVERIFY(w->Engine().StopReadOut);
        QVERIFY(w->CueStreamReleased());
        QVERIFY(!w->TrayIconWidget()->isVisible());
        // No cue after the buffer is gone, whatever still runs.
        Find(*w, "btnNum6")->click();
        Find(*w, "btnEqual")->click();
        QCOMPARE(recorder_.cues.size(), std::size_t(1));
    }

    void closeDuringReadOutStopsIt()
    {
        auto w = Open(TestOptions(recorder_));
        QAction *exit = Find<QAction>(*w, "N11");
        recorder_.onCue = [&](const Cue &c) {
            if (c.name == "拾")
                QMetaObject::invokeMethod(exit, "trigger", Qt::QueuedConnection);
        };
        for (const char *key : {"btnNum7", "btnAdd", "btnNum8", "btnEqual"})
            Click(*w, key);
        QCOMPARE(recorder_.Names(), (std::vector<std::string>{"7", "加", "8", "等于", "1", "拾"}));
        QVERIFY(w->CueStreamReleased());
        QVERIFY(!w->isVisible());
    }

    // ------------------------------------------------------------ update check

    void timerMakesOneUpdateCheck_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::newRow("returns") << false;
        QTest::newRow("throws") << true;
    }

    void timerMakesOneUpdateCheck()
    {
        QFETCH(bool, throws);
        std::vector<UpdateCall> calls;
        auto options = TestOptions(recorder_);
        options.startUpdateTimer = true;
        options.beginUpdate = [&](const char *address, int flags) {
            calls.push_back({address, flags});
            if (throws)
                throw std::runtime_error("updater failed");
        };
        auto w = Open(std::move(options));
        auto *timer = Find<QTimer>(*w, "Timer1");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(calls.empty());
        QTRY_COMPARE_WITH_TIMEOUT(calls.size(), std::size_t(1), 5000);
        QCOMPARE(calls[0].address, std::string("http://127.0.0.1:1/softs/tallyvox/Update.txt"));
        QCOMPARE(calls[0].flags, 4);
        QVERIFY(!timer->isActive());
        QTest::qWait(1300);
        QCOMPARE(calls.size(), std::size_t(1));
        Click(*w, "btnNum1"); // the window works on
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QStringLiteral("1"));
    }

    void noUpdateCheckWhenEndedWithinTheFirstSecond()
    {
        int calls = 0;
        auto options = TestOptions(recorder_);
        options.startUpdateTimer = true;
        options.beginUpdate = [&](const char *, int) { ++calls; };
        auto w = Open(std::move(options));
        w->close();
        w.reset();
        QTest::qWait(1300);
        QCOMPARE(calls, 0);
    }

    void updateNoticeIsInstalledForTheWindow()
    {
        std::vector<QWidget *> windows;
        auto options = TestOptions(recorder_);
        options.installUpdateNotice = [&](QWidget *window) { windows.push_back(window); };
        options.startUpdateTimer = true;
        auto w = Open(std::move(options));
        QCOMPARE(windows, std::vector<QWidget *>{w.get()});
        QVERIFY(Find<QTimer>(*w, "Timer1")->isActive()); // installed before the check can start
    }

    // The shipped chain against a local server: the ad strip's page and,
    // about a second later, the update manifest from the same server, whose
    // newer version ends as a non-modal notice over the window.
    void updateCheckAndAdStripReachTheServer()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QStringList requests;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [&requests, socket] {
                    const QByteArray request = socket->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request.split(' ').value(1);
                    requests << QString::fromLatin1(path);
                    const QByteArray body = path.endsWith("Update.txt")
                                                ? QByteArray("version: 99.0\npage: http://example.invalid/dl\n")
                                                : QByteArray("<p>Advertisement</p>");
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        auto options = tallyvox::ShellOptions::Defaults();
        options.cueSink = TestOptions(recorder_).cueSink;
        options.scriptProgram = BinDir() / "tallyvox-script";
        options.serverBase = "http://127.0.0.1:" + std::to_string(server.serverPort());
        auto w = Open(std::move(options));

        auto *strip = Find<QTextBrowser>(*w, "wbAD");
        QTRY_VERIFY_WITH_TIMEOUT(strip->toPlainText().contains(QStringLiteral("Advertisement")), 10000);
        QDialog *notice = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((notice = w->findChild<QDialog *>(QStringLiteral("dlgUpdateNotice"))) != nullptr,
                                 15000);
        QVERIFY(notice->isVisible());
        QVERIFY(!notice->isModal());
        QCOMPARE(requests, (QStringList{QStringLiteral("/softs/tallyvox/ad.html"),
                                        QStringLiteral("/softs/tallyvox/Update.txt")}));
        Click(*w, "btnNum2"); // the notice does not block the calculator
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QStringLiteral("2"));
    }

    // ------------------------------------------------------------ start-up

    void adStripIsNavigatedAtStart()
    {
        auto options = TestOptions(recorder_);
        options.loadAdPage = true; // nothing listens on port 1: the load fails at once
        auto w = Open(std::move(options));
        auto *strip = Find<tallyvox::AdStrip>(*w, "wbAD");
        QSignalSpy loaded(strip, &tallyvox::AdStrip::loaded);
        QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded[0][0].toBool(), false);
    }

    void formCreateFailureIsReported_data()
    {
        QTest::addColumn<int>("failingStep");
        QTest::addColumn<bool>("enhanced");
        QTest::addColumn<bool>("speaks");
        QTest::newRow("step 1") << 1 << false << false;
        QTest::newRow("step 3") << 3 << false << false;
        QTest::newRow("step 6") << 6 << true << false;
        QTest::newRow("step 8") << 8 << true << true;
    }

    void formCreateFailureIsReported()
    {
        QFETCH(int, failingStep);
        QFETCH(bool, enhanced);
        QFETCH(bool, speaks);
        std::vector<int> steps;
        auto options = TestOptions(recorder_);
        options.beforeCreateStep = [&](int step) {
            steps.push_back(step);
            if (step == failingStep)
                throw std::runtime_error("step failed on purpose");
        };
        BoxCatcher boxes;
        auto w = Open(std::move(options));
        QCOMPARE(int(boxes.boxes.size()), 1);
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Tallyvox"));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("step failed on purpose"));
        QCOMPARE(steps.back(), failingStep); // the rest was skipped
        QCOMPARE(int(steps.size()), failingStep);

        QVERIFY(w->isVisible());
        QCOMPARE(Find<QAction>(*w, "N5")->isChecked(), enhanced);
        QCOMPARE(Find<QAction>(*w, "N4")->isChecked(), !enhanced);
        if (!enhanced) // the initial layout: both panels, 462 x 456 client pixels
            QCOMPARE(w->centralWidget()->size(), QSize(462, 456));
        Click(*w, "btnNum4");
        QCOMPARE(Find<QLineEdit>(*w, "edtInput")->text(), QStringLiteral("4"));
        QCOMPARE(recorder_.cues.empty(), !speaks); // no cue buffer before step 7
    }

    void badServerAddressFailsTheFirstStep()
    {
        auto options = TestOptions(recorder_);
        options.serverBase = "no server";
        options.loadAdPage = true;
        BoxCatcher boxes;
        auto w = Open(std::move(options));
        QCOMPARE(int(boxes.boxes.size()), 1);
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Tallyvox"));
        QVERIFY(boxes.boxes[0].text.contains(QStringLiteral("no server")));
        QVERIFY(w->isVisible());
    }
};

QTEST_MAIN(ShellLifecycleTest)
#include "MainWindowLifecycleTest.moc"
