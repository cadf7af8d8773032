// SPDX-License-Identifier: GPL-3.0-or-later
// Version comparison, manifest reading and address parsing: pure tables.
#include "update/Manifest.h"
#include "update/WebAddress.h"

#include <gtest/gtest.h>

namespace tallyvox::update {
namespace {

using namespace std::string_literals;

struct VersionCase {
    const char *a, *b;
    int expected;
};

TEST(CompareVersions, OrdersDottedNumbers)
{
    const VersionCase cases[] = {
        {"1.0.0", "1.0.0", 0}, {"1.2", "1.2.0", 0},   {"1.2.0.0", "1.2", 0},   {"1", "1.0.0.0.0", 0},
        {"1.02", "1.2", 0},    {"01.0", "1", 0},      {"1.10", "1.9", 1},      {"1.0.10", "1.0.9", 1},
        {"2", "1.99.99", 1},   {"1.0.1", "1.0", 1},   {"1.0.0.1", "1.0.0", 1}, {"0.9", "1", -1},
        {"1.2.3", "1.3", -1},  {"999999999", "1", 1}, {"0", "0.0.1", -1},      {"10.0", "9.999", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        auto forward = CompareVersions(c.a, c.b);
        auto backward = CompareVersions(c.b, c.a);
        ASSERT_TRUE(forward.has_value());
        ASSERT_TRUE(backward.has_value());
        EXPECT_EQ(*forward, c.expected);
        EXPECT_EQ(*backward, -c.expected);
    }
}

TEST(CompareVersions, RejectsWhatIsNotADottedNumber)
{
    const char *invalid[] = {"",     ".",  "1..2", ".1",     "1.",  "1.2-beta",   "v1.2", " 1.2",
                             "1.2 ", "-1", "+1",   "1.2.3a", "1,2", "1234567890", "1.x",  "１.２"};
    for (const char *text : invalid) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(IsVersion(text));
        EXPECT_FALSE(CompareVersions(text, "1.0").has_value());
        EXPECT_FALSE(CompareVersions("1.0", text).has_value());
    }
    EXPECT_TRUE(IsVersion("123456789.0")); // nine digits still fit
}

struct ManifestCase {
    const char *name;
    std::string text;
    const char *version, *page, *notes;
};

TEST(ParseManifest, ReadsWellFormedManifests)
{
    const ManifestCase cases[] = {
        {"minimal", "version: 1.2.0\npage: http://example.test/dl.html\n", "1.2.0", "http://example.test/dl.html", ""},
        {"crlf, comments, blanks, unknown keys",
         "# Tallyvox\r\n\r\nversion: 2.0\r\nchannel: stable\r\n  # indented comment\r\npage: https://example.test/\r\n",
         "2.0", "https://example.test/", ""},
        {"notes in order, blanks around values", "notes:  first  \nversion:1.1\nnotes: second\npage:http://h/p\n",
         "1.1", "http://h/p", "first\nsecond"},
        {"empty notes line kept", "version: 1.1\npage: http://h/\nnotes:\nnotes: after\n", "1.1", "http://h/",
         "\nafter"},
        {"keys ignore case, BOM, no final newline", "\xEF\xBB\xBFVersion: 3\nPAGE: http://h:8080/x?y=1", "3",
         "http://h:8080/x?y=1", ""},
        {"colon inside a value", "version: 1.5\npage: http://h/a\nnotes: ratio 1:2 fixed\n", "1.5", "http://h/a",
         "ratio 1:2 fixed"},
        {"UTF-8 notes", "version: 1.5\npage: http://h/a\nnotes: 更快的读数\n", "1.5", "http://h/a", "更快的读数"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto manifest = ParseManifest(c.text);
        ASSERT_TRUE(manifest.has_value());
        EXPECT_EQ(manifest->version, c.version);
        EXPECT_EQ(manifest->page, c.page);
        EXPECT_EQ(manifest->notes, c.notes);
    }
}

TEST(ParseManifest, RejectsMalformedManifests)
{
    const std::pair<const char *, std::string> cases[] = {
        {"empty", ""},
        {"only comments", "# nothing here\n"},
        {"no page", "version: 1.2\n"},
        {"no version", "page: http://h/\n"},
        {"line without colon", "version: 1.2\npage: http://h/\nsomething odd\n"},
        {"empty key", "version: 1.2\npage: http://h/\n: value\n"},
        {"key with a blank", "version: 1.2\npage: http://h/\nmy key: value\n"},
        {"bad version", "version: 1.2-beta\npage: http://h/\n"},
        {"empty version", "version:\npage: http://h/\n"},
        {"two versions", "version: 1.2\nversion: 1.3\npage: http://h/\n"},
        {"two pages", "version: 1.2\npage: http://h/\npage: http://h/2\n"},
        {"page not web", "version: 1.2\npage: file:///etc/passwd\n"},
        {"page script", "version: 1.2\npage: javascript:alert(1)\n"},
        {"page relative", "version: 1.2\npage: /download.html\n"},
        {"page with quote", "version: 1.2\npage: http://h/\"><script>\n"},
        {"page with user name", "version: 1.2\npage: http://ours.test@evil.test/\n"},
        {"NUL byte", "version: 1.2\npage: http://h/\nnotes: a\0b\n"s},
        {"control character", "version: 1.2\npage: http://h/\nnotes: \x1b[2J\n"},
        {"invalid UTF-8", "version: 1.2\npage: http://h/\nnotes: \xC3\x28\n"},
        {"overlong UTF-8", "version: 1.2\npage: http://h/\nnotes: \xC0\xAF\n"},
        {"HTML instead", "<html><body>Not found</body></html>\n"},
    };
    for (const auto &[name, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ParseManifest(text).has_value());
    }
}

TEST(ParseWebAddress, TakesAddressesApart)
{
    struct Case {
        const char *address;
        bool https;
        const char *host;
        int port;
    };
    const Case cases[] = {
        {"http://example.test", false, "example.test", 80},
        {"HTTP://Example.test/softs/tallyvox/Update.txt", false, "Example.test", 80},
        {"http://127.0.0.1:8080/a?b=c#frag", false, "127.0.0.1", 8080},
        {"http://h?x=1", false, "h", 80},
        {"http://[::1]:81/x", false, "::1", 81},
        {"https://h/", true, "h", 443},
        {"https://h:80/", true, "h", 80},
        {"http://h:65535", false, "h", 65535},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.address);
        auto parsed = ParseWebAddress(c.address);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->https, c.https);
        EXPECT_EQ(parsed->host, c.host);
        EXPECT_EQ(parsed->port, c.port);
    }
}

TEST(ParseWebAddress, RejectsUnsafeOrIncompleteAddresses)
{
    const char *invalid[] = {"",
                             "http://",
                             "http:///path",
                             "http://:80/",
                             "ftp://h/",
                             "file:///etc/passwd",
                             "javascript:alert(1)",
                             "//h/path",
                             "h/path",
                             "http://user@h/",
                             "http://h:0/",
                             "http://h:65536/",
                             "http://h:80x/",
                             "http://h:/",
                             "http://h/a b",
                             "http://h/a\tb",
                             "http://h/<x>",
                             "http://h/\"",
                             "http://h\\x/",
                             "http://h\xC3\xA9/",
                             "http://[1.2.3.4]/",
                             "http://[::1/",
                             "http://h_/\x7f"};
    for (const char *address : invalid) {
        SCOPED_TRACE(address);
        EXPECT_FALSE(ParseWebAddress(address).has_value());
    }
    EXPECT_FALSE(ParseWebAddress("http://h/" + std::string(2048, 'a')).has_value());
}

} // namespace
} // namespace tallyvox::update
