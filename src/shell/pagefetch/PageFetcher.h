// SPDX-License-Identifier: GPL-3.0-or-later
// PageFetcher.h: fetches one web page for the advertisement strip.
//
// The implementation lives in its own module (libtallyvox-pagefetch.so),
// the only part of the program that needs Qt Network. Linking Qt Network
// would load it and about ten libraries behind it before the window could
// appear; the strip opens the module only when its first load starts, from
// the event loop, after the window is up.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace tallyvox {

struct PageFetchLimits {
    qint64 maxBytes = 0;       // a longer body fails the fetch
    int transferTimeoutMs = 0; // no data for this long fails it
    QString userAgent;
};

struct FetchedPage {
    bool ok = false;     // false: network error, too long, stalled or abandoned
    int status = 0;      // the HTTP status of the final answer
    QString contentType; // its Content-Type header
    QByteArray body;
};

class PageFetcher {
public:
    using Done = std::function<void(FetchedPage)>;

    virtual ~PageFetcher() = default;

    // Starts a GET of url, abandoning one still running. done is called once,
    // from the event loop, unless Abort or the destructor comes first; it may
    // destroy the fetcher. Redirects are followed as the update check's are
    // (at most three, http or https, never from https to http, never to an
    // address with a user name); no cookie is sent or kept.
    virtual void Get(const QUrl &url, const PageFetchLimits &limits, Done done) = 0;
    // Drops the fetch running, if any, without calling its done.
    virtual void Abort() = 0;
};

// The module that CreatePageFetcher opens: by default
// libtallyvox-pagefetch.so found by FindProgramPiece. Tests point it
// elsewhere.
QString PageFetcherLibrary();
void SetPageFetcherLibrary(const QString &path);

// A new fetcher from the module, loading the module on first use (it stays
// loaded). nullptr when the module is missing or unusable (said on stderr);
// a later call tries again.
std::unique_ptr<PageFetcher> CreatePageFetcher();

// The module's one entry point, resolved by name.
using CreatePageFetcherFunction = PageFetcher *();
inline constexpr const char kCreatePageFetcherSymbol[] = "tallyvox_create_page_fetcher";

} // namespace tallyvox
