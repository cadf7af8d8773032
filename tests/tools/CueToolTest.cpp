// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/WavFixtures.h"
#include "voice/CueDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tallyvox;
using namespace tallyvox::test;
namespace fs = std::filesystem;

namespace {

struct ImageCase {
    const char *what;
    std::vector<std::uint8_t> image;
    bool valid;
};

void PrintTo(const ImageCase &c, std::ostream *os)
{
    *os << c.what;
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> image, std::size_t at, std::vector<std::uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), image.begin() + std::ptrdiff_t(at));
    return image;
}

// An image with an extra chunk of odd length (padded) before "fmt "; the
// RIFF size counts it unless told not to.
std::vector<std::uint8_t> WithLeadingChunk(bool counted = true)
{
    const auto plain = WavImage(S16Bytes(Pattern(100, 5)));
    std::vector<std::uint8_t> out(plain.begin(), plain.begin() + 12);
    out.insert(out.end(), {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    out.insert(out.end(), plain.begin() + 12, plain.end());
    out[4] += counted ? 12 : 0;
    return out;
}

std::vector<std::uint8_t> DataBeforeFormat()
{
    const auto plain = WavImage(S16Bytes(Pattern(10, 5)));
    std::vector<std::uint8_t> out(plain.begin(), plain.begin() + 12);
    out.insert(out.end(), plain.begin() + 36, plain.end());
    out.insert(out.end(), plain.begin() + 12, plain.begin() + 36);
    return out;
}

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class CueToolTest : public testing::Test {
protected:
    fs::path root = fs::temp_directory_path() / ("tallyvox-cuetool-" + std::to_string(::getpid()));
    fs::path plain = root / "plain";
    std::map<std::string, std::vector<std::uint8_t>> images; // file name -> plain image

    void SetUp() override
    {
        ASSERT_NE(std::getenv("TALLYVOX_BIN"), nullptr);
        fs::create_directories(plain);
        const char *names[] = {"加.wav", ".WAV", "-.WAV", "M+.WAV", "10N次方.WAV"};
        std::uint32_t seed = 10;
        for (const char *name : names) {
            images[name] = WavImage(S16Bytes(Pattern(300 + seed * 7, seed)));
            WriteFile(plain / name, images[name]);
            ++seed;
        }
    }
    void TearDown() override { fs::remove_all(root); }

    ToolRun Tool(const std::string &args)
    {
        const fs::path out = root / "stdout.txt", err = root / "stderr.txt";
        // timeout: a tool that blocks (on a FIFO, say) fails the test instead of hanging it.
        const std::string command = "timeout 20 '" + std::string(std::getenv("TALLYVOX_BIN")) + "/tallyvox-cue' " +
                                    args + " >'" + out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        const auto o = ReadFile(out), e = ReadFile(err);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(o.begin(), o.end()),
                std::string(e.begin(), e.end())};
    }

    static std::string Q(const fs::path &p) { return "'" + p.string() + "'"; }

    static std::vector<std::string> Listing(const fs::path &dir)
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

const auto Good = WavImage(S16Bytes(Pattern(100, 5)));

// Seconds of 8 kHz mono 8-bit audio, plus extra frames.
std::vector<std::uint8_t> Lasting(int seconds, int extra)
{
    return WavImage(std::vector<std::uint8_t>(std::size_t(8000 * seconds + extra), 128), 8000, 1, 8);
}

// Every cue that decodes plays, and verify accepts exactly those.
class CueImageTest : public CueToolTest, public testing::WithParamInterface<ImageCase> {};

TEST_P(CueImageTest, VerifyAcceptsExactlyWhatThePlayerPlays)
{
    std::vector<std::uint8_t> samples;
    const std::string problem = DecodeCue(GetParam().image, CueAudioFormat{}, samples);
    EXPECT_EQ(problem.empty(), GetParam().valid) << problem;
    WriteCue(root, "cue", GetParam().image);
    const ToolRun run = Tool("verify " + Q(root / "cue.WAV"));
    EXPECT_EQ(run.status, GetParam().valid ? 0 : 1) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Images, CueImageTest,
    testing::Values(ImageCase{"canonical", Good, true},
                    ImageCase{"8-bit stereo 44100", WavImage(std::vector<std::uint8_t>(400, 128), 44100, 2, 8), true},
                    ImageCase{"empty data chunk", WavImage({}), true},
                    ImageCase{"empty data chunk, stereo 44100", WavImage({}, 44100, 2, 16), true},
                    ImageCase{"padded chunk before fmt", WithLeadingChunk(), true},
                    ImageCase{"RIFF size short of the data", WithLeadingChunk(false), false},
                    ImageCase{"empty", {}, false}, ImageCase{"text", std::vector<std::uint8_t>(200, 'x'), false},
                    ImageCase{"RIFX", Patched(Good, 0, {'R', 'I', 'F', 'X'}), false},
                    ImageCase{"not WAVE", Patched(Good, 8, {'A', 'V', 'I', ' '}), false},
                    ImageCase{"MP3 encoding", Patched(Good, 20, {0x55, 0}), false},
                    ImageCase{"zero channels", Patched(Good, 22, {0, 0}), false},
                    ImageCase{"zero rate", Patched(Good, 24, {0, 0, 0, 0}), false},
                    ImageCase{"fmt too short", Patched(Good, 16, {8, 0, 0, 0}), false},
                    ImageCase{"data past the end", Patched(Good, 40, {0xff, 0xff, 0, 0}), false},
                    ImageCase{"cut in the data", std::vector<std::uint8_t>(Good.begin(), Good.end() - 1), false},
                    ImageCase{"cut in the header", std::vector<std::uint8_t>(Good.begin(), Good.begin() + 30), false},
                    ImageCase{"no data chunk", std::vector<std::uint8_t>(Good.begin(), Good.begin() + 36), false},
                    ImageCase{"data before fmt", DataBeforeFormat(), false},
                    ImageCase{"7-bit PCM", Patched(Good, 34, {7, 0}), false},
                    ImageCase{"odd block alignment", Patched(Good, 32, {3, 0}), false},
                    ImageCase{"1 Hz", WavImage(S16Bytes(Pattern(2000, 3)), 1), false},
                    ImageCase{"7999 Hz", WavImage(S16Bytes(Pattern(100, 3)), 7999), false},
                    ImageCase{"8000 Hz", WavImage(S16Bytes(Pattern(100, 3)), 8000), true},
                    ImageCase{"96000 Hz stereo", WavImage(S16Bytes(Pattern(200, 3)), 96000, 2), true},
                    ImageCase{"96001 Hz", WavImage(S16Bytes(Pattern(100, 3)), 96001), false},
                    ImageCase{"3 channels", WavImage(S16Bytes(Pattern(300, 3)), 22050, 3), false},
                    ImageCase{"10 s", Lasting(10, 0), true}, ImageCase{"10 s and a frame", Lasting(10, 1), false}));

TEST_F(CueToolTest, ScrambleVerifyUnscrambleRoundTrip)
{
    const fs::path pack = root / "play", back = root / "back";
    const ToolRun scrambled = Tool("scramble " + Q(plain) + " " + Q(pack));
    ASSERT_EQ(scrambled.status, 0) << scrambled.err;
    EXPECT_EQ(scrambled.err, "");
    EXPECT_EQ(Listing(pack), (std::vector<std::string>{"-.WAV", ".WAV", "10N次方.WAV", "M+.WAV", "加.WAV"}));
    for (const auto &[name, image] : images) {
        const std::string cue = name.substr(0, name.size() - 4) + ".WAV";
        auto stored = ReadFile(pack / cue);
        ASSERT_EQ(stored.size(), image.size()) << cue;
        EXPECT_NE(stored, image) << cue;
        UnscrambleCue(stored, CueKey());
        EXPECT_EQ(stored, image) << cue << " unscrambles to the recording";
    }

    const ToolRun verified = Tool("verify " + Q(pack));
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_EQ(verified.out, "5 cue files checked, 0 bad\n");

    ASSERT_EQ(Tool("unscramble " + Q(pack) + " " + Q(back)).status, 0);
    for (const auto &[name, image] : images)
        EXPECT_EQ(ReadFile(back / (name.substr(0, name.size() - 4) + ".WAV")), image) << name;
}

TEST_F(CueToolTest, SingleFiles)
{
    const fs::path cue = root / "one.WAV", back = root / "one-plain.wav";
    ASSERT_EQ(Tool("scramble " + Q(plain / "加.wav") + " " + Q(cue)).status, 0);
    EXPECT_EQ(Tool("verify " + Q(cue)).status, 0);
    ASSERT_EQ(Tool("unscramble " + Q(cue) + " " + Q(back)).status, 0);
    EXPECT_EQ(ReadFile(back), images["加.wav"]);
}

TEST_F(CueToolTest, ABadInputWritesNothing)
{
    const fs::path pack = root / "play";
    fs::create_directories(pack);
    WriteFile(pack / "加.WAV", {'o', 'l', 'd'});
    auto truncated = images["M+.WAV"];
    truncated.resize(truncated.size() - 10);

    struct Refusal {
        const char *what;
        std::function<void()> prepare;
        const char *complaint;
    };
    const Refusal refusals[] = {
        {"not a WAV", [&] { WriteFile(plain / "bad.WAV", std::vector<std::uint8_t>(300, 'x')); }, "bad.WAV"},
        {"truncated", [&] { WriteFile(plain / "M+.WAV", truncated); }, "M+.WAV"},
        {"empty", [&] { WriteFile(plain / "empty.WAV", {}); }, "empty.WAV"},
        {"same cue twice", [&] { WriteFile(plain / "加.WAV", images["加.wav"]); }, "加.WAV"},
    };
    for (const Refusal &r : refusals) {
        fs::remove_all(plain);
        fs::create_directories(plain);
        for (const auto &[name, image] : images)
            WriteFile(plain / name, image);
        r.prepare();
        const ToolRun run = Tool("scramble " + Q(plain) + " " + Q(pack));
        EXPECT_EQ(run.status, 1) << r.what;
        EXPECT_NE(run.err.find(r.complaint), std::string::npos) << r.what << ": " << run.err;
        EXPECT_EQ(Listing(pack), std::vector<std::string>{"加.WAV"}) << r.what;
        EXPECT_EQ(ReadFile(pack / "加.WAV"), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << r.what;
    }
}

TEST_F(CueToolTest, MissingFoldersAndUsage)
{
    const ToolRun missing = Tool("scramble " + Q(root / "nothere") + " " + Q(root / "out"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nothere"), std::string::npos);
    EXPECT_FALSE(fs::exists(root / "out"));

    fs::create_directories(root / "blank");
    EXPECT_EQ(Tool("scramble " + Q(root / "blank") + " " + Q(root / "out")).status, 1);
    EXPECT_FALSE(fs::exists(root / "out"));
    EXPECT_EQ(Tool("verify " + Q(root / "nothere")).status, 1);
    ASSERT_EQ(::mkfifo((root / "fifo.WAV").c_str(), 0600), 0);
    const ToolRun fifo = Tool("verify " + Q(root / "fifo.WAV"));
    EXPECT_EQ(fifo.status, 1) << "a FIFO is refused, not waited on";
    EXPECT_NE(fifo.err.find("fifo.WAV: a FIFO; the player skips it"), std::string::npos) << fifo.err;

    EXPECT_EQ(Tool("unscramble " + Q(plain / "text.txt") + " " + Q(root / "x")).status, 1);
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("scramble " + Q(plain)).status, 2);
    EXPECT_EQ(Tool("shuffle " + Q(plain) + " " + Q(root)).status, 2);
}

TEST_F(CueToolTest, VerifyNamesEachBadCue)
{
    const fs::path pack = root / "play";
    ASSERT_EQ(Tool("scramble " + Q(plain) + " " + Q(pack)).status, 0);
    WriteFile(pack / "broken.WAV", std::vector<std::uint8_t>(500, 'x'));
    fs::copy_file(pack / "M+.WAV", pack / "lower.wav");
    // Names that will never play, whatever they point at.
    ASSERT_EQ(::mkfifo((pack / "fifo.WAV").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", pack / "zero.WAV");
    fs::create_symlink(pack / "gone", pack / "dangling.WAV");
    fs::create_directory(pack / "folder.WAV");
    const ToolRun run = Tool("verify " + Q(pack));
    EXPECT_EQ(run.status, 1);
    for (const char *said : {"broken.WAV", "lower.wav", "fifo.WAV: a FIFO", "zero.WAV: a link to a device",
                             "dangling.WAV: a link to nothing", "folder.WAV: a folder"})
        EXPECT_NE(run.err.find(said), std::string::npos) << said << "\n" << run.err;
    EXPECT_EQ(run.err.find("M+.WAV"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "11 cue files checked, 6 bad\n");
}

} // namespace
