// SPDX-License-Identifier: GPL-3.0-or-later
// TFrmMain around the calculation: start-up, the update check, clipboard,
// tray icon, minimise-to-tray and close.
#include "editex/EditEx.h"
#include "numbers/ProgramFolder.h"
#include "script/ScriptEvaluator.h"
#include "shell/AdStrip.h"
#include "shell/MainWindow.h"
#include "shell/MediaControl.h"
#include "shell/ServerAddresses.h"
#include "shell/UpdateNotice.h"
#include "shell/WebUrl.h"
#include "tape/TapeFile.h"
#include "update/update.h"
#include "voice/CuePlayer.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace tallyvox {

namespace {
const QString kTitle = QStringLiteral("Tallyvox");
} // namespace

ShellOptions ShellOptions::Defaults()
{
    ShellOptions o;
    o.cueFolder = CuePlayer::DefaultCueFolder();
    // Cue playback is silent about every failure; a whole missing pack is
    // worth one line.
    if (std::error_code error; !std::filesystem::is_directory(o.cueFolder, error))
        ReportMissingPiece("voice cue folder", o.cueFolder);
    o.serverBase = std::string(kServer);
    o.scriptProgram = ScriptEvaluator::DefaultSandboxProgram();
    o.beginUpdate = [](const char *manifestUrl, int flags) { BeginUpdate(manifestUrl, flags); };
    o.installUpdateNotice = [](QWidget *window) { InstallUpdateNotice(window); };
    o.keepSettings = true;
    if (const char *log = std::getenv("TALLYVOX_CUE_LOG"); log && *log)
        o.cueLog = log;
    o.tapeFile = DefaultTapeFile();
    return o;
}

// ---------------------------------------------------------------- start-up

void TFrmMain::FormCreate()
{
    int step = 0;
    const auto begin = [&](int n) {
        step = n;
        if (options_.beforeCreateStep)
            options_.beforeCreateStep(n);
    };
    try {
        begin(1);
        if (options_.loadAdPage) {
            const QString address = AdPageAddress(QString::fromStdString(options_.serverBase));
            const QUrl page(address, QUrl::StrictMode);
            if (!IsWebUrl(page))
                throw std::runtime_error("Invalid advertisement page address: " + address.toStdString());
            // The strip makes its request from the event loop, after the
            // window has been mapped.
            wbAD->Navigate(page);
        }

        begin(2);
        mediaControl_ = new TMMControl(this);
        mediaControl_->setNotify(false);
        mediaControl_->setWait(false);
        mediaControl_->setVisible(false);

        begin(3);
        engine_.StopReadOut = false;

        begin(4);
        engine_.ResetCalculator();
        RefreshFromEngine();

        begin(5);
        N5Click();

        begin(6);
        engine_.ExponentDisplay = false;
        engine_.ErrorShown = false;

        begin(7);
        // Opens no device yet: that waits for the first cue.
        CueStream = std::make_unique<CuePlayer>(options_.cueFolder);

        begin(8);
        // CueKey is a constant of the voice layer, fixed before any cue plays.

        begin(9);
        appMinimizeInstalled_ = true;
    } catch (const std::exception &e) {
        ReportFault(e.what());
    } catch (...) {
        ReportFault("FormCreate failed at step " + std::to_string(step));
    }
    RefreshFromEngine();
}

// ------------------------------------------------------------ update check

void TFrmMain::Timer1Timer()
{
    // Timer1 is single-shot and the flag guards against a nested second
    // event: one check per run, whatever the updater does.
    if (updateCheckMade_)
        return;
    updateCheckMade_ = true;
    try {
        if (options_.beginUpdate) {
            const std::string manifest = UpdateManifestAddress(options_.serverBase);
            options_.beginUpdate(manifest.c_str(), UPDATE_NOTIFY_ONLY);
        }
    } catch (...) {
        // The program does not look at the updater's outcome.
    }
    Timer1->stop();
}

// --------------------------------------------------------------- clipboard

void TFrmMain::N8Click()
{
    try {
        edtInput->selectAll();
        if (QClipboard *clipboard = QGuiApplication::clipboard())
            clipboard->setText(edtInput->text());
    } catch (...) {
    }
}

void TFrmMain::N9Click()
{
    try {
        EditTemp->clear();
        EditTemp->paste();
        const QString text = EditTemp->text();
        RunKey([&] { engine_.PasteText(text.toStdString()); });
    } catch (...) {
    }
}

// ----------------------------------------------------------------- tray

void TFrmMain::BuildTray()
{
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    QAction *open = PopupMenu->addAction(QStringLiteral("打开(&O)"));
    open->setObjectName(QStringLiteral("N10"));
    connect(open, &QAction::triggered, this, &TFrmMain::N10Click);
    QAction *exit = PopupMenu->addAction(QStringLiteral("退出(&X)"));
    exit->setObjectName(QStringLiteral("N11"));
    connect(exit, &QAction::triggered, this, &TFrmMain::N11Click);

    // Its icon, and its showing, come with the window's (ShowIcons).
    TrayIcon = new QSystemTrayIcon(this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setToolTip(kTitle);
    TrayIcon->setContextMenu(PopupMenu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            TrayIconClick();
    });
}

void TFrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        ApplyPalette();
    if (event->type() == QEvent::WindowStateChange && appMinimizeInstalled_ && isMinimized())
        AppMinimize();
    // A window manager may report its frame only after the first show; the
    // view's outer size counts the frame.
    if (event->type() == QEvent::ActivationChange && outerSize_.isValid() && isActiveWindow() &&
        frameGeometry().size() != outerSize_)
        FixOuterSize(outerSize_);
}

void TFrmMain::AppMinimize()
{
    // Without a notification area the tray icon could not bring the window
    // back: then it stays an ordinary minimised window.
    if (!TrayIcon->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // Hidden after the toolkit has finished minimising.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized())
            hide();
    });
}

void TFrmMain::TrayIconClick()
{
    if (isMinimized() || !isVisible())
        showNormal();
    raise();
    activateWindow();
}

void TFrmMain::N10Click()
{
    TrayIconClick();
}

void TFrmMain::N11Click()
{
    close();
}

// ---------------------------------------------------------------- close

void TFrmMain::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
    Q_EMIT FormClosed();
}

void TFrmMain::FormClose()
{
    // A read-out still running stops before its next cue.
    engine_.StopReadOut = true;
    // Safe inside a synchronous cue's wait: the player stops waiting.
    cueStreamReleased_ = true;
    if (CueStream)
        CueStream->ReleaseCueStream();
    TrayIcon->hide();
}

} // namespace tallyvox
