// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptEvaluator: values and their texts, failures, one fresh engine per
// call in a long-lived child, and the sandbox holding against hostile
// statements and escape attempts.
#include "script/ScriptEvaluator.h"
#include "script/ScriptWire.h"

#include <gtest/gtest.h>
#include <seccomp.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tallyvox {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace scriptwire;

fs::path SandboxProgram()
{
    if (const char *bin = std::getenv("TALLYVOX_BIN"))
        return fs::path(bin) / "tallyvox-script";
    return ScriptEvaluator::DefaultSandboxProgram();
}

// The test build of the child (beside this test) under a name that picks its
// escape attempt: a link in a folder of this process's own, since the
// evaluator passes the program's path as its name.
fs::path ProbeProgram(const std::string &probe)
{
    static const struct Folder {
        fs::path path = fs::temp_directory_path() / ("tallyvox-probes-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder()
        {
            std::error_code error;
            fs::remove_all(path, error);
        }
    } folder;
    const fs::path link = folder.path / ("tallyvox-script-probe." + probe);
    std::error_code exists;
    fs::create_symlink(fs::read_symlink("/proc/self/exe").parent_path() / "tallyvox-script-probe", link, exists);
    return link;
}

struct ProcessInfo {
    pid_t pid;
    char state;
};

// This process's direct children, from /proc.
std::vector<ProcessInfo> Children()
{
    std::vector<ProcessInfo> children;
    for (const auto &entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...; comm may hold blanks, so parse after ')'.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid())
            children.push_back({static_cast<pid_t>(std::stoi(name)), state});
    }
    return children;
}

// Waits until this process has exactly `count` children, running or
// sleeping; returns the first, or -1.
pid_t WaitForChildren(std::size_t count)
{
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        const auto children = Children();
        if (children.size() == count &&
            std::none_of(children.begin(), children.end(), [](const ProcessInfo &c) { return c.state == 'Z'; }))
            return children[0].pid;
        std::this_thread::sleep_for(5ms);
    }
    return -1;
}

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The first word after "name:" on its line of a /proc file, or "".
std::string Field(const std::string &text, const std::string &name)
{
    const std::string lines = "\n" + text;
    const auto at = lines.find("\n" + name + ":");
    if (at == std::string::npos)
        return {};
    const auto begin = at + name.size() + 2;
    std::istringstream row(lines.substr(begin, lines.find('\n', begin) - begin));
    std::string value;
    row >> value;
    return value;
}

// A limit's soft value from /proc/<pid>/limits, or "" when absent.
std::string SoftLimit(const std::string &limits, const std::string &name)
{
    const auto at = limits.find(name);
    if (at == std::string::npos)
        return {};
    std::istringstream row(limits.substr(at + name.size()));
    std::string soft;
    row >> soft;
    return soft;
}

// The wait status of the given child once its reaper has seen it (any
// child when pid is -1); -1 if that does not happen within 5 s.
int EndOf(ScriptEvaluator &script, pid_t pid = -1)
{
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline; std::this_thread::sleep_for(5ms)) {
        for (const ChildEnd &end : script.TakeEndedChildren()) {
            if (end.pid == pid || pid == -1)
                return end.status;
        }
    }
    return -1;
}

// One child, so that every call of a test goes to the same process.
constexpr ScriptLimits kOneChild{2000ms, 256u << 20, 1};

class EvalScriptTest : public ::testing::Test {
protected:
    ScriptEvaluator script{SandboxProgram(), kOneChild};
};

struct ValueCase {
    const char *statement;
    const char *variable;
    const char *expected;
};

void ExpectTexts(ScriptEvaluator &script, const std::vector<ValueCase> &cases)
{
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(script.EvalScript(c.statement, c.variable), c.expected);
    }
}

