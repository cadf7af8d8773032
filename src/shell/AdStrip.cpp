// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/AdStrip.h"

#include "adpage/PageSanitizer.h"
#include "shell/WebUrl.h"
#include "shell/pagefetch/PageFetcher.h"
#include "update/ReservedNames.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextCursor>
#include <QThread>
#include <QTimer>

#include <memory>

namespace tallyvox {
namespace {

// The page's character set: the Content-Type header's, else a <meta> one
// near the top of the page, else UTF-8 (also when the name is unknown).
QString DecodePage(const QByteArray &data, const QString &contentType)
{
    static const QRegularExpression charsetPattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"),
                                                   QRegularExpression::CaseInsensitiveOption);
    QString charset = charsetPattern.match(contentType).captured(1);
    if (charset.isEmpty())
        charset = charsetPattern.match(QString::fromLatin1(data.left(1024))).captured(1);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(data);
    }
    return QString::fromUtf8(data);
}

} // namespace

AdStrip::AdStrip(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("wbAD"));
    setAccessibleName(QStringLiteral("广告"));
    setFrameShape(QFrame::NoFrame);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) { OpenLink(url); });

    totalTimer_ = new QTimer(this);
    totalTimer_->setSingleShot(true);
    connect(totalTimer_, &QTimer::timeout, this, &AdStrip::Fail);
}

AdStrip::~AdStrip() = default;

void AdStrip::Navigate(const QUrl &url)
{
    ++generation_;
    StopFetch();
    clear();
    page_ = url;
    const quint64 generation = generation_;
    if (!IsWebUrl(url) || update::IsReservedInvalidName(url.host().toStdString())) {
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == generation_)
                emit loaded(false);
        });
        return;
    }
    QTimer::singleShot(0, this, [this, generation] { StartLoad(generation); });
}

void AdStrip::SetTimeouts(int transferMs, int totalMs)
{
    transferTimeoutMs_ = transferMs;
    totalTimeoutMs_ = totalMs;
}

bool AdStrip::OpenLink(const QUrl &url)
{
    const QUrl target = page_.resolved(url);
    if (!IsWebUrl(target))
        return false;
    return QDesktopServices::openUrl(target);
}

QVariant AdStrip::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    Q_UNUSED(name);
    // The document holds no image or style sheet, so nothing asks; should
    // anything, an empty but non-null answer, as a null one would let the
    // document fall back to reading local files itself.
    return QByteArray();
}

void AdStrip::StartLoad(quint64 generation)
{
    if (generation != generation_)
        return;
    if (!fetcher_)
        fetcher_ = CreatePageFetcher();
    if (!fetcher_) {
        Fail();
        return;
    }
    PageFetchLimits limits;
    limits.maxBytes = kMaxPageBytes;
    limits.transferTimeoutMs = transferTimeoutMs_;
    limits.userAgent = QStringLiteral("Tallyvox/" TALLYVOX_VERSION);
    fetcher_->Get(page_, limits, [this](FetchedPage page) { FinishLoad(page); });
    totalTimer_->start(totalTimeoutMs_);
}

void AdStrip::FinishLoad(const FetchedPage &page)
{
    totalTimer_->stop();
    const QString mediaType = page.contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    const bool html = mediaType.isEmpty() || mediaType == QLatin1String("text/html");
    const bool plain = mediaType == QLatin1String("text/plain");
    if (!page.ok || page.status < 200 || page.status > 299 || !(html || plain)) {
        Fail();
        return;
    }
    // Decoding and parsing are bounded, but a megabyte of page still takes
    // milliseconds the keys should not wait for: a worker does both, and the
    // result comes back through the event loop. A strip gone by then never
    // hears of it (the connection dies with it); a newer load ignores it.
    auto result = std::make_shared<std::optional<SafePage>>();
    QThread *worker = QThread::create([result, body = page.body, contentType = page.contentType, html] {
        const std::string text = DecodePage(body, contentType).toStdString();
        *result = html ? SanitizePage(text) : SanitizePlainText(text);
    });
    const quint64 generation = generation_;
    connect(worker, &QThread::finished, this, [this, generation, result] { ShowPage(generation, *result); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(QThread::LowPriority);
}

void AdStrip::ShowPage(quint64 generation, const std::optional<SafePage> &runs)
{
    if (generation != generation_)
        return;
    if (!runs) {
        Fail();
        return;
    }
    clear();
    QTextCursor cursor(document());
    QTextCharFormat linkFormat;
    linkFormat.setAnchor(true);
    linkFormat.setFontUnderline(true);
    linkFormat.setForeground(palette().link());
    for (const PageRun &run : *runs) {
        if (run.lineBreak) {
            cursor.insertBlock();
            continue;
        }
        const QString text = QString::fromStdString(run.text);
        // Only a link the browser may open becomes one; the rest is text.
        const QUrl target = run.link.empty() ? QUrl() : page_.resolved(QUrl(QString::fromStdString(run.link)));
        if (!target.isEmpty() && IsWebUrl(target)) {
            QTextCharFormat format = linkFormat;
            format.setAnchorHref(target.toString(QUrl::FullyEncoded));
            cursor.insertText(text, format);
        } else {
            cursor.insertText(text, QTextCharFormat());
        }
    }
    emit loaded(true);
}

void AdStrip::Fail()
{
    StopFetch();
    clear();
    emit loaded(false);
}

void AdStrip::StopFetch()
{
    if (fetcher_)
        fetcher_->Abort();
    totalTimer_->stop();
}

} // namespace tallyvox
