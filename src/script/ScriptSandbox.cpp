// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptSandbox.h"

#include "script/SandboxConfinement.h"
#include "script/ScriptReply.h"
#include "script/ScriptWire.h"
#include "script/SocketIo.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QString>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace tallyvox {

namespace {

using namespace scriptwire;
using socketio::IoStatus;

// stdin and stdout are the socket, stderr /dev/null.
constexpr sandbox::Channel kChannel{};

// Bytes malloc'd that may outlive their engine before the child retires.
constexpr std::size_t kHeapGrowthAllowance = 32u << 20;
// Lifetime CPU budget (RLIMIT_CPU is counted over the whole process), at
// least this many seconds. It matters only when nobody watches: the
// calculator's wall-clock kill comes first.
constexpr rlim_t kMinCpuBudgetSeconds = 30;

void LimitTo(int resource, rlim_t soft, rlim_t hard)
{
    rlimit current{};
    if (getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY) {
        hard = std::min(hard, current.rlim_max);
        soft = std::min(soft, hard);
    }
    const rlimit wanted{soft, hard};
    setrlimit(resource, &wanted);
}

// Address space mapped so far: Qt's libraries, the heap and an engine's
// reservations. Read before confinement closes /proc.
std::size_t AddressSpaceInUse()
{
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long pages = 0;
    const int fields = std::fscanf(statm, "%lu", &pages);
    std::fclose(statm);
    if (fields != 1)
        return 0;
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Bytes malloc hands out now, its own mmapped blocks included. No syscall.
std::size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double CpuSecondsUsed()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Nobody reads stderr (/dev/null), and Qt's default handler would probe the
// terminal and the environment once the filter is in place.
void DiscardMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

// What Qt and the engine set up once per process on first use (the time
// zone, the random generator, the locale, the regular expression compiler,
// error stacks) is set up now, while files may still be opened. Defines
// nothing in any engine a request will see.
void WarmUp(QJSEngine &engine)
{
    engine.evaluate(QStringLiteral(
        "(function (a) {"
        "  var d = new Date(2020, 1, 2, 3, 4, 5);"
        "  var parts = [Math.pow(a, 2), Math.sin(a), Math.random(), d.toString(), d.getTimezoneOffset(),"
        "               new Date().toLocaleString(), (1234.5).toLocaleString(), 'b'.localeCompare('a'),"
        "               /a(b+)c/i.exec('xABbc'), 'x,y'.split(/,/), JSON.stringify({a: [1, 'b']}),"
        "               JSON.parse('{\"a\":1}'), (0.1).toFixed(20), parseFloat('1e-7'), String(Symbol('s'))];"
        "  try { null.x; } catch (e) { parts.push(e.stack); }"
        "  return parts.join();"
        "})(1.5)"));
}

[[noreturn]] void Exit(int code)
{
    // No destructors: tearing down Qt would only cost time, and might call
    // what the filter forbids.
    _exit(code);
}

// One request; exits when the calculator has closed the socket (its way of
// saying goodbye) or sent something malformed.
void ReadRequest(QString *statement, QString *variableName)
{
    std::uint32_t sizes[2] = {0, 0};
    if (socketio::ReceiveAll(kChannel.request, sizes, sizeof sizes) != IoStatus::Ok)
        Exit(kExitDone);
    if (sizes[0] > kMaxRequestBytes || sizes[1] > kMaxRequestBytes - sizes[0])
        Exit(kExitBadRequest);
    std::string request(std::size_t{sizes[0]} + sizes[1], '\0');
    if (socketio::ReceiveAll(kChannel.request, request.data(), request.size()) != IoStatus::Ok)
        Exit(kExitBadRequest);
    *statement = QString::fromUtf8(request.data(), sizes[0]);
    *variableName = QString::fromUtf8(request.data() + sizes[0], sizes[1]);
}

void Send(const std::string &bytes)
{
    if (socketio::WriteAll(kChannel.reply, bytes.data(), bytes.size()) != IoStatus::Ok)
        Exit(kExitBadRequest);
}

} // namespace

ScriptSandboxOptions SandboxOptionsFromArgs(int argc, char **argv)
{
    ScriptSandboxOptions options;
    if (argc > 1)
        options.memoryLimitBytes = std::strtoull(argv[1], nullptr, 10);
    if (argc > 2)
        options.timeLimit = std::chrono::milliseconds(std::strtoull(argv[2], nullptr, 10));
    return options;
}

void RunScriptSandbox(const ScriptSandboxOptions &options)
{
    const auto timeLimitSeconds =
        static_cast<rlim_t>(std::chrono::ceil<std::chrono::seconds>(options.timeLimit).count());
    const rlim_t cpuBudget = std::max(kMinCpuBudgetSeconds, 4 * timeLimitSeconds);
    // Retire while one more request at the time limit still fits the budget.
    const double retireAtCpuSeconds = double(cpuBudget - timeLimitSeconds - 1);

    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    LimitTo(RLIMIT_CORE, 0, 0);
    LimitTo(RLIMIT_NOFILE, 16, 16);
    LimitTo(RLIMIT_CPU, cpuBudget, cpuBudget + 1);
    std::signal(SIGPIPE, SIG_IGN);
    // Blocks from 256 KiB up always get their own mapping and go back to the
    // system when freed. glibc's default threshold slides up after a big
    // free, which would keep one script's big strings in the heap after its
    // engine is gone, eating into the next script's address space.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    // Without TZ glibc looks at /etc/localtime again on every local-time
    // conversion, which the filter would not allow; this way it reads it
    // once, now. A time-zone change is seen by the next child.
    setenv("TZ", ":/etc/localtime", 0);

    static int appArgc = 1;
    static char appName[] = "tallyvox-script";
    static char *appArgv[] = {appName, nullptr};
    QCoreApplication app(appArgc, appArgv);
    qInstallMessageHandler(DiscardMessages);

    // The address-space bound counts one live engine: the next request's
    // engine is built only once the previous one is deleted, so every
    // request gets the whole limit.
    std::size_t inUse = 0;
    {
        QJSEngine engine;
        WarmUp(engine);
        inUse = AddressSpaceInUse();
    }
    if (inUse > 0)
        LimitTo(RLIMIT_AS, static_cast<rlim_t>(inUse + options.memoryLimitBytes),
                static_cast<rlim_t>(inUse + options.memoryLimitBytes));
    LimitTo(RLIMIT_NPROC, 0, 0);

    const std::uint8_t steps = sandbox::Confine(kChannel);
    if (!(steps & kSyscallFilter))
        Exit(kExitUnconfined);
    if (options.afterConfinement)
        options.afterConfinement();

    // The first engine built under the filter, before the hello: proof that
    // the loop below can build its engines too.
    const std::size_t heapBaseline = HeapInUse();
    auto engine = std::make_unique<QJSEngine>();
    Send({kHello, static_cast<char>(steps)});

    bool heapGrew = false;
    for (unsigned served = 1;; ++served) {
        QString statement;
        QString variableName;
        ReadRequest(&statement, &variableName);
        std::string reply = EvaluateToReply(*engine, statement, variableName);
        if (served >= options.maxRequests || heapGrew || CpuSecondsUsed() > retireAtCpuSeconds) {
            reply += kRetiring;
            Send(reply);
            Exit(kExitDone);
        }
        Send(reply);
        // Nothing of this request survives into the next: a new engine, and
        // the old one's memory back to the system first.
        engine.reset();
        heapGrew = HeapInUse() > heapBaseline + kHeapGrowthAllowance;
        engine = std::make_unique<QJSEngine>();
        Send(std::string(1, kReady));
    }
}

} // namespace tallyvox
