// SPDX-License-Identifier: GPL-3.0-or-later
// The small images of the picture keys, drawn at start-up (a few QPainter
// calls each, no image files to ship or load).
#pragma once

#include "shell/MainWindowLayout.h"

#include <QPixmap>

namespace tallyvox {

// Black glyph, grey index/exponent, on transparent: 16 x 16, or 20 x 15 for
// the root signs. A null pixmap for KeyPicture::None.
QPixmap DrawKeyPicture(layout::KeyPicture picture);

} // namespace tallyvox
