// SPDX-License-Identifier: GPL-3.0-or-later
// Confinement of the script child, so that a statement that ever broke out
// of the JavaScript engine could still only compute: a network namespace of
// its own where the system allows one, an unprivileged user, no capabilities,
// no new privileges, and a seccomp allow-list that ends the process on any
// other syscall. Linux only, no Qt.
#pragma once

#include <cstdint>

namespace tallyvox::sandbox {

// The only descriptors the child may use once confined.
struct Channel {
    int request = 0;     // read
    int reply = 1;       // write
    int diagnostics = 2; // write/writev: glibc's and libstdc++'s last words before abort (/dev/null)
};

// Runs every step in order and returns the scriptwire::ConfinementStep bits
// achieved. Steps the system refuses are skipped; the caller decides what it
// cannot do without (the child insists on the syscall filter).
//
// Call it once, single-threaded (a user namespace cannot be entered by a
// threaded process), after Qt and a first engine have been built, so that
// what they load lazily is loaded, and before reading any request.
std::uint8_t Confine(const Channel &channel);

} // namespace tallyvox::sandbox
