// SPDX-License-Identifier: GPL-3.0-or-later
// Plays through SDL's disk driver (see CMakeLists.txt), which writes exactly
// what a listener would hear to SDL_DISKAUDIOFILE: 22050 Hz mono S16.
#include "tests/support/WavFixtures.h"
#include "voice/CueDecoder.h"
#include "voice/CuePlayer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace tallyvox;
using namespace tallyvox::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class CuePlayerTest : public testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("tallyvox-cueplayer-" + std::to_string(::getpid()));
    fs::path output = std::getenv("SDL_DISKAUDIOFILE") ? std::getenv("SDL_DISKAUDIOFILE") : "";
    std::vector<std::int16_t> a = Pattern(22050, 1); // 1 s
    std::vector<std::int16_t> b = Pattern(6615, 2);  // 0.3 s

    void SetUp() override
    {
        ASSERT_STREQ(std::getenv("SDL_AUDIODRIVER"), "disk");
        ASSERT_FALSE(output.empty());
        fs::create_directories(folder);
        WriteCue(folder, "加", WavImage(S16Bytes(a)));
        WriteCue(folder, "B", WavImage(S16Bytes(b)));
    }
    void TearDown() override { fs::remove_all(folder); }

    // What the device played, read once the player has closed it.
    std::vector<std::int16_t> Heard() const
    {
        const auto bytes = ReadFile(output);
        std::vector<std::int16_t> out(bytes.size() / 2);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = std::int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return out;
    }

    static std::ptrdiff_t Find(const std::vector<std::int16_t> &heard, const std::vector<std::int16_t> &part)
    {
        const auto at = std::search(heard.begin(), heard.end(), part.begin(), part.end());
        return at == heard.end() ? -1 : at - heard.begin();
    }

    static std::size_t Sounding(const std::vector<std::int16_t> &heard)
    {
        return std::size_t(std::count_if(heard.begin(), heard.end(), [](std::int16_t s) { return s != 0; }));
    }

    static void WaitUntilQuiet(const CuePlayer &player)
    {
        for (int i = 0; i < 400 && player.IsSounding(); ++i)
            std::this_thread::sleep_for(10ms);
        std::this_thread::sleep_for(100ms);
    }
};

TEST_F(CuePlayerTest, PlaysTheUnscrambledSamples)
{
    {
        CuePlayer player(folder);
        player.PlayCue("B", false);
    }
    const auto heard = Heard();
    EXPECT_GE(Find(heard, b), 0);
    EXPECT_EQ(Sounding(heard), b.size());
}

// Volume steps scale the samples 3 dB a step; the full step leaves them as
// recorded and 0 is silence.
TEST_F(CuePlayerTest, VolumeStepsScaleTheSamples)
{
    for (const int level : {10, 5, 0}) {
        {
            CuePlayer player(folder);
            player.SetVolume(level);
            player.PlayCue("B", false);
        }
        const auto heard = Heard();
        const auto peak = [](const std::vector<std::int16_t> &v) {
            int p = 0;
            for (const std::int16_t s : v)
                p = std::max(p, std::abs(int(s)));
            return p;
        };
        const double gain = level == 0 ? 0 : std::pow(10.0, -3.0 * (10 - level) / 20.0);
        EXPECT_NEAR(peak(heard), peak(b) * gain, 1.0) << level;
        if (level == 10)
            EXPECT_GE(Find(heard, b), 0);
    }
}

TEST_F(CuePlayerTest, FilesThatDoNotLoadAreSilentAndLeaveTheSoundingCue)
{
    auto truncated = WavImage(S16Bytes(Pattern(5000, 3)));
    truncated.resize(4000);
    WriteCue(folder, "truncated", truncated);
    WriteFile(folder / "junk.WAV", std::vector<std::uint8_t>(3000, 'x'));
    WriteFile(folder / "empty.WAV", {});
    fs::create_directory(folder / "folder.WAV");
    ASSERT_EQ(::mkfifo((folder / "fifo.WAV").c_str(), 0600), 0);
    auto sevenBit = WavImage(S16Bytes(Pattern(5000, 3)));
    sevenBit[34] = 7;
    WriteCue(folder, "7-bit", sevenBit);
    WriteCue(folder, "1 Hz", WavImage(S16Bytes(Pattern(2000, 3)), 1));
    WriteCue(folder, "3 channels", WavImage(S16Bytes(Pattern(3000, 3)), 22050, 3));
    WriteCue(folder, "11 s", WavImage(S16Bytes(Pattern(8000 * 11, 3)), 8000));
    {
        std::ofstream big(folder / "big.WAV", std::ios::binary);
        big.write("RIFF", 4);
        big.seekp(std::streamoff(MaxCueFileSize));
        big.put('\0');
    }
    {
        CuePlayer player(folder);
        player.PlayCue("加", true);
        ::alarm(30); // a cue that blocks ends the test instead of hanging it
        for (const char *name : {"missing", "truncated", "junk", "empty", "folder", "big", "", "../加", "加/", "fifo",
                                 "7-bit", "1 Hz", "3 channels", "11 s"})
            player.PlayCue(name, true);
        ::alarm(0);
        EXPECT_TRUE(player.IsSounding());
        player.PlayCue("missing", false);
        WaitUntilQuiet(player);
    }
    const auto heard = Heard();
    EXPECT_GE(Find(heard, a), 0) << "the whole first cue was heard";
    EXPECT_EQ(Sounding(heard), a.size()) << "and nothing else";
}

