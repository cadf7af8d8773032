// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tallyvox {

bool InstallQtTranslations()
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace tallyvox
