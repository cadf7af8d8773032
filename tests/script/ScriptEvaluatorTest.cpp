// SPDX-License-Identifier: GPL-3.0-or-later
// ScriptEvaluator: values and their texts, failures, and the sandbox holding
// against hostile statements.
#include "script/ScriptEvaluator.h"

#include <gtest/gtest.h>

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
#include <sys/wait.h>
#include <unistd.h>

namespace tallyvox {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

fs::path SandboxProgram()
{
    if (const char *bin = std::getenv("TALLYVOX_BIN"))
        return fs::path(bin) / "tallyvox-script";
    return ScriptEvaluator::DefaultSandboxProgram();
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

// Waits until this process has exactly one child, running or sleeping: the
// one spawned ahead.
pid_t WaitForSingleChild()
{
    const auto deadline = Clock::now() + 5s;
    while (Clock::now() < deadline) {
        const auto children = Children();
        if (children.size() == 1 && children[0].state != 'Z')
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

// VmSize of a process, in bytes.
std::uint64_t AddressSpaceHeld(const fs::path &proc)
{
    const std::string status = ReadFile(proc / "status");
    const auto at = status.find("VmSize:");
    if (at == std::string::npos)
        return 0;
    std::istringstream row(status.substr(at + 7));
    std::uint64_t kibibytes = 0;
    row >> kibibytes;
    return kibibytes << 10;
}

class EvalScriptTest : public ::testing::Test {
protected:
    ScriptEvaluator script{SandboxProgram()};
};

struct ValueCase {
    const char *statement;
    const char *variable;
    const char *expected;
};

TEST_F(EvalScriptTest, ValuesBecomeTheirTexts)
{
    const ValueCase cases[] = {
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
    };
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(script.EvalScript(c.statement, c.variable), c.expected);
    }
}

TEST_F(EvalScriptTest, FailuresGiveEmptyText)
{
    const ValueCase cases[] = {
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
    };
    for (const ValueCase &c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(script.EvalScript(c.statement, c.variable), c.expected);
    }
    EXPECT_EQ(script.EvalScript("str = 'x'.repeat(1024 * 1024).length", "str"), "1048576");
}

TEST_F(EvalScriptTest, EachCallHasAFreshEngine)
{
    EXPECT_EQ(script.EvalScript("leak = 7; str = leak", "str"), "7");
    EXPECT_EQ(script.EvalScript("str = typeof leak", "str"), "undefined");
    EXPECT_EQ(script.EvalScript("Math.pow = function () { return 1; }; str = Math.pow(3,2)", "str"), "1");
    EXPECT_EQ(script.EvalScript("str = Math.pow(3,2)", "str"), "9");
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
        const auto start = Clock::now();
        EXPECT_EQ(script.EvalScript(c.statement, "str"), "");
        EXPECT_LT(Clock::now() - start, bound);
        // The calculator is still here, and the next key works.
        EXPECT_EQ(script.EvalScript("str = Math.pow(1.5,2)", "str"), "2.25");
    }
}

TEST(EvalScriptLimits, BoundsFollowTheLimitsGiven)
{
    ScriptEvaluator quick(SandboxProgram(), ScriptLimits{300ms, 256u << 20});
    const auto start = Clock::now();
    EXPECT_EQ(quick.EvalScript("while(1){}", "str"), "");
    EXPECT_LT(Clock::now() - start, 1500ms);

    // A 64 MiB string (32 Mi UTF-16 units) fits 256 MiB of script memory but
    // not 32 MiB.
    const char *big = "var s = 'x'.repeat(2**25); str = s.length";
    ScriptEvaluator roomy(SandboxProgram(), ScriptLimits{5000ms, 256u << 20});
    EXPECT_EQ(roomy.EvalScript(big, "str"), "33554432");
    ScriptEvaluator small(SandboxProgram(), ScriptLimits{5000ms, 32u << 20});
    EXPECT_EQ(small.EvalScript(big, "str"), "");
    EXPECT_EQ(small.EvalScript("str = 'x'.repeat(1000).length", "str"), "1000");
}

TEST(EvalScriptSandbox, MissingOrBrokenProgramGivesEmptyText)
{
    const char *programs[] = {"/nonexistent/tallyvox-script", "/bin/true", "/bin/cat", "/dev/null"};
    for (const char *program : programs) {
        SCOPED_TRACE(program);
        std::string text = "unset";
        EXPECT_NO_THROW({
            ScriptEvaluator broken(program);
            text = broken.EvalScript("str = 1", "str");
        });
        EXPECT_EQ(text, "");
    }
}

TEST(EvalScriptSandbox, ChildrenAreReapedAndNoneOutliveTheEvaluator)
{
    ASSERT_TRUE(Children().empty());
    {
        ScriptEvaluator script(SandboxProgram(), ScriptLimits{200ms, 256u << 20});
        EXPECT_EQ(script.EvalScript("str = 1", "str"), "1");
        EXPECT_EQ(script.EvalScript("while(1){}", "str"), "");
        EXPECT_EQ(script.EvalScript("var a=[];for(var i=0;i<3e4;i++)a=[a];str=String(a)", "str"), "");
        EXPECT_EQ(script.EvalScript("str = 2", "str"), "2");
        // Only the child spawned ahead remains; the used ones are gone.
        EXPECT_GT(WaitForSingleChild(), 0);
    }
    EXPECT_TRUE(Children().empty());
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(EvalScriptSandbox, ChildSpawnedAheadIsReplacedWhenItDies)
{
    ScriptEvaluator script(SandboxProgram());
    const pid_t ahead = WaitForSingleChild();
    ASSERT_GT(ahead, 0);
    kill(ahead, SIGKILL);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(script.EvalScript("str = Math.pow(10,2)", "str"), "100");
}

TEST(EvalScriptSandbox, ChildIsConfined)
{
    // A descriptor the calculator holds open without close-on-exec.
    const int inherited = open("/proc/self/exe", O_RDONLY);
    ASSERT_GE(inherited, 0);
    ScriptEvaluator script(SandboxProgram());
    const pid_t child = WaitForSingleChild();
    ASSERT_GT(child, 0);
    const fs::path proc = fs::path("/proc") / std::to_string(child);

    // Once its engine is built it bounds its address space to what it holds
    // then (Qt, the engine) plus the script's 256 MiB.
    std::string limits;
    std::uint64_t space = 0;
    std::uint64_t held = 0;
    const auto deadline = Clock::now() + 5s;
    do {
        limits = ReadFile(proc / "limits");
        const std::string soft = SoftLimit(limits, "Max address space");
        held = AddressSpaceHeld(proc);
        space = soft.empty() || soft == "unlimited" ? UINT64_MAX : std::stoull(soft);
        if (space <= held + (256ull << 20))
            break;
        std::this_thread::sleep_for(5ms);
    } while (Clock::now() < deadline);
    EXPECT_LE(space, held + (256ull << 20));
    EXPECT_GE(space, held + (200ull << 20));
    EXPECT_EQ(SoftLimit(limits, "Max core file size"), "0");
    EXPECT_NE(SoftLimit(limits, "Max cpu time"), "unlimited");
    EXPECT_LE(std::stoull(SoftLimit(limits, "Max open files")), 16u);

    EXPECT_EQ(getsid(child), child);
    EXPECT_EQ(fs::read_symlink(proc / "cwd"), fs::path("/"));
    EXPECT_EQ(ReadFile(proc / "environ"), "");
    for (const auto &fd : fs::directory_iterator(proc / "fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(fd.path(), error).string();
        SCOPED_TRACE(fd.path().filename().string() + " -> " + target);
        const bool own = target.rfind("socket:", 0) == 0 || target == "/dev/null" ||
                         target.rfind("anon_inode:", 0) == 0 || target.rfind("/memfd:", 0) == 0;
        EXPECT_TRUE(own || error);
    }
    close(inherited);
}

} // namespace
} // namespace tallyvox
