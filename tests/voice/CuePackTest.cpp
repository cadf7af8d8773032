// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the cue pack the build generated into bin/play against the cue
// table: every speech cue starts at once and stops without a click, is as
// loud as the others, never clips, and is no copy of a cue that says
// something else.
#include "voice/CueDecoder.h"
#include "voice/CueScramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using namespace tallyvox;

namespace {

struct Cue {
    std::string name;
    std::string text;
    std::vector<std::uint8_t> image;
    std::vector<std::int16_t> samples;
    std::uint32_t rate = 0;
    std::string problem; // empty when the cue loaded as 16-bit mono PCM
};

std::uint32_t Le(const std::vector<std::uint8_t> &b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + std::size_t(i)];
    return v;
}

// Walks the RIFF chunks of cue.image into cue.rate and cue.samples.
std::string ReadPcm(Cue &cue)
{
    const auto &b = cue.image;
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return "not RIFF/WAVE";
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::size_t size = Le(b, at + 4, 4), body = at + 8;
        if (size > b.size() - body)
            return "chunk past the end";
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16) {
            if (Le(b, body, 2) != 1 || Le(b, body + 2, 2) != 1 || Le(b, body + 14, 2) != 16)
                return "not 16-bit mono PCM";
            cue.rate = Le(b, body + 4, 4);
            haveFormat = true;
        } else if (std::memcmp(&b[at], "data", 4) == 0) {
            if (!haveFormat)
                return "data before fmt";
            for (std::size_t i = 0; i + 1 < size; i += 2)
                cue.samples.push_back(std::int16_t(Le(b, body + i, 2)));
            return cue.samples.empty() ? "no samples" : "";
        }
        at = body + size + (size & 1);
    }
    return "no data chunk";
}

std::vector<Cue> LoadPack()
{
    std::vector<Cue> pack;
    const char *bin = std::getenv("TALLYVOX_BIN");
    std::ifstream table(TALLYVOX_CUE_TABLE);
    for (std::string row; std::getline(table, row);) {
        const std::size_t tab = row.find('\t');
        if (row.empty() || row[0] == '#' || tab == std::string::npos)
            continue;
        Cue cue{row.substr(0, tab), row.substr(tab + 1), {}, {}, 0, {}};
        if (!bin || !LoadCueFile(std::filesystem::path(bin) / "play" / (cue.name + ".WAV"), cue.image, CueKey(),
                                 MaxCueFileSize))
            cue.problem = "cannot be loaded";
        else
            cue.problem = ReadPcm(cue);
        pack.push_back(std::move(cue));
    }
    return pack;
}

const std::vector<Cue> &Pack()
{
    static const std::vector<Cue> pack = LoadPack();
    return pack;
}

// The loaded cues that are speech (the @click tick is left at its own level).
std::vector<const Cue *> Speech()
{
    std::vector<const Cue *> out;
    for (const Cue &cue : Pack())
        if (cue.problem.empty() && cue.text[0] != '@')
            out.push_back(&cue);
    return out;
}

double Dbfs(double amplitude)
{
    return 20 * std::log10(amplitude / 32768.0);
}

int Peak(std::vector<std::int16_t>::const_iterator from, std::vector<std::int16_t>::const_iterator to)
{
    int peak = 0;
    for (; from != to; ++from)
        peak = std::max(peak, std::abs(int(*from)));
    return peak;
}

TEST(CuePack, EveryCueOfTheTableLoads)
{
    ASSERT_GT(Pack().size(), 50u) << "cue table " << TALLYVOX_CUE_TABLE << " not read";
    for (const Cue &cue : Pack())
        EXPECT_EQ(cue.problem, "") << "cue '" << cue.name << "'";
}

TEST(CuePack, ErrorCueIsThereAndExponentIsNotHeardAsOne)
{
    std::map<std::string, const Cue *> byName;
    for (const Cue *cue : Speech())
        byName[cue->name] = cue;
    ASSERT_TRUE(byName.count("错误") && byName.count("E") && byName.count("1"));
    EXPECT_NE(byName["E"]->samples, byName["1"]->samples);
}

TEST(CuePack, SpeechEndsWithAFade)
{
    ASSERT_FALSE(Speech().empty());
    for (const Cue *cue : Speech()) {
        const std::size_t last2ms = std::min<std::size_t>(cue->rate / 500, cue->samples.size());
        EXPECT_LT(Dbfs(Peak(cue->samples.end() - std::ptrdiff_t(last2ms), cue->samples.end())), -40.0)
            << "cue '" << cue->name << "' ends with a click";
    }
}

// Silence before the first word is heard as a late key, and between two
// words of a read-out as a gap.
TEST(CuePack, SpeechStartsAtOnceWithoutAClick)
{
    ASSERT_FALSE(Speech().empty());
    for (const Cue *cue : Speech()) {
        const auto heard = std::find_if(cue->samples.begin(), cue->samples.end(),
                                        [](std::int16_t s) { return Dbfs(std::abs(int(s))) >= -40.0; });
        EXPECT_LE(double(heard - cue->samples.begin()) * 1000.0 / cue->rate, 5.0)
            << "cue '" << cue->name << "' starts with silence";
        EXPECT_LT(Dbfs(std::abs(int(cue->samples.front()))), -40.0) << "cue '" << cue->name << "' starts with a click";
    }
}

TEST(CuePack, SpeechIsEquallyLoud)
{
    std::map<double, std::string> byRms;
    for (const Cue *cue : Speech()) {
        double sum = 0;
        for (std::int16_t s : cue->samples)
            sum += double(s) * s;
        byRms[Dbfs(std::sqrt(sum / double(cue->samples.size())))] = cue->name;
    }
    ASSERT_FALSE(byRms.empty());
    const auto &[quietest, quiet] = *byRms.begin();
    const auto &[loudest, loud] = *byRms.rbegin();
    EXPECT_LE(loudest - quietest, 2.0) << "'" << quiet << "' " << quietest << " dBFS, '" << loud << "' " << loudest
                                       << " dBFS RMS";
}

TEST(CuePack, SpeechNeverClips)
{
    ASSERT_FALSE(Speech().empty());
    for (const Cue *cue : Speech())
        EXPECT_LE(Dbfs(Peak(cue->samples.begin(), cue->samples.end())), -1.0) << "cue '" << cue->name << "'";
}

TEST(CuePack, DifferentTextsNeverShareAFile)
{
    std::map<std::vector<std::uint8_t>, const Cue *> byImage;
    for (const Cue *cue : Speech()) {
        const auto [at, fresh] = byImage.emplace(cue->image, cue);
        EXPECT_TRUE(fresh || at->second->text == cue->text)
            << "cues '" << at->second->name << "' (" << at->second->text << ") and '" << cue->name << "' (" << cue->text
            << ") are the same file";
    }
}

} // namespace
