// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyMapping.h"

#include <gtest/gtest.h>

namespace {

using tallyvox::ActionOf;
using tallyvox::ShortcutOf;

struct Case {
    const char *what;
    int key;
    Qt::KeyboardModifiers modifiers;
    const char *text;     // the character the press types
    const char *shortcut; // as the key table spells it
    const char *presses;  // the key's object name or the command; "" for nothing
};

constexpr auto None = Qt::NoModifier;
constexpr auto Pad = Qt::KeypadModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;

const Case kCases[] = {
    // Main keyboard: the character typed, Shift included in it.
    {"main 7", Qt::Key_7, None, "7", "7", "btnNum7"},
    {"Shift+8 is * and multiplies", Qt::Key_Asterisk, Shift, "*", "*", "btnMul"},
    {"= is equals", Qt::Key_Equal, None, "=", "=", "btnEqual"},
    {"Shift+= is + and adds", Qt::Key_Plus, Shift, "+", "+", "btnAdd"},
    {"Shift+5 is % and takes percent", Qt::Key_Percent, Shift, "%", "%", "btnPer"},
    {"- subtracts", Qt::Key_Minus, None, "-", "-", "btnSub"},
    {"/ divides", Qt::Key_Slash, None, "/", "/", "btnDiv"},
    {". is the point", Qt::Key_Period, None, ".", ".", "SpbDian"},
    {", is the point too", Qt::Key_Comma, None, ",", ",", "SpbDian"},
    {"Shift+1 is ! (n!)", Qt::Key_Exclam, Shift, "!", "!", "SpbNJC"},
    {"Shift+2 is @ (root)", Qt::Key_At, Shift, "@", "@", "btnRoots"},
    {"Shift+3 is # (cube)", Qt::Key_NumberSign, Shift, "#", "#", "SpbXLF"},
    {"Shift+6 is ^ (power), as typed in the expression window", Qt::Key_AsciiCircum, Shift, "^", "^", "SpbXNF"},
    {"; is Int", Qt::Key_Semicolon, None, ";", ";", "SpbInt"},
    {"Shift+/ is ? (status)", Qt::Key_Question, Shift, "?", "?", "status"},
    {"AZERTY: Shift+& types 1", Qt::Key_1, Shift, "1", "1", "btnNum1"},
    {"AZERTY: & alone is no key", Qt::Key_Ampersand, None, "&", "&", ""},
    // The numeric pad types the same characters.
    {"pad 0", Qt::Key_0, Pad, "0", "0", "btnNum0"},
    {"pad *", Qt::Key_Asterisk, Pad, "*", "*", "btnMul"},
    {"pad +", Qt::Key_Plus, Pad, "+", "+", "btnAdd"},
    {"pad -", Qt::Key_Minus, Pad, "-", "-", "btnSub"},
    {"pad /", Qt::Key_Slash, Pad, "/", "/", "btnDiv"},
    {"pad point", Qt::Key_Period, Pad, ".", ".", "SpbDian"},
    {"pad point of comma locales", Qt::Key_Comma, Pad, ",", ",", "SpbDian"},
    {"pad Enter", Qt::Key_Enter, Pad, "\r", "Enter", "btnEqual"},
    {"pad 8 with Num Lock off is a cursor key", Qt::Key_Up, Pad, "", "Up", ""},
    // Named keys.
    {"Return", Qt::Key_Return, None, "\r", "Enter", "btnEqual"},
    {"Escape clears all", Qt::Key_Escape, None, "\x1b", "Esc", "btnCE"},
    {"Delete clears the display", Qt::Key_Delete, None, "", "Delete", "btnC"},
    {"Backspace", Qt::Key_Backspace, None, "\b", "Backspace", "btnBack"},
    {"F1 clears all", Qt::Key_F1, None, "", "F1", "btnCE"},
    {"F2 clears the display", Qt::Key_F2, None, "", "F2", "btnC"},
    {"F3 degrees", Qt::Key_F3, None, "", "F3", "RadAngle"},
    {"F9 changes sign", Qt::Key_F9, None, "", "F9", "btnSingle"},
    {"Space reads the display again", Qt::Key_Space, None, " ", "Space", "say"},
    {"Home is nothing", Qt::Key_Home, None, "", "", ""},
    // Letters: by key, so Caps Lock does not matter; Shift and Ctrl do.
    {"r reciprocal", Qt::Key_R, None, "r", "r", "btnCountdown"},
    {"r with Caps Lock", Qt::Key_R, None, "R", "r", "btnCountdown"},
    {"s sine", Qt::Key_S, None, "s", "s", "SpbsIn"},
    {"Shift+S arcsine", Qt::Key_S, Shift, "S", "Shift+S", "SpeedButton3"},
    {"Ctrl+S hyperbolic sine", Qt::Key_S, Ctrl, "\x13", "Ctrl+S", "SpbaSin"},
    {"Ctrl+M stores", Qt::Key_M, Ctrl, "\r", "Ctrl+M", "btnMS"},
    {"Ctrl+R recalls", Qt::Key_R, Ctrl, "\x12", "Ctrl+R", "btnMR"},
    {"Ctrl+L clears memory", Qt::Key_L, Ctrl, "\x0c", "Ctrl+L", "btnMC"},
    {"Ctrl+P adds to memory", Qt::Key_P, Ctrl, "\x10", "Ctrl+P", "btnMPlus"},
    {"Ctrl+Q subtracts from memory", Qt::Key_Q, Ctrl, "\x11", "Ctrl+Q", "btnMMinus"},
    {"Ctrl+C copies", Qt::Key_C, Ctrl, "\x03", "Ctrl+C", "copy"},
    {"Ctrl+Insert copies", Qt::Key_Insert, Ctrl, "", "Ctrl+Insert", "copy"},
    {"Ctrl+V pastes", Qt::Key_V, Ctrl, "\x16", "Ctrl+V", "paste"},
    {"Shift+Insert pastes", Qt::Key_Insert, Shift, "", "Shift+Insert", "paste"},
    {"Ctrl+Shift+S slows speech", Qt::Key_S, Ctrl | Shift, "", "Ctrl+Shift+S", "slower"}, // was nothing
    {"a is nothing", Qt::Key_A, None, "a", "a", ""},
    // The tape, from the display.
    {"Ctrl+Up reads the older entry", Qt::Key_Up, Ctrl, "", "Ctrl+Up", "tape-back"},
    {"Ctrl+Down reads the newer entry", Qt::Key_Down, Ctrl, "", "Ctrl+Down", "tape-next"},
    {"Ctrl+Enter recalls", Qt::Key_Return, Ctrl, "\r", "Ctrl+Enter", "tape-recall"},
    {"Ctrl+Shift+Delete clears the tape", Qt::Key_Delete, Ctrl | Shift, "", "Ctrl+Shift+Delete", "tape-clear"},
    {"Shift+Space reads the calculation", Qt::Key_Space, Shift, " ", "Shift+Space", "calculation"},
    {"Ctrl+H opens the tape", Qt::Key_H, Ctrl, "\x08", "Ctrl+H", "tape"},
    // Alt belongs to the menus.
    {"Alt+V opens the view menu, not a key", Qt::Key_V, Qt::AltModifier, "v", "", ""},
};

TEST(KeyMapping, KeyPressToShortcutAndKey)
{
    for (const Case &c : kCases) {
        const QString shortcut = ShortcutOf(c.key, c.modifiers, QString::fromUtf8(c.text));
        EXPECT_EQ(shortcut.toStdString(), c.shortcut) << c.what;
        const auto action = ActionOf(shortcut);
        const std::string_view presses = action.key       ? action.key->objectName
                                         : action.command ? action.command->token
                                                          : std::string_view();
        EXPECT_EQ(presses, c.presses) << c.what;
    }
}

// Every shortcut of the table is one a key press can produce, so none is
// listed that the keyboard cannot reach.
TEST(KeyMapping, EveryShortcutIsReachable)
{
    std::vector<std::string_view> all;
    for (const auto &key : tallyvox::Keys())
        all.insert(all.end(), key.shortcuts.begin(), key.shortcuts.end());
    for (const auto &command : tallyvox::Commands())
        all.insert(all.end(), command.shortcuts.begin(), command.shortcuts.end());
    for (std::string_view s : all) {
        if (s.empty())
            continue;
        const QList<QKeySequence> sequence = tallyvox::KeySequencesOf({s, {}});
        ASSERT_EQ(sequence.size(), 1) << s;
        ASSERT_FALSE(sequence[0].isEmpty()) << s;
        const QKeyCombination combination = sequence[0][0];
        Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
        int key = combination.key();
        EXPECT_EQ(ShortcutOf(key, modifiers).toStdString(), s);
    }
}

} // namespace
