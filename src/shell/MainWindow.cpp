// SPDX-License-Identifier: GPL-3.0-or-later
// Construction, layout, views, key slots and the engine host of TFrmMain.
// Start-up, tray, clipboard and close are in ShellLifecycle.cpp.
#include "shell/MainWindow.h"

#include "editex/EditEx.h"
#include "expression/ExpressionWindow.h"
#include "numbers/Utf8.h"
#include "scientific/ScientificKeys.h"
#include "shell/AdStrip.h"
#include "shell/KeyAccessibility.h"
#include "shell/KeyMapping.h"
#include "shell/KeyPictures.h"
#include "shell/MediaControl.h"
#include "shell/OptionsDialog.h"
#include "shell/ProgramIcon.h"
#include "shell/SettingsStore.h"
#include "shell/TapeListModel.h"
#include "tape/TapeKeys.h"
#include "tape/TapeStore.h"
#include "voice/CuePlayer.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <ctime>
#include <fstream>

namespace tallyvox {

namespace {

const QString kTitle = QStringLiteral("Tallyvox");
constexpr int kAfterFirstShowMs = 400;

} // namespace

TFrmMain::TFrmMain(ShellOptions options, QWidget *parent)
    : QMainWindow(parent), options_(std::move(options)), engine_(*this)
{
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(kTitle);
    InstallKeyAccessibility();
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    BuildLayout();

    // Timer1 counts from the moment the window exists.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);
    if (options_.startUpdateTimer)
        Timer1->start();

    BuildTray();
    if (options_.installUpdateNotice) {
        try {
            options_.installUpdateNotice(this);
        } catch (...) {
            // Without it a notice goes to stderr; the program runs on.
        }
    }

    FormCreate();
}

TFrmMain::~TFrmMain()
{
    // Before the script evaluator it shares goes.
    delete ForTest;
}

AngleMode TFrmMain::Angle() const
{
    return science_ ? science_->Angle() : AngleMode::Degrees;
}

void TFrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        if (outerSize_.isValid())
            FixOuterSize(outerSize_);
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // Work that need not delay the first map of the window: the icons as
        // soon as the window is on its way (decoding them costs start-up
        // more than any key), the script children later. Those load Qt and a
        // JavaScript engine each; started at once they would take the CPU
        // the window and the X server need to appear, and no one presses a
        // scientific key within this time (one that does starts them itself).
        QTimer::singleShot(0, this, &TFrmMain::ShowIcons);
        QTimer::singleShot(0, this, [this] {
            // The settings first: they say whether the tape is kept.
            LoadSettings();
            LoadTape();
        });
        QTimer::singleShot(kAfterFirstShowMs, this, &TFrmMain::AfterFirstShow);
    }
    if (!event->spontaneous())
        FormShow();
}

// Loading SDL and opening the device cost the first cue 10-80 ms. Keys act
// when released, so a thread of the player's own does it from the first
// press on, while the key is held. Done at start-up instead, it made the
// window map later and the program 4.5 MiB bigger for sound that may never
// be asked for.
void TFrmMain::PrepareVoice()
{
    if (CueStream && !cueStreamReleased_ && !options_.cueSink)
        CueStream->Prepare();
}

void TFrmMain::ShowIcons()
{
    setWindowIcon(ProgramIcon());
    TrayIcon->setIcon(windowIcon());
    // A window closed before this ran keeps its tray icon hidden.
    if (!cueStreamReleased_)
        TrayIcon->show();
}

void TFrmMain::AfterFirstShow()
{
    try {
        // Spawns the script sandbox ahead of the first scientific key. The
        // expression window that shares it is built when first opened.
        Science();
    } catch (const std::exception &e) {
        ReportFault(e.what());
    }
}

void TFrmMain::LoadSettings()
{
    if (!options_.keepSettings)
        return;
    settingsStore_ = std::make_unique<SettingsStore>(QString::fromStdString(options_.settingsFile.string()));
    const KeptSettings kept = settingsStore_->Load();
    engine_.Listener = kept.listener;
    // The scientific keys start the script children: not before their time.
    keptAngle_ = kept.angle;
    if (science_)
        science_->RestoreAngle(kept.angle);
    NKeepTape->setChecked(kept.listener.keepTape);
    if (CueStream)
        CueStream->SetVolume(kept.listener.volume);
    ShowTape(kept.tapePanel);
    RefreshFromEngine();
}

void TFrmMain::SaveSettings()
{
    if (settingsStore_)
        settingsStore_->Save({engine_.Listener, Angle(), pnlTape->isVisible()});
}

void TFrmMain::ApplyListenerSettings(const ListenerSettings &settings)
{
    const bool keepTapeChanged = settings.keepTape != engine_.Listener.keepTape;
    engine_.Listener = settings;
    if (keepTapeChanged)
        KeepTape(settings.keepTape);
    ListenerSettingsChanged();
}

void TFrmMain::ListenerSettingsChanged()
{
    if (CueStream)
        CueStream->SetVolume(engine_.Listener.volume);
    SaveSettings();
}

void TFrmMain::NOptionsClick()
{
    if (!FrmOptions) {
        FrmOptions = new OptionsDialog(this);
        connect(FrmOptions, &OptionsDialog::settingsChanged, this, &TFrmMain::ApplyListenerSettings);
    }
    FrmOptions->SetSettings(engine_.Listener);
    FrmOptions->exec();
    FocusInput();
}

void TFrmMain::FormShow()
{
    FocusInput();
}

