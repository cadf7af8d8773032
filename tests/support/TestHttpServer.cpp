// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestHttpServer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallyvox::test {
namespace {

// A socket address for an IPv4 or IPv6 literal.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    SocketAddress(const std::string &address, std::uint16_t port)
    {
        auto *v4 = reinterpret_cast<sockaddr_in *>(&storage);
        auto *v6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        if (::inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(port);
            length = sizeof *v4;
        } else if (::inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(port);
            length = sizeof *v6;
        } else {
            throw std::runtime_error("not an address literal: " + address);
        }
    }
    sockaddr *get() { return reinterpret_cast<sockaddr *>(&storage); }
};

// A socket bound to address:port (port 0: any), listening with the given
// backlog unless it is negative; port receives the bound port.
int Listen(const std::string &address, std::uint16_t &port, int backlog)
{
    SocketAddress bound(address, port);
    int fd = ::socket(bound.get()->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    socklen_t length = bound.length;
    if (::bind(fd, bound.get(), length) != 0 || (backlog >= 0 && ::listen(fd, backlog) != 0) ||
        ::getsockname(fd, bound.get(), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind/listen " + address + ":" + std::to_string(port));
    }
    port = ntohs(bound.get()->sa_family == AF_INET ? reinterpret_cast<sockaddr_in *>(bound.get())->sin_port
                                                   : reinterpret_cast<sockaddr_in6 *>(bound.get())->sin6_port);
    return fd;
}

int ConnectLoopback(std::uint16_t port)
{
    SocketAddress target("127.0.0.1", port);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, target.get(), target.length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T *p) const
    {
        Free(p);
    }
};

} // namespace

