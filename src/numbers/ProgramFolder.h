// SPDX-License-Identifier: GPL-3.0-or-later
// Where the running program's own files are. The cue folder and the script
// sandbox program lie beside the executable, so the program finds them
// wherever it was copied to, without a configured path.
#pragma once

#include <filesystem>
#include <string_view>

namespace tallyvox {

// The folder of the running executable; the current folder if the kernel
// cannot tell (no /proc).
std::filesystem::path ProgramFolder();

// ProgramFolder() / name.
std::filesystem::path BesideProgram(std::string_view name);

} // namespace tallyvox
