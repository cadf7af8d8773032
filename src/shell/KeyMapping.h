// SPDX-License-Identifier: GPL-3.0-or-later
// Turns a Qt key release into the Windows virtual-key code the calculator's
// keyboard table is written in. A virtual key names the physical key, not the
// character it types: Shift+8 is still the key 8, Shift+= still the "=" key.
#pragma once

#include <Qt>
#include <QtGlobal>

class QKeyEvent;

namespace tallyvox {

// qtKey/modifiers as Qt reports them; x11Keycode is the X11/Wayland keycode
// (evdev + 8) when known, else 0. With a keycode, the main typing row is
// mapped by position, so layouts whose digits need Shift still give digits.
// Returns 0 for keys the calculator has no use for.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11Keycode = 0);

// The same for a key event; the native scan code is used only on platforms
// whose scan codes are X11 keycodes.
int VirtualKeyOf(const QKeyEvent &event);

} // namespace tallyvox
