// SPDX-License-Identifier: GPL-3.0-or-later
// libupdate.so as the program sees it: the exported C interface, a notice
// through SetUpdateNotifier, immediate return, and a host that exits or
// unloads the library while a check is still running.
#include "tests/support/TestHttpServer.h"
#include "update/update.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace std::chrono_literals;
using tallyvox::test::TestHttpServer;
using Clock = std::chrono::steady_clock;

struct Received {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<std::string, std::string>> notices; // version, page
};

// The checks here, and the probes, which inherit this environment, talk to
// local servers directly whatever proxy the machine names.
class NoProxyEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            ::unsetenv(name);
    }
};
[[maybe_unused]] testing::Environment *const kNoProxyEnvironment =
    testing::AddGlobalTestEnvironment(new NoProxyEnvironment);

void Record(void *ctx, const char *version, const char *page, const char *)
{
    auto *received = static_cast<Received *>(ctx);
    std::lock_guard guard(received->lock);
    received->notices.emplace_back(version, page);
    received->changed.notify_all();
}

TEST(UpdateLibrary, ExportsOnlyItsTwoFunctions)
{
    std::string command = "nm -D --defined-only '" UPDATE_LIBRARY "' 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char type = 0;
        char name[400] = {};
        unsigned long long address = 0;
        if (std::sscanf(line, "%llx %c %399s", &address, &type, name) == 3)
            exported.insert(name);
    }
    int status = pclose(pipe);
    if (exported.empty() && status != 0)
        GTEST_SKIP() << "nm is not available";
    EXPECT_EQ(exported, (std::set<std::string>{"BeginUpdate", "SetUpdateNotifier"}));
}

TEST(UpdateLibrary, NewerVersionGivesOneNoticeThroughTheNotifier)
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/Update.txt",
                 TestHttpServer::Response(200, "version: 42.1\npage: http://example.test/get\nnotes: faster\n"));
    Received received;
    SetUpdateNotifier(&Record, &received);
    std::string address = server.url("/softs/tallyvox/Update.txt");
    ASSERT_EQ(BeginUpdate(address.c_str(), UPDATE_NOTIFY_ONLY), UPDATE_STARTED);
    address.assign(address.size(), '?'); // the library must have copied it

    std::unique_lock guard(received.lock);
    ASSERT_TRUE(received.changed.wait_for(guard, 5s, [&] { return !received.notices.empty(); }));
    guard.unlock();
    std::this_thread::sleep_for(200ms);
    guard.lock();
    ASSERT_EQ(received.notices.size(), 1u);
    EXPECT_EQ(received.notices[0].first, "42.1");
    EXPECT_EQ(received.notices[0].second, "http://example.test/get");
    EXPECT_EQ(server.requests(), std::vector<std::string>{"/softs/tallyvox/Update.txt"});
    guard.unlock();
    SetUpdateNotifier(nullptr, nullptr);
}

TEST(UpdateLibrary, ReturnsAtOnceWhileTheServerStalls)
{
    TestHttpServer server;
    server.stall("/softs/tallyvox/Update.txt");
    const std::string address = server.url("/softs/tallyvox/Update.txt");
    auto started = Clock::now();
    int result = BeginUpdate(address.c_str(), UPDATE_NOTIFY_ONLY);
    auto took = Clock::now() - started;
    EXPECT_EQ(result, UPDATE_STARTED);
    // Waiting for the stalled server would take the whole 10 s deadline.
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(server.waitForRequests(1, 5000));
    // The check is still waiting for an answer as the server goes away.
}

// Runs the probe with its stdin and stdout on pipes.
class Probe {
public:
    Probe(std::string program, std::vector<std::string> args)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<char *> argv;
        argv.push_back(program.data());
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toProbe_ = in[1];
        fromProbe_ = out[0];
    }
    ~Probe()
    {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(toProbe_);
        close(fromProbe_);
    }
    bool running() const { return pid_ > 0; }
    std::string readLine()
    {
        std::string line;
        char c;
        while (read(fromProbe_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    void go() { (void)!write(toProbe_, "go\n", 3); }
    // The exit status, or -1 if the probe has not ended within the limit.
    int waitExit(std::chrono::milliseconds limit)
    {
        auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return status;
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int toProbe_ = -1, fromProbe_ = -1;
};

TEST(UpdateLibrary, LoadsLibcurlOnlyOnTheCheckThread)
{
    TestHttpServer server;
    server.serve("/softs/tallyvox/Update.txt",
                 TestHttpServer::Response(200, "version: 42.1\npage: http://example.test/\n"));
    Probe probe(UPDATE_PROBE, {"libcurl", server.url("/softs/tallyvox/Update.txt")});
    ASSERT_TRUE(probe.running());
    EXPECT_EQ(probe.readLine(), "before: no");
    EXPECT_EQ(probe.readLine(), "after: yes");
    EXPECT_EQ(probe.waitExit(5s), 0);
}

TEST(UpdateLibrary, HostExitsWhileTheCheckWaitsForTheServer)
{
    TestHttpServer server;
    server.stall("/softs/tallyvox/Update.txt");
    Probe probe(UPDATE_PROBE, {"exit", server.url("/softs/tallyvox/Update.txt")});
    ASSERT_TRUE(probe.running());
    ASSERT_EQ(probe.readLine(), "started");
    ASSERT_TRUE(server.waitForRequests(1, 5000)); // the check now sits in recv()
    auto started = Clock::now();
    probe.go();
    int status = probe.waitExit(5s);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    ASSERT_NE(status, -1) << "the host could not exit";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_LT(took, 5s); // the 10 s fetch limit plays no part in exiting
    std::printf("exit while fetching took %lld ms\n", static_cast<long long>(took.count()));
}

TEST(UpdateLibrary, UnloadingTheLibraryDuringACheckIsSafe)
{
    TestHttpServer server;
    server.stall("/softs/tallyvox/Update.txt");
    Probe probe(UPDATE_DLCLOSE_PROBE, {"dlclose", UPDATE_LIBRARY, server.url("/softs/tallyvox/Update.txt")});
    ASSERT_TRUE(probe.running());
    ASSERT_TRUE(server.waitForRequests(1, 5000));
    ASSERT_EQ(probe.readLine(), "closed");
    // Wake the check up after dlclose: its code must still be there.
    server.releaseStalls();
    probe.go();
    int status = probe.waitExit(5s);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

} // namespace
