// SPDX-License-Identifier: GPL-3.0-or-later
// The life of tallyvox-script: bounds, a warm-up engine, confinement, then
// one fresh engine per request until it is time to retire. Everything a
// statement could change dies with its engine, so the child may serve many.
#pragma once

#include <chrono>
#include <cstddef>

namespace tallyvox {

struct ScriptSandboxOptions {
    std::size_t memoryLimitBytes = 256u * 1024u * 1024u;
    // The calculator's wall-clock bound per request; sizes the CPU budget.
    std::chrono::milliseconds timeLimit{2000};
    // Requests served before the child retires by itself: bounds a slow leak.
    unsigned maxRequests = 5000;
    // Test builds only: runs right after confinement, before the hello.
    void (*afterConfinement)() = nullptr;
};

// The options the calculator passes: MEMORY_BYTES TIME_LIMIT_MS.
ScriptSandboxOptions SandboxOptionsFromArgs(int argc, char **argv);

// Serves requests on stdin/stdout (ScriptWire.h) and never returns.
[[noreturn]] void RunScriptSandbox(const ScriptSandboxOptions &options);

} // namespace tallyvox
