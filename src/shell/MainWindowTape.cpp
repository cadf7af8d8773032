// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain's tape panel: the list of finished calculations under the keypad,
// its keys, the display's tape keys, the file read once the window is shown,
// and the "keep the tape" setting.
#include "shell/KeyAccessibility.h"
#include "shell/KeyMapping.h"
#include "shell/MainWindow.h"
#include "shell/TapeListModel.h"
#include "tape/TapeKeys.h"
#include "tape/TapeStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace tallyvox {

void TFrmMain::BuildTapePanel()
{
    tape_ = std::make_unique<Tape>();
    tapeKeys_ = std::make_unique<TapeKeys>(engine_, *tape_);
    tapeModel_ = new TapeListModel(*tape_, this);
    tapeKeys_->SetChanged([this] { TapeChanged(); });

    pnlTape = new QFrame(client_);
    pnlTape->setObjectName(QStringLiteral("pnlTape"));
    pnlTape->setAccessibleName(QStringLiteral("计算记录栏"));
    MarkAccessiblePanel(pnlTape);
    pnlTape->setGeometry(layout::TapeLeft, layout::TapeTop, layout::StandardResultWidth, layout::TapeHeight);
    pnlTape->hide();
    pnlTape->installEventFilter(this);

    lstTape = new QListView(pnlTape);
    lstTape->setObjectName(QStringLiteral("lstTape"));
    lstTape->setAccessibleName(QStringLiteral("计算记录"));
    lstTape->setAccessibleDescription(QStringLiteral(
        "回车取回结果，Shift+回车再读一遍，Ctrl+C 复制，Delete 删除，Ctrl+Shift+Delete 清除全部，Esc 返回显示"));
    lstTape->setModel(tapeModel_);
    lstTape->setUniformItemSizes(true);
    lstTape->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstTape->setSelectionMode(QAbstractItemView::SingleSelection);
    lstTape->setGeometry(pnlTape->rect());
    lstTape->installEventFilter(this);
    connect(lstTape->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!quietTapeMove_ && current.isValid())
            RunKey([&] { tapeKeys_->SayEntry(std::size_t(current.row()), false); });
    });

    lblTapeEmpty = new QLabel(QStringLiteral("暂无记录"), pnlTape);
    lblTapeEmpty->setObjectName(QStringLiteral("lblTapeEmpty"));
    lblTapeEmpty->setAlignment(Qt::AlignCenter);
    lblTapeEmpty->setGeometry(pnlTape->rect());
    lblTapeEmpty->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TFrmMain::BuildTapeMenu()
{
    NTape = findChild<QAction *>(QStringLiteral("NTape"));
    NKeepTape = findChild<QAction *>(QStringLiteral("NKeepTape"));
    NTape->setCheckable(true);
    for (const CommandDef &command : Commands())
        if (command.token == "tape")
            NTape->setShortcuts(KeySequencesOf(command.shortcuts));
    NTape->setShortcutContext(Qt::WidgetShortcut); // the display and the list run Ctrl+H
    NKeepTape->setCheckable(true);
    NKeepTape->setChecked(true);
    NKeepTape->setEnabled(!options_.tapeFile.empty());
}

void TFrmMain::LoadTape()
{
    if (options_.tapeFile.empty())
        return;
    const bool keep = engine_.Listener.keepTape;
    // Reported on the store's thread; said in the window once, on its own.
    tapeStore_ = std::make_unique<TapeStore>(options_.tapeFile, [this](const std::string &problem) {
        std::fprintf(stderr, "tallyvox: %s\n", problem.c_str());
        QMetaObject::invokeMethod(
            this, [this] { pnlTape->setToolTip(QStringLiteral("计算记录未能保存，只保留在本次运行中")); },
            Qt::QueuedConnection);
    });
    if (!keep) {
        tapeStore_->StopKeeping();
        return;
    }
    TapeRead read = tapeStore_->Load();
    tapeKeys_->SetStore(tapeStore_.get());
    tapeKeys_->Loaded(std::move(read.entries));
}

void TFrmMain::NKeepTapeClick()
{
    ListenerSettings settings = engine_.Listener;
    settings.keepTape = NKeepTape->isChecked();
    ApplyListenerSettings(settings);
}

void TFrmMain::KeepTape(bool keep)
{
    NKeepTape->setChecked(keep);
    if (options_.tapeFile.empty() || !tapeStore_)
        return; // not loaded yet: the load reads the setting
    if (keep) {
        tapeStore_->StartKeeping({tape_->Entries().begin(), tape_->Entries().end()});
        tapeKeys_->SetStore(tapeStore_.get());
    } else {
        tapeKeys_->SetStore(nullptr);
        tapeStore_->StopKeeping();
    }
}

