// SPDX-License-Identifier: GPL-3.0-or-later
// HttpGet.h: one bounded GET of the update manifest. The HTTP work is done
// by libcurl inside the fetch module (FetchModule.h), which the calling
// thread opens on first use, so neither libcurl nor the thirty-odd libraries
// behind it are loaded with the program.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox::update {

struct FetchLimits {
    std::chrono::milliseconds timeout{10000};       // whole fetch: lookup, connect, TLS, redirects, transfer
    std::chrono::milliseconds connectTimeout{6000}; // connecting; a second address gets a try after half of it
    std::size_t maxBody = 64 * 1024;                // body bytes accepted
    int maxRedirects = 3;                           // http(s) redirects followed
    // Tests only: a PEM file trusted instead of the system's certificates,
    // and "host:port:addr[,addr...]" entries that pin names to addresses.
    std::string caFile;
    std::vector<std::string> resolve;
};

enum class FetchStatus {
    Ok,               // status 200, whole body read
    BadAddress,       // the address, or a redirect's target, is not http or https or names a user
    LookupFailed,     // the host name (or the proxy's) does not resolve
    ConnectFailed,    // no address accepted the connection, or no trusted TLS session
    TimedOut,         // the overall or the connect time ran out
    HttpError,        // a final status other than 200
    TooLarge,         // the body is longer than maxBody
    BadResponse,      // not a well-formed HTTP response, or cut short
    TooManyRedirects, // more than maxRedirects redirects
    Unavailable,      // the fetch module could not be loaded (said once on stderr)
};

struct FetchResult {
    FetchStatus status = FetchStatus::BadResponse;
    int httpStatus = 0; // last status seen, 0 if none
    std::string body;   // only for Ok
};

// GETs an http:// or https:// address, following at most
// limits.maxRedirects redirects (never from https back to http). Proxies
// come from http_proxy, https_proxy, all_proxy and no_proxy. Never throws;
// returns within about limits.timeout.
FetchResult HttpGet(std::string_view address, const FetchLimits &limits);

// The fetch module is looked for beside the library (or program) that holds
// this code. Tests point it at a path of their own; empty restores that.
void SetFetchModulePath(std::string path);

} // namespace tallyvox::update
