// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/AdStrip.h"

#include "adpage/PageSanitizer.h"
#include "shell/WebUrl.h"
#include "shell/pagefetch/PageFetcher.h"
#include "update/ReservedNames.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QImageReader>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextFormat>
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

// An image from the page, or a null one: only PNG, JPEG and GIF (the first
// frame), told by their content, no larger than kMaxImagePixels as their
// header says before anything is decoded, scaled down to maxHeight.
QImage DecodeAdImage(const QByteArray &data, int maxHeight)
{
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "gif")
        return {};
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > AdStrip::kMaxImagePixels)
        return {};
    if (size.height() > maxHeight)
        reader.setScaledSize(size.scaled(QSize(size.width(), maxHeight), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
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
    imageTimer_ = new QTimer(this);
    imageTimer_->setSingleShot(true);
    connect(imageTimer_, &QTimer::timeout, this, [this] {
        // The images still out keep their alt text.
        for (PendingImage &image : images_)
            image.fetcher.reset();
        imagesLeft_ = 1;
        ImageDone();
    });
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
    // The document's only images are the strip's own resources, and it holds
    // no style sheet, so nothing asks; should anything, an empty but non-null
    // answer, as a null one would let the document read local files itself.
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
    images_.clear();
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
        const bool linked = !target.isEmpty() && IsWebUrl(target);
        const QString href = linked ? target.toString(QUrl::FullyEncoded) : QString();
        QTextCharFormat format;
        if (linked) {
            format = linkFormat;
            format.setAnchorHref(href);
        }
        // An image from the web replaces its alt text (a blank without one)
        // once it is in. Its place ends where the next run starts, and keeps
        // that end when text or another image goes in right there.
        const QUrl source = run.image.empty() ? QUrl() : page_.resolved(QUrl(QString::fromStdString(run.image)));
        const bool image = !source.isEmpty() && IsWebUrl(source);
        const int start = cursor.position();
        cursor.insertText(image && text.isEmpty() ? QStringLiteral(" ") : text, format);
        if (image) {
            QTextCursor place(document());
            place.setPosition(start);
            place.setPosition(cursor.position(), QTextCursor::KeepAnchor);
            place.setKeepPositionOnInsert(true);
            images_.push_back(PendingImage{place, source, href, nullptr});
        }
    }
    emit loaded(true);
    StartImages(generation);
}

void AdStrip::StartImages(quint64 generation)
{
    imagesLeft_ = images_.size() + 1; // one more, taken below, so none ends it early
    imageTimer_->start(totalTimeoutMs_);
    PageFetchLimits limits;
    limits.maxBytes = kMaxImageBytes;
    limits.transferTimeoutMs = transferTimeoutMs_;
    limits.userAgent = QStringLiteral("Tallyvox/" TALLYVOX_VERSION);
    for (std::size_t index = 0; index < images_.size(); ++index) {
        images_[index].fetcher = CreatePageFetcher();
        if (!images_[index].fetcher) {
            ImageDone();
            continue;
        }
        images_[index].fetcher->Get(images_[index].source, limits, [this, generation, index](FetchedPage fetched) {
            DecodeImage(generation, index, fetched);
        });
    }
    ImageDone();
}

void AdStrip::DecodeImage(quint64 generation, std::size_t index, const FetchedPage &fetched)
{
    if (generation != generation_)
        return;
    if (!fetched.ok || fetched.status < 200 || fetched.status > 299) {
        ImageDone();
        return;
    }
    // Decoders take time in proportion to the image: off the window's thread.
    auto image = std::make_shared<QImage>();
    QThread *worker = QThread::create([image, body = fetched.body] { *image = DecodeAdImage(body, kMaxImageHeight); });
    connect(worker, &QThread::finished, this,
            [this, generation, index, image] { ShowImage(generation, index, *image); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start(QThread::LowPriority);
}

void AdStrip::ShowImage(quint64 generation, std::size_t index, const QImage &image)
{
    if (generation != generation_ || index >= images_.size())
        return;
    if (!image.isNull()) {
        // Under a name of the strip's own: the document never looks it up elsewhere.
        const QUrl name(QStringLiteral("tallyvox-ad-image:%1").arg(index));
        document()->addResource(QTextDocument::ImageResource, name, image);
        QTextImageFormat format;
        format.setName(name.toString());
        format.setWidth(image.width());
        format.setHeight(image.height());
        if (!images_[index].link.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(images_[index].link);
        }
        images_[index].place.insertImage(format);
    }
    ImageDone();
}

void AdStrip::ImageDone()
{
    if (imagesLeft_ == 0 || --imagesLeft_ > 0)
        return;
    imageTimer_->stop();
    emit imagesDone();
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
    images_.clear(); // aborts their fetches
    imagesLeft_ = 0;
    imageTimer_->stop();
}

} // namespace tallyvox
