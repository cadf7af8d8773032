// SPDX-License-Identifier: GPL-3.0-or-later
// AdStrip.h: the advertisement strip at the bottom of the main window.
//
// A read-only HTML view of one page from the maker's web server. It runs no
// scripts (QTextBrowser knows none), fetches nothing but the page itself (no
// images, style sheets or frames from anywhere), never follows a link
// inside itself, and hands a clicked http/https link to the user's browser.
// Loading is asynchronous and bounded (size and time); any failure leaves
// the strip blank and reports nothing. The fetching itself is done by a
// PageFetcher from its own module, opened when the first load starts.
#pragma once

#include <QTextBrowser>
#include <QUrl>

#include <memory>

class QTimer;

namespace tallyvox {

class PageFetcher;
struct FetchedPage;

class AdStrip : public QTextBrowser {
    Q_OBJECT

public:
    static constexpr qint64 kMaxPageBytes = 1024 * 1024;
    static constexpr int kTransferTimeoutMs = 15000; // no data for this long ends the load
    static constexpr int kTotalTimeoutMs = 30000;    // the whole load never takes longer

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

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void StartLoad(quint64 generation);
    void FinishLoad(const FetchedPage &page);
    void Fail();
    void StopFetch();

    std::unique_ptr<PageFetcher> fetcher_; // created by the first load
    QTimer *totalTimer_ = nullptr;
    QUrl page_;
    quint64 generation_ = 0; // bumped by every Navigate, so a stale start is ignored
    int transferTimeoutMs_ = kTransferTimeoutMs;
    int totalTimeoutMs_ = kTotalTimeoutMs;
};

} // namespace tallyvox
