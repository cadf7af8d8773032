// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-script MEMORY_BYTES TIME_LIMIT_MS: the confined child that runs
// the calculator's JavaScript statements, each in a fresh engine (see
// ScriptSandbox.h). stdin and stdout are both the socket to the calculator,
// stderr /dev/null.
#include "script/ScriptSandbox.h"

int main(int argc, char **argv)
{
    tallyvox::RunScriptSandbox(tallyvox::SandboxOptionsFromArgs(argc, argv));
}
