// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/HttpGet.h"

#include "numbers/AsciiCase.h"
#include "update/ReservedNames.h"
#include "update/WebAddress.h"

#include <cerrno>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallyvox::update {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxHead = 16 * 1024; // status line and headers together

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds span) : end_(Clock::now() + span) {}
    bool passed() const { return Clock::now() >= end_; }
    int remainingMs() const
    {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
        return left <= 0 ? 0 : static_cast<int>(left > 1000000 ? 1000000 : left);
    }
    timespec remainingTimespec() const
    {
        int ms = remainingMs();
        return timespec{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    }

private:
    Clock::time_point end_;
};

class Socket {
public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    ~Socket() { reset(); }
    int get() const { return fd_; }
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// Waits for events on fd; 1 ready, 0 deadline passed, -1 error.
int WaitFor(int fd, short events, const Deadline &deadline)
{
    while (true) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, deadline.remainingMs());
        if (n > 0)
            return 1;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// A name lookup that gives up at the deadline. The request lives on the
// heap: when the resolver cannot cancel it in time it keeps writing into it,
// so then it is left behind rather than freed under the resolver's feet.
struct Lookup {
    std::string host, service;
    addrinfo hints{};
    gaicb request{};
};

struct AddrInfoList {
    addrinfo *head = nullptr;
    ~AddrInfoList()
    {
        if (head)
            ::freeaddrinfo(head);
    }
};

FetchStatus Resolve(const WebAddress &address, const Deadline &deadline, AddrInfoList &out)
{
    // A literal address needs no resolver, so no resolver thread either.
    addrinfo numeric{};
    numeric.ai_family = AF_UNSPEC;
    numeric.ai_socktype = SOCK_STREAM;
    numeric.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &numeric, &out.head) == 0)
        return FetchStatus::Ok;
    out.head = nullptr;
    if (IsReservedInvalidName(address.host))
        return FetchStatus::LookupFailed;

    auto *lookup = new Lookup;
    lookup->host = address.host;
    lookup->service = std::to_string(address.port);
    lookup->hints.ai_family = AF_UNSPEC;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->hints.ai_flags = AI_NUMERICSERV;
    lookup->request.ar_name = lookup->host.c_str();
    lookup->request.ar_service = lookup->service.c_str();
    lookup->request.ar_request = &lookup->hints;
    gaicb *requests[1] = {&lookup->request};
    if (::getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0) {
        delete lookup;
        return FetchStatus::LookupFailed;
    }
    while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
        if (deadline.passed()) {
            int cancelled = ::gai_cancel(&lookup->request);
            if (cancelled == EAI_ALLDONE) {
                if (lookup->request.ar_result)
                    ::freeaddrinfo(lookup->request.ar_result);
                delete lookup;
            } else if (cancelled == EAI_CANCELED) {
                delete lookup;
            }
            return FetchStatus::TimedOut;
        }
        timespec wait = deadline.remainingTimespec();
        const gaicb *pending[1] = {&lookup->request};
        ::gai_suspend(pending, 1, &wait);
    }
    FetchStatus status = FetchStatus::LookupFailed;
    if (::gai_error(&lookup->request) == 0 && lookup->request.ar_result) {
        out.head = lookup->request.ar_result;
        status = FetchStatus::Ok;
    }
    delete lookup;
    return status;
}