// All in one child: any syscall the child's filter lacks would end it.
TEST_F(EvalScriptTest, ValuesBecomeTheirTexts)
{
    const pid_t child = script.WaitForChild();
    ExpectTexts(
        script,
        {
            // Whole numbers the engine holds as 32-bit integers: plain decimal.
            {"str = Math.pow(-3,2)", "str", "9"},
            {"str = Math.pow(10,2)", "str", "100"},
            {"str = Math.pow(-2,3)", "str", "-8"},
            {"str = 6/3", "str", "2"},
            {"str = -2147483648", "str", "-2147483648"},
            // Every other number by the general number form.
            {"str = Math.pow(1.5,2)", "str", "2.25"},
            {"str = Math.pow(123456789,2)", "str", "1.52415787501905E16"},
            {"str = Math.pow(10,0.5)", "str", "3.16227766016838"},
            {"str = Math.pow(10,-2)", "str", "0.01"},
            {"str = Math.pow(10,15)", "str", "1E15"},
            {"str = 2147483648", "str", "2147483648"},
            {"str = 1/3", "str", "0.333333333333333"},
            {"str = -2.25", "str", "-2.25"},
            // The engine computes without faults.
            {"str = Math.pow(10,400)", "str", "INF"},
            {"str = 1/0", "str", "INF"},
            {"str = -Infinity", "str", "-INF"},
            {"str = NaN", "str", "NAN"},
            {"str = 0/0", "str", "NAN"},
            // Texts unchanged; other values through their own conversion.
            {"str = '中文' + 1", "str", "中文1"},
            {"str = ''", "str", ""},
            {"str = 1 < 2", "str", "true"},
            {"str = [1, 2]", "str", "1,2"},
            {"str = {toString: function () { return 'seven'; }}", "str", "seven"},
            // No value.
            {"var str", "str", ""},
            {"str = null", "str", ""},
            {"other = 1", "other", "1"},
            {"var result = (3-55)*(10+Math.sin(30*Math.PI/180))", "result", "-546"},
            // What the engine sets up lazily (dates, locale, regular expressions,
            // the random generator, error stacks) and heavy collection, confined.
            {"str = new Date(Date.UTC(2020, 1, 29)).toISOString()", "str", "2020-02-29T00:00:00.000Z"},
            {"var d = new Date(2020, 0, 1); str = d.getFullYear() + d.toString().length * 0", "str", "2020"},
            {"str = typeof Date.now() + (1234.5).toLocaleString().length * 0 + 'b'.localeCompare('a')", "str",
             "number01"},
            {"str = /(\\d+)-(\\d+)/.exec('tel 12-345')[2] + 'aXbXc'.replace(/x/gi, '.') + (Math.random() < 1)", "str",
             "345a.b.ctrue"},
            {"str = JSON.stringify(JSON.parse('{\"a\":[1,{\"b\":null}]}'))", "str", "{\"a\":[1,{\"b\":null}]}"},
            {"function f(n) { return f(n + 1); } try { f(0); } catch (e) { str = e.name + (e.stack ? 1 : 0); }", "str",
             "RangeError1"},
            {"var a = []; for (var i = 0; i < 2e5; i++) a.push({i: i, s: 'x' + i}); str = a.length", "str", "200000"},
            {"str = new Float64Array(4e6).length + 'x'.repeat(2**25).length", "str", "37554432"},
        });
    EXPECT_EQ(script.WaitForChild(), child);
}

TEST_F(EvalScriptTest, FailuresGiveEmptyText)
{
    ExpectTexts(script, {
                            {"x = 1", "str", ""},                      // undefined name
                            {"str = Math.pow(错误！,2)", "str", ""},   // syntax error
                            {"str = Math.pow(,2)", "str", ""},         // syntax error
                            {"str = undefinedFunction(1)", "str", ""}, // run-time error
                            {"throw 5", "str", ""},                    // looks like a plain 5
                            {"str = 5; throw 5", "str", ""},           // thrown after the value was set
                            {"str = new Error('x')", "str", ""},       // an error object as the value
                            {"str = {toString: function () { throw 1; }}", "str", ""},
                            {"str = Symbol()", "str", ""},
                            {"str = 'x'.repeat(2 * 1024 * 1024)", "str", ""}, // more text than any display holds
                            {"str = 1", "", ""},
                            {"str = 1", "str +", ""},
                            {"str = 'x'.repeat(1024 * 1024).length", "str", "1048576"},
                        });
}

// One child serves call after call, and nothing one statement does is seen
// by the next.
TEST_F(EvalScriptTest, EachCallHasAFreshEngine)
{
    const pid_t child = script.WaitForChild();
    ExpectTexts(script, {
                            {"leak = 7; str = leak", "str", "7"},
                            {"str = typeof leak", "str", "undefined"},
                            {"Math.pow = function () { return 1; }; str = Math.pow(3,2)", "str", "1"},
                            {"str = Math.pow(3,2)", "str", "9"},
                            {"Object.prototype.x = 5; str = ({}).x", "str", "5"},
                            {"str = typeof ({}).x", "str", "undefined"},
                            {"this.str = 'global'", "str", "global"},
                            {"var unset", "str", ""},
                        });
    EXPECT_EQ(script.WaitForChild(), child);
}

