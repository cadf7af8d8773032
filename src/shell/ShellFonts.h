// SPDX-License-Identifier: GPL-3.0-or-later
// The window's fonts. The layout names Windows faces (Tahoma, Arial); where
// one is not installed, the installed sans-serif face and the CJK face stand
// in, without asking fontconfig for the missing one, which costs start-up a
// fallback search per face and size.
#pragma once

#include <QFont>
#include <QString>

namespace tallyvox {

// face at pixelSize, followed by the stand-ins for Latin and Han glyphs; only
// installed families are named.
QFont ShellFont(const QString &face, int pixelSize, bool bold = false);

} // namespace tallyvox
