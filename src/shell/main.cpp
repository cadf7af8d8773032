// SPDX-License-Identifier: GPL-3.0-or-later
// Tallyvox: a calculator that speaks.
#include "shell/MainWindow.h"
#include "shell/QtTranslations.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyvox"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tallyvox"));
    tallyvox::InstallQtTranslations();

    tallyvox::TFrmMain FrmMain(tallyvox::ShellOptions::Defaults());
    // Closing the main window ends the program, also while it is hidden in
    // the tray or another window is open.
    QObject::connect(&FrmMain, &tallyvox::TFrmMain::FormClosed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    FrmMain.show();
    return app.exec();
}