// --------------------------------------------------------------- key slots

void TFrmMain::RunKey(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        engine_.ReportKeyFault(e.what());
    } catch (...) {
        engine_.ReportKeyFault("Unknown error");
    }
    RefreshFromEngine();
}

int TFrmMain::SenderTag() const
{
    const QObject *key = sender();
    return key ? key->property("Tag").toInt() : 0;
}

ScientificKeys &TFrmMain::Science()
{
    if (!science_) {
        script_ = std::make_unique<ScriptEvaluator>(options_.scriptProgram);
        science_ = std::make_unique<ScientificKeys>(engine_, *script_);
        science_->RestoreAngle(keptAngle_);
    }
    return *science_;
}

void TFrmMain::RefreshFromEngine()
{
    // Runs between every two cues of a read-out: only what changed is redone.
    bool textChanged = false;
    // A pasted text can be megabytes; the display and the label lay out a
    // bounded start of it (the engine keeps it whole).
    const QString display = QString::fromStdString(BoundedText(engine_.DisplayText));
    if (edtInput->text() != display) {
        edtInput->setText(display);
        textChanged = true;
    }
    const QString label = QString::fromStdString(BoundedText(engine_.LabelText));
    if (lblInput->text() != label) {
        lblInput->setText(label);
        textChanged = true;
    }
    const QString memory = QString::fromStdString(engine_.MemoryIndicator);
    if (MS->text() != memory) {
        MS->setText(memory);
        // The mark sizes itself to its caption, as an auto-sized label does.
        MS->resize(std::max(layout::MemoryMarkRect.width(), MS->fontMetrics().horizontalAdvance(memory) + 1),
                   layout::MemoryMarkRect.height());
    }
    if (textChanged)
        FitDisplayFonts();
    DescribeStatus();
    if (SpbPE)
        SpbPE->setChecked(engine_.ExponentDisplay);
    const AngleMode angle = Angle();
    for (auto [button, mode] : {std::pair{RadAngle, AngleMode::Degrees}, std::pair{RadRadian, AngleMode::Radians},
                                std::pair{RadGrads, AngleMode::Grads}}) {
        if (button->isChecked() != (angle == mode)) {
            const QSignalBlocker quiet(button);
            button->setChecked(angle == mode);
        }
    }
}

TForTest &TFrmMain::ExpressionWindow()
{
    if (!ForTest) {
        Science();
        ExpressionWindowHooks hooks;
        hooks.playCue = [this](const std::string &name, bool async) { PlayCue(name, async); };
        hooks.mainWindowClosed = [this] { return cueStreamReleased_; };
        hooks.evaluated = [this](const std::string &input, const std::string &output) {
            tapeKeys_->Record(ExpressionCalculation(input, output), std::time(nullptr));
        };
        hooks.waitForCueEnd = [this] {
            if (!options_.cueSink && CueStream)
                CueStream->WaitForEnd();
        };
        ForTest = new TForTest(*script_, std::move(hooks), this);
    }
    return *ForTest;
}

// -------------------------------------------------------------- engine host

void TFrmMain::PlayCue(const std::string &name, bool async)
{
    PlayCueAs(name, async ? CueTiming::Async : CueTiming::CutOffToTail);
}

void TFrmMain::FollowCue(const std::string &name)
{
    PlayCueAs(name, CueTiming::FollowToTail);
}

void TFrmMain::PlayCueAs(const std::string &name, CueTiming timing)
{
    // The engine leaves out the cues the listener silenced; this catches the
    // expression window's.
    if (!CueStream || cueStreamReleased_ || !engine_.Listener.Audible())
        return;
    try {
        const bool async = timing == CueTiming::Async;
        // The widgets are current: every handler ends with a refresh, and the
        // read-out refreshes before each cue when it lets events run.
        if (!options_.cueLog.empty()) {
            std::ofstream log(options_.cueLog, std::ios::app);
            log << (async ? "async\t" : "sync\t") << name << '\n';
        }
        if (options_.cueSink) {
            options_.cueSink(name, async);
        } else if (async) {
            CueStream->PlayCue(name, true);
        } else {
            // Repaint while the cue sounds; input waits until the cue's tail,
            // when the next cue can be queued behind it.
            CueStream->PlayCueToTail(
                name, timing == CueTiming::FollowToTail ? CuePlayer::Start::AfterQueued : CuePlayer::Start::CutOff,
                [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
            // Qt's X11 dispatcher looks at the input held back meanwhile only
            // when woken, as it is by a new X event: without this a key typed
            // during a read-out neither ended it nor ran until the next event.
            if (QAbstractEventDispatcher *dispatcher = QCoreApplication::eventDispatcher())
                dispatcher->wakeUp();
        }
    } catch (...) {
        // A cue that cannot play is silent.
    }
}

void TFrmMain::ProcessPendingEvents()
{
    RefreshFromEngine();
    QCoreApplication::processEvents();
}

void TFrmMain::FocusInput()
{
    RefreshFromEngine();
    edtInput->setFocus(Qt::OtherFocusReason);
    edtInput->deselect();
    edtInput->setCursorPosition(int(edtInput->text().size()));
}

void TFrmMain::ReportFault(const std::string &message)
{
    RefreshFromEngine();
    // A message may quote the display: a bounded start of it keeps the box quick.
    QMessageBox box(QMessageBox::Critical, kTitle, QString::fromStdString(BoundedText(message)), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.exec();
}

} // namespace tallyvox
