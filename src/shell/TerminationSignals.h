// SPDX-License-Identifier: GPL-3.0-or-later
// Ends the program cleanly on SIGTERM, SIGINT and SIGHUP (kill, a desktop
// logout, Ctrl+C in a terminal, the terminal closing). The handler only writes the signal's number to a
// pipe; the event loop reads it and runs the close callback there, so the
// window's close steps run as for the close box, whatever the program was
// doing, and the program ends as after the close box, with status 0. The
// handlers are one-shot: a second signal ends the program at once, should the
// close itself hang. A signal that was ignored when the program started
// stays ignored, as the shell (or nohup) meant.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tallyvox {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; onSignal runs once, from the event loop, when
    // the first signal arrives. One instance per process.
    explicit TerminationSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    // Puts the default actions back where it installed its handlers.
    ~TerminationSignals() override;

private:
    void ReadPipe();

    std::function<void()> onSignal_;
    QSocketNotifier *notifier_ = nullptr;
    bool received_ = false;
};

} // namespace tallyvox
