// SPDX-License-Identifier: GPL-3.0-or-later
// Script evaluation in a long-lived, bounded child process.
//
// Children are spawned ahead and, once they have said hello, serve one call
// after another in turn, each building a fresh engine after every call. A
// call that overruns its deadline gets its child killed; a child that dies
// or retires is handed to a helper thread, which spawns the replacement
// first and then reaps, so a caller waits neither for the kernel's tear-down
// nor for an exec.
#include "script/ScriptEvaluator.h"

#include "numbers/NumberText.h"
#include "numbers/ProgramFolder.h"
#include "script/ScriptWire.h"
#include "script/SocketIo.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

// AddressSanitizer reserves terabytes of shadow memory at start-up, which an
// address-space cap set from outside would refuse. GCC says so with
// __SANITIZE_ADDRESS__, clang only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TALLYVOX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALLYVOX_ADDRESS_SANITIZER 1
#endif
#endif

namespace tallyvox {

namespace {

using namespace scriptwire;
using namespace socketio;
using namespace std::chrono_literals;

// What a fresh child may take to load Qt, build its warm-up engine and
// confine itself. A call waits for its hello no longer than the call's own
// deadline, and keeps it for the next call until this has passed; after
// that it counts as broken and is replaced.
constexpr auto kStartupAllowance = 5000ms;
// What a retiring or dead child gets to finish exiting before it is killed.
constexpr auto kExitGrace = 500ms;
// Ends kept for TakeEndedChildren; the calculator never asks.
constexpr std::size_t kEndsKept = 64;

struct Child {
    pid_t pid = -1;
    int socket = -1; // non-blocking; the child's stdin and stdout
    Clock::time_point spawned;
    bool greeted = false; // its hello has been read
    bool ready = false;   // its hello or kReady has been read since the last request
    bool exiting = false; // ended or ending by itself: reaped after a grace period
    std::uint8_t steps = 0;
    bool valid() const { return pid > 0; }
};

// Ends a child whatever state it is in and reports how. The child never
// forks and is not reaped before this, so its pid cannot have been reused.
ChildEnd Discard(Child &child)
{
    ChildEnd end{child.pid, 0, false};
    if (child.socket >= 0)
        close(child.socket);
    if (child.pid > 0) {
        pid_t done = waitpid(child.pid, &end.status, WNOHANG);
        const auto deadline = Clock::now() + kExitGrace;
        while (child.exiting && done == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
            done = waitpid(child.pid, &end.status, WNOHANG);
        }
        if (done == 0) {
            kill(child.pid, SIGKILL);
            end.killedByUs = true;
            while (waitpid(child.pid, &end.status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    child = {};
    return end;
}

// Reads the child's hello or kReady, unless it has been read already.
IoStatus AwaitReady(Child &child, Clock::time_point deadline)
{
    if (child.ready)
        return IoStatus::Ok;
    char signal = 0;
    IoStatus status = ReceiveAll(child.socket, &signal, 1, deadline);
    if (status == IoStatus::Ok && signal == kHello && !child.greeted) {
        status = ReceiveAll(child.socket, &child.steps, 1, deadline);
        child.greeted = status == IoStatus::Ok;
    } else if (status == IoStatus::Ok && !(signal == kReady && child.greeted)) {
        status = IoStatus::Failed; // not this protocol
    }
    child.ready = status == IoStatus::Ok;
    return status;
}

} // namespace

struct ScriptEvaluator::Impl {
    std::filesystem::path program;
    ScriptLimits limits;

    std::mutex callMutex; // one call at a time
    std::mutex mutex;
    std::condition_variable changed;
    // Children waiting for a call, the one that has had the longest to build
    // its next engine first.
    std::deque<Child> idle;
    int owed = 0; // children the helper still has to put in place
    bool stopping = false;
    std::vector<Child> used; // for the helper to reap
    std::vector<ChildEnd> ended;
    std::thread helper;

    Child Spawn() const;
    void HelperLoop();
    Child TakeIdle();
    void GiveBack(Child child, bool first = false);
    void Retire(Child child);

    struct Outcome {
        std::string text;   // the value's text; "" on failure
        bool retry = false; // the child ended before taking the request: try its replacement
        bool keep = false;  // the child serves the next call too
    };
    Outcome Run(Child &child, const std::string &request, Clock::time_point deadline) const;
};

void ScriptEvaluator::Impl::HelperLoop()
{
    // Signals meant for the calculator go to its own threads.
    sigset_t allSignals;
    sigfillset(&allSignals);
    pthread_sigmask(SIG_BLOCK, &allSignals, nullptr);

    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || owed > 0 || !used.empty(); });
        if (stopping)
            return;
        std::vector<Child> finished = std::exchange(used, {});
        if (owed > 0) {
            lock.unlock();
            Child next = Spawn(); // first: its start-up overlaps the reaping
            lock.lock();
            // Until now a caller waits for this child rather than spawning
            // one of its own.
            --owed;
            if (next.valid() && idle.size() < std::size_t(limits.children))
                idle.push_back(next);
            else if (next.valid())
                finished.push_back(next);
            changed.notify_all();
        }
        lock.unlock();
        std::vector<ChildEnd> ends;
        for (Child &child : finished)
            ends.push_back(Discard(child));
        lock.lock();
        ended.insert(ended.end(), ends.begin(), ends.end());
        if (ended.size() > kEndsKept)
            ended.erase(ended.begin(), ended.end() - kEndsKept);
    }
}

Child ScriptEvaluator::Impl::TakeIdle()
{
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !idle.empty() || owed == 0; });
        if (!idle.empty()) {
            Child child = idle.front();
            idle.pop_front();
            return child;
        }
    }
    // The helper could not start one.
    return Spawn();
}

