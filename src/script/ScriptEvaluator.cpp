// SPDX-License-Identifier: GPL-3.0-or-later
// Script evaluation in a bounded child process.
//
// One child is spawned ahead and waits on its socket; a call hands it the
// statement and waits for the reply under a wall-clock deadline. The used
// child is then killed and reaped, and the next one spawned, whose start-up
// overlaps the user's pause before the next key.
#include "script/ScriptEvaluator.h"

#include "numbers/NumberText.h"
#include "numbers/ProgramFolder.h"
#include "script/ScriptWire.h"
#include "script/SocketIo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tallyvox {

namespace {

using namespace scriptwire;
using namespace socketio;

// Time a spawned child may take to load Qt and build its engine before it
// counts as broken. The statement cannot stretch it: the child reads the
// request only after reporting ready.
constexpr std::chrono::milliseconds kStartupAllowance{5000};

struct Child {
    pid_t pid = -1;
    int socket = -1; // non-blocking; the child's stdin and stdout
    bool valid() const { return pid > 0; }
};

void Reap(pid_t pid)
{
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Ends a child whatever state it is in. The child never forks, and it is
// not reaped before this, so its pid cannot have been reused.
void Discard(Child &child)
{
    if (child.socket >= 0)
        close(child.socket);
    if (child.pid > 0) {
        kill(child.pid, SIGKILL);
        Reap(child.pid);
    }
    child = {};
}

std::string NumberValueText(double d)
{
    if (std::isnan(d))
        return "NAN";
    if (std::isinf(d))
        return d > 0 ? "INF" : "-INF";
    return GeneralNumberText(static_cast<Extended>(d));
}

} // namespace

// Killing and reaping a used child waits for the kernel to tear it down, and
// spawning the next one waits for its exec; a helper thread does both so a
// call costs little more than the evaluation itself.
struct ScriptEvaluator::Impl {
    std::filesystem::path program;
    ScriptLimits limits;

    std::mutex mutex;
    std::condition_variable changed;
    Child ready;              // spawned ahead, waiting for its one request
    bool spawnWanted = false; // the helper owes a new ready child
    bool stopping = false;
    std::vector<Child> used; // for the helper to kill and reap
    std::thread helper;

    Child Spawn() const;
    void HelperLoop();
    // The child spawned ahead, or a new one when there is none.
    Child TakeReady();
    // Gives a finished child to the helper and asks for the next one.
    void Retire(Child child);

    enum class Outcome {
        Value,     // text holds the value's text
        Failed,    // the statement failed or overran a bound
        NotServed, // the child died before taking the request: try another
    };
    Outcome Run(Child &child, const std::string &request, std::string *text) const;
};

void ScriptEvaluator::Impl::HelperLoop()
{
    // Signals meant for the calculator go to its own threads.
    sigset_t allSignals;
    sigfillset(&allSignals);
    pthread_sigmask(SIG_BLOCK, &allSignals, nullptr);

    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || spawnWanted || !used.empty(); });
        if (stopping)
            return;
        std::vector<Child> finished = std::exchange(used, {});
        const bool spawn = std::exchange(spawnWanted, false);
        lock.unlock();
        // Spawn first: the next child's start-up then overlaps the reaping.
        Child next = spawn ? Spawn() : Child{};
        lock.lock();
        if (spawn) {
            Discard(ready);
            ready = next;
            changed.notify_all();
        }
        lock.unlock();
        for (Child &child : finished)
            Discard(child);
        lock.lock();
    }
}

Child ScriptEvaluator::Impl::TakeReady()
{
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !spawnWanted; });
        if (ready.valid())
            return std::exchange(ready, Child{});
    }
    return Spawn();
}

