// SPDX-License-Identifier: GPL-3.0-or-later
// The settings kept between runs: the listener's settings, the angle unit
// and whether the tape panel shows, in the user's tallyvox.conf through
// QSettings. The view is not kept: every start opens the enhanced view.
//
// A missing, damaged, foreign-typed or unreadable file gives the defaults
// for what cannot be read and one line on stderr, never a failed start; a
// damaged file is copied aside before it is first written again. A folder
// that cannot be written keeps the settings for the session and says so once.
#pragma once

#include "scientific/ScientificKeys.h"
#include "settings/ListenerSettings.h"

#include <QString>

namespace tallyvox {

struct KeptSettings {
    ListenerSettings listener;
    AngleMode angle = AngleMode::Degrees;
    bool tapePanel = false;

    bool operator==(const KeptSettings &) const = default;
};

class SettingsStore {
public:
    // fileName empty: the user's file, ~/.config/tallyvox/tallyvox.conf.
    explicit SettingsStore(QString fileName = {});

    QString FileName() const { return fileName_; }

    // What the file holds, each value checked against its setting's texts.
    KeptSettings Load();
    // Writes every value; a failure is reported once per session.
    void Save(const KeptSettings &settings);

private:
    QString fileName_;
    bool keepDamagedAside_ = false;
    bool writeFailureReported_ = false;
};

} // namespace tallyvox
