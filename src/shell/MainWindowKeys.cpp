// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain's key slots: each runs one engine (or scientific) handler and
// refreshes the widgets.
#include "expression/ExpressionWindow.h"
#include "scientific/ScientificKeys.h"
#include "shell/KeyMapping.h"
#include "shell/MainWindow.h"

#include <QAbstractButton>

namespace tallyvox {

layout::KeySlot TFrmMain::SlotFor(KeyHandler handler)
{
    using F = TFrmMain;
    switch (handler) {
    case KeyHandler::btnNum1Click: return &F::btnNum1Click;
    case KeyHandler::SpbDianClick: return &F::SpbDianClick;
    case KeyHandler::btnBackClick: return &F::btnBackClick;
    case KeyHandler::btnSingleClick: return &F::btnSingleClick;
    case KeyHandler::btnCClick: return &F::btnCClick;
    case KeyHandler::btnCEClick: return &F::btnCEClick;
    case KeyHandler::btnAddClick: return &F::btnAddClick;
    case KeyHandler::btnEqualClick: return &F::btnEqualClick;
    case KeyHandler::btnPerClick: return &F::btnPerClick;
    case KeyHandler::btnCountdownClick: return &F::btnCountdownClick;
    case KeyHandler::btnRootsClick: return &F::btnRootsClick;
    case KeyHandler::btnMCClick: return &F::btnMCClick;
    case KeyHandler::btnMRClick: return &F::btnMRClick;
    case KeyHandler::btnMSClick: return &F::btnMSClick;
    case KeyHandler::btnMPlusClick: return &F::btnMPlusClick;
    case KeyHandler::btnMMinusClick: return &F::btnMMinusClick;
    case KeyHandler::RadAngleClick: return &F::RadAngleClick;
    case KeyHandler::RadRadianClick: return &F::RadRadianClick;
    case KeyHandler::RadGradsClick: return &F::RadGradsClick;
    case KeyHandler::SpbcOsClick: return &F::SpbcOsClick;
    case KeyHandler::SpbIntClick: return &F::SpbIntClick;
    case KeyHandler::SpbLnClick: return &F::SpbLnClick;
    case KeyHandler::SpbLogClick: return &F::SpbLogClick;
    case KeyHandler::SpbNJCClick: return &F::SpbNJCClick;
    case KeyHandler::SpbPaiClick: return &F::SpbPaiClick;
    case KeyHandler::SpbXPFClick: return &F::SpbXPFClick;
    case KeyHandler::SpbtenxFClick: return &F::SpbtenxFClick;
    case KeyHandler::SpbxKLFClick: return &F::SpbxKLFClick;
    case KeyHandler::SpbExpClick: return &F::SpbExpClick;
    case KeyHandler::SpbPEClick: return &F::SpbPEClick;
    case KeyHandler::SpeedButton1Click: return &F::SpeedButton1Click;
    }
    return nullptr;
}

void TFrmMain::btnNum1Click()
{
    const int digit = SenderTag();
    RunKey([&] { engine_.btnNum1Click(digit); });
}
void TFrmMain::SpbDianClick()
{
    RunKey([&] { engine_.SpbDianClick(); });
}
void TFrmMain::btnBackClick()
{
    RunKey([&] { engine_.btnBackClick(); });
}
void TFrmMain::btnSingleClick()
{
    RunKey([&] { engine_.btnSingleClick(); });
}
void TFrmMain::btnCClick()
{
    RunKey([&] { engine_.btnCClick(); });
}
void TFrmMain::btnCEClick()
{
    RunKey([&] { engine_.btnCEClick(); });
}
void TFrmMain::btnAddClick()
{
    const int code = SenderTag();
    RunKey([&] { engine_.btnAddClick(code); });
}
void TFrmMain::btnEqualClick()
{
    RunKey([&] { engine_.btnEqualClick(); });
}
void TFrmMain::btnPerClick()
{
    RunKey([&] { engine_.btnPerClick(); });
}
void TFrmMain::btnCountdownClick()
{
    RunKey([&] { engine_.btnCountdownClick(); });
}
void TFrmMain::btnRootsClick()
{
    RunKey([&] { engine_.btnRootsClick(); });
}
void TFrmMain::btnMCClick()
{
    RunKey([&] { engine_.btnMCClick(); });
}
void TFrmMain::btnMRClick()
{
    RunKey([&] { engine_.btnMRClick(); });
}
void TFrmMain::btnMSClick()
{
    RunKey([&] { engine_.btnMSClick(); });
}
void TFrmMain::btnMPlusClick()
{
    RunKey([&] { engine_.btnMPlusClick(); });
}
void TFrmMain::btnMMinusClick()
{
    RunKey([&] { engine_.btnMMinusClick(); });
}

void TFrmMain::RadAngleClick()
{
    RunKey([&] { Science().RadAngleClick(); });
    SaveSettings();
}
void TFrmMain::RadRadianClick()
{
    RunKey([&] { Science().RadRadianClick(); });
    SaveSettings();
}
void TFrmMain::RadGradsClick()
{
    RunKey([&] { Science().RadGradsClick(); });
    SaveSettings();
}
void TFrmMain::SpbcOsClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbcOsClick(tag); });
}
void TFrmMain::SpbIntClick()
{
    RunKey([&] { Science().SpbIntClick(); });
}
void TFrmMain::SpbLnClick()
{
    RunKey([&] { Science().SpbLnClick(); });
}
void TFrmMain::SpbLogClick()
{
    RunKey([&] { Science().SpbLogClick(); });
}
void TFrmMain::SpbNJCClick()
{
    RunKey([&] { Science().SpbNJCClick(); });
}
void TFrmMain::SpbPaiClick()
{
    RunKey([&] { Science().SpbPaiClick(); });
}
void TFrmMain::SpbXPFClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbXPFClick(tag); });
}
void TFrmMain::SpbtenxFClick()
{
    RunKey([&] { Science().SpbtenxFClick(); });
}
void TFrmMain::SpbxKLFClick()
{
    const int tag = SenderTag();
    RunKey([&] { Science().SpbxKLFClick(tag); });
}
void TFrmMain::SpbExpClick()
{
    RunKey([&] { Science().SpbExpClick(); });
}
void TFrmMain::SpbPEClick()
{
    RunKey([&] { Science().SpbPEClick(); });
}

void TFrmMain::SpeedButton1Click()
{
    try {
        ExpressionWindow().exec(); // how it was closed does not matter
    } catch (const std::exception &e) {
        ReportFault(e.what());
    }
    RefreshFromEngine();
}

void TFrmMain::edtInputKeyUp(const QString &shortcut)
{
    const KeyboardAction action = ActionOf(shortcut);
    if (action.key) {
        PressKey(*action.key);
        return;
    }
    if (!action.command)
        return;
    const std::string_view command = action.command->token;
    if (command == "copy")
        N8Click();
    else if (command == "paste")
        N9Click();
    else if (command == "say")
        RunKey([&] { engine_.SayDisplay(); });
    else if (command == "status")
        RunKey([&] { engine_.SayStatus({ScientificKeys::AngleCue(Angle()), N4->isChecked() ? "标准型" : "加强型"}); });
    else if (CalculatorEngine::IsQuickSetting(command))
        RunKey([&] { engine_.QuickSetting(command); });
    else
        TapeCommand(command);
}

void TFrmMain::PressKey(const KeyDef &key)
{
    auto *button = findChild<QAbstractButton *>(QLatin1String(key.objectName.data(), qsizetype(key.objectName.size())));
    if (button && button->isEnabled() && button->isVisibleTo(this))
        button->click();
}

} // namespace tallyvox
