// SPDX-License-Identifier: GPL-3.0-or-later
// "选项": every listener setting, each applied the moment it changes. Each
// control is named in Chinese by its label, so a screen reader reads the
// dialog as it is seen, and the whole dialog works with Tab, the arrow keys
// and Space; Esc or 关闭 closes it.
#pragma once

#include "settings/ListenerSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSlider;

namespace tallyvox {

class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    explicit OptionsDialog(QWidget *parent = nullptr);

    // Shows these values without announcing a change.
    void SetSettings(const ListenerSettings &settings);
    const ListenerSettings &Settings() const { return settings_; }

signals:
    // After every change a listener makes, with all values.
    void settingsChanged(const tallyvox::ListenerSettings &settings);

private:
    void ReadControls();

    ListenerSettings settings_;
    bool showing_ = false; // SetSettings is filling the controls
    QComboBox *cmbRate = nullptr;
    QSlider *sldVolume = nullptr;
    QCheckBox *chkMute = nullptr;
    QComboBox *cmbSpeech = nullptr;
    QCheckBox *chkReadFunctions = nullptr;
    QComboBox *cmbDigits = nullptr;
    QCheckBox *chkKeepTape = nullptr;
};

} // namespace tallyvox