TEST_F(EvalScriptTest, EngineOffersNoWayOut)
{
    EXPECT_EQ(script.EvalScript("str = [typeof require, typeof XMLHttpRequest, typeof Qt, typeof console,"
                                " typeof print, typeof importScripts, typeof load].join()",
                                "str"),
              "undefined,undefined,undefined,undefined,undefined,undefined,undefined");
    EXPECT_EQ(script.EvalScript("str = 1; import('/etc/passwd')", "str"), "");
}

struct HostileCase {
    const char *name;
    const char *statement;
};

// A bound or a crash replaces the child; none may end by the filter (SIGSYS),
// which would mean the engine needs a syscall the list lacks.
TEST_F(EvalScriptTest, HostileStatementsFailWithinTheBound)
{
    const HostileCase cases[] = {
        {"endless loop", "while(1){}"},
        {"loop that swallows errors", "for(;;) { try { while(1){} } catch (e) {} }"},
        {"runaway join", "str = new Array(1e9).join('x')"},
        {"one huge string", "str = 'x'.repeat(2**29)"},
        {"doubling string", "var s = 'x'; while (true) s += s; str = s"},
        {"growing array", "var a = []; for (;;) a.push({x: a.length})"},
        {"nested arrays", "var a=[];for(var i=0;i<3e4;i++)a=[a];str=String(a)"},
        {"nested proxies", "var p={};for(var i=0;i<1e6;i++)p=new Proxy(p,{});str=String(p)"},
        {"deep recursion", "function f(n){return f(n+1)+1} str=f(0)"},
    };
    const auto bound = ScriptLimits{}.timeLimit + 1500ms;
    for (const HostileCase &c : cases) {
        SCOPED_TRACE(c.name);
        const pid_t before = script.WaitForChild();
        const auto start = Clock::now();
        EXPECT_EQ(script.EvalScript(c.statement, "str"), "");
        EXPECT_LT(Clock::now() - start, bound);
        // The calculator is still here, and the next key works.
        EXPECT_EQ(script.EvalScript("str = Math.pow(1.5,2)", "str"), "2.25");
        if (script.WaitForChild() != before) {
            const int status = EndOf(script, before);
            ASSERT_NE(status, -1);
            EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS);
        }
    }
}

TEST(EvalScriptLimits, BoundsFollowTheLimitsGiven)
{
    ScriptEvaluator quick(SandboxProgram(), ScriptLimits{300ms, 256u << 20});
    quick.WaitForChild();
    const auto start = Clock::now();
    EXPECT_EQ(quick.EvalScript("while(1){}", "str"), "");
    EXPECT_LT(Clock::now() - start, 1500ms);

    // 64 MiB of string (32 Mi UTF-16 units) and a copy fit 256 MiB of script
    // memory, again and again in one child: nothing of a request holds on to
    // the next one's room. It does not fit 32 MiB.
    const char *big = "var s = 'x'.repeat(2**25); str = (s + 'y').length";
    ScriptEvaluator roomy(SandboxProgram(), ScriptLimits{5000ms, 256u << 20, 1});
    const pid_t child = roomy.WaitForChild();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(roomy.EvalScript(big, "str"), "33554433");
    EXPECT_EQ(roomy.WaitForChild(), child);
    ScriptEvaluator small(SandboxProgram(), ScriptLimits{5000ms, 32u << 20});
    EXPECT_EQ(small.EvalScript(big, "str"), "");
    EXPECT_EQ(small.EvalScript("str = 'x'.repeat(1000).length", "str"), "1000");
}

// Programs that are missing, end at once or never say hello: each call costs
// at most the time bound, the first one included.
TEST(EvalScriptSandbox, MissingBrokenOrHangingProgramGivesEmptyText)
{
    const ScriptLimits limits{1000ms, 256u << 20};
    const char *programs[] = {"/nonexistent/tallyvox-script", "/bin/true", "/dev/null", "/bin/cat", "/bin/sleep"};
    for (const char *program : programs) {
        SCOPED_TRACE(program);
        EXPECT_NO_THROW({
            ScriptEvaluator broken(program, limits);
            for (int call = 0; call < 2; ++call) {
                const auto start = Clock::now();
                EXPECT_EQ(broken.EvalScript("str = 1", "str"), "");
                EXPECT_LT(Clock::now() - start, limits.timeLimit + 500ms);
            }
        });
    }
}