TEST_F(CuePlayerTest, ANewCueCutsOffThePreviousOne)
{
    {
        CuePlayer player(folder);
        player.PlayCue("加", true);
        std::this_thread::sleep_for(200ms);
        player.PlayCue("B", false);
    }
    const auto heard = Heard();
    const std::vector<std::int16_t> startOfA(a.begin(), a.begin() + 1000);
    const std::vector<std::int16_t> endOfA(a.end() - 1000, a.end());
    const auto aAt = Find(heard, startOfA);
    const auto bAt = Find(heard, b);
    ASSERT_GE(aAt, 0);
    ASSERT_GE(bAt, 0);
    EXPECT_LT(aAt, bAt);
    EXPECT_LT(Find(heard, endOfA), 0) << "the end of the first cue was cut off";
    EXPECT_LT(Sounding(heard), a.size() + b.size());
}

TEST_F(CuePlayerTest, SyncReturnsWhenTheCueHasPlayed)
{
    CuePlayer player(folder);
    player.PlayCue("B", true); // opens the device outside the timing
    int steps = 0;
    const auto start = std::chrono::steady_clock::now();
    player.PlayCue("B", false, [&] { ++steps; });
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 300ms);
    EXPECT_GT(steps, 10) << "the caller's events ran while waiting";
    EXPECT_FALSE(player.IsSounding());

    player.PlayCue("B", true);
    EXPECT_TRUE(player.IsSounding()) << "async returns while the cue sounds";
}

// A read-out: each cue returns at its tail and the next is queued behind it,
// so the words touch; a key's cue at the last word's tail waits for it.
TEST_F(CuePlayerTest, CuesPlayedToTheirTailFollowWithoutAGapOrACut)
{
    {
        CuePlayer player(folder);
        player.Prepare();
        player.PlayCueToTail("B", CuePlayer::Start::CutOff);
        // Returned at the tail, not the end (a clock here failed on a loaded machine).
        EXPECT_TRUE(player.IsSounding());
        player.PlayCueToTail("加", CuePlayer::Start::AfterQueued);
        player.PlayCue("B", true);
        WaitUntilQuiet(player);
    }
    const auto heard = Heard();
    const auto bAt = Find(heard, b);
    ASSERT_GE(bAt, 0);
    std::vector<std::int16_t> whole(b);
    whole.insert(whole.end(), a.begin(), a.end());
    whole.insert(whole.end(), b.begin(), b.end());
    EXPECT_EQ(Find(heard, whole), bAt) << "a gap or a cut between the cues";
}

TEST_F(CuePlayerTest, ReleasingWhileWaitingStopsAtOnceAndForGood)
{
    {
        CuePlayer player(folder);
        const auto start = std::chrono::steady_clock::now();
        player.PlayCue("加", false, [&] { player.ReleaseCueStream(); });
        EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
        EXPECT_FALSE(player.IsSounding());
        player.PlayCue("B", false);
        EXPECT_FALSE(player.IsSounding());
        player.ReleaseCueStream();
    }
    const auto heard = Heard();
    EXPECT_LT(Sounding(heard), a.size());
    EXPECT_LT(Find(heard, b), 0);
}

// Recordings of other formats are converted to the device's.
struct FormatCase {
    const char *what;
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint16_t bits;
    double seconds = 0.25;
};

void PrintTo(const FormatCase &c, std::ostream *os)
{
    *os << c.what;
}

