// SPDX-License-Identifier: GPL-3.0-or-later
// The update check against a local server: the check's outcome per
// manifest, and the background start with its notices.
#include "tests/support/TestHttpServer.h"
#include "update/HttpGet.h"
#include "update/UpdateCheck.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string_view>

namespace tallyvox::update {
namespace {

using namespace std::chrono_literals;
using test::TestHttpServer;

const std::string kNewer = "version: 99.0\npage: http://example.test/download.html\nnotes: one\nnotes: two\n";
const std::string kSame = "version: " TALLYVOX_VERSION "\npage: http://example.test/download.html\n";
const std::string kOlder = "version: 0.9.9\npage: http://example.test/download.html\n";

FetchLimits Quick()
{
    FetchLimits limits;
    limits.timeout = 400ms;
    return limits;
}

// A manifest of exactly size bytes, padded with comment lines.
std::string PaddedManifest(std::size_t size)
{
    std::string text = kNewer;
    while (text.size() < size) {
        std::size_t room = size - text.size();
        std::size_t line = std::min<std::size_t>(room, 80);
        text += line == 1 ? std::string("\n") : "#" + std::string(line - 2, 'x') + "\n";
    }
    return text;
}

TEST(RunCheck, NoticeOnlyForANewerWellFormedManifest)
{
    TestHttpServer server;
    server.serve("/newer", TestHttpServer::Response(200, kNewer));
    server.serve("/same", TestHttpServer::Response(200, kSame));
    server.serve("/older", TestHttpServer::Response(200, kOlder));
    server.serve("/malformed", TestHttpServer::Response(200, "version 99\npage http://example.test/\n"));
    server.serve("/html", TestHttpServer::Response(200, "<html>moved</html>", "text/html"));
    server.serve("/oversized", TestHttpServer::Response(200, PaddedManifest(64 * 1024 + 1)));
    server.stall("/stall");

    const std::pair<const char *, CheckOutcome> cases[] = {
        {"/newer", CheckOutcome::Newer},           {"/same", CheckOutcome::NotNewer},
        {"/older", CheckOutcome::NotNewer},        {"/malformed", CheckOutcome::Malformed},
        {"/html", CheckOutcome::Malformed},        {"/missing", CheckOutcome::FetchFailed},
        {"/oversized", CheckOutcome::FetchFailed}, {"/stall", CheckOutcome::FetchFailed},
    };
    for (const auto &[path, expected] : cases) {
        SCOPED_TRACE(path);
        Notice notice;
        EXPECT_EQ(RunCheck(server.url(path), TALLYVOX_VERSION, Quick(), notice), expected);
        EXPECT_EQ(notice.version.empty(), expected != CheckOutcome::Newer);
    }
    Notice notice;
    ASSERT_EQ(RunCheck(server.url("/newer"), "1.0", Quick(), notice), CheckOutcome::Newer);
    EXPECT_EQ(notice.version, "99.0");
    EXPECT_EQ(notice.page, "http://example.test/download.html");
    EXPECT_EQ(notice.notes, "one\ntwo");
    EXPECT_EQ(RunCheck(server.url("/newer"), "99.0.0", Quick(), notice), CheckOutcome::NotNewer);
}

// Records notices; installed for the length of one test.
class Notices {
public:
    Notices() { InstallNotifier(&Notices::Record, this); }
    ~Notices() { InstallNotifier(nullptr, nullptr); }
    std::vector<Notice> taken()
    {
        std::lock_guard guard(lock_);
        return notices_;
    }

private:
    static void Record(void *ctx, const char *version, const char *page, const char *notes)
    {
        auto *self = static_cast<Notices *>(ctx);
        std::lock_guard guard(self->lock_);
        self->notices_.push_back(Notice{version, page, notes});
    }
    std::mutex lock_;
    std::vector<Notice> notices_;
};

TEST(StartCheck, ExactlyOneNoticeForANewerVersionAndSilenceOtherwise)
{
    TestHttpServer server;
    server.serve("/newer", TestHttpServer::Response(200, kNewer));
    server.serve("/same", TestHttpServer::Response(200, kSame));
    server.serve("/older", TestHttpServer::Response(200, kOlder));
    server.serve("/malformed", TestHttpServer::Response(200, "version: 99\n"));
    server.serve("/oversized", TestHttpServer::Response(200, PaddedManifest(64 * 1024 + 1)));
    server.stall("/stall");

    const std::pair<const char *, std::size_t> cases[] = {
        {"/newer", 1},   {"/same", 0},      {"/older", 0}, {"/malformed", 0},
        {"/missing", 0}, {"/oversized", 0}, {"/stall", 0},
    };
    for (const auto &[path, expected] : cases) {
        SCOPED_TRACE(path);
        Notices notices;
        ASSERT_EQ(StartCheck(server.url(path).c_str(), UPDATE_NOTIFY_ONLY, Quick()), UPDATE_STARTED);
        // A call that waited for the stalled server would come back idle.
        if (std::string_view(path) == "/stall") {
            EXPECT_FALSE(WaitUntilIdle(0ms));
        }
        ASSERT_TRUE(WaitUntilIdle(5s));
        auto taken = notices.taken();
        ASSERT_EQ(taken.size(), expected);
        if (expected) {
            EXPECT_EQ(taken[0].version, "99.0");
            EXPECT_EQ(taken[0].page, "http://example.test/download.html");
            EXPECT_EQ(taken[0].notes, "one\ntwo");
        }
    }
}

TEST(StartCheck, RefusesBadArgumentsWithoutStartingAnything)
{
    Notices notices;
    const std::pair<const char *, int> addresses[] = {
        {nullptr, UPDATE_BAD_ADDRESS},
        {"", UPDATE_BAD_ADDRESS},
        {"http://", UPDATE_BAD_ADDRESS},
        {"http:///softs/tallyvox/Update.txt", UPDATE_BAD_ADDRESS},
        {"ftp://127.0.0.1/Update.txt", UPDATE_BAD_ADDRESS},
        {"127.0.0.1/Update.txt", UPDATE_BAD_ADDRESS},
        {"http://user@127.0.0.1/", UPDATE_BAD_ADDRESS},
    };
    for (const auto &[address, code] : addresses) {
        SCOPED_TRACE(address ? address : "NULL");
        EXPECT_EQ(StartCheck(address, UPDATE_NOTIFY_ONLY, Quick()), code);
    }
    std::string tooLong = "http://127.0.0.1/" + std::string(4096, 'a');
    EXPECT_EQ(StartCheck(tooLong.c_str(), UPDATE_NOTIFY_ONLY, Quick()), UPDATE_BAD_ADDRESS);
    for (int flags : {0, 1, 5, 6, -1, 4 | 256}) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(StartCheck("http://127.0.0.1/x", flags, Quick()), UPDATE_BAD_FLAGS);
    }
    EXPECT_TRUE(WaitUntilIdle(0ms));
    EXPECT_TRUE(notices.taken().empty());
}

TEST(DeliverNotice, WritesOneLineToStderrWithoutANotifier)
{
    testing::internal::CaptureStderr();
    DeliverNotice(Notice{"2.1", "http://example.test/dl", "line one\nline two"});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Tallyvox 2.1 is available: http://example.test/dl\n");
}

TEST(InstallNotifier, RemovalWaitsForARunningNotifier)
{
    // The host frees its context once removal returns, so removal must not
    // return while the old notifier still runs.
    static std::promise<void> entered;
    static std::promise<void> leave;
    static std::atomic<bool> done{false};
    entered = {};
    leave = {};
    auto slow = [](void *, const char *, const char *, const char *) {
        entered.set_value();
        leave.get_future().wait();
        done = true;
    };
    InstallNotifier(slow, nullptr);
    std::thread deliverer([] { DeliverNotice(Notice{"2.0", "http://h/", ""}); });
    entered.get_future().wait();
    auto removal = std::async(std::launch::async, [] {
        InstallNotifier(nullptr, nullptr);
        return done.load();
    });
    EXPECT_EQ(removal.wait_for(100ms), std::future_status::timeout);
    leave.set_value();
    EXPECT_TRUE(removal.get());
    deliverer.join();
}

} // namespace
} // namespace tallyvox::update
