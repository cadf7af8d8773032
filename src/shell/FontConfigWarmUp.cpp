// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/FontConfigWarmUp.h"

#include <fontconfig/fontconfig.h>

namespace tallyvox {

FontConfigWarmUp::FontConfigWarmUp()
{
    try {
        // FcInit loads the configuration into fontconfig's one current
        // configuration, which Qt's font database then finds ready.
        thread_ = std::thread([] { FcInit(); });
    } catch (...) {
        // Without a thread, Qt loads it when the first font is needed.
    }
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    Wait();
}

void FontConfigWarmUp::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace tallyvox
