// SPDX-License-Identifier: GPL-3.0-or-later
#include "voice/CueScramble.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>

#include <iconv.h>
#include <unistd.h>

using namespace tallyvox;

namespace {

std::vector<std::uint8_t> Bytes(std::size_t size, std::uint8_t byte98)
{
    std::vector<std::uint8_t> b(size);
    std::iota(b.begin(), b.end(), std::uint8_t(7));
    if (size > 98)
        b[98] = byte98;
    return b;
}

TEST(CueKey, IsTheKeyTextInGbk)
{
    const std::string text = "&!好~@天#!看&!~风*~*云@~!#&@!~#*!";
    iconv_t cd = iconv_open("GBK", "UTF-8");
    ASSERT_NE(cd, iconv_t(-1));
    char out[64];
    char *in = const_cast<char *>(text.data());
    std::size_t inLeft = text.size(), outLeft = sizeof out;
    char *outAt = out;
    ASSERT_NE(iconv(cd, &in, &inLeft, &outAt, &outLeft), std::size_t(-1));
    iconv_close(cd);
    EXPECT_EQ(CueKey().size(), 33u);
    EXPECT_EQ(CueKey(), std::string_view(out, std::size_t(outAt - out)));
}

struct ScrambleCase {
    const char *what;
    std::size_t size;
    std::uint8_t byte98;
    std::size_t start; // first scrambled offset
};

void PrintTo(const ScrambleCase &c, std::ostream *os)
{
    *os << c.what;
}

class UnscrambleCueTest : public testing::TestWithParam<ScrambleCase> {};

TEST_P(UnscrambleCueTest, XorsFromStartWithKeyCycle)
{
    const ScrambleCase &c = GetParam();
    const std::string_view key = CueKey();
    const std::vector<std::uint8_t> stored = Bytes(c.size, c.byte98);
    std::vector<std::uint8_t> b = stored;
    UnscrambleCue(b, key);
    ASSERT_EQ(b.size(), stored.size());
    for (std::size_t p = 0; p < b.size(); ++p) {
        const std::uint8_t expected =
            p < c.start ? stored[p] : std::uint8_t(stored[p] ^ std::uint8_t(key[(p - c.start) % key.size()]));
        ASSERT_EQ(b[p], expected) << c.what << ": offset " << p;
    }
    UnscrambleCue(b, key);
    EXPECT_EQ(b, stored) << c.what << ": twice gives back the stored bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, UnscrambleCueTest,
    testing::Values(ScrambleCase{"empty", 0, 0, 0}, ScrambleCase{"shorter than byte 98", 50, 0, 50},
                    ScrambleCase{"exactly 100", 100, 0, 100}, ScrambleCase{"one byte past 100", 101, 0, 100},
                    ScrambleCase{"byte 98 = 0, two cycles", 100 + 66, 0, 100},
                    ScrambleCase{"byte 98 = 0, partial cycle", 100 + 33 + 5, 0, 100},
                    ScrambleCase{"byte 98 = 255", 400, 255, 355},
                    ScrambleCase{"byte 98 = 255, ends before 355", 300, 255, 300},
                    ScrambleCase{"byte 98 = 128", 1000, 128, 228}, ScrambleCase{"40 KB cue", 40960, 77, 177},
                    ScrambleCase{"odd start, many cycles", 1701, 3, 103},
                    ScrambleCase{"whole cycles to the end", 100 + 33 * 100, 0, 100}));

TEST(UnscrambleCue, KeyBytesAtTheDocumentedOffsets)
{
    const std::string_view key = CueKey();
    std::vector<std::uint8_t> b(200, 0);
    UnscrambleCue(b, key);
    EXPECT_EQ(b[99], 0);
    EXPECT_EQ(b[100], std::uint8_t(key[0]));
    EXPECT_EQ(b[132], std::uint8_t(key[32]));
    EXPECT_EQ(b[133], std::uint8_t(key[0]));
}

class LoadCueFileTest : public testing::Test {
protected:
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tallyvox-loadcue-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path Write(const std::string &name, const std::vector<std::uint8_t> &bytes)
    {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
        return dir / name;
    }
};

TEST_F(LoadCueFileTest, LoadsAndUnscrambles)
{
    auto plain = Bytes(500, 3);
    auto stored = plain;
    UnscrambleCue(stored, CueKey());
    std::vector<std::uint8_t> buffer(10000, 1);
    ASSERT_TRUE(LoadCueFile(Write("加.WAV", stored), buffer, CueKey(), 1000));
    EXPECT_EQ(buffer, plain);
}

TEST_F(LoadCueFileTest, FailuresLeaveTheBufferAlone)
{
    const std::vector<std::uint8_t> before(64, 9);
    std::filesystem::create_directory(dir / "folder.WAV");
    const std::filesystem::path cases[] = {
        dir / "missing.WAV",
        Write("empty.WAV", {}),
        Write("big.WAV", std::vector<std::uint8_t>(1001, 0)),
        dir / "folder.WAV",
    };
    for (const auto &path : cases) {
        std::vector<std::uint8_t> buffer = before;
        EXPECT_FALSE(LoadCueFile(path, buffer, CueKey(), 1000)) << path;
        EXPECT_EQ(buffer, before) << path;
    }
}

} // namespace
