// SPDX-License-Identifier: GPL-3.0-or-later
// Accessible interface of the calculator keys.
//
// Qt presses a button for an assistive technology synchronously, inside the
// accessibility call, so a key whose handler runs long (the equals key reads
// its result aloud; "表达式计算" opens a modal window; a fault shows a message
// box) would leave the screen reader waiting for a reply, or time it out.
// The keys here queue the press instead and answer at once.
#pragma once

class QObject;

namespace tallyvox {

// Installs the factory for every QToolButton carrying a "Tag" property (the
// calculator's keys) and every QPushButton marked with kQueuedPressProperty.
// Idempotent.
void InstallKeyAccessibility();

} // namespace tallyvox
