// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/SocketIo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallyvox::socketio {

bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        int timeout = -1;
        if (deadline != kNoDeadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            timeout = static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX));
        }
        pollfd p{fd, events, 0};
        const int ready = poll(&p, 1, timeout);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

IoStatus SendAll(int fd, const void *data, std::size_t size, Clock::time_point deadline)
{
    const auto *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadline))
                return IoStatus::Overdue;
        } else if (n < 0 && (errno == EPIPE || errno == ECONNRESET)) {
            return IoStatus::Gone;
        } else {
            return IoStatus::Failed;
        }
    }
    return IoStatus::Ok;
}

IoStatus ReceiveAll(int fd, void *buffer, std::size_t size, Clock::time_point deadline)
{
    auto *p = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
        } else if (n == 0 || errno == ECONNRESET) {
            return IoStatus::Gone;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(fd, POLLIN, deadline))
                return IoStatus::Overdue;
        } else {
            return IoStatus::Failed;
        }
    }
    return IoStatus::Ok;
}

IoStatus WriteAll(int fd, const void *data, std::size_t size)
{
    const auto *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && (errno == EPIPE || errno == ECONNRESET) ? IoStatus::Gone : IoStatus::Failed;
        }
    }
    return IoStatus::Ok;
}

} // namespace tallyvox::socketio
