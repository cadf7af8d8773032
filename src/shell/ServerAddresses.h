// SPDX-License-Identifier: GPL-3.0-or-later
// ServerAddresses.h: the two addresses on the maker's web server. Both are
// built from one base address (the build setting TALLYVOX_SERVER), so the
// update manifest and the advertisement page always name the same server.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tallyvox {

#ifdef TALLYVOX_SERVER
// The base address this build was configured with.
inline constexpr std::string_view kServer = TALLYVOX_SERVER;
#endif

namespace detail {
inline constexpr std::string_view kUpdateManifestPath = "/softs/tallyvox/Update.txt";
inline constexpr std::string_view kAdPagePath = "/softs/tallyvox/ad.html";

// A base written with a trailing slash must not give "//softs".
constexpr std::string_view WithoutTrailingSlashes(std::string_view server)
{
    while (!server.empty() && server.back() == '/')
        server.remove_suffix(1);
    return server;
}
} // namespace detail

// <server>/softs/tallyvox/Update.txt, the argument of BeginUpdate.
inline std::string UpdateManifestAddress(std::string_view server)
{
    return std::string(detail::WithoutTrailingSlashes(server)) + std::string(detail::kUpdateManifestPath);
}

// <server>/softs/tallyvox/ad.html, the page of the advertisement strip.
inline QString AdPageAddress(const QString &server)
{
    QString base = server;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QLatin1String(detail::kAdPagePath.data(), qsizetype(detail::kAdPagePath.size()));
}

} // namespace tallyvox
