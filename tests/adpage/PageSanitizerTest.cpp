// SPDX-License-Identifier: GPL-3.0-or-later
// The advertisement page's subset and its limits, without a window.
#include "adpage/PageSanitizer.h"

#include <gtest/gtest.h>

#include <string>

namespace tallyvox {
namespace {

// The runs as one text: a line break is "\n", a link "[text](href)", an
// image "{src|alt}".
std::string Shown(const std::optional<SafePage> &page)
{
    if (!page)
        return "(refused)";
    std::string out;
    for (const PageRun &run : *page) {
        const std::string text = run.image.empty() ? run.text : "{" + run.image + "|" + run.text + "}";
        out += run.lineBreak ? "\n" : run.link.empty() ? text : "[" + text + "](" + run.link + ")";
    }
    return out;
}

std::string Nested(const std::string &open, const std::string &close, int levels, const std::string &inside = "x")
{
    std::string page;
    for (int i = 0; i < levels; ++i)
        page += open;
    page += inside;
    for (int i = 0; i < levels; ++i)
        page += close;
    return page;
}

std::string Repeated(const std::string &piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

TEST(PageSanitizer, KeepsTextBreaksAndLinksOnly)
{
    const struct {
        std::string page, shown;
    } cases[] = {
        {"<p>Buy the <b>deluxe</b>   voice\n pack</p>", "Buy the deluxe voice pack"},
        {"<p>one</p><div>two<br>three</div>", "one\ntwo\nthree"},
        {"<br><br><p>a</p><br>", "a"},
        {"<ul><li>a</li><li>b</li></ul>", "a\nb"},
        {"<table><tr><td>a</td><td>b</td></tr></table>", "a b"},
        {"<a href=\"http://x.test/buy\">buy <i>now</i></a> or <a>not</a>", "[buy now](http://x.test/buy) or not"},
        {"<a href=\"javascript:alert(1)\">js</a>", "[js](javascript:alert(1))"}, // the window decides what opens
        {"<head><title>T</title><style>p{}</style></head><script>alert(1)</script><p>seen</p>", "seen"},
        // Images are addresses for the window to check; the fifth is its alt text.
        {"a <img src=\"/dev/ptmx\" alt=\"pic\"><a href=\"/b\"><img src=\"x.png\"></a><img alt=\"no src\">",
         "a {/dev/ptmx|pic}[{x.png|}](/b)no src"},
        {"<img src=1 alt=a><img src=2><img src=3><img src=4><img src=5 alt=e><img src=6>", "{1|a}{2|}{3|}{4|}e"},
        {"<iframe src=\"x\">inner</iframe><svg><text>vector</text></svg><input value=v>ok", "ok"},
        {"<p>&lt;b&gt; &amp; caf&eacute;</p>", "<b> & café"},
        {"text without tags", "text without tags"},
        {"", ""},
        {"\xff\xfe broken <p>utf-8", "\xef\xbf\xbd\xef\xbf\xbd broken\nutf-8"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Shown(SanitizePage(c.page)), c.shown) << c.page;
}

// <html> and <body> are the first two levels; each <div> one more.
TEST(PageSanitizer, RefusesAPageOverAnyLimit)
{
    const struct {
        const char *name;
        std::string page;
        bool shown;
    } cases[] = {
        {"depth 32", Nested("<div>", "</div>", 30), true},
        {"depth 33", Nested("<div>", "</div>", 31), false},
        {"20 nested tables", Nested("<table><tr><td>", "</td></tr></table>", 20), false},
        {"3,000 nested tables", Nested("<table><tr><td>", "</td></tr></table>", 3000), false},
        {"60,000 nested divs", Nested("<div>", "</div>", 60000), false},
        {"20,000 nested lists", Nested("<ul><li>", "</li></ul>", 20000), false},
        {"2,000 elements", Repeated("<br>", 1996) + "x", true}, // with html, head, body and one p-less br left
        {"2,001 elements", Repeated("<br>", 1998) + "x", false},
        {"4,000 tags, the comment one of them", "<!--" + Repeated("<b", 3999) + "-->x", true},
        {"4,001 tags", "<!--" + Repeated("<b", 4000) + "-->x", false},
        {"8,192 characters", "<p>" + Repeated("é", 8192) + "</p>", true},
        {"8,193 characters", "<p>" + Repeated("é", 8193) + "</p>", false},
        {"8,193 collapsed spaces", "<p>a" + Repeated(" ", 8193) + "b</p>", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SanitizePage(c.page).has_value(), c.shown) << c.name;
}

TEST(PageSanitizer, PlainText)
{
    EXPECT_EQ(Shown(SanitizePlainText("one\r\n\ntwo <b>\n")), "one\n\ntwo <b>");
    EXPECT_FALSE(SanitizePlainText(Repeated("\n", 2001)).has_value());
    EXPECT_FALSE(SanitizePlainText(Repeated("y", 8193)).has_value());
}

} // namespace
} // namespace tallyvox
