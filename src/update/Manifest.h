// SPDX-License-Identifier: GPL-3.0-or-later
// Manifest.h: reading the update manifest and comparing versions. Pure
// functions, no I/O; the format is described in docs/update-manifest.md.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyvox::update {

// Compares two dotted numeric versions ("1.2", "1.10.0"): -1 if a < b, 0 if
// equal, 1 if a > b. Components are compared as numbers and missing ones
// count as 0, so "1.2" equals "1.2.0" and "1.02" equals "1.2". Empty when
// either text is not such a version (empty components, signs, suffixes such
// as "-beta", or a component longer than 9 digits).
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

// True when text is a version CompareVersions accepts.
bool IsVersion(std::string_view text);

struct Manifest {
    std::string version; // the newest published version
    std::string page;    // where the user can download it
    std::string notes;   // "notes" lines joined by '\n'; may be empty
};

// Parses a manifest. Empty for anything malformed: a line that is neither
// blank, a '#' comment nor "key: value"; a missing, repeated or invalid
// "version" or "page"; invalid UTF-8 or control characters. Unknown keys are
// ignored.
std::optional<Manifest> ParseManifest(std::string_view text);

} // namespace tallyvox::update