void TFrmMain::CalculationFinished(const CalculationRecord &calculation)
{
    tapeKeys_->Record(calculation, std::time(nullptr));
}

void TFrmMain::TapeChanged()
{
    tapeModel_->Reload();
    lblTapeEmpty->setVisible(tape_->Empty());
    // The newest is selected; the list speaks only when a key moves it.
    SelectTapeRow(tape_->Empty() ? std::nullopt : std::optional<std::size_t>(tape_->Size() - 1));
}

void TFrmMain::SelectTapeRow(std::optional<std::size_t> row)
{
    quietTapeMove_ = true;
    if (row)
        lstTape->setCurrentIndex(tapeModel_->index(int(*row)));
    else
        lstTape->clearSelection();
    quietTapeMove_ = false;
}

void TFrmMain::NTapeClick()
{
    ShowTape(!pnlTape->isVisible());
    SaveSettings();
    if (pnlTape->isVisible())
        lstTape->setFocus(Qt::OtherFocusReason);
    else
        FocusInput();
}

void TFrmMain::ShowTape(bool shown)
{
    if (pnlTape->isVisible() == shown)
        return;
    pnlTape->setVisible(shown);
    NTape->setChecked(shown);
    FixOuterSize(ViewOuterSize(N5->isChecked() ? layout::EnhancedOuterSize : layout::StandardOuterSize));
    // Grown downwards, the window moves up as far as it must to stay on screen.
    if (const QScreen *screen = this->screen(); shown && screen) {
        const QRect room = screen->availableGeometry();
        const int below = frameGeometry().top() + outerSize_.height() - (room.bottom() + 1);
        if (below > 0)
            move(x(), std::max(room.top(), y() - below));
    }
}

void TFrmMain::TapeCommand(std::string_view command)
{
    if (command == "tape") {
        ShowTape(true);
        SaveSettings();
        lstTape->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (command == "tape-clear") {
        ConfirmClearTape();
        return;
    }
    RunKey([&] {
        if (command == "tape-back")
            tapeKeys_->Back();
        else if (command == "tape-next")
            tapeKeys_->Next();
        else if (command == "tape-recall")
            tapeKeys_->Recall();
        else if (command == "calculation")
            tapeKeys_->SayCalculation();
    });
    if (command == "tape-back" || command == "tape-next")
        SelectTapeRow(tape_->Place());
}

void TFrmMain::ConfirmClearTape()
{
    if (tape_->Empty())
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tallyvox"), QStringLiteral("清除全部计算记录？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("清除(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("不清除(&N)"));
    const bool clear = box.exec() == QMessageBox::Yes;
    if (clear)
        RunKey([&] { tapeKeys_->Clear(); });
    if (!pnlTape->isVisible() || !clear)
        return;
    lstTape->setFocus(Qt::OtherFocusReason);
}

bool TFrmMain::TapeKeyPress(QKeyEvent *key)
{
    // Any key ends a tape read-out, as on the display.
    engine_.StopReadOut = true;
    const QString shortcut = ShortcutOf(*key);
    const QModelIndex current = lstTape->currentIndex();
    const std::size_t row = current.isValid() ? std::size_t(current.row()) : tape_->Size();
    if (key->key() == Qt::Key_Escape || shortcut == QLatin1String("Ctrl+H")) {
        if (shortcut == QLatin1String("Ctrl+H")) {
            ShowTape(false);
            SaveSettings();
        }
        FocusInput();
        return true;
    }
    if (shortcut == QLatin1String("Enter")) {
        RunKey([&] { tapeKeys_->RecallEntry(row); });
        FocusInput();
        return true;
    }
    if (shortcut == QLatin1String("Shift+Enter")) {
        RunKey([&] { tapeKeys_->SayEntry(row, false); });
        return true;
    }
    if (shortcut == QLatin1String("Ctrl+C") && row < tape_->Size()) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(EntryText(tape_->At(row).calculation)));
        return true;
    }
    if (shortcut == QLatin1String("Delete")) {
        RunKey([&] { tapeKeys_->Remove(row); });
        if (!tape_->Empty())
            SelectTapeRow(std::min(row, tape_->Size() - 1));
        return true;
    }
    if (shortcut == QLatin1String("Ctrl+Shift+Delete")) {
        ConfirmClearTape();
        return true;
    }
    return false; // Up, Down, Home, End: the list moves, and the move is read
}

} // namespace tallyvox
