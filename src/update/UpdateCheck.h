// SPDX-License-Identifier: GPL-3.0-or-later
// UpdateCheck.h: the update check behind BeginUpdate, kept apart from the
// exported C functions so it can be driven with short limits.
#pragma once

#include "update/HttpGet.h"
#include "update/update.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tallyvox::update {

enum class CheckOutcome {
    Newer,       // the manifest names a newer version: tell the user
    NotNewer,    // same or older version
    FetchFailed, // no manifest (network, HTTP status, size, time)
    Malformed,   // a manifest that ParseManifest rejects
};

struct Notice {
    std::string version, page, notes;
};

// One check, on the calling thread: fetch, parse, compare with
// currentVersion. Fills notice only for Newer.
CheckOutcome RunCheck(std::string_view manifestUrl, std::string_view currentVersion, const FetchLimits &limits,
                      Notice &notice);

// BeginUpdate with explicit limits: validates the arguments, then runs
// RunCheck against this build's version on a detached thread that holds
// only copies, and delivers a notice for Newer. Returns an UPDATE_* code.
int StartCheck(const char *manifestUrl, int flags, const FetchLimits &limits);

// SetUpdateNotifier.
void InstallNotifier(UpdateNotifier notify, void *ctx);

// Hands a notice to the installed notifier, or writes one line to stderr.
void DeliverNotice(const Notice &notice);

// Waits until every check started by StartCheck has finished (tests use it
// to tell "no notice" from "not yet"). False if time ran out.
bool WaitUntilIdle(std::chrono::milliseconds timeout);

} // namespace tallyvox::update