void ScriptEvaluator::Impl::GiveBack(Child child, bool first)
{
    std::unique_lock lock(mutex);
    if (idle.size() < std::size_t(limits.children)) {
        if (first)
            idle.push_front(child);
        else
            idle.push_back(child);
        changed.notify_all();
        return;
    }
    lock.unlock();
    Discard(child);
}

void ScriptEvaluator::Impl::Retire(Child child)
{
    std::unique_lock lock(mutex);
    ++owed;
    changed.notify_all();
    try {
        used.push_back(child);
    } catch (...) {
        lock.unlock();
        Discard(child);
    }
}

Child ScriptEvaluator::Impl::Spawn() const
{
    std::string path;
    std::string memory;
    std::string time;
    try {
        path = program.string();
        memory = std::to_string(limits.memoryLimitBytes);
        time = std::to_string(limits.timeLimit.count());
    } catch (...) {
        return {};
    }
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return {};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawn_file_actions_addchdir_np(&actions, "/");
    sigset_t noSignals;
    sigset_t allSignals;
    sigemptyset(&noSignals);
    sigfillset(&allSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    // A session of its own: no terminal, and no share in the calculator's
    // job-control signals.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char *argv[] = {path.data(), memory.data(), time.data(), nullptr};
    char *noEnvironment[] = {nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, noEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[1]);
    if (failed != 0) {
        close(ends[0]);
        // Otherwise the only sign would be "错误！" on every scientific key.
        if (failed == ENOENT || failed == EACCES)
            ReportMissingPiece("script sandbox program", program);
        return {};
    }

    // A backstop from outside, in case the child's own tighter bound is never
    // set: an address-space cap, set now because once the child has dropped
    // root, prlimit would need CAP_SYS_RESOURCE. The child sets its CPU
    // budget itself; the wall-clock kill comes from the calls.
#if !defined(TALLYVOX_ADDRESS_SANITIZER)
    const rlim_t space = static_cast<rlim_t>(limits.memoryLimitBytes) + (rlim_t{1} << 30);
    const rlimit addressSpace{space, space};
    prlimit(pid, RLIMIT_AS, &addressSpace, nullptr);
#endif

    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    Child child;
    child.pid = pid;
    child.socket = ends[0];
    child.spawned = Clock::now();
    return child;
}

ScriptEvaluator::Impl::Outcome ScriptEvaluator::Impl::Run(Child &child, const std::string &request,
                                                          Clock::time_point deadline) const
{
    Outcome outcome;
    if (!child.greeted) {
        // A fresh child gets the request only after its hello, so that one
        // still starting can be kept for the next call.
        const IoStatus hello = AwaitReady(child, deadline);
        if (hello == IoStatus::Overdue) {
            outcome.keep = Clock::now() - child.spawned < kStartupAllowance;
            return outcome;
        }
        if (hello != IoStatus::Ok) {
            outcome.retry = hello == IoStatus::Gone;
            child.exiting = outcome.retry;
            return outcome;
        }
    }
    // A used child may still be building its next engine; it reads the
    // request once that is done, so sending now saves a round trip. A child
    // that died while idle (killed from outside, its CPU budget) makes the
    // send fail with EPIPE, or ends before its kReady: it never saw the
    // request, and its replacement gets it.
    IoStatus status = SendAll(child.socket, request.data(), request.size(), deadline);
    if (status == IoStatus::Ok)
        status = AwaitReady(child, deadline);
    if (status == IoStatus::Gone) {
        outcome.retry = true;
        child.exiting = true;
        return outcome;
    }
    child.ready = false;

    // From here on a failure is the statement's: a bound hit or a crash.
    const auto receive = [&](void *buffer, std::size_t size) {
        if (status == IoStatus::Ok)
            status = ReceiveAll(child.socket, buffer, size, deadline);
        return status == IoStatus::Ok;
    };
    char kind = 0;
    bool complete = receive(&kind, 1);
    bool value = true;
    if (complete) {
        switch (static_cast<ReplyKind>(kind)) {
        case ReplyKind::Undefined: break;
        case ReplyKind::Int32: {
            std::int32_t i = 0;
            if ((complete = receive(&i, sizeof i)))
                outcome.text = std::to_string(i);
            break;
        }
        case ReplyKind::Double: {
            double d = 0;
            if ((complete = receive(&d, sizeof d)))
                outcome.text = GeneralNumberText(d);
            break;
        }
        case ReplyKind::Text: {
            std::uint32_t size = 0;
            complete = receive(&size, sizeof size) && size <= kMaxTextBytes;
            if (complete) {
                outcome.text.assign(size, '\0');
                complete = receive(outcome.text.data(), size);
            }
            break;
        }
        case ReplyKind::Failure: value = false; break;
        default: complete = false; // not this protocol: as good as a crash
        }
    }
    if (!complete) {
        outcome.text.clear();
        // One that overran the deadline is killed at once; one that ended
        // by itself (a bound, a crash) is only reaped.
        child.exiting = status != IoStatus::Overdue;
        return outcome;
    }
    if (!value)
        outcome.text.clear();

    // A retiring child says so right after the reply. Its kReady usually
    // comes later, once the next engine is built, and is read by the next call.
    char next = 0;
    const ssize_t n = recv(child.socket, &next, 1, MSG_DONTWAIT);
    if (n == 1 && next == kReady) {
        child.ready = true;
        outcome.keep = true;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        outcome.keep = true;
    } else {
        child.exiting = true; // kRetiring, end of stream, or garbage
    }
    return outcome;
}

ScriptEvaluator::ScriptEvaluator(std::filesystem::path sandboxProgram, ScriptLimits limits)
    : impl_(std::make_unique<Impl>())
{
    impl_->program = std::move(sandboxProgram);
    impl_->limits = limits;
    impl_->limits.children = std::max(limits.children, 1);
    impl_->owed = impl_->limits.children;
    impl_->helper = std::thread([impl = impl_.get()] { impl->HelperLoop(); });
}

ScriptEvaluator::~ScriptEvaluator()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
        impl_->changed.notify_all();
    }
    impl_->helper.join();
    for (Child &child : impl_->idle)
        Discard(child);
    for (Child &child : impl_->used)
        Discard(child);
}

