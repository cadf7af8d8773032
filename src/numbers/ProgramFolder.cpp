// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/ProgramFolder.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

#include <dlfcn.h>

#ifndef TALLYVOX_PRIVATE_FROM_BIN
#define TALLYVOX_PRIVATE_FROM_BIN "../lib/tallyvox"
#endif

namespace tallyvox {

namespace {

std::filesystem::path ProgramPath()
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

} // namespace

std::filesystem::path ProgramFolder()
{
    const std::filesystem::path self = ProgramPath();
    if (!self.empty())
        return self.parent_path();
    std::error_code error;
    return std::filesystem::current_path(error);
}

std::filesystem::path FolderOfLoadedFile(const void *address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || info.dli_fname[0] != '/')
        return {};
    return std::filesystem::path(info.dli_fname).parent_path();
}

std::vector<std::filesystem::path> PieceFolders()
{
    const std::filesystem::path folder = ProgramFolder();
    return {folder, (folder / TALLYVOX_PRIVATE_FROM_BIN).lexically_normal()};
}

std::filesystem::path FindProgramPiece(std::string_view name)
{
    const std::vector<std::filesystem::path> folders = PieceFolders();
    for (const std::filesystem::path &folder : folders) {
        std::error_code error;
        if (std::filesystem::exists(folder / name, error))
            return folder / name;
    }
    return folders.front() / name;
}

void ReportMissingPiece(std::string_view what, const std::filesystem::path &path)
{
    static std::mutex lock;
    static std::set<std::filesystem::path> *reported = new std::set<std::filesystem::path>;
    try {
        std::lock_guard guard(lock);
        if (!reported->insert(path).second)
            return;
        std::string where;
        const std::vector<std::filesystem::path> folders = PieceFolders();
        bool inPieceFolder = false;
        for (const std::filesystem::path &folder : folders)
            inPieceFolder = inPieceFolder || path.parent_path() == folder;
        if (inPieceFolder) {
            for (const std::filesystem::path &folder : folders)
                where += (where.empty() ? "" : ", ") + folder.string();
        } else {
            where = path.parent_path().string();
        }
        const std::string program = ProgramPath().filename().string();
        std::fprintf(stderr, "%s: the %.*s %s was not found (looked in %s)\n",
                     program.empty() ? "tallyvox" : program.c_str(), int(what.size()), what.data(),
                     path.filename().c_str(), where.c_str());
    } catch (...) {
    }
}

} // namespace tallyvox
