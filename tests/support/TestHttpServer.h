// SPDX-License-Identifier: GPL-3.0-or-later
// TestHttpServer.h: a tiny HTTP server on 127.0.0.1 for the network tests.
// It listens on an ephemeral port, serves canned responses by request path
// (404 for anything else) and records what was asked for. A stalled path
// accepts the request and never answers until releaseStalls() or the end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tallyvox::test {

class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    std::uint16_t port() const { return port_; }
    std::string base() const;                     // "http://127.0.0.1:<port>"
    std::string url(std::string_view path) const; // base() + path

    void serve(const std::string &path, std::string rawResponse);
    void stall(const std::string &path);
    // Closes every stalled connection, now and from now on.
    void releaseStalls();

    std::vector<std::string> requests() const; // request targets, in arrival order
    // Waits until at least n requests have arrived; false on timeout.
    bool waitForRequests(std::size_t n, int timeoutMs) const;

    // A complete response. withLength=false leaves out Content-Length, so
    // the body ends when the connection closes.
    static std::string Response(int status, std::string_view body, std::string_view contentType = "text/plain",
                                bool withLength = true, std::string_view extraHeaders = {});

private:
    struct Route {
        std::string response;
        bool stalled = false;
    };
    void acceptLoop();
    void handle(int fd);
    bool waitReadable(int fd) const; // false once the server stops

    int listenFd_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;       // readable once stopping
    int releaseRead_ = -1, releaseWrite_ = -1; // readable once stalls are released
    std::uint16_t port_ = 0;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::map<std::string, Route> routes_;
    std::vector<std::string> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A port on 127.0.0.1 where nothing listens: connecting is refused.
std::uint16_t ClosedPort();

} // namespace tallyvox::test
