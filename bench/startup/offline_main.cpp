// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator without its update check and advertisement strip, so the
// start-up bench can show what those two cost (nothing before the map).
#include "shell/MainWindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyvox"));
    tallyvox::ShellOptions options = tallyvox::ShellOptions::Defaults();
    options.startUpdateTimer = false;
    options.loadAdPage = false;
    tallyvox::TFrmMain FrmMain(options);
    FrmMain.show();
    return app.exec();
}
