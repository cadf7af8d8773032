// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the start-up bench: the least a Qt Widgets program can show,
// one label in a window.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("0"));
    label.setWindowTitle(QStringLiteral("bare window"));
    label.resize(320, 240);
    label.show();
    return QApplication::exec();
}
