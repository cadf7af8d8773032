// SPDX-License-Identifier: GPL-3.0-or-later
// HttpGet.h: the smallest HTTP/1.0 client the update check needs. Plain
// POSIX sockets, one GET, bounded in time and size, so a dead or hostile
// server can neither stall the check for long nor make it swallow memory.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace tallyvox::update {

struct FetchLimits {
    std::chrono::milliseconds timeout{10000}; // whole fetch: lookup, connect, redirects, transfer
    std::size_t maxBody = 64 * 1024;          // body bytes accepted
    int maxRedirects = 3;                     // http-to-http redirects followed
};

enum class FetchStatus {
    Ok,               // status 200, whole body read
    BadAddress,       // the address, or a redirect's target, is not plain http
    LookupFailed,     // the host name does not resolve
    ConnectFailed,    // no address accepted the connection
    TimedOut,         // the overall time ran out
    HttpError,        // a status other than 200 or a followable redirect
    TooLarge,         // the body is longer than maxBody
    BadResponse,      // not a well-formed HTTP response, or cut short
    TooManyRedirects, // more than maxRedirects redirects
};

struct FetchResult {
    FetchStatus status = FetchStatus::BadResponse;
    int httpStatus = 0; // last status seen, 0 if none
    std::string body;   // only for Ok
};

// GETs an http:// address, following at most limits.maxRedirects redirects
// to other http:// addresses. No proxy is used. Never throws; returns within
// about limits.timeout.
FetchResult HttpGet(std::string_view address, const FetchLimits &limits);

} // namespace tallyvox::update