FetchStatus Connect(const AddrInfoList &addresses, const Deadline &deadline, Socket &out)
{
    for (const addrinfo *ai = addresses.head; ai; ai = ai->ai_next) {
        Socket s(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
        if (s.get() < 0)
            continue;
        if (::connect(s.get(), ai->ai_addr, ai->ai_addrlen) != 0) {
            if (errno != EINPROGRESS)
                continue;
            int ready = WaitFor(s.get(), POLLOUT, deadline);
            if (ready == 0)
                return FetchStatus::TimedOut;
            int error = 0;
            socklen_t length = sizeof error;
            if (ready < 0 || ::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
                continue;
        }
        out.reset(s.release());
        return FetchStatus::Ok;
    }
    return FetchStatus::ConnectFailed;
}

FetchStatus SendAll(int fd, std::string_view data, const Deadline &deadline)
{
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int ready = WaitFor(fd, POLLOUT, deadline);
            if (ready == 0)
                return FetchStatus::TimedOut;
            if (ready > 0)
                continue;
        }
        return FetchStatus::BadResponse;
    }
    return FetchStatus::Ok;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

struct ResponseHead {
    int status = 0;
    std::optional<std::size_t> contentLength;
    std::string location;
    bool encoded = false; // a transfer coding this client does not decode
};

bool ParseHead(std::string_view head, ResponseHead &out)
{
    std::size_t lineEnd = head.find('\n');
    std::string_view statusLine = TrimBlanks(head.substr(0, lineEnd));
    // "HTTP/1.x NNN[ reason]"
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[8] != ' ')
        return false;
    for (std::size_t i = 9; i < 12; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9')
            return false;
    }
    if (statusLine.size() > 12 && statusLine[12] != ' ')
        return false;
    out.status = (statusLine[9] - '0') * 100 + (statusLine[10] - '0') * 10 + (statusLine[11] - '0');

    while (lineEnd != std::string_view::npos) {
        std::size_t start = lineEnd + 1;
        lineEnd = head.find('\n', start);
        std::string_view line = head.substr(start, lineEnd == std::string_view::npos ? lineEnd : lineEnd - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        std::string_view name = line.substr(0, colon);
        std::string_view value = TrimBlanks(line.substr(colon + 1));
        if (EqualsNoCase(name, "content-length")) {
            if (value.empty() || value.size() > 15)
                return false;
            std::size_t length = 0;
            for (char c : value) {
                if (c < '0' || c > '9')
                    return false;
                length = length * 10 + static_cast<std::size_t>(c - '0');
            }
            if (out.contentLength && *out.contentLength != length)
                return false;
            out.contentLength = length;
        } else if (EqualsNoCase(name, "location")) {
            out.location = value;
        } else if (EqualsNoCase(name, "transfer-encoding")) {
            if (!EqualsNoCase(value, "identity"))
                out.encoded = true;
        }
    }
    return true;
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address a Location header points to, or empty for anything but
// http:// (absolute, scheme-relative or host-relative).
std::string RedirectTarget(const WebAddress &from, std::string_view location)
{
    if (location.size() >= 2 && location.substr(0, 2) == "//")
        return "http:" + std::string(location);
    if (!location.empty() && location.front() == '/')
        return "http://" + HostHeader(from) + std::string(location);
    if (location.size() >= 7 && EqualsNoCase(location.substr(0, 7), "http://"))
        return std::string(location);
    return {};
}

// One request/response exchange. For a redirect, redirect receives the
// next address.
FetchResult FetchOnce(const WebAddress &address, const FetchLimits &limits, const Deadline &deadline,
                      std::string &redirect)
{
    FetchResult result;
    AddrInfoList addresses;
    if ((result.status = Resolve(address, deadline, addresses)) != FetchStatus::Ok)
        return result;
    Socket socket;
    if ((result.status = Connect(addresses, deadline, socket)) != FetchStatus::Ok)
        return result;

    std::string request = "GET " + address.target + " HTTP/1.0\r\nHost: " + HostHeader(address) +
                          "\r\nUser-Agent: Tallyvox/" TALLYVOX_VERSION
                          "\r\nAccept: text/plain\r\nConnection: close\r\n\r\n";
    if ((result.status = SendAll(socket.get(), request, deadline)) != FetchStatus::Ok)
        return result;

    std::string data;
    std::optional<std::size_t> bodyStart;
    ResponseHead head;
    char buffer[4096];
    while (true) {
        int ready = WaitFor(socket.get(), POLLIN, deadline);
        if (ready == 0) {
            result.status = FetchStatus::TimedOut;
            return result;
        }
        ssize_t n = ready > 0 ? ::recv(socket.get(), buffer, sizeof buffer, 0) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.status = FetchStatus::BadResponse;
            return result;
        }
        bool atEnd = n == 0;
        data.append(buffer, static_cast<std::size_t>(n));

        if (!bodyStart) {
            std::size_t crlf = data.find("\r\n\r\n");
            std::size_t lf = data.find("\n\n");
            std::size_t end =
                std::min(crlf == std::string::npos ? crlf : crlf + 4, lf == std::string::npos ? lf : lf + 2);
            if (end == std::string::npos) {
                if (atEnd || data.size() > kMaxHead) {
                    result.status = FetchStatus::BadResponse;
                    return result;
                }
                continue;
            }
            if (end > kMaxHead || !ParseHead(std::string_view(data).substr(0, end), head)) {
                result.status = FetchStatus::BadResponse;
                return result;
            }
            bodyStart = end;
            result.httpStatus = head.status;
            if (IsRedirect(head.status)) {
                redirect = RedirectTarget(address, head.location);
                result.status = redirect.empty() ? FetchStatus::BadAddress : FetchStatus::Ok;
                return result;
            }
            if (head.status != 200) {
                result.status = FetchStatus::HttpError;
                return result;
            }
            if (head.encoded) {
                result.status = FetchStatus::BadResponse;
                return result;
            }
            if (head.contentLength && *head.contentLength > limits.maxBody) {
                result.status = FetchStatus::TooLarge;
                return result;
            }
        }

        std::size_t bodySize = data.size() - *bodyStart;
        if (head.contentLength && bodySize >= *head.contentLength) {
            result.body = data.substr(*bodyStart, *head.contentLength);
            result.status = FetchStatus::Ok;
            return result;
        }
        if (bodySize > limits.maxBody) {
            result.status = FetchStatus::TooLarge;
            return result;
        }
        if (atEnd) {
            // Without a length the body ends with the connection; with one,
            // an early end means the body was cut short.
            if (head.contentLength) {
                result.status = FetchStatus::BadResponse;
                return result;
            }
            result.body = data.substr(*bodyStart);
            result.status = FetchStatus::Ok;
            return result;
        }
    }
}

} // namespace

FetchResult HttpGet(std::string_view address, const FetchLimits &limits)
{
    try {
        Deadline deadline(limits.timeout);
        std::string current(address);
        int lastStatus = 0;
        for (int redirects = 0;; ++redirects) {
            auto parsed = ParseWebAddress(current);
            if (!parsed || parsed->https)
                return FetchResult{FetchStatus::BadAddress, lastStatus, {}};
            std::string next;
            FetchResult result = FetchOnce(*parsed, limits, deadline, next);
            if (next.empty() || result.status != FetchStatus::Ok)
                return result;
            if (redirects >= limits.maxRedirects)
                return FetchResult{FetchStatus::TooManyRedirects, result.httpStatus, {}};
            lastStatus = result.httpStatus;
            current = std::move(next);
        }
    } catch (...) {
        return FetchResult{FetchStatus::BadResponse, 0, {}};
    }
}

} // namespace tallyvox::update
