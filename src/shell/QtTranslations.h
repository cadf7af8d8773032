// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts in Chinese, like the program's: message box buttons ("确定"),
// the display's context menu, the expression window's edit menus.
#pragma once

namespace tallyvox {

// Installs Qt's Simplified Chinese translation on the application, whatever
// the system's language. Returns false where it is not installed (Debian:
// qt6-translations-l10n); Qt's texts then stay English.
bool InstallQtTranslations();

} // namespace tallyvox
