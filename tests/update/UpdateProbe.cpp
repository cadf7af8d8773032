// SPDX-License-Identifier: GPL-3.0-or-later
// A program that uses libupdate.so the way a host does and then goes away
// while the check is still running. Built twice: linked with the library
// (for "exit") and without it (for "dlclose", which must really unload it).
// Driven by UpdateLibraryTest:
//   update_probe exit <manifest-url>
//       starts a check, prints "started", waits for a line on stdin, exits.
//   update_probe libcurl <manifest-url of a newer version>
//       prints "before: no" unless libcurl is loaded, starts a check, waits
//       up to 5 s for its notice, then prints "after: yes" if it now is.
//   update_probe dlclose <library> <manifest-url>
//       loads the library, starts a check, unloads it, prints "closed",
//       waits for a line on stdin, lets the check run on for a while, exits.
#include "update/update.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <iostream>
#include <string>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace {

// Only the linked probe reports it.
[[maybe_unused]] const char *LibcurlLoaded()
{
    bool found = false;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *context) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "/libcurl"))
                *static_cast<bool *>(context) = true;
            return 0;
        },
        &found);
    return found ? "yes" : "no";
}

} // namespace

int main(int argc, char **argv)
{
    std::string line;
#ifdef PROBE_LINKED
    if (argc == 3 && std::strcmp(argv[1], "exit") == 0) {
        if (BeginUpdate(argv[2], UPDATE_NOTIFY_ONLY) != UPDATE_STARTED)
            return 2;
        std::cout << "started" << std::endl;
        std::getline(std::cin, line);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "libcurl") == 0) {
        std::cout << "before: " << LibcurlLoaded() << std::endl;
        static std::promise<void> noticed;
        SetUpdateNotifier([](void *, const char *, const char *, const char *) { noticed.set_value(); }, nullptr);
        if (BeginUpdate(argv[2], UPDATE_NOTIFY_ONLY) != UPDATE_STARTED)
            return 2;
        if (noticed.get_future().wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            return 3;
        std::cout << "after: " << LibcurlLoaded() << std::endl;
        return 0;
    }
#endif
    if (argc == 4 && std::strcmp(argv[1], "dlclose") == 0) {
        void *library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return 3;
        auto begin = reinterpret_cast<int (*)(const char *, int)>(dlsym(library, "BeginUpdate"));
        if (!begin || begin(argv[3], UPDATE_NOTIFY_ONLY) != UPDATE_STARTED)
            return 4;
        dlclose(library);
        std::cout << "closed" << std::endl;
        std::getline(std::cin, line);
        usleep(300 * 1000); // the check wakes up and finishes in here
        return 0;
    }
    return 1;
}
