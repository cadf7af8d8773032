// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys as a program: arguments or standard input, --trace (also
// interactive), the refusal of unknown keys, and JSON for any pasted bytes.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::string Program()
{
    const char *bin = std::getenv("TALLYVOX_BIN");
    return "'" + std::string(bin ? bin : ".") + "/tallyvox-keys'";
}

// Runs a shell command line with stdin text, its output and errors caught.
Outcome RunShell(const std::string &command, const std::string &input = "")
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("keys-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream(dir / "in", std::ios::binary) << input;
    }
    const std::string cmd = "(" + command + ") <'" + (dir / "in").string() + "' >'" + (dir / "out").string() + "' 2>'" +
                            (dir / "err").string() + "'";
    Outcome o;
    const int raw = std::system(cmd.c_str());
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = ReadFile(dir / "out");
    o.err = ReadFile(dir / "err");
    std::filesystem::remove_all(dir);
    return o;
}

// Runs the driver with args (already quoted) and stdin text.
Outcome RunDriver(const std::string &args, const std::string &input = "")
{
    return RunShell(Program() + " " + args, input);
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
    const Outcome o = RunDriver("set:speech=results set:digits=4 7 + 8 =");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "{\"display\": \"15\", \"label\": \"\", \"memory\": \"\", \"cues\": [\"等于\", \"1\", \"拾\", "
                     "\"5\"], \"messages\": [], \"settings\": {\"rate\": \"1\", \"volume\": \"10\", \"mute\": \"off\", "
                     "\"speech\": \"results\", \"readfunctions\": \"off\", \"digits\": \"4\", \"keeptape\": \"on\"}, "
                     "\"tape\": [{\"text\": \"7 + 8 = 15\", \"result\": \"15\"}]}\n");
    EXPECT_EQ(o.err, "");
}

TEST(DriverProcess, StandardInputSkipsBlankLines)
{
    const Outcome o = RunDriver("", "5\n\n  \nMS\r\n+\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.substr(0, o.out.find(", \"settings\"")),
              "{\"display\": \"0\", \"label\": \"5+\", \"memory\": \"M\", \"cues\": [\"5\", \"MS\", \"加\"], "
              "\"messages\": []");
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
    // The fault shows the error and its cue (it was a message box).
    EXPECT_NE(third.find("{\"display\": \"错误！\", \"label\": \"\", \"memory\": \"\", \"cues\": [\"开方\", \"错误\"], "
                         "\"messages\": []"),
              std::string::npos)
        << third;
    EXPECT_NE(last.find("\"cues\": [\"4\", \"负\", \"开方\", \"错误\"]"), std::string::npos) << last;
}

// No tape file unless asked for; with --tape FILE the next run goes on
// from the tape the last one left.
TEST(DriverProcess, TapeFileOnlyWhenAskedFor)
{
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("keys-tape-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_EQ(RunDriver("1 + 2 =").status, 0);
    EXPECT_TRUE(std::filesystem::is_empty(home));

    const std::string tape = "--tape '" + (home / "t" / "tape.txt").string() + "' ";
    EXPECT_EQ(RunDriver(tape + "1 + 2 = 2 sqrt '*' 3 =").status, 0);
    const Outcome o = RunDriver(tape + "tape-back tape-back tape-recall");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("\"display\": \"3\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"cues\": [\"第\", \"2\", \"条\", \"开方\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"tape\": [{\"text\": \"1 + 2 = 3\", \"result\": \"3\"}, {\"text\": \"√2 × 3 = "
                         "4.2426406871193\", \"result\": \"4.2426406871193\"}]"),
              std::string::npos)
        << o.out;
    EXPECT_EQ(RunDriver(tape + "tape-clear").status, 0);
    EXPECT_NE(RunDriver(tape + "tape").out.find("\"tape\": []"), std::string::npos);
    EXPECT_EQ(RunDriver("--tape").status, 2);
    std::filesystem::remove_all(home);
}

