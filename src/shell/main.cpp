// SPDX-License-Identifier: GPL-3.0-or-later
// Tallyvox: a calculator that speaks.
#include "shell/FontConfigWarmUp.h"
#include "shell/MainWindow.h"
#include "shell/QtTranslations.h"
#include "shell/TerminationSignals.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] = "Usage: tallyvox [OPTION]...\n"
                      "A desktop calculator that speaks: every key press is confirmed by a voice cue,\n"
                      "and the result of the equals key is read aloud in Chinese number words.\n"
                      "\n"
                      "  -h, --help     show this help and exit\n"
                      "      --version  show the version and exit\n"
                      "\n"
                      "The Qt options (-platform, -style, ...) are accepted too. SDL_AUDIODRIVER\n"
                      "chooses the sound output (pulseaudio, alsa, ...). SIGTERM and SIGINT close the\n"
                      "window as its close box does, and the program ends with status 0.\n";

// Answers --help and --version before anything of Qt starts, so they need
// no display. Returns true when the program is to end.
bool AnswerInformationOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tallyvox %s\n", TALLYVOX_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (AnswerInformationOptions(argc, argv))
        return 0;
    tallyvox::FontConfigWarmUp fontConfig;
    QApplication app(argc, argv);
    fontConfig.Wait();
    QApplication::setApplicationName(QStringLiteral("Tallyvox"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tallyvox"));
    QApplication::setApplicationVersion(QStringLiteral(TALLYVOX_VERSION));
    // The desktop entry's name: the desktop matches the window with its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TALLYVOX_APP_ID));
    tallyvox::InstallQtTranslations();

    tallyvox::TFrmMain FrmMain(tallyvox::ShellOptions::Defaults());
    tallyvox::TerminationSignals terminationSignals([&FrmMain] { FrmMain.close(); });
    // Closing the main window ends the program, also while it is hidden in
    // the tray or another window is open.
    QObject::connect(&FrmMain, &tallyvox::TFrmMain::FormClosed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    FrmMain.show();
    return QApplication::exec();
}
