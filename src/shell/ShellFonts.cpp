// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ShellFonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>

namespace tallyvox {

namespace {

bool Installed(const QString &family)
{
    static QHash<QString, bool> known;
    auto it = known.find(family);
    if (it == known.end())
        it = known.insert(family, QFontDatabase::hasFamily(family));
    return *it;
}

} // namespace

QFont ShellFont(const QString &face, int pixelSize, bool bold)
{
    QStringList families;
    for (const QString &family : {face, QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")})
        if (Installed(family))
            families << family;
    if (families.isEmpty())
        families << face << QStringLiteral("sans-serif");
    QFont font(families.first());
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace tallyvox
