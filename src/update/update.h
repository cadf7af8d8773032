// SPDX-License-Identifier: GPL-3.0-or-later
// update.h: the C interface of the updater library (libupdate.so).
//
// The library makes one background check of an update manifest (a small text
// file on the maker's web server, format in docs/update-manifest.md) and, when
// the manifest names a version newer than this build, tells the user once,
// with a link to the download page. It never downloads, installs or runs
// anything, and it never blocks its caller.
#ifndef TALLYVOX_UPDATE_H
#define TALLYVOX_UPDATE_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TALLYVOX_UPDATE_API __attribute__((visibility("default")))
#else
#define TALLYVOX_UPDATE_API
#endif

// The one mode this library offers: check, and when a newer version exists
// tell the user (through the notifier below) with a link to its download
// page; never download or run anything. Every other bit is reserved.
#define UPDATE_NOTIFY_ONLY 4

// BeginUpdate's return values. The program does not need to read them.
#define UPDATE_STARTED 0        // the check runs in the background
#define UPDATE_BAD_ADDRESS (-1) // not an http:// or https:// address with a host
#define UPDATE_BAD_FLAGS (-2)   // flags other than UPDATE_NOTIFY_ONLY
#define UPDATE_NOT_STARTED (-3) // no background thread could be started

// Starts one check of the manifest at manifestUrl (http or https, through
// the proxy the environment names) and returns at once; the fetch runs on a
// thread of its own, bounded to 10 s and 64 KiB. Any failure of the check
// (no network, 404, malformed or oversized manifest, same or older version)
// is silent, except that a missing fetch module (libtallyvox-fetch.so) is
// named in one line on stderr. The address is copied, so the caller may free
// it as soon as the call returns. A process may exit while a check is still
// running.
TALLYVOX_UPDATE_API int BeginUpdate(const char *manifestUrl, int flags);

// Receives a notice: version and page (an http or https address) are
// non-empty, notes may be empty and hold one line per manifest "notes" line,
// joined by '\n'. All three are UTF-8 and valid only during the call. The
// call comes from the library's background thread, so a GUI host must hand
// the texts over to its own thread.
typedef void (*UpdateNotifier)(void *ctx, const char *version, const char *page, const char *notes);

// Installs the notifier that shows a notice to the user; NULL removes it.
// Without a notifier a notice is one line on stderr. Once this call returns,
// the previous notifier is neither running nor called again, so its ctx may
// be freed.
TALLYVOX_UPDATE_API void SetUpdateNotifier(UpdateNotifier notify, void *ctx);

#ifdef __cplusplus
}
#endif

#endif
