// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ProgramIcon.h"

// The resource lives in this static library: naming its initialiser here
// keeps the linker from dropping it. Outside any namespace, as Qt requires.
static void InitProgramIconResource()
{
    Q_INIT_RESOURCE(program_icon);
}

namespace tallyvox {

QIcon ProgramIcon()
{
    InitProgramIconResource();
    QIcon icon;
    for (const int size : {TALLYVOX_ICON_SIZES})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tallyvox
