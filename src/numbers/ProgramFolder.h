// SPDX-License-Identifier: GPL-3.0-or-later
// Where the running program's own pieces are: the cue folder, the script
// sandbox program and the modules opened at run time. In the build tree they
// lie beside the executable (bin/); installed, in the private folder
// ../lib/tallyvox relative to it. Looking in both, relative to the
// executable, finds them wherever the tree was copied to, without a
// configured absolute path.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace tallyvox {

// The folder of the running executable; the current folder if the kernel
// cannot tell (no /proc).
std::filesystem::path ProgramFolder();

// The folder of the loaded file (program or shared library) that holds
// address; empty if the dynamic loader cannot tell.
std::filesystem::path FolderOfLoadedFile(const void *address);

// The folders a piece is looked for in, in this order: beside the program,
// then the installed private folder.
std::vector<std::filesystem::path> PieceFolders();

// The first of PieceFolders()/name that exists; when none does, the one
// beside the program, so that a later failure names a real candidate.
std::filesystem::path FindProgramPiece(std::string_view name);

// Says on stderr, once per process and piece, that a piece is missing:
// "<program>: the <what> <name> was not found (looked in <folders>)", where
// the folders are PieceFolders() when path lies in one of them, else path's
// own folder. Safe from any thread.
void ReportMissingPiece(std::string_view what, const std::filesystem::path &path);

} // namespace tallyvox
