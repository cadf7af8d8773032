// SPDX-License-Identifier: GPL-3.0-or-later
// The advertisement page: any bytes through the HTML parser and the
// sanitizer, under the strip's limits, and what comes out keeps them.
#include "adpage/PageSanitizer.h"
#include "numbers/Utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const tallyvox::PageLimits limits;
    for (const bool html : {true, false}) {
        const auto page = html ? tallyvox::SanitizePage(text, limits) : tallyvox::SanitizePlainText(text, limits);
        if (!page)
            continue;
        std::size_t chars = 0;
        int images = 0;
        for (const tallyvox::PageRun &run : *page) {
            if (run.lineBreak ? !run.text.empty() || !run.image.empty() : run.text.empty() && run.image.empty())
                std::abort(); // a run is text, an image or a break, never nothing
            chars += tallyvox::CharCount(run.text);
            images += !run.image.empty();
            for (const char c : run.text)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                    std::abort(); // no control character reaches the strip
        }
        // A text run holds a character at least; an element makes two breaks at most.
        if (chars > limits.maxTextChars || images > limits.maxImages ||
            page->size() > limits.maxTextChars + 2 * static_cast<std::size_t>(limits.maxElements) + 1)
            std::abort();
    }
    return 0;
}
