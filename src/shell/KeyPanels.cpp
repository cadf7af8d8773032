// SPDX-License-Identifier: GPL-3.0-or-later
// Where the two key panels' buttons sit and what they show, and the menus;
// one row per control. What a key does, its tag and its accessible name
// come from the key table (engine/KeyTable.h), matched by object name.
#include "shell/MainWindow.h"

namespace tallyvox {

using layout::KeyEntry;
using layout::KeyPicture;
using layout::MenuEntry;

namespace {
constexpr int Col[] = {8, 47, 86, 125, 164};
constexpr int Row[] = {8, 41, 72, 104, 136, 168};
constexpr int W = layout::KeyWidth;
constexpr int H = layout::KeyHeight;

constexpr QRect At(int col, int row, int w = W, int h = H)
{
    return {Col[col], Row[row], w, h};
}
} // namespace

std::span<const KeyEntry> TFrmMain::KeypadKeys()
{
    static const KeyEntry keys[] = {
        {"btnMC", "MC", KeyPicture::None, At(0, 0)},
        {"btnMR", "MR", KeyPicture::None, At(1, 0)},
        {"btnMS", "MS", KeyPicture::None, At(2, 0)},
        {"btnMPlus", "M+", KeyPicture::None, At(3, 0)},
        {"btnMMinus", "M-", KeyPicture::None, At(4, 0)},
        {"btnCE", "CE", KeyPicture::None, At(0, 1), true},
        {"btnC", "C", KeyPicture::None, At(1, 1), true},
        {"btnBack", "←", KeyPicture::None, At(2, 1)},
        {"btnSingle", "±", KeyPicture::None, At(3, 1)},
        {"btnRoots", "", KeyPicture::SquareRoot, At(4, 1)},
        {"btnNum7", "7", KeyPicture::None, At(0, 2)},
        {"btnNum8", "8", KeyPicture::None, At(1, 2)},
        {"btnNum9", "9", KeyPicture::None, At(2, 2)},
        {"btnDiv", "÷", KeyPicture::None, At(3, 2)},
        {"btnPer", "%", KeyPicture::None, At(4, 2)},
        {"btnNum4", "4", KeyPicture::None, At(0, 3)},
        {"btnNum5", "5", KeyPicture::None, At(1, 3)},
        {"btnNum6", "6", KeyPicture::None, At(2, 3)},
        {"btnMul", "×", KeyPicture::None, At(3, 3)},
        {"btnCountdown", "1/x", KeyPicture::None, At(4, 3)},
        {"btnNum1", "1", KeyPicture::None, At(0, 4)},
        {"btnNum2", "2", KeyPicture::None, At(1, 4)},
        {"btnNum3", "3", KeyPicture::None, At(2, 4)},
        {"btnSub", "－", KeyPicture::None, At(3, 4)},
        // Two rows high, two pixels off the grid.
        {"btnEqual", "＝", KeyPicture::None, {166, 138, 35, 60}},
        {"btnNum0", "0", KeyPicture::None, At(0, 5, 74)},
        {"SpbDian", "．", KeyPicture::None, At(2, 5)},
        {"btnAdd", "＋", KeyPicture::None, At(3, 5)},
    };
    return keys;
}

std::span<const KeyEntry> TFrmMain::ScienceKeys()
{
    static const KeyEntry keys[] = {
        {"SpbExp", "Exp", KeyPicture::None, At(0, 1)},
        {"SpbMod", "Mod", KeyPicture::None, At(1, 1)},
        {"SpbPai", "", KeyPicture::Pi, At(2, 1)},
        {"SpeedButton1", "表达式计算", KeyPicture::None, At(3, 1, 74)},
        {"SpbLn", "ln", KeyPicture::None, At(0, 2)},
        {"SpbPE", "F-E", KeyPicture::None, At(1, 2), false, true},
        {"SpbInt", "Int", KeyPicture::None, At(2, 2)},
        {"SpbLog", "Log", KeyPicture::None, At(3, 2)},
        {"SpbXPF", "", KeyPicture::Square, At(4, 2)},
        {"SpbaSin", "sinh", KeyPicture::None, At(0, 3)},
        {"SpeedButton3", "asin", KeyPicture::None, At(1, 3)},
        {"SpbsIn", "sin", KeyPicture::None, At(2, 3)},
        {"SpbxNkf", "", KeyPicture::RootN, At(3, 3)},
        {"SpbXNF", "", KeyPicture::PowerN, At(4, 3)},
        {"SpbaCos", "cosh", KeyPicture::None, At(0, 4)},
        {"SpeedButton5", "acos", KeyPicture::None, At(1, 4)},
        {"SpbcOs", "cos", KeyPicture::None, At(2, 4)},
        {"SpbxKLF", "", KeyPicture::CubeRoot, At(3, 4)},
        {"SpbXLF", "", KeyPicture::Cube, At(4, 4)},
        {"SpbaTan", "tanh", KeyPicture::None, At(0, 5)},
        {"SpeedButton4", "atan", KeyPicture::None, At(1, 5)},
        {"SpbtAn", "tan", KeyPicture::None, At(2, 5)},
        {"SpbNJC", "n!", KeyPicture::None, At(3, 5)},
        {"SpbtenxF", "", KeyPicture::TenPower, At(4, 5)},
    };
    return keys;
}

std::span<const MenuEntry> TFrmMain::MenuItems()
{
    using F = TFrmMain;
    static const MenuEntry items[] = {
        {"N1", "查看(&V)", nullptr, nullptr},
        {"N4", "标准型(&T)", "N1", &F::N4Click, true},
        {"N5", "加强型(&S)", "N1", &F::N5Click, true, true, 1},
        {"N6", "程序员", "N1", nullptr, true, false},
        {"N7", "统计信息", "N1", nullptr, true, false},
        {"NTape", "计算记录(&R)", "N1", &F::NTapeClick},
        {"NKeepTape", "保留计算记录(&K)", "N1", &F::NKeepTapeClick},
        {"NOptions", "选项(&O)…", "N1", &F::NOptionsClick},
        {"N2", "编辑(&E)", nullptr, nullptr},
        {"N8", "复制(&C)", "N2", &F::N8Click},
        {"N9", "粘贴(&P)", "N2", &F::N9Click},
        {"N3", "帮助(&H)", nullptr, nullptr, false, false},
    };
    return items;
}

} // namespace tallyvox