TEST(DriverProcess, UnknownKeyIsRefusedBeforeAnythingRuns)
{
    for (const char *args : {"1 + bogus", "'vk:'", "'vk:x'", "'vk:70000'", "SIN", "'--trace'  '+ '", "set:rate=3",
                             "set:volume=11", "set:bogus=1", "set:digits"}) {
        const Outcome o = RunDriver(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_NE(o.err.find("unknown key"), std::string::npos) << args;
    }
    const Outcome fromInput = RunDriver("", "1\nnot-a-key\n");
    EXPECT_EQ(fromInput.status, 2);
    EXPECT_NE(fromInput.err.find("\"not-a-key\""), std::string::npos);
}

// Output that cannot be written, endless input and hostile key names: a
// shell pipeline with the driver in it (@ stands for the program).
TEST(DriverProcess, LostOutputAndEndlessInputFail)
{
    struct Row {
        const char *pipeline;
        int status;
        const char *said; // in the error output, or the output when status is 0
    };
    const Row rows[] = {
        {"@ 7 + 8 = >/dev/full", 1, "tallyvox-keys: cannot write the output: No space left on device"},
        {"@ 7 + 8 = >&-", 1, "tallyvox-keys: cannot write the output: Bad file descriptor"},
        {"echo 7 | @ --trace >/dev/full", 1, "cannot write the output"},
        {"cat /dev/zero | @", 2, "tallyvox-keys: a key line is longer than 65536 bytes"},
        {"printf 'x\\033[2J\\n' | @", 2, "tallyvox-keys: unknown key \"x\\u001b[2J\""},
        {"@ \"expr:1,5$(head -c 5000 /dev/zero | tr '\\0' x)\"", 0, "xxx…\", \"output\""}, // a paste is a number now
        {"yes 1 | head -n 10005 | @", 0, "\"omitted\": {\"cues\": 5, \"messages\": 0}"},
    };
    for (const Row &row : rows) {
        std::string pipeline = row.pipeline;
        pipeline.replace(pipeline.find('@'), 1, Program());
        const Outcome o = RunShell(pipeline);
        EXPECT_EQ(o.status, row.status) << row.pipeline;
        EXPECT_NE((row.status ? o.err : o.out).find(row.said), std::string::npos) << row.pipeline << ": " << o.err;
    }
}

TEST(DriverProcess, TextsAreEscapedJson)
{
    struct Row {
        const char *expr; // shell-quoted; a paste is a number now, the expression text is echoed as typed
        const char *json;
    };
    const Row rows[] = {
        {"'expr:a\"b\\c\ttab'", "\"a\\\"b\\\\c\\ttab\""},
        {"'expr:1\xff"
         "2\xc0\xaf"
         "3'",
         "\"1\\ufffd2\\ufffd\\ufffd3\""},                                  // stray and overlong bytes
        {"'expr:\xe4\xb8\xad\xe4\xb8'", "\"\xe4\xb8\xad\\ufffd\\ufffd\""}, // a character cut short
        {"'expr:\xed\xa0\x80'", "\"\\ufffd\\ufffd\\ufffd\""},              // a surrogate
    };
    for (const Row &row : rows) {
        const Outcome o = RunDriver(row.expr);
        EXPECT_EQ(o.status, 0);
        EXPECT_NE(o.out.find("\"input\": " + std::string(row.json)), std::string::npos) << o.out;
    }
}

// With --trace on standard input each key's line comes out before the next
// key is even written; an unknown key ends the run there.
TEST(DriverProcess, TraceOnStandardInputAnswersAsItGoes)
{
    const char *bin = std::getenv("TALLYVOX_BIN");
    const std::string program = std::string(bin ? bin : ".") + "/tallyvox-keys";
    int in[2], out[2], err[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    std::signal(SIGPIPE, SIG_IGN); // a driver that died early must fail the test, not end it
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        ::execl(program.c_str(), program.c_str(), "--trace", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // One line, or "" if none arrives within 10 s: the test never hangs.
    struct LineReader {
        int fd;
        std::string pending;
        std::string Next()
        {
            for (;;) {
                if (const auto nl = pending.find('\n'); nl != std::string::npos) {
                    std::string line = pending.substr(0, nl);
                    pending.erase(0, nl + 1);
                    return line;
                }
                pollfd p{fd, POLLIN, 0};
                char buf[4096];
                if (::poll(&p, 1, 10000) != 1)
                    return {};
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    return {};
                pending.append(buf, std::size_t(n));
            }
        }
    } output{out[0], {}}, errors{err[0], {}};
    const auto send = [&](const char *text) {
        return ::write(in[1], text, std::strlen(text)) == ssize_t(std::strlen(text));
    };

    EXPECT_TRUE(send("7\n"));
    EXPECT_NE(output.Next().find("\"display\": \"7\", \"label\": \"\", \"memory\": \"\", \"cues\": [\"7\"]"),
              std::string::npos);
    EXPECT_TRUE(send("\n+\r\n"));
    EXPECT_NE(output.Next().find("\"label\": \"7+\""), std::string::npos);
    EXPECT_TRUE(send("bogus\n8\n"));
    EXPECT_NE(errors.Next().find("unknown key \"bogus\""), std::string::npos);
    ::close(in[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_EQ(output.Next(), "") << "nothing after the unknown key";
    for (int fd : {out[0], err[0]})
        ::close(fd);
}

} // namespace
