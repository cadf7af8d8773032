// SPDX-License-Identifier: GPL-3.0-or-later
// The program's icon, for the window and the tray alike. Its one source is
// icons/org.tallyvox.Tallyvox.svg; the build renders it to the PNG sizes
// that are compiled in here and installed for the desktop.
#pragma once

#include <QIcon>

namespace tallyvox {

// Every rendered size; an image is decoded only when a size is drawn.
QIcon ProgramIcon();

} // namespace tallyvox
