// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-script-probe: tallyvox-script for the tests, making one escape
// attempt right after confinement. The attempt is named by the suffix of the
// program's name (tallyvox-script-probe.open, ...). A forbidden call must
// end the process; one that returns ends it with exit code 42, which no test
// mistakes for a kill. ".retire-early" retires after three requests.
#include "script/ScriptSandbox.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kSurvived = 42;
std::string gProbe;

void *Nothing(void *)
{
    return nullptr;
}

void Attempt()
{
    const std::string &p = gProbe;
    char *noArguments[] = {const_cast<char *>("/bin/true"), nullptr};
    if (p == "open") {
        open("/etc/hostname", O_RDONLY);
    } else if (p == "socket") {
        socket(AF_INET, SOCK_STREAM, 0);
    } else if (p == "execve") {
        execve("/bin/true", noArguments, noArguments + 1);
    } else if (p == "fork") {
        if (fork() == 0)
            _exit(0);
    } else if (p == "thread") {
        pthread_t thread;
        pthread_create(&thread, nullptr, Nothing, nullptr);
    } else if (p == "ptrace") {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    } else if (p == "mprotect-exec") {
        void *page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        mprotect(page, 4096, PROT_READ | PROT_EXEC);
    } else if (p == "mmap-exec") {
        // Refused (the engine's JIT probe relies on that), then it serves.
        void *page = mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED && errno == EPERM)
            return;
    } else if (p == "abort") {
        std::abort(); // a crash must stay a crash (SIGABRT), not look like a breach
    } else {
        return; // no attempt: serves as tallyvox-script does
    }
    _exit(kSurvived);
}

} // namespace

int main(int argc, char **argv)
{
    const char *dot = std::strrchr(argv[0], '.');
    gProbe = dot && !std::strchr(dot, '/') ? dot + 1 : "";
    tallyvox::ScriptSandboxOptions options = tallyvox::SandboxOptionsFromArgs(argc, argv);
    if (gProbe == "retire-early")
        options.maxRequests = 3;
    options.afterConfinement = Attempt;
    tallyvox::RunScriptSandbox(options);
}
