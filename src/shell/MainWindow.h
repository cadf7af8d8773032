// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain: the calculator's main window. It owns the calculator engine,
// the scientific keys, the cue player, the tray icon, the update timer and
// the advertisement strip, and mirrors the engine's texts into its widgets.
//
// Every key is a thin slot: one engine call, then a refresh of the widgets.
// The window is the engine's host: cues go to the player (or the injected
// sink), pending events run between read-out cues, faults become message
// boxes. No exception leaves a slot.
#pragma once

#include "engine/CalculatorEngine.h"
#include "shell/MainWindowLayout.h"
#include "shell/ShellOptions.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

class QAction;
class QActionGroup;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QWidget;

namespace tallyvox {

class AdStrip;
class CuePlayer;
class OptionsDialog;
class SettingsStore;
struct ListenerSettings;
class ScientificKeys;
class ScriptEvaluator;
class TEditEx;
class TForTest;
class TMMControl;
class Tape;
class TapeKeys;
class TapeListModel;
class TapeStore;
enum class AngleMode;

class TFrmMain : public QMainWindow, private EngineHost {
    Q_OBJECT
public:
    // Builds the layout, starts Timer1, shows the tray icon and runs
    // FormCreate. A failing FormCreate step is reported in a message box;
    // the window is usable either way.
    explicit TFrmMain(ShellOptions options, QWidget *parent = nullptr);
    ~TFrmMain() override;

    const CalculatorEngine &Engine() const { return engine_; }
    AngleMode Angle() const;
    // True once FormClose has released the cue buffer: no cue plays after.
    bool CueStreamReleased() const { return cueStreamReleased_; }
    QSystemTrayIcon *TrayIconWidget() const { return TrayIcon; }

    static std::span<const layout::KeyEntry> KeypadKeys();
    static std::span<const layout::KeyEntry> ScienceKeys();
    static std::span<const layout::MenuEntry> MenuItems();
    // The slot of a key's handler.
    static layout::KeySlot SlotFor(KeyHandler handler);

Q_SIGNALS:
    // FormClose has run; the program ends.
    void FormClosed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    // number entry
    void btnNum1Click();
    void SpbDianClick();
    void btnBackClick();
    void btnSingleClick();
    void btnCClick();
    void btnCEClick();
    // operators, equals, percent, reciprocal, root, memory
    void btnAddClick();
    void btnEqualClick();
    void btnPerClick();
    void btnCountdownClick();
    void btnRootsClick();
    void btnMCClick();
    void btnMRClick();
    void btnMSClick();
    void btnMPlusClick();
    void btnMMinusClick();
    // scientific panel
    void RadAngleClick();
    void RadRadianClick();
    void RadGradsClick();
    void SpbcOsClick();
    void SpbIntClick();
    void SpbLnClick();
    void SpbLogClick();
    void SpbNJCClick();
    void SpbPaiClick();
    void SpbXPFClick();
    void SpbtenxFClick();
    void SpbxKLFClick();
    void SpbExpClick();
    void SpbPEClick();
    void SpeedButton1Click();
    // menu, tray, lifecycle
    void N4Click();
    void N5Click();
    void N8Click();
    void N9Click();
    void NOptionsClick();
    void N10Click();
    void N11Click();
    void TrayIconClick();
    void AppMinimize();
    void Timer1Timer();
    // the tape: 查看 → 计算记录 and 保留计算记录
    void NTapeClick();
    void NKeepTapeClick();

private:
    // EngineHost
    void PlayCue(const std::string &name, bool async) override;
    void FollowCue(const std::string &name) override;
    void ProcessPendingEvents() override;
    void FocusInput() override;
    void ReportFault(const std::string &message) override;
    void CalculationFinished(const CalculationRecord &calculation) override;

    // The tape panel (MainWindowTape.cpp).
    void BuildTapePanel();
    void BuildTapeMenu();
    // Reads the tape's file; after the first show.
    void LoadTape();
    void ShowTape(bool shown);
    void TapeChanged();
    // Makes a row current without reading it aloud.
    void SelectTapeRow(std::optional<std::size_t> row);
    // A tape command typed on the display.
    void TapeCommand(std::string_view command);
    // A key pressed in the list; true when it was the tape's.
    bool TapeKeyPress(QKeyEvent *key);
    void ConfirmClearTape();

    // A synchronous cue returns at its tail, so that what follows is queued
    // before it has drained.
    enum class CueTiming { Async, CutOffToTail, FollowToTail };
    void PlayCueAs(const std::string &name, CueTiming timing);
    void PrepareVoice();

