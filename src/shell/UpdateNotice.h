// SPDX-License-Identifier: GPL-3.0-or-later
// UpdateNotice.h: puts the updater's notice on the user's desktop.
//
// libupdate.so reports a newer version from its own background thread;
// this hands the notice to the GUI thread and shows it as a small non-modal
// dialog over the main window. Its link opens the download page in the
// user's browser, and only when clicked.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace tallyvox {

// Installs the notifier (SetUpdateNotifier) for window, replacing one
// installed before. Call on the GUI thread before BeginUpdate. It is removed
// when window is destroyed, so a notice arriving after that is dropped.
void InstallUpdateNotice(QWidget *window);

// Shows one notice over parent and returns the dialog (it deletes itself
// when closed). Nothing is shown, and nullptr returned, unless page is an
// http or https address.
QDialog *ShowUpdateNotice(QWidget *parent, const QString &version, const QString &page, const QString &notes);

} // namespace tallyvox
