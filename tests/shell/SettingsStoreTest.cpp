// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: a round trip, and every kind of file a person's home
// may hold instead (missing, hand-edited, damaged, foreign-typed, from a
// later version, in a folder that cannot be written).
#include "shell/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace tallyvox {
namespace {

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(SettingsStore, SavedSettingsComeBack)
{
    QTemporaryDir dir;
    KeptSettings kept;
    kept.listener.rate = 1.5;
    kept.listener.volume = 3;
    kept.listener.mute = true;
    kept.listener.speech = SpeechLevel::Results;
    kept.listener.readFunctions = true;
    kept.listener.digits = 6;
    kept.listener.keepTape = false;
    kept.angle = AngleMode::Grads;
    kept.tapePanel = true;
    SettingsStore(dir.filePath("a/tallyvox.conf")).Save(kept);
    EXPECT_EQ(SettingsStore(dir.filePath("a/tallyvox.conf")).Load(), kept);
}

TEST(SettingsStore, WhatCannotBeReadGivesItsDefaultAndOneLine)
{
    struct Row {
        const char *name;
        QByteArray file;
        int volume;         // what Load gives
        const char *speech; // what Load gives
        bool reported;      // one line on stderr
        bool keptAside;     // the file is moved aside at the next save
    };
    const Row rows[] = {
        {"hand-edited", "volume=4\nspeech=results\n", 4, "results", false, false},
        {"a later version", "[General]\nversion=9\nvolume=4\nnewthing=1\n", 4, "all", false, false},
        {"out of range", "volume=40\nspeech=results\n", 10, "results", true, false},
        {"foreign types", "volume=@ByteArray(4)\nspeech=a, b\nangle=@Rect(1 2 3 4)\n", 10, "all", true, false},
        {"binary junk", QByteArray("\x00\xff\xfe[[[\n=\x01\x02", 12), 10, "all", true, true},
        {"empty", "", 10, "all", false, false},
    };
    for (const Row &row : rows) {
        QTemporaryDir dir;
        const QString path = dir.filePath("tallyvox.conf");
        Write(path, row.file);
        SettingsStore store(path);
        testing::internal::CaptureStderr();
        const KeptSettings kept = store.Load();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(kept.listener.volume, row.volume) << row.name;
        EXPECT_EQ(ListenerSettingText(kept.listener, "speech"), row.speech) << row.name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), row.reported ? 1 : 0) << row.name << ": " << err;
        store.Save(kept);
        EXPECT_EQ(QFile::exists(path + ".damaged"), row.keptAside) << row.name;
        EXPECT_EQ(SettingsStore(path).Load(), kept) << row.name;
    }
}

TEST(SettingsStore, AFolderThatCannotBeWrittenIsReportedOnce)
{
    // A file where the folder should be stops root as well as a user.
    QTemporaryDir dir;
    Write(dir.filePath("config"), "not a folder");
    const QString path = dir.filePath("config/tallyvox/tallyvox.conf");
    SettingsStore store(path);
    KeptSettings kept = store.Load();
    kept.listener.volume = 7;
    testing::internal::CaptureStderr();
    store.Save(kept);
    store.Save(kept);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(SettingsStore(path).Load(), KeptSettings{});
}

} // namespace
} // namespace tallyvox
