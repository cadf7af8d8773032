// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the system's font configuration on a thread of its own while the
// application object connects to the display. The window's first text needs
// it, and reading fontconfig's configuration files and caches is the largest
// single cost before the window can appear; the application object does not
// need fonts, so the two run side by side.
#pragma once

#include <thread>

namespace tallyvox {

class FontConfigWarmUp {
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

    // Returns once the configuration is loaded. Call before the first font.
    void Wait();

private:
    std::thread thread_;
};

} // namespace tallyvox
