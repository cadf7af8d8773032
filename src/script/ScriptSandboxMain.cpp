// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-script: evaluates one JavaScript statement for ScriptEvaluator
// and exits.
//
// Usage: tallyvox-script MEMORY_BYTES, stdin and stdout both the socket to
// the calculator (wire format in ScriptWire.h). The statement may be user
// text, so before reading it the process confines itself: no core dumps, a
// handful of descriptors, no new processes, and an address space of what Qt
// and the engine already hold plus MEMORY_BYTES. A script that overruns any
// bound kills only this process; the calculator bounds the wall-clock time
// and the CPU time from outside.
#include "script/ScriptWire.h"
#include "script/SocketIo.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace tallyvox::scriptwire;
using tallyvox::socketio::IoStatus;
using tallyvox::socketio::ReceiveAll;
using tallyvox::socketio::SendAll;

constexpr int kRequestFd = 0;
constexpr int kReplyFd = 1;

void LimitTo(int resource, rlim_t value)
{
    rlimit current{};
    if (getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY)
        value = std::min(value, current.rlim_max);
    const rlimit wanted{value, value};
    setrlimit(resource, &wanted);
}

// Address space mapped so far: Qt's libraries, the heap and the engine's
// reservations.
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

void Append(std::string &out, const void *data, std::size_t size)
{
    out.append(static_cast<const char *>(data), size);
}

std::string Reply(ReplyKind kind)
{
    return std::string(1, static_cast<char>(kind));
}

std::string TextReply(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (static_cast<std::size_t>(utf8.size()) > kMaxTextBytes)
        return Reply(ReplyKind::Failure);
    std::string out = Reply(ReplyKind::Text);
    const auto size = static_cast<std::uint32_t>(utf8.size());
    Append(out, &size, sizeof size);
    Append(out, utf8.constData(), size);
    return out;
}

// Runs source; false when it fails in any way, including `throw 5`, whose
// completion value looks like a plain result and only shows in the trace.
bool Run(QJSEngine &engine, const QString &source, QJSValue *value)
{
    QStringList trace;
    *value = engine.evaluate(source, QString(), 1, &trace);
    if (value->isError() || !trace.isEmpty() || engine.hasError()) {
        engine.catchError();
        return false;
    }
    return true;
}

std::string Evaluate(QJSEngine &engine, const QString &statement, const QString &variableName)
{
    QJSValue value;
    if (!Run(engine, statement, &value) || !Run(engine, variableName, &value))
        return Reply(ReplyKind::Failure);
    if (value.isUndefined() || value.isNull())
        return Reply(ReplyKind::Undefined);
    if (value.isNumber()) {
        // The engine keeps whole numbers that fit 32 bits as integers.
        const QVariant number = value.toVariant();
        std::string out;
        if (number.metaType().id() == QMetaType::Int) {
            const std::int32_t i = number.toInt();
            out = Reply(ReplyKind::Int32);
            Append(out, &i, sizeof i);
        } else {
            const double d = value.toNumber();
            out = Reply(ReplyKind::Double);
            Append(out, &d, sizeof d);
        }
        return out;
    }
    if (value.isBool())
        return TextReply(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    if (value.isString())
        return TextReply(value.toString());
    // Objects and symbols through the language's own conversion, which may
    // throw; QJSValue::toString would hand back the thrown value as text.
    const QJSValue convert =
        engine.evaluate(QStringLiteral("(function (v) { try { return `${v}`; } catch (e) { return null; } })"));
    const QJSValue text = convert.call({value});
    if (!text.isString() || engine.hasError()) {
        engine.catchError();
        return Reply(ReplyKind::Failure);
    }
    return TextReply(text.toString());
}

} // namespace

int main(int argc, char **argv)
{
    std::size_t memoryLimit = 256u * 1024u * 1024u;
    if (argc > 1)
        memoryLimit = std::strtoull(argv[1], nullptr, 10);

    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    LimitTo(RLIMIT_CORE, 0);
    LimitTo(RLIMIT_NOFILE, 16);
    std::signal(SIGPIPE, SIG_IGN);

    static int appArgc = 1;
    static char appName[] = "tallyvox-script";
    static char *appArgv[] = {appName, nullptr};
    QCoreApplication app(appArgc, appArgv);
    QJSEngine engine;
    // The first evaluation in an engine pays for setting up the parser and
    // the built-ins; pay it before the request arrives. Defines no names.
    engine.evaluate(QStringLiteral("(function (a) { return Math.pow(a, 2) + Math.sin(a); })(1.5)"));

    // The engine is built; from here on only the script grows the process.
    // (No RLIMIT_FSIZE: the engine backs its own memory with memfds.)
    if (const std::size_t inUse = AddressSpaceInUse(); inUse > 0)
        LimitTo(RLIMIT_AS, static_cast<rlim_t>(inUse + memoryLimit));
    LimitTo(RLIMIT_NPROC, 0);

    if (SendAll(kReplyFd, &kReady, 1) != IoStatus::Ok)
        _exit(1);

    std::uint32_t sizes[2] = {0, 0};
    if (ReceiveAll(kRequestFd, sizes, sizeof sizes) != IoStatus::Ok)
        _exit(1);
    if (sizes[0] > kMaxRequestBytes || sizes[1] > kMaxRequestBytes - sizes[0])
        _exit(1);
    std::string request(std::size_t{sizes[0]} + sizes[1], '\0');
    if (ReceiveAll(kRequestFd, request.data(), request.size()) != IoStatus::Ok)
        _exit(1);

    const QString statement = QString::fromUtf8(request.data(), sizes[0]);
    const QString variableName = QString::fromUtf8(request.data() + sizes[0], sizes[1]);
    const std::string reply = Evaluate(engine, statement, variableName);
    // Tearing the engine down would only cost time: the process ends here.
    _exit(SendAll(kReplyFd, reply.data(), reply.size()) == IoStatus::Ok ? 0 : 1);
}
