// SPDX-License-Identifier: GPL-3.0-or-later
// HttpGet through the fetch module against local servers: statuses and
// limits over http and https, redirects between them, a silent first
// address, proxies from the environment, and a missing module.
#include "tests/support/TestHttpServer.h"
#include "update/HttpGet.h"
#include "update/ReservedNames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tallyvox::update {
namespace {

using namespace std::chrono_literals;
using test::TestCertificate;
using test::TestHttpServer;
using Clock = std::chrono::steady_clock;

// Every test in this program fetches through the module just built, and
// none through a proxy the developer or the CI machine happens to set.
class FetchEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                 "no_proxy", "NO_PROXY"})
            ::unsetenv(name);
        SetFetchModulePath(FETCH_MODULE);
    }
};
[[maybe_unused]] testing::Environment *const kFetchEnvironment =
    testing::AddGlobalTestEnvironment(new FetchEnvironment);

FetchLimits Quick(const TestCertificate *trusted = nullptr)
{
    FetchLimits limits;
    limits.timeout = 400ms;
    if (trusted)
        limits.caFile = trusted->certFile();
    return limits;
}

std::string RedirectTo(int status, const std::string &location)
{
    return TestHttpServer::Response(status, "", "", true, "Location: " + location + "\r\n");
}

TEST(HttpGet, HonoursStatusSizeAndTimeLimitsOverHttpAndHttps)
{
    TestCertificate certificate;
    TestHttpServer server;
    TestHttpServer secure(&certificate);
    const std::string exact(64 * 1024, 'x');
    for (TestHttpServer *s : {&server, &secure}) {
        s->serve("/ok", TestHttpServer::Response(200, "hello"));
        s->serve("/exact", TestHttpServer::Response(200, exact));
        s->serve("/big", TestHttpServer::Response(200, exact + "x"));
        s->serve("/big-no-length", TestHttpServer::Response(200, exact + "x", "text/plain", false));
        s->stall("/stall");
    }
    server.serve("/ok-no-length", TestHttpServer::Response(200, "hello", "text/plain", false));
    server.serve("/huge-claim", "HTTP/1.0 200 OK\r\nContent-Length: 999999999\r\n\r\nabc");
    server.serve("/short", "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    server.serve("/garbage", "SSH-2.0-OpenSSH_9.2\r\n\r\n");
    server.serve("/no-head-end", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n");
    server.serve("/chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    server.serve("/lf-only", "HTTP/1.0 200 OK\nContent-Length: 2\n\nhi");
    server.serve("/server-error", TestHttpServer::Response(500, "oops"));
    server.serve("/big-error-page", TestHttpServer::Response(404, exact + exact));
    server.serve("/big-error-page-no-length", TestHttpServer::Response(404, exact + exact, "text/html", false));
    server.serve("/no-content", TestHttpServer::Response(204, ""));
    server.serve("/redirect-abs", RedirectTo(302, server.url("/ok")));
    server.serve("/redirect-path", RedirectTo(301, "/ok"));
    server.serve("/redirect-relative", RedirectTo(302, "ok"));
    server.serve("/redirect-https", RedirectTo(302, secure.url("/ok")));
    server.serve("/redirect-ftp", RedirectTo(302, "ftp://127.0.0.1/x"));
    server.serve("/redirect-file", RedirectTo(302, "file:///etc/passwd"));
    server.serve("/loop", RedirectTo(307, "/loop"));
    server.serve("/redirect-user", RedirectTo(302, "http://user:pw@" + server.base().substr(7) + "/ok"));
    secure.serve("/redirect-http", RedirectTo(302, server.url("/ok")));

    struct Case {
        std::string url;
        FetchStatus status;
        int httpStatus;
        std::size_t bodySize;
        bool trusted = true;
    };
    const Case cases[] = {
        {server.url("/ok"), FetchStatus::Ok, 200, 5},
        {server.url("/ok-no-length"), FetchStatus::Ok, 200, 5},
        {server.url("/exact"), FetchStatus::Ok, 200, 64 * 1024},
        {server.url("/big"), FetchStatus::TooLarge, 200, 0},
        {server.url("/big-no-length"), FetchStatus::TooLarge, 200, 0},
        {server.url("/huge-claim"), FetchStatus::TooLarge, 200, 0},
        {server.url("/short"), FetchStatus::BadResponse, 200, 0},
        {server.url("/garbage"), FetchStatus::BadResponse, 0, 0},
        {server.url("/no-head-end"), FetchStatus::BadResponse, 200, 0},
        {server.url("/chunked"), FetchStatus::Ok, 200, 5},
        {server.url("/lf-only"), FetchStatus::Ok, 200, 2},
        {server.url("/missing"), FetchStatus::HttpError, 404, 0},
        {server.url("/server-error"), FetchStatus::HttpError, 500, 0},
        {server.url("/big-error-page"), FetchStatus::HttpError, 404, 0},
        {server.url("/big-error-page-no-length"), FetchStatus::HttpError, 404, 0},
        {server.url("/no-content"), FetchStatus::HttpError, 204, 0},
        {server.url("/redirect-abs"), FetchStatus::Ok, 200, 5},
        {server.url("/redirect-path"), FetchStatus::Ok, 200, 5},
        {server.url("/redirect-relative"), FetchStatus::Ok, 200, 5},
        {server.url("/redirect-https"), FetchStatus::Ok, 200, 5},
        {server.url("/redirect-ftp"), FetchStatus::BadAddress, 302, 0},
        {server.url("/redirect-file"), FetchStatus::BadAddress, 302, 0},
        {server.url("/loop"), FetchStatus::TooManyRedirects, 307, 0},
        {server.url("/redirect-user"), FetchStatus::BadAddress, 302, 0},
        {server.url("/stall"), FetchStatus::TimedOut, 0, 0},
        {secure.url("/ok"), FetchStatus::Ok, 200, 5},
        {secure.url("/exact"), FetchStatus::Ok, 200, 64 * 1024},
        {secure.url("/big"), FetchStatus::TooLarge, 200, 0},
        {secure.url("/big-no-length"), FetchStatus::TooLarge, 200, 0},
        {secure.url("/redirect-http"), FetchStatus::BadAddress, 302, 0},
        {secure.url("/stall"), FetchStatus::TimedOut, 0, 0},
        {secure.url("/ok"), FetchStatus::ConnectFailed, 0, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url + (c.trusted ? "" : " (untrusted)"));
        auto started = Clock::now();
        FetchResult result = HttpGet(c.url, Quick(c.trusted ? &certificate : nullptr));
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.httpStatus, c.httpStatus);
        EXPECT_EQ(result.body.size(), c.bodySize);
        // Bounded by the limit, with room for a busy machine.
        EXPECT_LT(Clock::now() - started, 3s);
    }
    EXPECT_EQ(HttpGet(secure.url("/exact"), Quick(&certificate)).body, exact);
}

TEST(HttpGet, FailsCleanlyWithoutAServer)
{
    const std::string closed = std::to_string(test::ClosedPort());
    EXPECT_EQ(HttpGet("http://127.0.0.1:" + closed + "/x", Quick()).status, FetchStatus::ConnectFailed);
    EXPECT_EQ(HttpGet("https://127.0.0.1:" + closed + "/x", Quick()).status, FetchStatus::ConnectFailed);
    EXPECT_EQ(HttpGet("not an address", Quick()).status, FetchStatus::BadAddress);
    EXPECT_EQ(HttpGet("ftp://127.0.0.1/x", Quick()).status, FetchStatus::BadAddress);
    // .invalid never resolves: it fails at once, without asking the resolver.
    EXPECT_EQ(HttpGet("http://www.tallyvox.invalid/x", Quick()).status, FetchStatus::LookupFailed);
}

TEST(HttpGet, FallsBackFromASilentFirstAddress)
{
    TestHttpServer server;
    server.serve("/m", TestHttpServer::Response(200, "hello"));
    test::Blackhole first("127.0.0.2", server.port());
    test::Blackhole second("127.0.0.3", server.port());
    const std::string port = std::to_string(server.port());
    // With several addresses libcurl gives each try half of the connect
    // time left, so two silent ones still leave time for the live one.
    const std::pair<const char *, FetchStatus> cases[] = {
        {"127.0.0.2,127.0.0.1", FetchStatus::Ok},
        {"127.0.0.2,127.0.0.3,127.0.0.1", FetchStatus::Ok},
        {"127.0.0.2", FetchStatus::TimedOut},
    };
    for (const auto &[addresses, status] : cases) {
        SCOPED_TRACE(addresses);
        FetchLimits limits;
        limits.timeout = 4s;
        limits.connectTimeout = 2s;
        limits.resolve = {"updates.test:" + port + ":" + addresses};
        EXPECT_EQ(HttpGet("http://updates.test:" + port + "/m", limits).status, status);
    }
    EXPECT_EQ(server.requests().size(), 2u);
}

// Runs one HttpGet in fetch_probe with exactly the given environment;
// returns its "<status> <httpStatus> <size>" line.
std::string ProbeWith(const std::vector<std::string> &environment, const std::string &url, const std::string &caFile)
{
    std::string command = "env -i";
    for (const auto &variable : environment)
        command += " '" + variable + "'";
    command += " '" FETCH_PROBE "' '" FETCH_MODULE "' '" + url + "' '" + caFile + "'";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return "popen failed";
    char line[128] = {};
    std::string output = std::fgets(line, sizeof line, pipe) ? line : "";
    ::pclose(pipe);
    return output;
}

std::string ProbeLine(FetchStatus status, int httpStatus, std::size_t size)
{
    return std::to_string(static_cast<int>(status)) + " " + std::to_string(httpStatus) + " " + std::to_string(size) +
           "\n";
}

TEST(HttpGet, TakesItsProxyFromTheEnvironment)
{
    TestCertificate certificate;
    TestHttpServer server;
    TestHttpServer secure(&certificate);
    TestHttpServer proxy;
    for (TestHttpServer *s : {&server, &secure})
        s->serve("/ok", TestHttpServer::Response(200, "hello"));
    proxy.allowTunnels();
    // Only the proxy knows this host: an answer proves the proxy was asked.
    const std::string origin = "http://origin.test:8080/m";
    proxy.serve(origin, TestHttpServer::Response(200, "via proxy"));
    const std::string tunnel = "CONNECT 127.0.0.1:" + std::to_string(secure.port());
    const std::string deadProxy = "http://127.0.0.1:" + std::to_string(test::ClosedPort());

    struct Case {
        std::vector<std::string> environment;
        std::string url;
        std::string line;
        std::vector<std::string> proxied;
    };
    const Case cases[] = {
        {{"http_proxy=" + proxy.base()}, origin, ProbeLine(FetchStatus::Ok, 200, 9), {origin}},
        {{"all_proxy=" + proxy.base()}, origin, ProbeLine(FetchStatus::Ok, 200, 9), {origin}},
        {{"https_proxy=" + proxy.base()}, secure.url("/ok"), ProbeLine(FetchStatus::Ok, 200, 5), {tunnel}},
        {{"HTTPS_PROXY=" + proxy.base()}, secure.url("/ok"), ProbeLine(FetchStatus::Ok, 200, 5), {tunnel}},
        // Upper-case HTTP_PROXY is ignored on purpose (a CGI header can set it).
        {{"HTTP_PROXY=" + proxy.base()}, server.url("/ok"), ProbeLine(FetchStatus::Ok, 200, 5), {}},
        {{"https_proxy=" + proxy.base()}, server.url("/ok"), ProbeLine(FetchStatus::Ok, 200, 5), {}},
        {{"http_proxy=" + deadProxy, "no_proxy=127.0.0.1"}, server.url("/ok"), ProbeLine(FetchStatus::Ok, 200, 5), {}},
        {{"http_proxy=" + deadProxy}, server.url("/ok"), ProbeLine(FetchStatus::ConnectFailed, 0, 0), {}},
        // A proxy that refuses the tunnel: the server is never reached.
        {{"https_proxy=" + server.base()}, secure.url("/ok"), ProbeLine(FetchStatus::ConnectFailed, 0, 0), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.environment.front() + " " + c.url);
        std::size_t before = proxy.requests().size();
        EXPECT_EQ(ProbeWith(c.environment, c.url, certificate.certFile()), c.line);
        auto requests = proxy.requests();
        EXPECT_EQ(std::vector<std::string>(requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end()),
                  c.proxied);
    }
}

TEST(HttpGet, NamesTheMissingModuleOnStderr)
{
    TestHttpServer server;
    server.serve("/ok", TestHttpServer::Response(200, "hello"));
    const std::pair<const char *, const char *> modules[] = {
        {"/nonexistent/libtallyvox-fetch.so", "/nonexistent/libtallyvox-fetch.so: cannot open shared object file"},
        {"libcurl.so.4", "undefined symbol: tallyvox_fetch_v1"},
    };
    for (const auto &[module, reason] : modules) {
        SCOPED_TRACE(module);
        SetFetchModulePath(module);
        testing::internal::CaptureStderr();
        EXPECT_EQ(HttpGet(server.url("/ok"), Quick()).status, FetchStatus::Unavailable);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("tallyvox: no update check, the fetch module libtallyvox-fetch.so is missing"),
                  std::string::npos)
            << said;
        EXPECT_NE(said.find(reason), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
    SetFetchModulePath(FETCH_MODULE);
    EXPECT_EQ(HttpGet(server.url("/ok"), Quick()).status, FetchStatus::Ok);
}

TEST(ReservedNames, OnlyTheInvalidDomainIsRefused)
{
    const struct {
        const char *host;
        bool reserved;
    } rows[] = {
        {"invalid", true},      {"www.tallyvox.invalid", true}, {"X.INVALID.", true}, {"tallyvox.invalid..", true},
        {"invalid.com", false}, {"myinvalid", false},           {"127.0.0.1", false}, {"", false},
        {"example.test", false}};
    for (const auto &row : rows)
        EXPECT_EQ(IsReservedInvalidName(row.host), row.reserved) << row.host;
}

} // namespace
} // namespace tallyvox::update
