// SPDX-License-Identifier: GPL-3.0-or-later
// The window's keyboard: turns a key press into the shortcut text of the key
// table (engine/KeyTable.h) and finds the key or command it presses. A key
// means the character it types, so Shift+8 on a US keyboard is "*", and the
// numeric pad types the same characters as the main keyboard.
#pragma once

#include "engine/KeyTable.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <Qt>

#include <array>
#include <string_view>

class QKeyEvent;

namespace tallyvox {

// The shortcut text of a key press ("*", "r", "Shift+S", "Ctrl+M", "Enter"),
// or empty for presses that are no shortcut (Alt and Meta belong to the
// menus and the desktop). text is the character the press types, used where
// the key code is not a printable ASCII character.
QString ShortcutOf(int qtKey, Qt::KeyboardModifiers modifiers, const QString &text = {});
QString ShortcutOf(const QKeyEvent &event);

// What a shortcut does: press a key, or run a command; neither for others.
struct KeyboardAction {
    const KeyDef *key = nullptr;
    const CommandDef *command = nullptr;
    explicit operator bool() const { return key || command; }
};
KeyboardAction ActionOf(const QString &shortcut);

// "Esc、F1": a key's shortcuts for its tooltip and description.
QString ShortcutList(const std::array<std::string_view, 2> &shortcuts);

// The same shortcuts as Qt key sequences, for menus to show.
QList<QKeySequence> KeySequencesOf(const std::array<std::string_view, 2> &shortcuts);

} // namespace tallyvox
