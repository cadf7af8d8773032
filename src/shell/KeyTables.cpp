// The two key panels and the menus, one row per control. Accessible names
// are the words the key's cue speaks, so a listener and a screen reader
// hear the same thing.
#include "uFrmMain.h"

namespace tallyvox {

using layout::KeyPicture;
using layout::KeyEntry;
using layout::MenuEntry;

namespace {
constexpr int Col[] = {8, 47, 86, 125, 164};
constexpr int Row[] = {8, 41, 72, 104, 136, 168};
constexpr int W = layout::KeyWidth;
constexpr int H = layout::KeyHeight;

constexpr QRect At(int col, int row, int w = W, int h = H) { return {Col[col], Row[row], w, h}; }
} // namespace

std::span<const KeyEntry> TFrmMain::KeypadKeys()
{
    using F = TFrmMain;
    static const KeyEntry keys[] = {
        {"btnMC", "MC", KeyPicture::None, 0, At(0, 0), &F::btnMCClick, "MC"},
        {"btnMR", "MR", KeyPicture::None, 0, At(1, 0), &F::btnMRClick, "MR"},
        {"btnMS", "MS", KeyPicture::None, 0, At(2, 0), &F::btnMSClick, "MS"},
        {"btnMPlus", "M+", KeyPicture::None, 0, At(3, 0), &F::btnMPlusClick, "M+"},
        {"btnMMinus", "M-", KeyPicture::None, 0, At(4, 0), &F::btnMMinusClick, "M-"},
        {"btnCE", "CE", KeyPicture::None, 0, At(0, 1), &F::btnCEClick, "清除", true},
        {"btnC", "C", KeyPicture::None, 0, At(1, 1), &F::btnCClick, "归零", true},
        {"btnBack", "←", KeyPicture::None, 0, At(2, 1), &F::btnBackClick, "退位"},
        {"btnSingle", "±", KeyPicture::None, 0, At(3, 1), &F::btnSingleClick, "正负"},
        {"btnRoots", "", KeyPicture::SquareRoot, 0, At(4, 1), &F::btnRootsClick, "开方"},
        {"btnNum7", "7", KeyPicture::None, 7, At(0, 2), &F::btnNum1Click, "7"},
        {"btnNum8", "8", KeyPicture::None, 8, At(1, 2), &F::btnNum1Click, "8"},
        {"btnNum9", "9", KeyPicture::None, 9, At(2, 2), &F::btnNum1Click, "9"},
        {"btnDiv", "÷", KeyPicture::None, 3, At(3, 2), &F::btnAddClick, "除"},
        {"btnPer", "%", KeyPicture::None, 0, At(4, 2), &F::btnPerClick, "百分号"},
        {"btnNum4", "4", KeyPicture::None, 4, At(0, 3), &F::btnNum1Click, "4"},
        {"btnNum5", "5", KeyPicture::None, 5, At(1, 3), &F::btnNum1Click, "5"},
        {"btnNum6", "6", KeyPicture::None, 6, At(2, 3), &F::btnNum1Click, "6"},
        {"btnMul", "×", KeyPicture::None, 2, At(3, 3), &F::btnAddClick, "乘"},
        {"btnCountdown", "1/x", KeyPicture::None, 0, At(4, 3), &F::btnCountdownClick, "导数"},
        {"btnNum1", "1", KeyPicture::None, 1, At(0, 4), &F::btnNum1Click, "1"},
        {"btnNum2", "2", KeyPicture::None, 2, At(1, 4), &F::btnNum1Click, "2"},
        {"btnNum3", "3", KeyPicture::None, 3, At(2, 4), &F::btnNum1Click, "3"},
        {"btnSub", "－", KeyPicture::None, 1, At(3, 4), &F::btnAddClick, "减"},
        // Two rows high, two pixels off the grid.
        {"btnEqual", "＝", KeyPicture::None, 0, {166, 138, 35, 60}, &F::btnEqualClick, "等于"},
        {"btnNum0", "0", KeyPicture::None, 0, At(0, 5, 74), &F::btnNum1Click, "0"},
        {"SpbDian", "．", KeyPicture::None, 0, At(2, 5), &F::SpbDianClick, "点"},
        {"btnAdd", "＋", KeyPicture::None, 0, At(3, 5), &F::btnAddClick, "加"},
    };
    return keys;
}

std::span<const KeyEntry> TFrmMain::ScienceKeys()
{
    using F = TFrmMain;
    static const KeyEntry keys[] = {
        {"SpbExp", "Exp", KeyPicture::None, 5, At(0, 1), &F::SpbExpClick, "Exp"},
        {"SpbMod", "Mod", KeyPicture::None, 4, At(1, 1), &F::btnAddClick, "取余"},
        {"SpbPai", "", KeyPicture::Pi, 0, At(2, 1), &F::SpbPaiClick, "派"},
        {"SpeedButton1", "表达式计算", KeyPicture::None, 0, At(3, 1, 74), &F::SpeedButton1Click, "表达式计算"},
        {"SpbLn", "ln", KeyPicture::None, 0, At(0, 2), &F::SpbLnClick, "对数"},
        {"SpbPE", "F-E", KeyPicture::None, 6, At(1, 2), &F::SpbPEClick, "F-E", false, true},
        {"SpbInt", "Int", KeyPicture::None, 0, At(2, 2), &F::SpbIntClick, "取整"},
        {"SpbLog", "Log", KeyPicture::None, 0, At(3, 2), &F::SpbLogClick, "log"},
        {"SpbXPF", "", KeyPicture::Square, 0, At(4, 2), &F::SpbXPFClick, "平方"},
        {"SpbaSin", "sinh", KeyPicture::None, 3, At(0, 3), &F::SpbcOsClick, "sinh"},
        {"SpeedButton3", "asin", KeyPicture::None, 6, At(1, 3), &F::SpbcOsClick, "asin"},
        {"SpbsIn", "sin", KeyPicture::None, 0, At(2, 3), &F::SpbcOsClick, "sin"},
        {"SpbxNkf", "", KeyPicture::RootN, 8, At(3, 3), &F::SpbxKLFClick, "开N次方"},
        {"SpbXNF", "", KeyPicture::PowerN, 7, At(4, 3), &F::SpbXPFClick, "N次方"},
        {"SpbaCos", "cosh", KeyPicture::None, 4, At(0, 4), &F::SpbcOsClick, "cosh"},
        {"SpeedButton5", "acos", KeyPicture::None, 7, At(1, 4), &F::SpbcOsClick, "acos"},
        {"SpbcOs", "cos", KeyPicture::None, 1, At(2, 4), &F::SpbcOsClick, "cos"},
        {"SpbxKLF", "", KeyPicture::CubeRoot, 6, At(3, 4), &F::SpbxKLFClick, "开立方"},
        {"SpbXLF", "", KeyPicture::Cube, 1, At(4, 4), &F::SpbXPFClick, "立方"},
        {"SpbaTan", "tanh", KeyPicture::None, 5, At(0, 5), &F::SpbcOsClick, "tanh"},
        {"SpeedButton4", "atan", KeyPicture::None, 8, At(1, 5), &F::SpbcOsClick, "atan"},
        {"SpbtAn", "tan", KeyPicture::None, 2, At(2, 5), &F::SpbcOsClick, "tan"},
        {"SpbNJC", "n!", KeyPicture::None, 0, At(3, 5), &F::SpbNJCClick, "累乘"},
        {"SpbtenxF", "", KeyPicture::TenPower, 0, At(4, 5), &F::SpbtenxFClick, "10N次方"},
    };
    return keys;
}

std::span<const MenuEntry> TFrmMain::MenuItems()
{
    using F = TFrmMain;
    static const MenuEntry items[] = {
        {"N1", "查看", nullptr, nullptr},
        {"N4", "标准型", "N1", &F::N4Click, true},
        {"N5", "加强型", "N1", &F::N5Click, true, true, 1},
        {"N6", "程序员", "N1", nullptr, true, false},
        {"N7", "统计信息", "N1", nullptr, true, false},
        {"N2", "编辑", nullptr, nullptr},
        {"N8", "复制", "N2", &F::N8Click},
        {"N9", "粘贴", "N2", &F::N9Click},
        {"N3", "帮助", nullptr, nullptr, false, false},
    };
    return items;
}

} // namespace tallyvox