    void BuildLayout();
    void BuildDisplay();
    void BuildKeys(QWidget *panel, std::span<const layout::KeyEntry> keys);
    // Colours and key pictures from the window's palette; again whenever the
    // palette changes (a dark theme, a theme switch while running).
    void ApplyPalette();
    // Shrinks the display's and the label's fonts until their whole text fits.
    void FitDisplayFonts();
    // The operation label and memory indicator as a screen reader reads them.
    void DescribeStatus();
    // The strip shows only a loaded page; without one it takes no space.
    void ShowAdStrip(bool loaded);
    QSize ViewOuterSize(QSize withStrip) const;
    void BuildMenu();
    void BuildTray();
    void PlaceAdStrip();

    void FormCreate();
    void FormShow();
    void FormClose();
    // The window and tray icons, set once the window is on its way.
    void ShowIcons();
    void AfterFirstShow();
    // A key released on the display whose press the display also received:
    // shortcut is the press as the keyboard mapping spells it.
    void edtInputKeyUp(const QString &shortcut);
    // Presses an on-screen key as a click does; keys of a hidden panel do nothing.
    void PressKey(const KeyDef &key);

    // Runs one engine call for a key, then mirrors the engine into the widgets.
    void RunKey(const std::function<void()> &call);
    void RefreshFromEngine();
    int SenderTag() const;
    ScientificKeys &Science();
    // The kept settings: read once the window shows, written on each change.
    void LoadSettings();
    void SaveSettings();
    void ApplyListenerSettings(const ListenerSettings &settings);
    void ListenerSettingsChanged() override;
    // Starts or stops keeping the tape in its file (stopping deletes it).
    void KeepTape(bool keep);
    TForTest &ExpressionWindow();
    // Fixes the outer size of the current view (frame included where a
    // window manager draws one).
    void FixOuterSize(QSize outer);

    ShellOptions options_;
    CalculatorEngine engine_;
    std::unique_ptr<ScriptEvaluator> script_;
    std::unique_ptr<ScientificKeys> science_;
    // The expression window; hidden, not destroyed, when closed.
    TForTest *ForTest = nullptr;

    // The cue buffer; created by FormCreate, released by FormClose.
    std::unique_ptr<CuePlayer> CueStream;
    bool cueStreamReleased_ = false;
    std::unique_ptr<SettingsStore> settingsStore_;
    AngleMode keptAngle_{}; // degrees until the kept settings say otherwise
    OptionsDialog *FrmOptions = nullptr;
    bool updateCheckMade_ = false;

    bool appMinimizeInstalled_ = false;
    bool shownOnce_ = false;
    bool adShown_ = false;
    QSize outerSize_;
    // Keys pressed on the display and not yet released, by physical key.
    std::map<quint32, QString> pressedKeys_;

    QWidget *client_ = nullptr;
    QFrame *pnlResult = nullptr;
    QFrame *pnlNumber = nullptr;
    QFrame *RzScience = nullptr;
    QFrame *Panel2 = nullptr;
    QFrame *pnlAD = nullptr;
    AdStrip *wbAD = nullptr;
    TMMControl *mediaControl_ = nullptr;
    QLabel *lblInput = nullptr;
    QLabel *MS = nullptr;
    TEditEx *edtInput = nullptr;
    QLineEdit *EditTemp = nullptr;
    QToolButton *SpbInv = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpbPE = nullptr;
    QRadioButton *RadAngle = nullptr;
    QRadioButton *RadRadian = nullptr;
    QRadioButton *RadGrads = nullptr;
    QAction *N4 = nullptr;
    QAction *N5 = nullptr;
    QActionGroup *viewGroup_ = nullptr;
    QTimer *Timer1 = nullptr;
    QSystemTrayIcon *TrayIcon = nullptr;
    QMenu *PopupMenu = nullptr;

    std::unique_ptr<Tape> tape_;
    std::unique_ptr<TapeKeys> tapeKeys_;
    // Declared after what it writes: it finishes its writes first.
    std::unique_ptr<TapeStore> tapeStore_;
    TapeListModel *tapeModel_ = nullptr;
    QFrame *pnlTape = nullptr;
    QListView *lstTape = nullptr;
    QLabel *lblTapeEmpty = nullptr;
    QAction *NTape = nullptr;
    QAction *NKeepTape = nullptr;
    bool quietTapeMove_ = false;
};

} // namespace tallyvox
