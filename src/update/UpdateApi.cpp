// SPDX-License-Identifier: GPL-3.0-or-later
// The two functions libupdate.so exports; everything else stays inside.
#include "update/UpdateCheck.h"
#include "update/update.h"

extern "C" int BeginUpdate(const char *manifestUrl, int flags)
{
    try {
        return tallyvox::update::StartCheck(manifestUrl, flags, tallyvox::update::FetchLimits{});
    } catch (...) {
        return UPDATE_NOT_STARTED;
    }
}

extern "C" void SetUpdateNotifier(UpdateNotifier notify, void *ctx)
{
    tallyvox::update::InstallNotifier(notify, ctx);
}
