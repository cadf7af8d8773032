// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KeyMapping.h"

#include <QKeyEvent>
#include <QStringList>

#include <utility>

namespace tallyvox {

namespace {

QString NamedKey(int qtKey)
{
    static const std::pair<int, const char *> kNames[] = {
        {Qt::Key_Return, "Enter"},        {Qt::Key_Enter, "Enter"},   {Qt::Key_Escape, "Esc"},
        {Qt::Key_Backspace, "Backspace"}, {Qt::Key_Delete, "Delete"}, {Qt::Key_Insert, "Insert"},
        {Qt::Key_Space, "Space"},         {Qt::Key_Up, "Up"},         {Qt::Key_Down, "Down"},
    };
    for (const auto &[key, name] : kNames)
        if (key == qtKey)
            return QLatin1String(name);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return QStringLiteral("F%1").arg(qtKey - Qt::Key_F1 + 1);
    return {};
}

QString FromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString ShortcutOf(int qtKey, Qt::KeyboardModifiers modifiers, const QString &text)
{
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return {};
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const QString ctrlPrefix = ctrl ? QStringLiteral("Ctrl+") : QString();

    if (const QString name = NamedKey(qtKey); !name.isEmpty())
        return ctrlPrefix + (shift ? QStringLiteral("Shift+") : QString()) + name;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        // Letters by key code, so Caps Lock does not matter; Shift does.
        const QChar letter = QChar(char16_t(qtKey));
        if (!ctrl && !shift)
            return letter.toLower();
        return ctrlPrefix + (shift ? QStringLiteral("Shift+") : QString()) + letter;
    }
    // Anything else is the character typed, Shift included in it.
    QString character;
    if (qtKey > 0x20 && qtKey < 0x7F)
        character = QChar(char16_t(qtKey));
    else if (text.size() == 1 && text[0].isPrint() && !text[0].isSpace())
        character = text;
    if (character.isEmpty())
        return {};
    return ctrlPrefix + character;
}

QString ShortcutOf(const QKeyEvent &event)
{
    return ShortcutOf(event.key(), event.modifiers(), event.text());
}

KeyboardAction ActionOf(const QString &shortcut)
{
    if (shortcut.isEmpty())
        return {};
    const QByteArray utf8 = shortcut.toUtf8();
    const std::string_view text(utf8.constData(), std::size_t(utf8.size()));
    return {FindKeyByShortcut(text), FindCommandByShortcut(text)};
}

QString ShortcutList(const std::array<std::string_view, 2> &shortcuts)
{
    QStringList list;
    for (std::string_view s : shortcuts)
        if (!s.empty())
            list << FromView(s);
    return list.join(QStringLiteral("、"));
}

QList<QKeySequence> KeySequencesOf(const std::array<std::string_view, 2> &shortcuts)
{
    QList<QKeySequence> sequences;
    for (std::string_view s : shortcuts) {
        if (s.empty())
            continue;
        // Qt's portable names of these two keys are shorter.
        QString text = FromView(s);
        text.replace(QLatin1String("Insert"), QLatin1String("Ins"))
            .replace(QLatin1String("Delete"), QLatin1String("Del"));
        sequences << QKeySequence::fromString(text, QKeySequence::PortableText);
    }
    return sequences;
}

} // namespace tallyvox
