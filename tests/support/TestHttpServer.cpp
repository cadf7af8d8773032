// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestHttpServer.h"

#include <cerrno>
#include <chrono>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallyvox::test {
namespace {

int ListenLoopback(std::uint16_t &port, bool listening)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || (listening && ::listen(fd, 64) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen");
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

TestHttpServer::TestHttpServer()
{
    listenFd_ = ListenLoopback(port_, true);
    int wake[2], release[2];
    if (::pipe2(wake, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    releaseRead_ = release[0];
    releaseWrite_ = release[1];
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestHttpServer::~TestHttpServer()
{
    char c = 'x';
    (void)!::write(wakeWrite_, &c, 1);
    acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard guard(lock_);
        workers.swap(workers_);
    }
    for (auto &worker : workers)
        worker.join();
    for (int fd : {listenFd_, wakeRead_, wakeWrite_, releaseRead_, releaseWrite_})
        ::close(fd);
}

std::string TestHttpServer::base() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string TestHttpServer::url(std::string_view path) const
{
    return base() + std::string(path);
}

void TestHttpServer::serve(const std::string &path, std::string rawResponse)
{
    std::lock_guard guard(lock_);
    routes_[path] = Route{std::move(rawResponse), false};
}

void TestHttpServer::stall(const std::string &path)
{
    std::lock_guard guard(lock_);
    routes_[path] = Route{{}, true};
}

void TestHttpServer::releaseStalls()
{
    char c = 'x';
    (void)!::write(releaseWrite_, &c, 1);
}

std::vector<std::string> TestHttpServer::requests() const
{
    std::lock_guard guard(lock_);
    return requests_;
}

bool TestHttpServer::waitForRequests(std::size_t n, int timeoutMs) const
{
    std::unique_lock guard(lock_);
    return arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= n; });
}

std::string TestHttpServer::Response(int status, std::string_view body, std::string_view contentType, bool withLength,
                                     std::string_view extraHeaders)
{
    std::string response = "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Other") + "\r\n";
    if (!contentType.empty())
        response += "Content-Type: " + std::string(contentType) + "\r\n";
    if (withLength)
        response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    response += extraHeaders;
    response += "Connection: close\r\n\r\n";
    response += body;
    return response;
}

bool TestHttpServer::waitReadable(int fd) const
{
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    while (::poll(p, 2, -1) < 0) {
        if (errno != EINTR)
            return false;
    }
    return !(p[1].revents & POLLIN) && (p[0].revents & (POLLIN | POLLHUP | POLLERR));
}

void TestHttpServer::acceptLoop()
{
    while (waitReadable(listenFd_)) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard guard(lock_);
        workers_.emplace_back([this, fd] { handle(fd); });
    }
}

void TestHttpServer::handle(int fd)
{
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        if (!waitReadable(fd)) {
            ::close(fd);
            return;
        }
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    // "GET <target> HTTP/1.x"
    std::size_t first = request.find(' ');
    std::size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
    std::string target = second == std::string::npos ? std::string() : request.substr(first + 1, second - first - 1);

    Route route{TestHttpServer::Response(404, "not found"), false};
    {
        std::lock_guard guard(lock_);
        requests_.push_back(target);
        auto found = routes_.find(target);
        if (found != routes_.end())
            route = found->second;
    }
    arrived_.notify_all();

    if (route.stalled) {
        pollfd p[2] = {{wakeRead_, POLLIN, 0}, {releaseRead_, POLLIN, 0}};
        while (::poll(p, 2, -1) < 0 && errno == EINTR) {
        }
        ::close(fd);
        return;
    }
    std::string_view rest = route.response;
    while (!rest.empty()) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno == EINTR)
            continue;
        if (p[1].revents & POLLIN)
            break;
        ssize_t n = ::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break; // the client gave up, which some tests expect
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

std::uint16_t ClosedPort()
{
    std::uint16_t port = 0;
    ::close(ListenLoopback(port, false));
    return port;
}

} // namespace tallyvox::test
