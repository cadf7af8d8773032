// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateCheck.h"

#include "update/Manifest.h"
#include "update/WebAddress.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace tallyvox::update {
namespace {

constexpr std::size_t kMaxAddressLength = 2048;

// Shared between the host's threads and the checks. Allocated once and never
// freed: a check may still be running while the process exits, and it must
// not find this state destroyed by static destructors.
struct SharedState {
    std::recursive_mutex notifierLock; // recursive: a notifier may reinstall itself
    UpdateNotifier notify = nullptr;
    void *ctx = nullptr;

    std::mutex runningLock;
    std::condition_variable idle;
    int running = 0;
};

SharedState &Shared()
{
    static SharedState *state = new SharedState;
    return *state;
}

void FinishCheck()
{
    SharedState &state = Shared();
    std::lock_guard lock(state.runningLock);
    if (--state.running == 0)
        state.idle.notify_all();
}

} // namespace

CheckOutcome RunCheck(std::string_view manifestUrl, std::string_view currentVersion, const FetchLimits &limits,
                      Notice &notice)
{
    FetchResult fetched = HttpGet(manifestUrl, limits);
    if (fetched.status != FetchStatus::Ok)
        return CheckOutcome::FetchFailed;
    auto manifest = ParseManifest(fetched.body);
    if (!manifest)
        return CheckOutcome::Malformed;
    auto order = CompareVersions(manifest->version, currentVersion);
    if (!order || *order <= 0)
        return CheckOutcome::NotNewer;
    notice = Notice{manifest->version, manifest->page, manifest->notes};
    return CheckOutcome::Newer;
}

int StartCheck(const char *manifestUrl, int flags, const FetchLimits &limits)
{
    if (flags != UPDATE_NOTIFY_ONLY)
        return UPDATE_BAD_FLAGS;
    if (!manifestUrl)
        return UPDATE_BAD_ADDRESS;
    std::size_t length = ::strnlen(manifestUrl, kMaxAddressLength + 1);
    if (length > kMaxAddressLength)
        return UPDATE_BAD_ADDRESS;
    std::string address(manifestUrl, length);
    auto parsed = ParseWebAddress(address);
    if (!parsed)
        return UPDATE_BAD_ADDRESS;

    SharedState &state = Shared();
    {
        std::lock_guard lock(state.runningLock);
        ++state.running;
    }
    try {
        std::thread([address = std::move(address), limits] {
            try {
                Notice notice;
                if (RunCheck(address, TALLYVOX_VERSION, limits, notice) == CheckOutcome::Newer)
                    DeliverNotice(notice);
            } catch (...) {
                // Out of memory at worst; the check is simply dropped.
            }
            FinishCheck();
        }).detach();
    } catch (...) {
        FinishCheck();
        return UPDATE_NOT_STARTED;
    }
    return UPDATE_STARTED;
}

void InstallNotifier(UpdateNotifier notify, void *ctx)
{
    SharedState &state = Shared();
    std::lock_guard lock(state.notifierLock);
    state.notify = notify;
    state.ctx = notify ? ctx : nullptr;
}

void DeliverNotice(const Notice &notice)
{
    SharedState &state = Shared();
    // Held across the call so that InstallNotifier cannot return while the
    // old notifier still runs.
    std::lock_guard lock(state.notifierLock);
    if (state.notify)
        state.notify(state.ctx, notice.version.c_str(), notice.page.c_str(), notice.notes.c_str());
    else
        std::fprintf(stderr, "Tallyvox %s is available: %s\n", notice.version.c_str(), notice.page.c_str());
}

bool WaitUntilIdle(std::chrono::milliseconds timeout)
{
    SharedState &state = Shared();
    std::unique_lock lock(state.runningLock);
    return state.idle.wait_for(lock, timeout, [&] { return state.running == 0; });
}

} // namespace tallyvox::update
