// SPDX-License-Identifier: GPL-3.0-or-later
// The small images of the picture keys and the program's icons, drawn at
// start-up (a few QPainter calls each, no image files to ship or load).
#pragma once

#include "shell/MainWindowLayout.h"

#include <QIcon>
#include <QPixmap>

namespace tallyvox {

// Black glyph, grey index/exponent, on transparent: 16 x 16, or 20 x 15 for
// the root signs. A null pixmap for KeyPicture::None.
QPixmap DrawKeyPicture(layout::KeyPicture picture);

// The window icon (16, 32 and 48 pixels) and the 16 x 16 tray image.
QIcon DrawWindowIcon();
QIcon DrawTrayIcon();

} // namespace tallyvox