void ScriptEvaluator::Impl::Retire(Child child)
{
    std::unique_lock lock(mutex);
    spawnWanted = true;
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
    try {
        path = program.string();
        memory = std::to_string(limits.memoryLimitBytes);
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

    char *argv[] = {path.data(), memory.data(), nullptr};
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

    // Backstops from outside, in case the wall-clock kill never comes (the
    // calculator itself dies mid-call): CPU time, and an address space cap
    // well above the child's own tighter one. AddressSanitizer builds reserve
    // terabytes of shadow memory, so they go without the cap.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(limits.timeLimit).count() + 1;
    const rlimit cpu{static_cast<rlim_t>(seconds), static_cast<rlim_t>(seconds + 1)};
    prlimit(pid, RLIMIT_CPU, &cpu, nullptr);
#if !defined(__SANITIZE_ADDRESS__)
    const rlim_t space = static_cast<rlim_t>(limits.memoryLimitBytes) + (rlim_t{1} << 30);
    const rlimit addressSpace{space, space};
    prlimit(pid, RLIMIT_AS, &addressSpace, nullptr);
#endif

    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    return {pid, ends[0]};
}

ScriptEvaluator::Impl::Outcome ScriptEvaluator::Impl::Run(Child &child, const std::string &request,
                                                          std::string *text) const
{
    // The child may still be starting; it reads the request only once ready.
    const auto startDeadline = Clock::now() + kStartupAllowance + limits.timeLimit;
    switch (SendAll(child.socket, request.data(), request.size(), startDeadline)) {
    case IoStatus::Ok: break;
    case IoStatus::Gone: return Outcome::NotServed;
    default: return Outcome::Failed;
    }
    char ready = 0;
    switch (ReceiveAll(child.socket, &ready, 1, startDeadline)) {
    case IoStatus::Ok: break;
    case IoStatus::Gone: return Outcome::NotServed;
    default: return Outcome::Failed;
    }
    if (ready != kReady)
        return Outcome::Failed;

    const auto deadline = Clock::now() + limits.timeLimit;
    char kind = 0;
    if (ReceiveAll(child.socket, &kind, 1, deadline) != IoStatus::Ok)
        return Outcome::Failed;
    switch (static_cast<ReplyKind>(kind)) {
    case ReplyKind::Undefined: text->clear(); return Outcome::Value;
    case ReplyKind::Int32: {
        std::int32_t i = 0;
        if (ReceiveAll(child.socket, &i, sizeof i, deadline) != IoStatus::Ok)
            return Outcome::Failed;
        *text = std::to_string(i);
        return Outcome::Value;
    }
    case ReplyKind::Double: {
        double d = 0;
        if (ReceiveAll(child.socket, &d, sizeof d, deadline) != IoStatus::Ok)
            return Outcome::Failed;
        *text = NumberValueText(d);
        return Outcome::Value;
    }
    case ReplyKind::Text: {
        std::uint32_t size = 0;
        if (ReceiveAll(child.socket, &size, sizeof size, deadline) != IoStatus::Ok || size > kMaxTextBytes)
            return Outcome::Failed;
        text->assign(size, '\0');
        if (ReceiveAll(child.socket, text->data(), size, deadline) != IoStatus::Ok)
            return Outcome::Failed;
        return Outcome::Value;
    }
    case ReplyKind::Failure:
    default: return Outcome::Failed;
    }
}

ScriptEvaluator::ScriptEvaluator(std::filesystem::path sandboxProgram, ScriptLimits limits)
    : impl_(std::make_unique<Impl>())
{
    impl_->program = std::move(sandboxProgram);
    impl_->limits = limits;
    impl_->spawnWanted = true;
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
    Discard(impl_->ready);
    for (Child &child : impl_->used)
        Discard(child);
}

std::string ScriptEvaluator::EvalScript(const std::string &statement, const std::string &variableName)
{
    try {
        if (statement.size() > kMaxRequestBytes || variableName.size() > kMaxRequestBytes - statement.size())
            return {};
        std::string request;
        const std::uint32_t sizes[2] = {static_cast<std::uint32_t>(statement.size()),
                                        static_cast<std::uint32_t>(variableName.size())};
        request.append(reinterpret_cast<const char *>(sizes), sizeof sizes);
        request += statement;
        request += variableName;

        // A child spawned ahead may have died while it waited (killed from
        // outside); then one spawned on the spot gets the request.
        for (int attempt = 0; attempt < 2; ++attempt) {
            Child child = attempt == 0 ? impl_->TakeReady() : impl_->Spawn();
            if (!child.valid())
                break;
            std::string text;
            const Impl::Outcome outcome = impl_->Run(child, request, &text);
            impl_->Retire(child);
            if (outcome != Impl::Outcome::NotServed)
                return outcome == Impl::Outcome::Value ? text : std::string{};
        }
    } catch (...) {
    }
    return {};
}

std::filesystem::path ScriptEvaluator::DefaultSandboxProgram()
{
    return FindProgramPiece("tallyvox-script");
}

} // namespace tallyvox
