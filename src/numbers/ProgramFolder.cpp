// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/ProgramFolder.h"

#include <system_error>

namespace tallyvox {

std::filesystem::path ProgramFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty())
        return self.parent_path();
    return std::filesystem::current_path(error);
}

std::filesystem::path BesideProgram(std::string_view name)
{
    return ProgramFolder() / name;
}

} // namespace tallyvox