TestCertificate::TestCertificate()
{
    char folder[] = "/tmp/tallyvox-cert-XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("mkdtemp");
    folder_ = folder;
    certFile_ = folder_ + "/cert.pem";
    keyFile_ = folder_ + "/key.pem";

    std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>> key(EVP_EC_gen("P-256"));
    std::unique_ptr<X509, Deleter<X509_free>> cert(X509_new());
    if (!key || !cert)
        throw std::runtime_error("certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), static_cast<long>(std::time(nullptr)));
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME *name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("localhost"), -1, -1,
                               0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1"},
                              std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
        if (!extension || !X509_add_ext(cert.get(), extension, -1))
            throw std::runtime_error("certificate extension");
        X509_EXTENSION_free(extension);
    }
    if (!X509_sign(cert.get(), key.get(), EVP_sha256()))
        throw std::runtime_error("certificate signature");

    std::unique_ptr<FILE, Deleter<std::fclose>> certOut(std::fopen(certFile_.c_str(), "w"));
    std::unique_ptr<FILE, Deleter<std::fclose>> keyOut(std::fopen(keyFile_.c_str(), "w"));
    if (!certOut || !keyOut || !PEM_write_X509(certOut.get(), cert.get()) ||
        !PEM_write_PrivateKey(keyOut.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
        throw std::runtime_error("certificate files");
}

TestCertificate::~TestCertificate()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

// One accepted connection, plain or TLS.
class TestHttpServer::Connection {
public:
    Connection(int fd, SSL_CTX *tls) : fd_(fd)
    {
        if (!tls)
            return;
        // A client that never finishes its handshake must not hold the
        // server's destructor forever.
        timeval limit{5, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ssl_ = SSL_new(tls);
        if (!ssl_ || !SSL_set_fd(ssl_, fd_) || SSL_accept(ssl_) != 1)
            ok_ = false;
    }
    ~Connection()
    {
        if (ssl_) {
            if (ok_)
                SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
        ::shutdown(fd_, SHUT_WR);
        ::close(fd_);
    }
    bool ok() const { return ok_; }
    int fd() const { return fd_; }
    bool buffered() const { return ssl_ && SSL_pending(ssl_) > 0; }
    ssize_t receive(char *buffer, std::size_t size)
    {
        if (ssl_) {
            int n = SSL_read(ssl_, buffer, static_cast<int>(size));
            return n > 0 ? n : -1;
        }
        return ::recv(fd_, buffer, size, 0);
    }
    // Sends what it can; -1 once the peer is gone, 0 to try again.
    ssize_t send(std::string_view data)
    {
        if (ssl_) {
            int n = SSL_write(ssl_, data.data(), static_cast<int>(data.size()));
            return n > 0 ? n : -1;
        }
        ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        return n < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : n;
    }

private:
    int fd_;
    SSL *ssl_ = nullptr;
    bool ok_ = true;
};

TestHttpServer::TestHttpServer(const TestCertificate *certificate, std::string address, std::uint16_t port)
    : address_(std::move(address)), port_(port)
{
    if (certificate) {
        // OpenSSL writes with plain send(): a client that hangs up mid-body
        // (as the size tests want) must not kill the test with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
        SSL_CTX *tls = SSL_CTX_new(TLS_server_method());
        if (!tls || SSL_CTX_use_certificate_file(tls, certificate->certFile().c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls, certificate->keyFile().c_str(), SSL_FILETYPE_PEM) != 1)
            throw std::runtime_error("TLS context");
        tls_ = tls;
    }
    listenFd_ = Listen(address_, port_, 64);
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
    SSL_CTX_free(static_cast<SSL_CTX *>(tls_));
}

std::string TestHttpServer::base() const
{
    std::string host = address_.find(':') != std::string::npos ? "[" + address_ + "]" : address_;
    return (tls_ ? "https://" : "http://") + host + ":" + std::to_string(port_);
}

std::string TestHttpServer::url(std::string_view path) const
{
    return base() + std::string(path);
}

void TestHttpServer::serve(const std::string &target, std::string rawResponse)
{
    std::lock_guard guard(lock_);
    routes_[target] = Route{std::move(rawResponse), false};
}

void TestHttpServer::stall(const std::string &target)
{
    std::lock_guard guard(lock_);
    routes_[target] = Route{{}, true};
}

void TestHttpServer::releaseStalls()
{
    char c = 'x';
    (void)!::write(releaseWrite_, &c, 1);
}

void TestHttpServer::allowTunnels()
{
    std::lock_guard guard(lock_);
    tunnels_ = true;
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
    Connection connection(fd, static_cast<SSL_CTX *>(tls_));
    if (!connection.ok())
        return; // a client that rejected our certificate, which some tests expect
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        if (!connection.buffered() && !waitReadable(fd))
            return;
        ssize_t n = connection.receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    // "GET <target> HTTP/1.x" or "CONNECT <host:port> HTTP/1.x"
    std::size_t first = request.find(' ');
    std::size_t second = first == std::string::npos ? first : request.find(' ', first + 1);
    std::string method = request.substr(0, first);
    std::string target = second == std::string::npos ? std::string() : request.substr(first + 1, second - first - 1);

    Route route{TestHttpServer::Response(404, "not found"), false};
    bool tunnels = false;
    {
        std::lock_guard guard(lock_);
        requests_.push_back(method == "CONNECT" ? "CONNECT " + target : target);
        auto found = routes_.find(target);
        if (found != routes_.end())
            route = found->second;
        tunnels = tunnels_;
    }
    arrived_.notify_all();

    if (method == "CONNECT") {
        std::size_t colon = target.rfind(':');
        int port = colon == std::string::npos ? 0 : std::atoi(target.c_str() + colon + 1);
        if (tunnels && port > 0 && port < 65536) {
            tunnel(connection, static_cast<std::uint16_t>(port));
            return;
        }
        route = Route{TestHttpServer::Response(403, "no tunnels here"), false};
    }
    if (route.stalled) {
        pollfd p[2] = {{wakeRead_, POLLIN, 0}, {releaseRead_, POLLIN, 0}};
        while (::poll(p, 2, -1) < 0 && errno == EINTR) {
        }
        return;
    }
    std::string_view rest = route.response;
    while (!rest.empty()) {
        pollfd p[2] = {{fd, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno == EINTR)
            continue;
        if (p[1].revents & POLLIN)
            break;
        ssize_t n = connection.send(rest);
        if (n < 0)
            break; // the client gave up, which some tests expect
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Relays both ways between the client and 127.0.0.1:port until either side
// closes or the server stops.
void TestHttpServer::tunnel(Connection &client, std::uint16_t port)
{
    int upstream = ConnectLoopback(port);
    if (upstream < 0) {
        client.send(Response(502, "no upstream"));
        return;
    }
    client.send("HTTP/1.1 200 Connection established\r\n\r\n");
    char buffer[16384];
    bool open = true;
    while (open) {
        pollfd p[3] = {{client.fd(), POLLIN, 0}, {upstream, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(p, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[2].revents & POLLIN)
            break;
        for (int from = 0; from < 2 && open; ++from) {
            if (!(p[from].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = ::recv(p[from].fd, buffer, sizeof buffer, 0);
            if (n <= 0 || ::send(p[1 - from].fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n)
                open = false;
        }
    }
    ::close(upstream);
}

Blackhole::Blackhole(const std::string &address, std::uint16_t port)
{
    std::uint16_t bound = port;
    listenFd_ = Listen(address, bound, 0);
    // Backlog 0 still queues one connection; this one fills the queue and is
    // never accepted.
    SocketAddress target(address, bound);
    fillerFd_ = ::socket(target.get()->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fillerFd_ < 0 || ::connect(fillerFd_, target.get(), target.length) != 0) {
        ::close(listenFd_);
        if (fillerFd_ >= 0)
            ::close(fillerFd_);
        throw std::runtime_error("blackhole " + address);
    }
}

Blackhole::~Blackhole()
{
    ::close(fillerFd_);
    ::close(listenFd_);
}

std::uint16_t ClosedPort()
{
    std::uint16_t port = 0;
    ::close(Listen("127.0.0.1", port, -1));
    return port;
}

} // namespace tallyvox::test
