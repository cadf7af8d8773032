// SPDX-License-Identifier: GPL-3.0-or-later
// The small images of the picture keys, drawn at start-up (a few QPainter
// calls each, no image files to ship or load).
#pragma once

#include "shell/MainWindowLayout.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QPalette;

namespace tallyvox {

// The picture's size in device-independent pixels: 16 x 16, or 20 x 15 for
// the root signs.
QSize KeyPictureSize(layout::KeyPicture picture);

// Glyph in ink, index/exponent in grey, on transparent, drawn for a device
// pixel ratio. A null pixmap for KeyPicture::None.
QPixmap DrawKeyPicture(layout::KeyPicture picture, const QColor &ink = Qt::black,
                       const QColor &grey = QColor(112, 112, 112), qreal devicePixelRatio = 1);

// The picture in the palette's button-text colour, drawn when a key is first
// painted, sharp at the pixel ratio of the screen it is painted on.
QIcon KeyPictureIcon(layout::KeyPicture picture, const QPalette &palette);

// What the picture shows, as text: "√x", "x²" ...
QString KeyPictureText(layout::KeyPicture picture);

} // namespace tallyvox