class CuePlayerFormatTest : public CuePlayerTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(CuePlayerFormatTest, ConvertsToTheDeviceFormat)
{
    const FormatCase &c = GetParam();
    const auto frames = std::size_t(c.rate * c.seconds);
    std::vector<std::uint8_t> data;
    for (std::size_t i = 0; i < frames; ++i) {
        const double s = 0.5 * std::sin(2 * M_PI * 440 * double(i) / c.rate);
        for (int ch = 0; ch < c.channels; ++ch) {
            if (c.bits == 8)
                data.push_back(std::uint8_t(128 + std::lround(s * 127)));
            else
                PutLe(data, std::uint16_t(std::int16_t(std::lround(s * 32767))), 2);
        }
    }
    WriteCue(folder, "tone", WavImage(data, c.rate, c.channels, c.bits));
    {
        CuePlayer player(folder);
        player.PlayCue("tone", false);
    }
    const auto heard = Heard();
    const double expected = 22050 * c.seconds;
    EXPECT_NEAR(double(Sounding(heard)), expected, expected * 0.05);
    if (c.seconds > 0) {
        EXPECT_NEAR(*std::max_element(heard.begin(), heard.end()), 16384, 1200);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CuePlayerFormatTest,
                         testing::Values(FormatCase{"44100 Hz stereo 16-bit", 44100, 2, 16},
                                         FormatCase{"11025 Hz mono 8-bit", 11025, 1, 8},
                                         FormatCase{"48000 Hz mono 16-bit", 48000, 1, 16},
                                         FormatCase{"empty, 44100 Hz stereo", 44100, 2, 16, 0}));

// Idle means closed: SDL writes silence to an open device even when paused.
TEST_F(CuePlayerTest, AnIdleDeviceWritesNothingAndReopensForTheNextCue)
{
    const auto size = [&] { return fs::exists(output) ? fs::file_size(output) : 0; };
    CuePlayer player(folder);
    player.PlayCue("B", false);
    const auto playing = size();
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(size(), playing) << "an open device writes";
    std::this_thread::sleep_for(2500ms);
    const auto idle = size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(size(), idle) << "an idle one does not";
    EXPECT_FALSE(player.IsSounding());

    player.PlayCue("B", false);
    player.ReleaseCueStream();
    const auto heard = Heard();
    EXPECT_GE(Find(heard, b), 0);
}

// Where the configured driver cannot be used the player falls back to SDL's
// dummy driver: silent, but a synchronous cue still takes its time.
TEST_F(CuePlayerTest, UnusableDriverFallsBackQuietly)
{
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "nosuchdriver", 1), 0);
    testing::internal::CaptureStderr();
    std::chrono::steady_clock::duration took{};
    {
        CuePlayer player(folder);
        const auto start = std::chrono::steady_clock::now();
        player.PlayCue("B", false);
        took = std::chrono::steady_clock::now() - start;
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    EXPECT_GE(took, 300ms);
    EXPECT_EQ(printed, "");
}

TEST_F(CuePlayerTest, DefaultDriverPrintsNothing)
{
    ASSERT_EQ(unsetenv("SDL_AUDIODRIVER"), 0);
    testing::internal::CaptureStderr();
    {
        CuePlayer player(folder);
        player.PlayCue("missing", false);
    }
    const std::string printed = testing::internal::GetCapturedStderr();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    EXPECT_EQ(printed, "");
}

// The generated pack: every cue the program asks for is there and loads.
TEST(CuePack, HoldsEveryCueTheProgramAsksFor)
{
    const char *bin = std::getenv("TALLYVOX_BIN");
    const fs::path play = bin ? fs::path(bin) / "play" : fs::path();
    if (!bin || !fs::is_directory(play))
        GTEST_SKIP() << "no generated cue pack (needs espeak-ng and sox)";
    const char *names[] = {"0",    "1",    "2",       "3",      "4",      "5",       "6",    "7",    "8",
                           "9",    "10",   "退位",    "归零",   "清除",   "负",      "正",   "加",   "减",
                           "乘",   "除",   "取余",    "",       "N次方",  "开N次方", "等于", "导数", "百分号",
                           "开方", "MC",   "M-",      "M+",     "MR",     "MS",      "sin",  "cos",  "tan",
                           "asin", "acos", "atan",    "角度制", "梯度制", "弧度制",  "取整", "对数", "log",
                           "累乘", "派",   "10N次方", "开立方", "平方",   "立方",    "拾",   "佰",   "仟",
                           "万",   "亿",   "兆",      "京",     "E",      "+",       "-"};
    for (const char *name : names) {
        std::vector<std::uint8_t> image;
        ASSERT_TRUE(LoadCueFile(play / (std::string(name) + ".WAV"), image, CueKey(), MaxCueFileSize))
            << "cue \"" << name << "\"";
        SDL_AudioSpec format{};
        Uint8 *samples = nullptr;
        Uint32 length = 0;
        ASSERT_TRUE(SDL_LoadWAV_RW(SDL_RWFromConstMem(image.data(), int(image.size())), 1, &format, &samples, &length))
            << "cue \"" << name << "\": " << SDL_GetError();
        const double seconds = double(length) / (SDL_AUDIO_BITSIZE(format.format) / 8 * format.channels) / format.freq;
        SDL_FreeWAV(samples);
        EXPECT_GT(seconds, 0.03) << "cue \"" << name << "\"";
        EXPECT_LT(seconds, 1.5) << "cue \"" << name << "\"";
    }
}

} // namespace
