// SPDX-License-Identifier: GPL-3.0-or-later
// Runs one JavaScript statement in a fresh script engine and returns a named
// variable's value as text, empty on any failure.
//
// The statement may hold user text, so each evaluation runs in a child
// process (tallyvox-script) with time and memory bounds, killed when it
// overruns; one child is kept spawned ahead so a key still answers at once.
// Pure C++ (POSIX), no Qt.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

namespace tallyvox {

struct ScriptLimits {
    std::chrono::milliseconds timeLimit{2000};
    std::size_t memoryLimitBytes = 256u * 1024u * 1024u;
};

class ScriptEvaluator {
public:
    // sandboxProgram: path of tallyvox-script (default: found beside the
    // running executable or in its installed private folder). A missing
    // program is said once on stderr.
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

    static std::filesystem::path DefaultSandboxProgram();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tallyvox
