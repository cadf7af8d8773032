// SPDX-License-Identifier: GPL-3.0-or-later
// Sending and receiving whole messages on a stream socket, bounded by a
// deadline. The evaluator and its sandbox child both speak through one
// socket pair with these. Receiving uses read() and the child writes with
// WriteAll: its syscall filter allows read and write, not recv or send.
#pragma once

#include <chrono>
#include <cstddef>

namespace tallyvox::socketio {

using Clock = std::chrono::steady_clock;
inline constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

enum class IoStatus {
    Ok,
    Gone,    // the other end closed the socket or died
    Overdue, // the deadline passed
    Failed,
};

// Waits until fd is ready for events (or has hung up); false once the
// deadline has passed or on an error.
bool WaitFor(int fd, short events, Clock::time_point deadline);

// The whole buffer or a status saying why not. A closed peer gives Gone,
// never SIGPIPE. Works on blocking and non-blocking sockets.
IoStatus SendAll(int fd, const void *data, std::size_t size, Clock::time_point deadline = kNoDeadline);
IoStatus ReceiveAll(int fd, void *buffer, std::size_t size, Clock::time_point deadline = kNoDeadline);
// Blocking write of the whole buffer, for a process that ignores SIGPIPE.
IoStatus WriteAll(int fd, const void *data, std::size_t size);

} // namespace tallyvox::socketio
