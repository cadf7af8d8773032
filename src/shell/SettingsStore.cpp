// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <array>
#include <cstdio>

namespace tallyvox {

namespace {

// The file's format; a later version's file is read for what it shares.
constexpr int kSettingsVersion = 1;

constexpr std::array<std::pair<AngleMode, const char *>, 3> kAngles{
    {{AngleMode::Degrees, "deg"}, {AngleMode::Radians, "rad"}, {AngleMode::Grads, "grad"}}};

QString UserFileName()
{
    // The native format is INI here, in $XDG_CONFIG_HOME/tallyvox/tallyvox.conf.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tallyvox"),
                     QStringLiteral("tallyvox"))
        .fileName();
}

void Report(const QString &line)
{
    std::fprintf(stderr, "tallyvox: %s\n", line.toLocal8Bit().constData());
}

// A value as text, or nothing when it is of another type (a list, a byte
// array, a rectangle written by some other program).
bool TextOf(const QVariant &value, QString *text)
{
    if (value.typeId() != QMetaType::QString)
        return false;
    *text = value.toString();
    return true;
}

// Whether the file is what this program writes: a small UTF-8 text of
// sections, "key=value" lines and comments. QSettings reads almost anything
// without complaint, so a damaged file is recognised here.
bool IsSettingsText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.contains('\0') || QString::fromUtf8(bytes).toUtf8() != bytes)
        return false;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') ? !line.endsWith(']') : line.indexOf('=') <= 0)
            return false;
    }
    return true;
}

} // namespace

SettingsStore::SettingsStore(QString fileName) : fileName_(fileName.isEmpty() ? UserFileName() : std::move(fileName)) {}

KeptSettings SettingsStore::Load()
{
    KeptSettings kept;
    if (!QFileInfo::exists(fileName_))
        return kept;
    QSettings file(fileName_, QSettings::IniFormat);
    const bool readable = QFileInfo(fileName_).isReadable();
    if (!readable || file.status() != QSettings::NoError || !IsSettingsText(fileName_)) {
        // Unreadable or not a settings file at all: nothing of it is trusted.
        keepDamagedAside_ = readable;
        Report(QStringLiteral("the settings file %1 cannot be read; the defaults are used").arg(fileName_));
        return kept;
    }
    QStringList bad;
    for (const std::string_view name : ListenerSettingNames()) {
        const QString key = QString::fromLatin1(name.data(), qsizetype(name.size()));
        if (!file.contains(key))
            continue;
        QString text;
        if (!TextOf(file.value(key), &text) || !SetListenerSetting(kept.listener, name, text.toStdString()))
            bad << key;
    }
    if (file.contains(QStringLiteral("angle"))) {
        QString text;
        bool known = false;
        if (TextOf(file.value(QStringLiteral("angle")), &text)) {
            for (const auto &[mode, name] : kAngles)
                if (text == QLatin1String(name)) {
                    kept.angle = mode;
                    known = true;
                }
        }
        if (!known)
            bad << QStringLiteral("angle");
    }
    if (file.contains(QStringLiteral("tapepanel"))) {
        QString text;
        if (TextOf(file.value(QStringLiteral("tapepanel")), &text) && (text == "on" || text == "off"))
            kept.tapePanel = text == "on";
        else
            bad << QStringLiteral("tapepanel");
    }
    if (!bad.isEmpty())
        Report(QStringLiteral("the settings file %1 has values that are not valid (%2); their defaults are used")
                   .arg(fileName_, bad.join(QStringLiteral(", "))));
    return kept;
}

void SettingsStore::Save(const KeptSettings &settings)
{
    if (keepDamagedAside_) {
        // The damaged file stays for a person to look at.
        QFile::remove(fileName_ + QStringLiteral(".damaged"));
        QFile::rename(fileName_, fileName_ + QStringLiteral(".damaged"));
        keepDamagedAside_ = false;
    }
    QSettings file(fileName_, QSettings::IniFormat);
    file.setValue(QStringLiteral("version"), QString::number(kSettingsVersion));
    for (const std::string_view name : ListenerSettingNames())
        file.setValue(QString::fromLatin1(name.data(), qsizetype(name.size())),
                      QString::fromStdString(ListenerSettingText(settings.listener, name)));
    for (const auto &[mode, name] : kAngles)
        if (mode == settings.angle)
            file.setValue(QStringLiteral("angle"), QString::fromLatin1(name));
    file.setValue(QStringLiteral("tapepanel"), settings.tapePanel ? QStringLiteral("on") : QStringLiteral("off"));
    // QSettings writes a new file and renames it over the old one.
    file.sync();
    if (file.status() != QSettings::NoError && !writeFailureReported_) {
        writeFailureReported_ = true;
        Report(QStringLiteral("the settings cannot be written to %1; they are kept until the program closes")
                   .arg(fileName_));
    }
}

} // namespace tallyvox
