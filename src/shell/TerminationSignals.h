// SPDX-License-Identifier: GPL-3.0-or-later
// Ends the program cleanly on SIGTERM and SIGINT (kill, a desktop logout,
// Ctrl+C in a terminal). The handler only writes the signal's number to a
// pipe; the event loop reads it and runs the close callback there, so the
// window's close steps run as for the close box, whatever the program was
// doing. The handlers are one-shot: a second signal ends the program at once,
// should the close itself hang.
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
    // Puts the default handlers back.
    ~TerminationSignals() override;

    // The signal that arrived, 0 if none.
    int Received() const { return received_; }

    // Ends the process as killed by signal, after the program has cleaned up:
    // the conventional way, so that a shell or a service manager sees that
    // the program was ended by the signal it sent. Does not return.
    [[noreturn]] static void EndBySignal(int signal);

private:
    void ReadPipe();

    std::function<void()> onSignal_;
    QSocketNotifier *notifier_ = nullptr;
    int received_ = 0;
};

} // namespace tallyvox