std::string ScriptEvaluator::EvalScript(const std::string &statement, const std::string &variableName)
{
    try {
        std::lock_guard call(impl_->callMutex);
        const auto deadline = Clock::now() + impl_->limits.timeLimit;
        if (statement.size() > kMaxRequestBytes || variableName.size() > kMaxRequestBytes - statement.size())
            return {};
        std::string request;
        const std::uint32_t sizes[2] = {static_cast<std::uint32_t>(statement.size()),
                                        static_cast<std::uint32_t>(variableName.size())};
        request.append(reinterpret_cast<const char *>(sizes), sizeof sizes);
        request += statement;
        request += variableName;

        // The idle child may have died since the last call or at its start;
        // then its replacement serves, within the same deadline.
        for (int attempt = 0; attempt < 2; ++attempt) {
            Child child = impl_->TakeIdle();
            if (!child.valid())
                break;
            Impl::Outcome outcome;
            try {
                outcome = impl_->Run(child, request, deadline);
            } catch (...) {
                // Out of memory here: the child's state is unknown, replace it.
                outcome = {};
            }
            if (outcome.keep)
                impl_->GiveBack(child);
            else
                impl_->Retire(child);
            if (!outcome.retry)
                return outcome.text;
        }
    } catch (...) {
    }
    return {};
}

pid_t ScriptEvaluator::WaitForChild(std::uint8_t *steps)
{
    try {
        std::lock_guard call(impl_->callMutex);
        Child child = impl_->TakeIdle();
        if (!child.valid())
            return -1;
        const IoStatus status = AwaitReady(child, Clock::now() + kStartupAllowance);
        if (status != IoStatus::Ok) {
            child.exiting = status != IoStatus::Overdue;
            impl_->Retire(child);
            return -1;
        }
        const pid_t pid = child.pid;
        if (steps)
            *steps = child.steps;
        impl_->GiveBack(child, true);
        return pid;
    } catch (...) {
        return -1;
    }
}

std::vector<ChildEnd> ScriptEvaluator::TakeEndedChildren()
{
    std::lock_guard lock(impl_->mutex);
    return std::exchange(impl_->ended, {});
}

std::filesystem::path ScriptEvaluator::DefaultSandboxProgram()
{
    return FindProgramPiece("tallyvox-script");
}

} // namespace tallyvox
