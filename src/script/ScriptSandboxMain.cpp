// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-script MEMORY_BYTES TIME_LIMIT_MS: the confined child that runs
// the calculator's JavaScript statements, each in a fresh engine (see
// ScriptSandbox.h). stdin and stdout are both the socket to the calculator,
// stderr /dev/null.
#include "script/ScriptSandbox.h"

#include <cstdlib>

int main(int argc, char **argv)
{
    tallyvox::ScriptSandboxOptions options;
    if (argc > 1)
        options.memoryLimitBytes = std::strtoull(argv[1], nullptr, 10);
    if (argc > 2)
        options.timeLimit = std::chrono::milliseconds(std::strtoull(argv[2], nullptr, 10));
    tallyvox::RunScriptSandbox(options);
}