TEST(EvalScriptSandbox, ChildrenAreReapedAndNoneOutliveTheEvaluator)
{
    ASSERT_TRUE(Children().empty());
    {
        // A call's bound includes a replacement's start-up: wait for that.
        ScriptEvaluator script(SandboxProgram(), ScriptLimits{200ms, 256u << 20});
        script.WaitForChild();
        EXPECT_EQ(script.EvalScript("str = 1", "str"), "1");
        EXPECT_EQ(script.EvalScript("while(1){}", "str"), "");
        script.WaitForChild();
        EXPECT_EQ(script.EvalScript("var a=[];for(var i=0;i<3e4;i++)a=[a];str=String(a)", "str"), "");
        script.WaitForChild();
        EXPECT_EQ(script.EvalScript("str = 2", "str"), "2");
        // Only the serving children remain; the replaced ones are gone.
        EXPECT_GT(WaitForChildren(2), 0);
    }
    EXPECT_TRUE(Children().empty());
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

// Killed from outside (the OOM killer, a user) while fresh or after serving:
// the call that finds it dead goes to its replacement.
TEST(EvalScriptSandbox, ChildKilledFromOutsideIsReplaced)
{
    ScriptEvaluator script(SandboxProgram(), kOneChild);
    for (const bool used : {false, true}) {
        SCOPED_TRACE(used ? "after serving" : "fresh");
        const pid_t child = used ? script.WaitForChild() : WaitForChildren(1);
        ASSERT_GT(child, 0);
        kill(child, SIGKILL);
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(script.EvalScript("str = Math.pow(10,2)", "str"), "100");
        EXPECT_NE(script.WaitForChild(), child);
    }
}

// A child that retires by itself (here after three requests, normally after
// thousands or when its heap grew) is replaced without losing a call.
TEST(EvalScriptSandbox, RetiringChildIsReplacedWithoutLosingACall)
{
    ScriptEvaluator script(ProbeProgram("retire-early"));
    const pid_t first = script.WaitForChild();
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(script.EvalScript("str = " + std::to_string(i), "str"), std::to_string(i));
    const int status = EndOf(script, first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitDone) << status;
    EXPECT_NE(script.WaitForChild(), first);
}

// Whether this system lets the child have a network namespace, tried the
// way the child tries: as root directly, else as nobody in a user namespace.
bool SystemAllowsOwnNetwork()
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && unshare(CLONE_NEWNET) == 0)
            _exit(0);
        if (geteuid() == 0) {
            setgroups(0, nullptr);
            setresgid(65534, 65534, 65534);
            setresuid(65534, 65534, 65534);
        }
        _exit(unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(EvalScriptSandbox, ChildIsConfinedBeforeItsFirstRequest)
{
    // A descriptor the calculator holds open without close-on-exec.
    const int inherited = open("/proc/self/exe", O_RDONLY);
    ASSERT_GE(inherited, 0);
    ScriptEvaluator script(SandboxProgram());
    std::uint8_t steps = 0;
    const pid_t child = script.WaitForChild(&steps);
    ASSERT_GT(child, 0);
    const fs::path proc = fs::path("/proc") / std::to_string(child);
    const std::string status = ReadFile(proc / "status");

    const std::uint8_t always = kUnprivilegedUser | kNoCapabilities | kNoNewPrivileges | kSyscallFilter;
    EXPECT_EQ(steps & always, always);
    EXPECT_EQ((steps & kOwnNetwork) != 0, SystemAllowsOwnNetwork());
    EXPECT_EQ(Field(status, "Seccomp"), "2");
    EXPECT_EQ(Field(status, "NoNewPrivs"), "1");
    for (const char *set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
        EXPECT_EQ(Field(status, set), "0000000000000000") << set;
    if (steps & kNoBoundingSet) {
        EXPECT_EQ(Field(status, "CapBnd"), "0000000000000000");
    }
    if (geteuid() == 0) {
        EXPECT_EQ(Field(status, "Uid"), "65534");
        EXPECT_EQ(Field(status, "Gid"), "65534");
        EXPECT_EQ(Field(status, "Groups"), "");
        EXPECT_EQ(fs::read_symlink(proc / "ns/net") != fs::read_symlink("/proc/self/ns/net"),
                  (steps & kOwnNetwork) != 0);
    }
    EXPECT_EQ(Field(status, "Threads"), "1");

    // Its address space: what it holds with an idle engine plus the
    // script's 256 MiB. Its CPU: a lifetime budget, not one call's.
    const std::string limits = ReadFile(proc / "limits");
    const std::uint64_t held = std::stoull(Field(status, "VmSize")) << 10;
    const std::uint64_t space = std::stoull(SoftLimit(limits, "Max address space"));
    EXPECT_LE(space, held + (260ull << 20));
    EXPECT_GE(space, held + (240ull << 20));
    EXPECT_EQ(SoftLimit(limits, "Max cpu time"), "30");
    EXPECT_EQ(SoftLimit(limits, "Max core file size"), "0");
    EXPECT_EQ(SoftLimit(limits, "Max processes"), "0");
    EXPECT_LE(std::stoull(SoftLimit(limits, "Max open files")), 16u);

    EXPECT_EQ(getsid(child), child);
    EXPECT_EQ(ReadFile(proc / "environ"), "");
    std::error_code error;
    for (fs::directory_iterator fd(proc / "fd", error), end; !error && fd != end; fd.increment(error)) {
        const std::string target = fs::read_symlink(fd->path(), error).string();
        SCOPED_TRACE(fd->path().filename().string() + " -> " + target);
        EXPECT_TRUE(target.rfind("socket:", 0) == 0 || target == "/dev/null" || target.rfind("anon_inode:", 0) == 0 ||
                    error);
    }
    close(inherited);
    EXPECT_EQ(script.EvalScript("str = Math.pow(3,2)", "str"), "9");
}

// The child's steps where the system refuses one syscall to it, as a
// container might: -1 when it refused to serve, -2 on any other outcome.
int StepsWithSyscallRefused(const char *syscall)
{
    const pid_t pid = fork();
    if (pid == 0) {
        scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
        if (!ctx || seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), seccomp_syscall_resolve_name(syscall), 0) != 0 ||
            seccomp_load(ctx) != 0)
            _exit(254);
        ScriptEvaluator script(SandboxProgram());
        std::uint8_t steps = 0;
        if (script.WaitForChild(&steps) > 0 && script.EvalScript("str = 6 * 7", "str") == "42")
            _exit(steps);
        const int status = EndOf(script);
        _exit(WIFEXITED(status) && WEXITSTATUS(status) == kExitUnconfined ? 255 : 253);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 254 || WEXITSTATUS(status) == 253)
        return -2;
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

TEST(EvalScriptSandbox, ConfinementDegradesWhereTheSystemRefusesAStep)
{
    std::uint8_t normal = 0;
    ScriptEvaluator(SandboxProgram()).WaitForChild(&normal);
    struct Case {
        const char *syscall;
        int expected;
    };
    const Case cases[] = {
        // No namespaces (a container's profile, user namespaces off). Only
        // root can then still empty its bounding set.
        {"unshare", normal & ~kOwnNetwork & ~(geteuid() == 0 ? 0 : kNoBoundingSet)},
        // The filter is the one step the child insists on.
        {"seccomp", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.syscall);
        EXPECT_EQ(StepsWithSyscallRefused(c.syscall), c.expected);
    }
    // Root that may not change its uid stays uid 0, but without any
    // capability, and filtered.
    if (geteuid() == 0) {
        EXPECT_EQ(StepsWithSyscallRefused("setresuid"), normal & ~kUnprivilegedUser);
    }
}

TEST(EvalScriptSandbox, EscapeAttemptsAfterConfinementKillTheChild)
{
    struct Case {
        const char *probe;
        int signal; // what must end it; 0: it must serve
    };
    const Case cases[] = {
        {"open", SIGSYS},   {"socket", SIGSYS}, {"execve", SIGSYS},        {"fork", SIGSYS},
        {"thread", SIGSYS}, {"ptrace", SIGSYS}, {"mprotect-exec", SIGSYS}, {"abort", SIGABRT}, // a crash stays a crash
        {"mmap-exec", 0}, // refused, not fatal: the engine's JIT probe
        {"none", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.probe);
        ScriptEvaluator script(ProbeProgram(c.probe), kOneChild);
        if (c.signal == 0) {
            EXPECT_EQ(script.EvalScript("str = 6 * 7", "str"), "42");
        } else {
            EXPECT_EQ(script.WaitForChild(), -1);
            const int status = EndOf(script);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        }
    }
}

} // namespace
} // namespace tallyvox
