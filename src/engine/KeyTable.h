// SPDX-License-Identifier: GPL-3.0-or-later
// Every key of the calculator, once: the window builds its buttons' tags,
// accessible names, tooltips, slots and keyboard shortcuts from this table,
// the engine's key-up handler maps virtual-key codes through it, and the
// headless driver takes its key tokens from it. Pure data, no Qt.
//
// A shortcut is written the one way the window's keyboard mapping spells a
// key press: the character typed ("*", "%", "r"; Shift is part of the
// character), or a named key ("Enter", "Esc", "Backspace", "Delete",
// "Insert", "Space", "F1".."F12"), or a letter or named key with modifiers
// ("Ctrl+M", "Shift+S", "Shift+Insert").
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tallyvox {

// The handler a key runs; several keys share one and are told apart by
// their tag. Named after the handlers themselves.
enum class KeyHandler : std::uint8_t {
    // keypad
    btnNum1Click, // tag: the digit
    SpbDianClick,
    btnBackClick,
    btnSingleClick,
    btnCClick,
    btnCEClick,
    btnAddClick, // tag: the operator code (add, subtract, multiply, divide, Mod)
    btnEqualClick,
    btnPerClick,
    btnCountdownClick,
    btnRootsClick,
    btnMCClick,
    btnMRClick,
    btnMSClick,
    btnMPlusClick,
    btnMMinusClick,
    // scientific panel
    RadAngleClick,
    RadRadianClick,
    RadGradsClick,
    SpbcOsClick, // tag: 0 sin 1 cos 2 tan 3 sinh 4 cosh 5 tanh 6 asin 7 acos 8 atan
    SpbIntClick,
    SpbLnClick,
    SpbLogClick,
    SpbNJCClick,
    SpbPaiClick,
    SpbXPFClick, // tag: 0 square, 1 cube, 7 the power operator
    SpbtenxFClick,
    SpbxKLFClick, // tag: 6 cube root, 8 the root operator
    SpbExpClick,
    SpbPEClick,
    SpeedButton1Click, // opens the expression window
};

// True for the handlers of the scientific panel.
constexpr bool IsScientific(KeyHandler h)
{
    return h >= KeyHandler::RadAngleClick;
}

struct KeyDef {
    std::string_view objectName; // the button's object name: "btnAdd"
    KeyHandler handler;
    int tag;
    std::string_view token; // the headless driver's name for the key; "" for none
    std::string_view cue;   // the cue the key plays ("" is the tick of keys without words)
    std::string_view words; // what a screen reader says for the key: the Chinese its cue speaks
    // The key presses that press the key; "" for none.
    std::array<std::string_view, 2> shortcuts{};
    // Windows virtual-key codes whose release on the display presses the
    // key (main keyboard and numeric pad); 0 for none.
    std::array<int, 2> virtualKeys{};
};

// Every key of both panels, the angle radio buttons included.
std::span<const KeyDef> Keys();

// What the keyboard does besides pressing keys: copy, paste, and reading the
// display or the pending operation and memory aloud again.
struct CommandDef {
    std::string_view token; // the headless driver's name ("copy" takes no text there)
    std::string_view words; // what it does, in Chinese
    std::array<std::string_view, 2> shortcuts{};
};

std::span<const CommandDef> Commands();

// nullptr when there is no such key.
const KeyDef *FindKeyByName(std::string_view objectName);
const KeyDef *FindKeyByToken(std::string_view token);
const KeyDef *FindKeyByVirtualKey(int virtualKey);
const KeyDef *FindKey(KeyHandler handler, int tag = 0);
const KeyDef *FindKeyByShortcut(std::string_view shortcut);
const CommandDef *FindCommandByShortcut(std::string_view shortcut);

} // namespace tallyvox
