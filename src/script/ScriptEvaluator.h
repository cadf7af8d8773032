// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one JavaScript statement in a fresh script engine and returns a named
// variable's value as text, empty on any failure.
//
// The statement may hold user text, so it runs in a confined child process
// (tallyvox-script) with time and memory bounds. Long-lived children serve
// the calls in turn, each call in a fresh engine, and one is replaced when
// it overruns a bound, dies or retires. Pure C++ (POSIX), no Qt.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tallyvox {

struct ScriptLimits {
    // The longest a call may take, a child's start-up included.
    std::chrono::milliseconds timeLimit{2000};
    std::size_t memoryLimitBytes = 256u * 1024u * 1024u;
    // Children serving in turn. With two, one builds its next engine while
    // the other answers, so keys pressed back to back do not wait for that.
    int children = 2;
};

// How a child ended, as its reaper saw it (for logs and tests).
struct ChildEnd {
    pid_t pid = -1;
    int status = 0;          // waitpid status
    bool killedByUs = false; // overran the time bound, or was still running when given up
};

class ScriptEvaluator {
public:
    // sandboxProgram: path of tallyvox-script (default: found beside the
    // running executable or in its installed private folder; a missing
    // program is said once on stderr). The first child is started at once.
    explicit ScriptEvaluator(std::filesystem::path sandboxProgram = DefaultSandboxProgram(), ScriptLimits limits = {});
    ~ScriptEvaluator();
    ScriptEvaluator(const ScriptEvaluator &) = delete;
    ScriptEvaluator &operator=(const ScriptEvaluator &) = delete;

    // The value of variableName after running statement, as text: undefined
    // -> "", a whole number the engine holds as a 32-bit integer in plain
    // decimal, other numbers by GeneralNumberText, infinities "INF"/"-INF",
    // NaN "NAN", text unchanged. Any failure (syntax or run-time error, a
    // thrown value, a bound hit, the child dying) -> "". Never throws.
    std::string EvalScript(const std::string &statement, const std::string &variableName);

    // The child that will serve the next call, once it has said hello, and
    // the scriptwire::ConfinementStep bits it reported; -1 when none started.
    pid_t WaitForChild(std::uint8_t *steps = nullptr);
    // Children reaped since the last call.
    std::vector<ChildEnd> TakeEndedChildren();

    static std::filesystem::path DefaultSandboxProgram();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tallyvox
