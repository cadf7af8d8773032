// SPDX-License-Identifier: GPL-3.0-or-later
// PageSanitizer.h: the advertisement page, reduced to what the strip shows.
//
// The page comes from the network at every start, over plain http by
// default, so it is data from a stranger. It is parsed by an HTML5 parser
// (gumbo, which reads only the bytes it is given) and reduced to runs of
// text, line breaks, link addresses and the addresses of a few images, which
// are data for whoever shows them to check, fetch and decode; everything
// else (scripts, styles, frames, forms, tables as tables) is dropped. The result is flat,
// so whatever shows it lays out a bounded amount of text in one level.
//
// Bounded before and while parsing: a page with more tags than the element
// budget allows is refused unparsed, and one whose tree is deeper, larger or
// holds more text than the limits is refused whole. A refused page shows
// nothing; there is no partial page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvox {

struct PageLimits {
    int maxDepth = 32;               // elements nested, counting <html> and <body>
    int maxElements = 2000;          // elements in the tree, implied ones too
    std::size_t maxTextChars = 8192; // characters of text shown
    int maxImages = 4;               // images beyond these are their alt text
};

// One piece of the page: a run of text (whitespace collapsed as a browser
// would), an image, or a line break.
struct PageRun {
    bool lineBreak = false;
    std::string text;  // UTF-8; for an image its alt text, shown unless the image is
    std::string link;  // the href of the enclosing <a>, as written; empty when none
    std::string image; // an <img>'s src, as written; empty for text
};

using SafePage = std::vector<PageRun>;

// The page's runs, or nullopt when it is over a limit. html is UTF-8.
std::optional<SafePage> SanitizePage(std::string_view html, const PageLimits &limits = {});

// A text/plain page: its lines, under the same limits (a line counts as an element).
std::optional<SafePage> SanitizePlainText(std::string_view text, const PageLimits &limits = {});

} // namespace tallyvox
