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

class QWidget;

namespace tallyvox {

// A container marked so lists only its shown children to a screen reader:
// hidden panels and controls are not read. Mark it once it has its parent.
void MarkAccessiblePanel(QWidget *panel);

// Installs the factory for every QToolButton carrying a "Tag" property (the
// calculator's keys) and every QPushButton marked with kQueuedPressProperty.
// Idempotent.
void InstallKeyAccessibility();

} // namespace tallyvox
