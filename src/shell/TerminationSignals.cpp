// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace tallyvox {

namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};
int pipeEnds[2] = {-1, -1};

void OnSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; nothing more to say.
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &number, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject *parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // without a pipe the default actions stay: the signal still ends the program
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPipe);
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signal : kSignals) {
        // A signal ignored on entry stays ignored: a shell without job
        // control starts background programs so that Ctrl+C spares them.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == &OnSignal)
            std::signal(signal, SIG_DFL);
    }
    delete notifier_;
    for (int &end : pipeEnds) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

void TerminationSignals::ReadPipe()
{
    unsigned char number = 0;
    while (read(pipeEnds[0], &number, 1) == 1) {
        if (!received_) {
            received_ = true;
            if (onSignal_)
                onSignal_();
        }
    }
}

} // namespace tallyvox
