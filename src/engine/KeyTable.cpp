// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/KeyTable.h"

#include "engine/CalculatorEngine.h"

namespace tallyvox {

namespace {

using H = KeyHandler;

// Windows virtual-key codes of the keyboard rows.
namespace vk {
constexpr int Back = 8, Return = 13, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110, Divide = 111, F1 = 112,
              F2 = 113, OemPlus = 187, OemMinus = 189, OemPeriod = 190, Oem2 = 191;
constexpr std::array<int, 2> Digit(int d)
{
    return {96 + d, 48 + d};
} // numeric pad, main row
} // namespace vk

// Shortcuts follow the usual desktop calculator conventions where there are
// any (r reciprocal, @ root, F9 sign, Ctrl+M/R/L/P/Q memory, s/o/t and their
// Shift and Ctrl forms, F3-F5 angle modes).
constexpr KeyDef kKeys[] = {
    // keypad
    {"btnMC", H::btnMCClick, 0, "MC", "MC", "记忆清除", {"Ctrl+L"}},
    {"btnMR", H::btnMRClick, 0, "MR", "MR", "记忆读取", {"Ctrl+R"}},
    {"btnMS", H::btnMSClick, 0, "MS", "MS", "记忆存储", {"Ctrl+M"}},
    {"btnMPlus", H::btnMPlusClick, 0, "M+", "M+", "记忆加", {"Ctrl+P"}},
    {"btnMMinus", H::btnMMinusClick, 0, "M-", "M-", "记忆减", {"Ctrl+Q"}},
    {"btnCE", H::btnCEClick, 0, "CE", "清除", "清除", {"Esc", "F1"}, {vk::F1}},
    {"btnC", H::btnCClick, 0, "C", "归零", "归零", {"Delete", "F2"}, {vk::F2}},
    {"btnBack", H::btnBackClick, 0, "back", "退位", "退格", {"Backspace"}, {vk::Back}},
    {"btnSingle", H::btnSingleClick, 0, "sign", "负", "正负", {"F9"}},
    {"btnRoots", H::btnRootsClick, 0, "sqrt", "开方", "开方", {"@"}},
    {"btnNum7", H::btnNum1Click, 7, "7", "7", "七", {"7"}, vk::Digit(7)},
    {"btnNum8", H::btnNum1Click, 8, "8", "8", "八", {"8"}, vk::Digit(8)},
    {"btnNum9", H::btnNum1Click, 9, "9", "9", "九", {"9"}, vk::Digit(9)},
    {"btnDiv", H::btnAddClick, OpDivide, "/", "除", "除", {"/"}, {vk::Divide, vk::Oem2}},
    {"btnPer", H::btnPerClick, 0, "%", "百分号", "百分号", {"%"}},
    {"btnNum4", H::btnNum1Click, 4, "4", "4", "四", {"4"}, vk::Digit(4)},
    {"btnNum5", H::btnNum1Click, 5, "5", "5", "五", {"5"}, vk::Digit(5)},
    {"btnNum6", H::btnNum1Click, 6, "6", "6", "六", {"6"}, vk::Digit(6)},
    {"btnMul", H::btnAddClick, OpMultiply, "*", "乘", "乘", {"*"}, {vk::Multiply}},
    {"btnCountdown", H::btnCountdownClick, 0, "1/x", "导数", "倒数", {"r"}},
    {"btnNum1", H::btnNum1Click, 1, "1", "1", "一", {"1"}, vk::Digit(1)},
    {"btnNum2", H::btnNum1Click, 2, "2", "2", "二", {"2"}, vk::Digit(2)},
    {"btnNum3", H::btnNum1Click, 3, "3", "3", "三", {"3"}, vk::Digit(3)},
    {"btnSub", H::btnAddClick, OpSubtract, "-", "减", "减", {"-"}, {vk::Subtract, vk::OemMinus}},
    {"btnEqual", H::btnEqualClick, 0, "=", "等于", "等于", {"=", "Enter"}, {vk::Return}},
    {"btnNum0", H::btnNum1Click, 0, "0", "0", "零", {"0"}, vk::Digit(0)},
    {"SpbDian", H::SpbDianClick, 0, ".", "10", "点", {".", ","}, {vk::Decimal, vk::OemPeriod}},
    {"btnAdd", H::btnAddClick, OpAdd, "+", "加", "加", {"+"}, {vk::Add, vk::OemPlus}},
    // scientific panel
    {"RadAngle", H::RadAngleClick, 0, "deg", "角度制", "角度制", {"F3"}},
    {"RadRadian", H::RadRadianClick, 1, "rad", "弧度制", "弧度制", {"F4"}},
    {"RadGrads", H::RadGradsClick, 2, "grad", "梯度制", "梯度制", {"F5"}},
    {"SpbExp", H::SpbExpClick, OpExp, "Exp", "", "科学计数", {"x"}},
    {"SpbMod", H::btnAddClick, OpMod, "Mod", "取余", "取余", {"d"}},
    {"SpbPai", H::SpbPaiClick, 0, "pi", "派", "派", {"p"}},
    {"SpeedButton1", H::SpeedButton1Click, 0, "", "", "表达式计算", {"Ctrl+E"}},
    {"SpbLn", H::SpbLnClick, 0, "ln", "对数", "自然对数", {"n"}},
    {"SpbPE", H::SpbPEClick, OpFE, "F-E", "", "科学计数显示", {"v"}},
    {"SpbInt", H::SpbIntClick, 0, "Int", "取整", "取整", {";"}},
    {"SpbLog", H::SpbLogClick, 0, "Log", "log", "常用对数", {"l"}},
    {"SpbXPF", H::SpbXPFClick, 0, "x^2", "平方", "平方", {"q"}},
    {"SpbaSin", H::SpbcOsClick, 3, "sinh", "", "双曲正弦", {"Ctrl+S"}},
    {"SpeedButton3", H::SpbcOsClick, 6, "asin", "asin", "反正弦", {"Shift+S"}},
    {"SpbsIn", H::SpbcOsClick, 0, "sin", "sin", "正弦", {"s"}},
    {"SpbxNkf", H::SpbxKLFClick, OpRoot, "y-root", "开N次方", "开N次方", {"Ctrl+Y"}},
    {"SpbXNF", H::SpbXPFClick, OpPower, "x^y", "N次方", "N次方", {"y", "^"}},
    {"SpbaCos", H::SpbcOsClick, 4, "cosh", "", "双曲余弦", {"Ctrl+O"}},
    {"SpeedButton5", H::SpbcOsClick, 7, "acos", "acos", "反余弦", {"Shift+O"}},
    {"SpbcOs", H::SpbcOsClick, 1, "cos", "cos", "余弦", {"o"}},
    {"SpbxKLF", H::SpbxKLFClick, 6, "cbrt", "开立方", "开立方", {"Ctrl+B"}},
    {"SpbXLF", H::SpbXPFClick, 1, "x^3", "立方", "立方", {"#"}},
    {"SpbaTan", H::SpbcOsClick, 5, "tanh", "", "双曲正切", {"Ctrl+T"}},
    {"SpeedButton4", H::SpbcOsClick, 8, "atan", "atan", "反正切", {"Shift+T"}},
    {"SpbtAn", H::SpbcOsClick, 2, "tan", "tan", "正切", {"t"}},
    {"SpbNJC", H::SpbNJCClick, 0, "n!", "累乘", "阶乘", {"!"}},
    {"SpbtenxF", H::SpbtenxFClick, 0, "10^x", "10N次方", "10的N次方", {"Ctrl+G"}},
};

constexpr CommandDef kCommands[] = {
    {"copy", "复制", {"Ctrl+C", "Ctrl+Insert"}},
    {"paste", "粘贴", {"Ctrl+V", "Shift+Insert"}},
    {"say", "朗读显示", {"Space"}},
    {"status", "朗读运算和记忆", {"?"}},
    {"calculation", "朗读当前算式", {"Shift+Space", "F8"}},
    // The tape of finished calculations.
    {"tape", "计算记录", {"Ctrl+H"}},
    {"tape-back", "朗读上一条记录", {"Ctrl+Up"}},
    {"tape-next", "朗读下一条记录", {"Ctrl+Down"}},
    {"tape-recall", "取回记录", {"Ctrl+Enter"}},
    {"tape-clear", "清除计算记录", {"Ctrl+Shift+Delete"}},
    // The listener's quick keys, each confirmed in words.
    {"faster", "语速加快", {"Ctrl+Shift+F"}},
    {"slower", "语速减慢", {"Ctrl+Shift+S"}},
    {"louder", "音量加大", {"Ctrl+Shift+U"}},
    {"softer", "音量减小", {"Ctrl+Shift+D"}},
    {"mute", "静音开关", {"Ctrl+Shift+M"}},
    {"speech", "切换朗读内容", {"Ctrl+Shift+W"}},
};

template <typename Match>
const KeyDef *FindKeyWhere(Match match)
{
    for (const KeyDef &key : kKeys)
        if (match(key))
            return &key;
    return nullptr;
}

bool HasShortcut(const std::array<std::string_view, 2> &shortcuts, std::string_view shortcut)
{
    return !shortcut.empty() && (shortcuts[0] == shortcut || shortcuts[1] == shortcut);
}

} // namespace

std::span<const KeyDef> Keys()
{
    return kKeys;
}

std::span<const CommandDef> Commands()
{
    return kCommands;
}

const KeyDef *FindKeyByName(std::string_view objectName)
{
    return FindKeyWhere([&](const KeyDef &k) { return k.objectName == objectName; });
}

const KeyDef *FindKeyByToken(std::string_view token)
{
    if (token.empty())
        return nullptr;
    return FindKeyWhere([&](const KeyDef &k) { return k.token == token; });
}

const KeyDef *FindKeyByVirtualKey(int virtualKey)
{
    if (virtualKey == 0)
        return nullptr;
    return FindKeyWhere(
        [&](const KeyDef &k) { return k.virtualKeys[0] == virtualKey || k.virtualKeys[1] == virtualKey; });
}

const KeyDef *FindKey(KeyHandler handler, int tag)
{
    return FindKeyWhere([&](const KeyDef &k) { return k.handler == handler && k.tag == tag; });
}

const KeyDef *FindKeyByShortcut(std::string_view shortcut)
{
    return FindKeyWhere([&](const KeyDef &k) { return HasShortcut(k.shortcuts, shortcut); });
}

const CommandDef *FindCommandByShortcut(std::string_view shortcut)
{
    for (const CommandDef &command : kCommands)
        if (HasShortcut(command.shortcuts, shortcut))
            return &command;
    return nullptr;
}

} // namespace tallyvox
