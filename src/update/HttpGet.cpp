// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/HttpGet.h"

#include "numbers/ProgramFolder.h"
#include "update/FetchModule.h"
#include "update/ReservedNames.h"
#include "update/WebAddress.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include <dlfcn.h>

namespace tallyvox::update {
namespace {

// Never freed, like the check's other shared state: a check may still be
// loading the module while the process exits.
struct ModuleState {
    std::mutex lock;
    std::string path; // set by tests; empty: look beside this code
    TallyvoxFetchFunction *fetch = nullptr;
};

ModuleState &Module()
{
    static ModuleState *state = new ModuleState;
    return *state;
}

// Beside libupdate.so, in the build tree as installed; beside the program
// when this code is linked into it statically (the tests set a path then).
std::string ModulePath(const std::string &path)
{
    if (!path.empty())
        return path;
    std::filesystem::path folder = FolderOfLoadedFile(reinterpret_cast<const void *>(&HttpGet));
    if (folder.empty())
        folder = ProgramFolder();
    return (folder / TALLYVOX_FETCH_MODULE_NAME).string();
}

// Loads the module once; a failed load says why on stderr (the check would
// otherwise never happen without a word) and is tried again by the next check.
TallyvoxFetchFunction *LoadFetchModule()
{
    ModuleState &state = Module();
    std::lock_guard lock(state.lock);
    if (state.fetch)
        return state.fetch;
    const std::string path = ModulePath(state.path);
    // Never closed: libcurl and OpenSSL are not made to be unloaded, and the
    // process may exit while a fetch runs.
    if (void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
        state.fetch = reinterpret_cast<TallyvoxFetchFunction *>(::dlsym(module, TALLYVOX_FETCH_SYMBOL));
    if (state.fetch)
        return state.fetch;
    const char *error = ::dlerror();
    std::fprintf(stderr, "tallyvox: no update check, the fetch module " TALLYVOX_FETCH_MODULE_NAME " is missing (%s)\n",
                 error ? error : (path + ": unusable").c_str());
    return nullptr;
}

FetchStatus FromModule(int status)
{
    switch (status) {
    case TALLYVOX_FETCH_OK: return FetchStatus::Ok;
    case TALLYVOX_FETCH_BAD_ADDRESS: return FetchStatus::BadAddress;
    case TALLYVOX_FETCH_LOOKUP_FAILED: return FetchStatus::LookupFailed;
    case TALLYVOX_FETCH_CONNECT_FAILED: return FetchStatus::ConnectFailed;
    case TALLYVOX_FETCH_TIMED_OUT: return FetchStatus::TimedOut;
    case TALLYVOX_FETCH_HTTP_ERROR: return FetchStatus::HttpError;
    case TALLYVOX_FETCH_TOO_LARGE: return FetchStatus::TooLarge;
    case TALLYVOX_FETCH_TOO_MANY_REDIRECTS: return FetchStatus::TooManyRedirects;
    default: return FetchStatus::BadResponse;
    }
}

} // namespace

FetchResult HttpGet(std::string_view address, const FetchLimits &limits)
{
    try {
        // Stricter than libcurl (no user names, no blanks), and .invalid
        // fails at once without loading anything.
        auto parsed = ParseWebAddress(address);
        if (!parsed)
            return FetchResult{FetchStatus::BadAddress, 0, {}};
        if (IsReservedInvalidName(parsed->host))
            return FetchResult{FetchStatus::LookupFailed, 0, {}};
        TallyvoxFetchFunction *fetch = LoadFetchModule();
        if (!fetch)
            return FetchResult{FetchStatus::Unavailable, 0, {}};

        std::vector<const char *> resolve;
        for (const std::string &entry : limits.resolve)
            resolve.push_back(entry.c_str());
        resolve.push_back(nullptr);
        const TallyvoxFetchOptions options{
            static_cast<long>(limits.timeout.count()),
            static_cast<long>(limits.connectTimeout.count()),
            limits.maxRedirects,
            "Tallyvox/" TALLYVOX_VERSION,
            limits.caFile.empty() ? nullptr : limits.caFile.c_str(),
            limits.resolve.empty() ? nullptr : resolve.data(),
        };
        const std::string url(address);
        std::string body(limits.maxBody, '\0');
        TallyvoxFetchResult fetched{};
        FetchResult result;
        result.status = FromModule(fetch(url.c_str(), &options, body.data(), body.size(), &fetched));
        result.httpStatus = fetched.httpStatus;
        if (result.status == FetchStatus::Ok) {
            body.resize(fetched.size);
            result.body = std::move(body);
        }
        return result;
    } catch (...) {
        return FetchResult{FetchStatus::BadResponse, 0, {}};
    }
}

void SetFetchModulePath(std::string path)
{
    ModuleState &state = Module();
    std::lock_guard lock(state.lock);
    state.path = std::move(path);
    state.fetch = nullptr;
}

} // namespace tallyvox::update
