// SPDX-License-Identifier: GPL-3.0-or-later
/* FetchModule.h: the C interface between libupdate.so and the fetch module
 * (libtallyvox-fetch.so), the only part of the updater that links libcurl.
 *
 * libupdate.so is linked into the program at load time; libcurl brings some
 * thirty libraries with it. So the update check's own thread opens the module
 * with dlopen, resolves TALLYVOX_FETCH_SYMBOL and calls it. The symbol name
 * carries the interface version: a module built against another layout of
 * these structs simply is not found. */
#ifndef TALLYVOX_FETCH_MODULE_H
#define TALLYVOX_FETCH_MODULE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TALLYVOX_FETCH_MODULE_NAME "libtallyvox-fetch.so"
#define TALLYVOX_FETCH_SYMBOL "tallyvox_fetch_v1"

/* The outcome of one fetch; the same meanings as FetchStatus in HttpGet.h. */
enum TallyvoxFetchStatus {
    TALLYVOX_FETCH_OK = 0,             /* status 200, whole body stored */
    TALLYVOX_FETCH_BAD_ADDRESS = 1,    /* not http(s), or a redirect to another scheme or to a user@ address */
    TALLYVOX_FETCH_LOOKUP_FAILED = 2,  /* the host (or the proxy) does not resolve */
    TALLYVOX_FETCH_CONNECT_FAILED = 3, /* refused, unreachable, or no trusted TLS session */
    TALLYVOX_FETCH_TIMED_OUT = 4,      /* the overall or the connect time ran out */
    TALLYVOX_FETCH_HTTP_ERROR = 5,     /* a final status other than 200 */
    TALLYVOX_FETCH_TOO_LARGE = 6,      /* the body is longer than the buffer */
    TALLYVOX_FETCH_BAD_RESPONSE = 7,   /* malformed, cut short, or anything else */
    TALLYVOX_FETCH_TOO_MANY_REDIRECTS = 8
};

struct TallyvoxFetchOptions {
    long timeoutMs;        /* everything: lookup, connect, TLS, redirects, body */
    long connectTimeoutMs; /* connecting; with several addresses each try gets a share */
    int maxRedirects;
    const char *userAgent; /* "Tallyvox/<version>" */
    /* Tests only; NULL in the program. caFile: a PEM file trusted instead of
     * the system store. resolve: NULL-terminated "host:port:addr[,addr...]"
     * entries that pin names to addresses. */
    const char *caFile;
    const char *const *resolve;
};

struct TallyvoxFetchResult {
    int httpStatus;   /* the last status seen, 0 if none */
    size_t size;      /* body bytes stored, 0 unless TALLYVOX_FETCH_OK */
    char detail[256]; /* libcurl's text for the failure, for diagnostics */
};

/* GETs url (http or https; proxies from the environment), following at most
 * options->maxRedirects redirects to http or https (only https after an https
 * start). The body goes into body, at most capacity bytes. Blocks the calling
 * thread for at most about options->timeoutMs and never raises a signal.
 * Returns a TallyvoxFetchStatus. */
typedef int TallyvoxFetchFunction(const char *url, const struct TallyvoxFetchOptions *options, char *body,
                                  size_t capacity, struct TallyvoxFetchResult *result);

#ifdef __cplusplus
}
#endif

#endif
