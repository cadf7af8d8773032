// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys as a program: arguments or standard input, --trace, and the
// refusal of unknown keys.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the driver through the shell with args (already quoted) and stdin text.
Outcome RunDriver(const std::string &args, const std::string &input = "")
{
    const char *bin = std::getenv("TALLYVOX_BIN");
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("keys-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream(dir / "in", std::ios::binary) << input;
    }
    const std::string program = std::string(bin ? bin : ".") + "/tallyvox-keys";
    const std::string cmd = "'" + program + "' " + args + " <'" + (dir / "in").string() + "' >'" +
                            (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    Outcome o;
    const int raw = std::system(cmd.c_str());
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = ReadFile(dir / "out");
    o.err = ReadFile(dir / "err");
    std::filesystem::remove_all(dir);
    return o;
}

int Lines(const std::string &text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

TEST(DriverProcess, ArgumentsGiveOneJsonLine)
{
    const Outcome o = RunDriver("7 + 8 =");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "{\"display\": \"15\", \"label\": \"\", \"memory\": \"\", \"cues\": [\"7\", \"加\", \"8\", "
                     "\"等于\", \"1\", \"拾\", \"5\"], \"messages\": []}\n");
    EXPECT_EQ(o.err, "");
}

TEST(DriverProcess, StandardInputSkipsBlankLines)
{
    const Outcome o = RunDriver("", "5\n\n  \nMS\r\n+\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "{\"display\": \"0\", \"label\": \"5+\", \"memory\": \"M\", \"cues\": [\"5\", \"MS\", "
                     "\"加\"], \"messages\": []}\n");
}

TEST(DriverProcess, TracePrintsOneLinePerKeyWithThatKeysCues)
{
    const Outcome o = RunDriver("--trace 4 sign sqrt");
    EXPECT_EQ(o.status, 0);
    ASSERT_EQ(Lines(o.out), 4);
    std::istringstream lines(o.out);
    std::string first, second, third, last;
    std::getline(lines, first);
    std::getline(lines, second);
    std::getline(lines, third);
    std::getline(lines, last);
    EXPECT_NE(first.find("\"cues\": [\"4\"]"), std::string::npos) << first;
    EXPECT_NE(second.find("\"display\": \"-4\""), std::string::npos) << second;
    // The fault report is followed by the error cue.
    EXPECT_NE(third.find("\"cues\": [\"开方\", \"错误\"], \"messages\": [{\"caption\": \"Tallyvox\", \"text\": "
                         "\"Invalid floating point operation\"}]"),
              std::string::npos)
        << third;
    EXPECT_NE(last.find("\"cues\": [\"4\", \"负\", \"开方\", \"错误\"]"), std::string::npos) << last;
}

TEST(DriverProcess, UnknownKeyIsRefusedBeforeAnythingRuns)
{
    for (const char *args : {"1 + bogus", "'vk:'", "'vk:x'", "'vk:70000'", "SIN", "'--trace'  '+ '"}) {
        const Outcome o = RunDriver(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_NE(o.err.find("unknown key"), std::string::npos) << args;
    }
    const Outcome fromInput = RunDriver("", "1\nnot-a-key\n");
    EXPECT_EQ(fromInput.status, 2);
    EXPECT_NE(fromInput.err.find("'not-a-key'"), std::string::npos);
}

TEST(DriverProcess, TextsAreEscapedJson)
{
    const Outcome o = RunDriver("'paste:a\"b\\c\ttab' copy");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("\"display\": \"a\\\"b\\\\c\\ttab\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"clipboard\": \"a\\\"b\\\\c\\ttab\""), std::string::npos) << o.out;
}

} // namespace
