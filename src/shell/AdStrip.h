// SPDX-License-Identifier: GPL-3.0-or-later
// AdStrip.h: the advertisement strip at the bottom of the main window.
//
// A read-only view of one page from the maker's web server. The page is
// data, never markup handed to Qt: a worker thread parses it and keeps text,
// line breaks, links and a few image addresses (adpage/PageSanitizer.h), and
// the strip builds a flat document of those runs itself. So the page runs
// no scripts, loads no style sheet or frame, never makes the program open a
// local file, device or resource, and cannot nest the document's layout.
// Its images are fetched by the strip itself, from http(s) only and under
// the page's limits, decoded off the window's thread (PNG, JPEG or GIF,
// bounded in bytes and pixels, scaled to the strip) and shown in place of
// their alt text; an image that fails keeps its alt text.
// A clicked http/https link goes to the user's browser; the strip never
// follows one itself. Loading is asynchronous and bounded (size, time, tags,
// depth, elements, text); any failure or a page over a bound leaves the
// strip blank and reports nothing. The fetching itself is done by a
// PageFetcher from its own module, opened when the first load starts.
#pragma once

#include <QTextBrowser>
#include <QTextCursor>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

class QImage;
class QTimer;

namespace tallyvox {

class PageFetcher;
struct FetchedPage;
struct PageRun;

class AdStrip : public QTextBrowser {
    Q_OBJECT

public:
    static constexpr qint64 kMaxPageBytes = 1024 * 1024;
    static constexpr int kTransferTimeoutMs = 15000; // no data for this long ends the load
    static constexpr int kTotalTimeoutMs = 30000;    // the whole load never takes longer
    static constexpr qint64 kMaxImageBytes = 256 * 1024;
    static constexpr qint64 kMaxImagePixels = 1024 * 1024; // as the image says it is, before scaling
    static constexpr int kMaxImageHeight = 56;             // shown at most this high

    explicit AdStrip(QWidget *parent = nullptr);
    ~AdStrip() override;

    // Starts loading url and returns at once; the request itself is made
    // from the event loop, so a window showing the strip maps first. A new
    // Navigate abandons a load still running. Only http and https load.
    void Navigate(const QUrl &url);

    // Shorter limits for tests; they apply to the next Navigate.
    void SetTimeouts(int transferMs, int totalMs);

    // Opens url in the user's browser if it is http or https; relative links
    // are resolved against the page. Returns whether it was handed over.
    bool OpenLink(const QUrl &url);

signals:
    // A load ended: true when the page is shown, false when the strip was
    // left blank.
    void loaded(bool ok);
    // Every image of the page shown is in, or has been given up.
    void imagesDone();

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void StartLoad(quint64 generation);
    void FinishLoad(const FetchedPage &page);
    void ShowPage(quint64 generation, const std::optional<std::vector<PageRun>> &runs);
    void StartImages(quint64 generation);
    void DecodeImage(quint64 generation, std::size_t index, const FetchedPage &fetched);
    void ShowImage(quint64 generation, std::size_t index, const QImage &image);
    void ImageDone();
    void Fail();
    void StopFetch();

    // An image of the page: where its alt text stands, and its fetch.
    struct PendingImage {
        QTextCursor place;
        QUrl source;
        QString link;
        std::unique_ptr<PageFetcher> fetcher;
    };

    std::unique_ptr<PageFetcher> fetcher_; // created by the first load
    QTimer *totalTimer_ = nullptr;
    std::vector<PendingImage> images_;
    std::size_t imagesLeft_ = 0;
    QTimer *imageTimer_ = nullptr; // the images' own total time
    QUrl page_;
    quint64 generation_ = 0; // bumped by every Navigate, so a stale start is ignored
    int transferTimeoutMs_ = kTransferTimeoutMs;
    int totalTimeoutMs_ = kTotalTimeoutMs;
};

} // namespace tallyvox
