// SPDX-License-Identifier: GPL-3.0-or-later
// MediaControl.h: the main window's hidden multimedia control.
//
// The window creates one, turns its notification and waiting off and hides
// it, and never uses it again: it opens no device and plays nothing (voice
// cues have their own player). It is a plain QObject, so it has no window
// and needs no multimedia library.
#pragma once

#include <QObject>

namespace tallyvox {

class TMMControl : public QObject {
    Q_OBJECT
    // Whether a finished command would be reported; a new control reports.
    Q_PROPERTY(bool Notify READ Notify WRITE setNotify)
    // Whether a command would return only when done; a new control waits.
    Q_PROPERTY(bool Wait READ Wait WRITE setWait)
    Q_PROPERTY(bool visible READ isVisible WRITE setVisible)

public:
    explicit TMMControl(QObject *owner = nullptr) : QObject(owner) { setObjectName(QStringLiteral("MMControl")); }

    bool Notify() const { return notify_; }
    void setNotify(bool on) { notify_ = on; }
    bool Wait() const { return wait_; }
    void setWait(bool on) { wait_ = on; }
    bool isVisible() const { return visible_; }
    void setVisible(bool on) { visible_ = on; }

private:
    bool notify_ = true;
    bool wait_ = true;
    bool visible_ = true;
};

} // namespace tallyvox
