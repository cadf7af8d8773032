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

constexpr KeyDef kKeys[] = {
    // keypad
    {"btnMC", H::btnMCClick, 0, "MC", "MC", "MC"},
    {"btnMR", H::btnMRClick, 0, "MR", "MR", "MR"},
    {"btnMS", H::btnMSClick, 0, "MS", "MS", "MS"},
    {"btnMPlus", H::btnMPlusClick, 0, "M+", "M+", "M+"},
    {"btnMMinus", H::btnMMinusClick, 0, "M-", "M-", "M-"},
    {"btnCE", H::btnCEClick, 0, "CE", "清除", "清除", {vk::F1}},
    {"btnC", H::btnCClick, 0, "C", "归零", "归零", {vk::F2}},
    {"btnBack", H::btnBackClick, 0, "back", "退位", "退位", {vk::Back}},
    {"btnSingle", H::btnSingleClick, 0, "sign", "负", "正负"},
    {"btnRoots", H::btnRootsClick, 0, "sqrt", "开方", "开方"},
    {"btnNum7", H::btnNum1Click, 7, "7", "7", "7", vk::Digit(7)},
    {"btnNum8", H::btnNum1Click, 8, "8", "8", "8", vk::Digit(8)},
    {"btnNum9", H::btnNum1Click, 9, "9", "9", "9", vk::Digit(9)},
    {"btnDiv", H::btnAddClick, OpDivide, "/", "除", "除", {vk::Divide, vk::Oem2}},
    {"btnPer", H::btnPerClick, 0, "%", "百分号", "百分号"},
    {"btnNum4", H::btnNum1Click, 4, "4", "4", "4", vk::Digit(4)},
    {"btnNum5", H::btnNum1Click, 5, "5", "5", "5", vk::Digit(5)},
    {"btnNum6", H::btnNum1Click, 6, "6", "6", "6", vk::Digit(6)},
    {"btnMul", H::btnAddClick, OpMultiply, "*", "乘", "乘", {vk::Multiply}},
    {"btnCountdown", H::btnCountdownClick, 0, "1/x", "导数", "导数"},
    {"btnNum1", H::btnNum1Click, 1, "1", "1", "1", vk::Digit(1)},
    {"btnNum2", H::btnNum1Click, 2, "2", "2", "2", vk::Digit(2)},
    {"btnNum3", H::btnNum1Click, 3, "3", "3", "3", vk::Digit(3)},
    {"btnSub", H::btnAddClick, OpSubtract, "-", "减", "减", {vk::Subtract, vk::OemMinus}},
    {"btnEqual", H::btnEqualClick, 0, "=", "等于", "等于", {vk::Return}},
    {"btnNum0", H::btnNum1Click, 0, "0", "0", "0", vk::Digit(0)},
    {"SpbDian", H::SpbDianClick, 0, ".", "10", "点", {vk::Decimal, vk::OemPeriod}},
    {"btnAdd", H::btnAddClick, OpAdd, "+", "加", "加", {vk::Add, vk::OemPlus}},
    // scientific panel
    {"RadAngle", H::RadAngleClick, 0, "deg", "角度制", "角度"},
    {"RadRadian", H::RadRadianClick, 1, "rad", "弧度制", "弧度"},
    {"RadGrads", H::RadGradsClick, 2, "grad", "梯度制", "梯度"},
    {"SpbExp", H::SpbExpClick, OpExp, "Exp", "", "Exp"},
    {"SpbMod", H::btnAddClick, OpMod, "Mod", "取余", "取余"},
    {"SpbPai", H::SpbPaiClick, 0, "pi", "派", "派"},
    {"SpeedButton1", H::SpeedButton1Click, 0, "", "", "表达式计算"},
    {"SpbLn", H::SpbLnClick, 0, "ln", "对数", "对数"},
    {"SpbPE", H::SpbPEClick, OpFE, "F-E", "", "F-E"},
    {"SpbInt", H::SpbIntClick, 0, "Int", "取整", "取整"},
    {"SpbLog", H::SpbLogClick, 0, "Log", "log", "log"},
    {"SpbXPF", H::SpbXPFClick, 0, "x^2", "平方", "平方"},
    {"SpbaSin", H::SpbcOsClick, 3, "sinh", "", "sinh"},
    {"SpeedButton3", H::SpbcOsClick, 6, "asin", "asin", "asin"},
    {"SpbsIn", H::SpbcOsClick, 0, "sin", "sin", "sin"},
    {"SpbxNkf", H::SpbxKLFClick, OpRoot, "y-root", "开N次方", "开N次方"},
    {"SpbXNF", H::SpbXPFClick, OpPower, "x^y", "N次方", "N次方"},
    {"SpbaCos", H::SpbcOsClick, 4, "cosh", "", "cosh"},
    {"SpeedButton5", H::SpbcOsClick, 7, "acos", "acos", "acos"},
    {"SpbcOs", H::SpbcOsClick, 1, "cos", "cos", "cos"},
    {"SpbxKLF", H::SpbxKLFClick, 6, "cbrt", "开立方", "开立方"},
    {"SpbXLF", H::SpbXPFClick, 1, "x^3", "立方", "立方"},
    {"SpbaTan", H::SpbcOsClick, 5, "tanh", "", "tanh"},
    {"SpeedButton4", H::SpbcOsClick, 8, "atan", "atan", "atan"},
    {"SpbtAn", H::SpbcOsClick, 2, "tan", "tan", "tan"},
    {"SpbNJC", H::SpbNJCClick, 0, "n!", "累乘", "累乘"},
    {"SpbtenxF", H::SpbtenxFClick, 0, "10^x", "10N次方", "10N次方"},
};

template <typename Match>
const KeyDef *FindKeyWhere(Match match)
{
    for (const KeyDef &key : kKeys)
        if (match(key))
            return &key;
    return nullptr;
}

} // namespace

std::span<const KeyDef> Keys()
{
    return kKeys;
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

} // namespace tallyvox
