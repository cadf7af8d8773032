// SPDX-License-Identifier: GPL-3.0-or-later
// TestHttpServer.h: a tiny HTTP(S) server on a loopback address for the
// network tests. It listens on an ephemeral port (or one given), serves
// canned responses by request target (404 for anything else) and records
// what was asked for. A stalled target accepts the request and never answers
// until releaseStalls() or the end. The same server is an HTTP proxy: an
// absolute-form target ("http://host:port/path") is just another route, and
// allowTunnels() lets it answer CONNECT by relaying to the loopback port.
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

// A self-signed certificate for 127.0.0.1, ::1 and localhost, made at test
// time and written to a temporary folder that the destructor removes.
class TestCertificate {
public:
    TestCertificate();
    ~TestCertificate();
    TestCertificate(const TestCertificate &) = delete;
    TestCertificate &operator=(const TestCertificate &) = delete;

    const std::string &certFile() const { return certFile_; } // PEM, also the file a client trusts
    const std::string &keyFile() const { return keyFile_; }

private:
    std::string folder_, certFile_, keyFile_;
};

class TestHttpServer {
public:
    // HTTPS when certificate is given (it must outlive the server).
    explicit TestHttpServer(const TestCertificate *certificate = nullptr, std::string address = "127.0.0.1",
                            std::uint16_t port = 0);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    std::uint16_t port() const { return port_; }
    std::string base() const;                     // "http(s)://<address>:<port>"
    std::string url(std::string_view path) const; // base() + path

    void serve(const std::string &target, std::string rawResponse);
    void stall(const std::string &target);
    // Closes every stalled connection, now and from now on.
    void releaseStalls();
    // Answers "CONNECT host:port" with 200 and relays to 127.0.0.1:port.
    void allowTunnels();

    std::vector<std::string> requests() const; // request targets ("CONNECT h:p" for tunnels), in order
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
    class Connection;
    void acceptLoop();
    void handle(int fd);
    void tunnel(Connection &client, std::uint16_t port);
    bool waitReadable(int fd) const; // false once the server stops

    std::string address_;
    void *tls_ = nullptr; // SSL_CTX, kept out of this header
    bool tunnels_ = false;
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

// An address:port that silently drops connection attempts, as a host that
// has gone away does: a listener with a one-place accept queue, filled by a
// connection of its own. Linux drops a SYN to a listener whose accept queue
// is full, so a client's connect hangs (retrying its SYN) until it gives up.
// Needs no privileges; any 127.x.y.z address is local on Linux.
class Blackhole {
public:
    Blackhole(const std::string &address, std::uint16_t port);
    ~Blackhole();
    Blackhole(const Blackhole &) = delete;
    Blackhole &operator=(const Blackhole &) = delete;

private:
    int listenFd_ = -1, fillerFd_ = -1;
};

// A port on 127.0.0.1 where nothing listens: connecting is refused.
std::uint16_t ClosedPort();

} // namespace tallyvox::test
