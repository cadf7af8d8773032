// SPDX-License-Identifier: GPL-3.0-or-later
#include "adpage/PageSanitizer.h"

#include <memory>

#include <gumbo.h>

namespace tallyvox {
namespace {

// A tag can make a few elements of its own (an implied <tbody> and <tr>
// before a lone <td>, a stray </p> makes an empty <p>), so the tree's size
// and the parser's work are bounded by the number of tags. Counting them is
// one pass over the bytes, before the parser sees anything; a '<' that only
// looks like a tag (inside a comment or a script) counts too, which errs on
// the side of refusing.
bool TooManyTags(std::string_view html, const PageLimits &limits)
{
    const std::size_t budget = 2 * static_cast<std::size_t>(limits.maxElements);
    std::size_t tags = 0;
    for (std::size_t at = html.find('<'); at != std::string_view::npos && at + 1 < html.size();
         at = html.find('<', at + 1)) {
        const char c = html[at + 1];
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?') {
            if (++tags > budget)
                return true;
        }
    }
    return false;
}

// Elements whose content is never shown: code, styling, embedded documents,
// forms and media.
bool IsDropped(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_MAP:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_BUTTON: return true;
    default: return false;
    }
}

// Elements that stand on lines of their own.
bool IsBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION: return true;
    default: return false;
    }
}

// Collects runs, collapsing white space, under the text limit.
class RunBuilder {
public:
    explicit RunBuilder(std::size_t maxChars) : maxChars_(maxChars) {}

    // False when the text limit is passed.
    bool Text(std::string_view text, const std::string &link)
    {
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
                space_ = lineHasText_;
                continue;
            }
            if (u < 0x20 || u == 0x7f)
                continue; // control characters have nothing to show
            if (space_)
                Append(' ', link);
            space_ = false;
            Append(c, link);
            if ((u & 0xC0) != 0x80 && ++chars_ > maxChars_)
                return false;
        }
        return true;
    }

    // A line break; unless forced (<br>), only where the line has text.
    void Break(bool forced)
    {
        if (forced || lineHasText_)
            runs_.push_back(PageRun{true, {}, {}, {}});
        lineHasText_ = false;
        space_ = false;
    }

    void Space() { space_ = lineHasText_; }

    // An image run: its alt text (under the text limit) and its address.
    bool Image(std::string_view alt, std::string_view source, const std::string &link)
    {
        PageRun run{false, {}, link, std::string(source)};
        for (const char c : alt) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7f)
                continue;
            run.text += c;
            if ((u & 0xC0) != 0x80 && ++chars_ > maxChars_)
                return false;
        }
        if (space_)
            Append(' ', link);
        space_ = false;
        runs_.push_back(std::move(run));
        lineHasText_ = true;
        return true;
    }

    SafePage Finish()
    {
        while (!runs_.empty() && runs_.back().lineBreak)
            runs_.pop_back();
        std::size_t leading = 0;
        while (leading < runs_.size() && runs_[leading].lineBreak)
            ++leading;
        runs_.erase(runs_.begin(), runs_.begin() + static_cast<std::ptrdiff_t>(leading));
        return std::move(runs_);
    }

private:
    void Append(char c, const std::string &link)
    {
        if (runs_.empty() || runs_.back().lineBreak || !runs_.back().image.empty() || runs_.back().link != link)
            runs_.push_back(PageRun{false, {}, link, {}});
        runs_.back().text += c;
        lineHasText_ = true;
    }

    std::size_t maxChars_;
    std::size_t chars_ = 0;
    bool space_ = false;
    bool lineHasText_ = false;
    SafePage runs_;
};

struct OutputDeleter {
    const GumboOptions *options;
    void operator()(GumboOutput *output) const { gumbo_destroy_output(options, output); }
};

// One open element of the walk: the walk keeps its own stack, so a deep
// tree costs heap, not the thread's stack.
struct Frame {
    const GumboNode *node;
    unsigned next = 0;
    std::string outerLink; // the link before this element, restored after it
    bool block = false;
};

} // namespace

std::optional<SafePage> SanitizePage(std::string_view html, const PageLimits &limits)
{
    if (TooManyTags(html, limits))
        return std::nullopt;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // errors are not kept: a broken page costs no extra memory
    const std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, html.data(), html.size()), OutputDeleter{&options});
    if (!output)
        return std::nullopt;

    RunBuilder runs(limits.maxTextChars);
    std::string link;
    int elements = 0;
    int images = 0;
    std::vector<Frame> stack;
    stack.push_back(Frame{output->document, 0, {}, false});
    while (!stack.empty()) {
        Frame &top = stack.back();
        const GumboVector &children =
            top.node->type == GUMBO_NODE_DOCUMENT ? top.node->v.document.children : top.node->v.element.children;
        if (top.next == children.length) {
            if (top.block)
                runs.Break(false);
            link = std::move(top.outerLink);
            stack.pop_back();
            continue;
        }
        const auto *child = static_cast<const GumboNode *>(children.data[top.next++]);
        switch (child->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            if (!runs.Text(child->v.text.text, link))
                return std::nullopt;
            continue;
        case GUMBO_NODE_ELEMENT: break;
        default: continue; // comments, templates
        }
        // The document's own frame does not count as a level.
        if (++elements > limits.maxElements || static_cast<int>(stack.size()) > limits.maxDepth)
            return std::nullopt;
        const GumboElement &element = child->v.element;
        if (IsDropped(element.tag))
            continue;
        if (element.tag == GUMBO_TAG_BR) {
            runs.Break(true);
            continue;
        }
        if (element.tag == GUMBO_TAG_IMG) {
            const GumboAttribute *alt = gumbo_get_attribute(&element.attributes, "alt");
            const GumboAttribute *source = gumbo_get_attribute(&element.attributes, "src");
            const bool kept = source && *source->value && images < limits.maxImages;
            images += kept;
            if (kept ? !runs.Image(alt ? alt->value : "", source->value, link) : alt && !runs.Text(alt->value, link))
                return std::nullopt;
            continue;
        }
        if (element.tag == GUMBO_TAG_TD || element.tag == GUMBO_TAG_TH)
            runs.Space();
        Frame frame{child, 0, link, IsBlock(element.tag)};
        if (frame.block)
            runs.Break(false);
        if (element.tag == GUMBO_TAG_A) {
            const GumboAttribute *href = gumbo_get_attribute(&element.attributes, "href");
            link = href ? href->value : "";
        }
        stack.push_back(std::move(frame));
    }
    return runs.Finish();
}

std::optional<SafePage> SanitizePlainText(std::string_view text, const PageLimits &limits)
{
    RunBuilder runs(limits.maxTextChars);
    int lines = 0;
    const std::string noLink;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (++lines > limits.maxElements || !runs.Text(text.substr(0, end), noLink))
            return std::nullopt;
        runs.Break(true);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return runs.Finish();
}

} // namespace tallyvox
