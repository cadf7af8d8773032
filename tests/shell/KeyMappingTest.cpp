// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyMapping.h"

#include <gtest/gtest.h>

namespace {

using tallyvox::VirtualKeyOf;

struct Case {
    const char *what;
    int key;
    Qt::KeyboardModifiers modifiers;
    quint32 x11Keycode;
    int vk;
};

constexpr auto None = Qt::NoModifier;
constexpr auto Pad = Qt::KeypadModifier;
constexpr auto Shift = Qt::ShiftModifier;

const Case kCases[] = {
    {"pad 0", Qt::Key_0, Pad, 0, 96},
    {"pad 5", Qt::Key_5, Pad, 0, 101},
    {"pad 9", Qt::Key_9, Pad, 0, 105},
    {"pad *", Qt::Key_Asterisk, Pad, 0, 106},
    {"pad +", Qt::Key_Plus, Pad, 0, 107},
    {"pad -", Qt::Key_Minus, Pad, 0, 109},
    {"pad .", Qt::Key_Period, Pad, 0, 110},
    {"pad , (decimal key of comma locales)", Qt::Key_Comma, Pad, 0, 110},
    {"pad /", Qt::Key_Slash, Pad, 0, 111},
    {"pad Enter", Qt::Key_Enter, Pad, 0, 13},
    {"pad 8 with Num Lock off is a cursor key", Qt::Key_Up, Pad, 0, 0},
    {"pad with Shift is still the pad", Qt::Key_7, Pad | Shift, 0, 103},
    {"main 0", Qt::Key_0, None, 0, 48},
    {"main 9", Qt::Key_9, None, 0, 57},
    {"Shift+8 is the key 8", Qt::Key_Asterisk, Shift, 0, 56},
    {"Shift+9 is the key 9", Qt::Key_ParenLeft, Shift, 0, 57},
    {"Shift+0 is the key 0", Qt::Key_ParenRight, Shift, 0, 48},
    {"Shift+1 is the key 1", Qt::Key_Exclam, Shift, 0, 49},
    {"=", Qt::Key_Equal, None, 0, 187},
    {"Shift+= gives +", Qt::Key_Plus, Shift, 0, 187},
    {"-", Qt::Key_Minus, None, 0, 189},
    {"Shift+- gives _", Qt::Key_Underscore, Shift, 0, 189},
    {".", Qt::Key_Period, None, 0, 190},
    {"Shift+. gives >", Qt::Key_Greater, Shift, 0, 190},
    {"/", Qt::Key_Slash, None, 0, 191},
    {"Shift+/ gives ?", Qt::Key_Question, Shift, 0, 191},
    {"Return", Qt::Key_Return, None, 0, 13},
    {"Enter", Qt::Key_Enter, None, 0, 13},
    {"Backspace", Qt::Key_Backspace, None, 0, 8},
    {"F1", Qt::Key_F1, None, 0, 112},
    {"F2", Qt::Key_F2, None, 0, 113},
    {"Ctrl does not change the key", Qt::Key_5, Qt::ControlModifier, 0, 53},
    {"letter", Qt::Key_A, None, 0, 65},
    {"unmapped key", Qt::Key_Home, None, 0, 0},
    // By X11 keycode: the physical key wins over the typed symbol.
    {"AZERTY: & on the key 1", Qt::Key_Ampersand, None, 10, 49},
    {"AZERTY: à on the key 0", Qt::Key_Agrave, None, 19, 48},
    {"AZERTY: Shift+key 8 gives 8", Qt::Key_8, Shift, 17, 56},
    {"keycode of -", Qt::Key_ParenRight, None, 20, 189},
    {"keycode of =", Qt::Key_Plus, Shift, 21, 187},
    {"keycode of .", Qt::Key_Colon, None, 60, 190},
    {"keycode of /", Qt::Key_Exclam, None, 61, 191},
    {"keycode outside the row falls back to the key", Qt::Key_F2, None, 68, 113},
    {"keypad wins over a main-row keycode", Qt::Key_3, Pad, 12, 99},
};

TEST(KeyMapping, VirtualKeyTable)
{
    for (const Case &c : kCases)
        EXPECT_EQ(VirtualKeyOf(c.key, c.modifiers, c.x11Keycode), c.vk) << c.what;
}

} // namespace
