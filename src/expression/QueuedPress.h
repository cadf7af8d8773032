// SPDX-License-Identifier: GPL-3.0-or-later
// The mark of a button whose press by an assistive technology is queued
// rather than run inside the accessibility call: its handler may read aloud
// for seconds or open a modal window, and the screen reader must get its
// reply at once. The main window's accessibility factory honours the mark.
#pragma once

namespace tallyvox {

inline constexpr const char *kQueuedPressProperty = "queuedPress";

} // namespace tallyvox
