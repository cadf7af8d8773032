// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyMapping.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <array>
#include <utility>

namespace tallyvox {

namespace {

// Keys of the numeric pad, told apart by Qt::KeypadModifier.
constexpr std::array<std::pair<int, int>, 8> kPadKeys{{
    {Qt::Key_Asterisk, 106},
    {Qt::Key_Plus, 107},
    {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},
    {Qt::Key_Comma, 110}, // the pad's point key where the locale's point is ","
    {Qt::Key_Slash, 111},
    {Qt::Key_Enter, 13},
    {Qt::Key_Return, 13},
}};

// Main-keyboard keys, unshifted and (US layout) shifted symbol alike.
constexpr std::array<std::pair<int, int>, 27> kMainKeys{{
    {Qt::Key_ParenRight, 48}, {Qt::Key_Exclam, 49},    {Qt::Key_At, 50},          {Qt::Key_NumberSign, 51},
    {Qt::Key_Dollar, 52},     {Qt::Key_Percent, 53},   {Qt::Key_AsciiCircum, 54}, {Qt::Key_Ampersand, 55},
    {Qt::Key_Asterisk, 56},   {Qt::Key_ParenLeft, 57}, {Qt::Key_Equal, 187},      {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},     {Qt::Key_Less, 188},     {Qt::Key_Minus, 189},      {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},    {Qt::Key_Greater, 190},  {Qt::Key_Slash, 191},      {Qt::Key_Question, 191},
    {Qt::Key_Return, 13},     {Qt::Key_Enter, 13},     {Qt::Key_Backspace, 8},    {Qt::Key_F1, 112},
    {Qt::Key_F2, 113},        {Qt::Key_Escape, 27},    {Qt::Key_Delete, 46},
}};

// X11 keycodes of the main typing row: 1..9, 0, "-", "=", and ",", ".", "/".
int MainRowByKeycode(quint32 keycode)
{
    if (keycode >= 10 && keycode <= 18)
        return int('1' + (keycode - 10));
    switch (keycode) {
    case 19: return '0';
    case 20: return 189;
    case 21: return 187;
    case 59: return 188;
    case 60: return 190;
    case 61: return 191;
    default: return 0;
    }
}

} // namespace

int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers, quint32 x11Keycode)
{
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return 96 + (qtKey - Qt::Key_0);
        for (const auto &[key, vk] : kPadKeys)
            if (key == qtKey)
                return vk;
        return 0; // pad keys with Num Lock off act as cursor keys
    }
    if (const int byPosition = MainRowByKeycode(x11Keycode))
        return byPosition;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    for (const auto &[key, vk] : kMainKeys)
        if (key == qtKey)
            return vk;
    return 0;
}

int VirtualKeyOf(const QKeyEvent &event)
{
    const QString platform = QGuiApplication::platformName();
    const bool x11Keycodes = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    return VirtualKeyOf(event.key(), event.modifiers(), x11Keycodes ? event.nativeScanCode() : 0);
}

} // namespace tallyvox
