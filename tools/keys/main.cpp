// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys [--trace] [--tape FILE] [KEY ...]: runs keys headless and prints the
// result as one JSON line (with --trace, also one line after each key).
// Without KEY arguments it reads one KEY per line from standard input; with
// --trace each key then runs, and its line is flushed, as soon as its line
// arrives, so a caller can drive it interactively. Standard input is read
// as a stream: each key runs as its line arrives, and memory stays bounded
// however long the input (a line is at most kMaxKeyLineBytes long, and the
// final line keeps at most kMaxRunCues cues and kMaxRunMessages messages).
#include "tools/keys/KeyDriver.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kUsage[] = "Usage: tallyvox-keys [--trace] [--tape FILE] [KEY]...\n"
                      "Runs calculator keys through the same handlers as the Tallyvox window, with the\n"
                      "voice cues recorded instead of played, and prints the result as one JSON line.\n"
                      "Without KEY arguments, reads one KEY per line from standard input.\n"
                      "\n"
                      "  --trace    also print one JSON line after each key\n"
                      "  --tape FILE  keep the tape of calculations in FILE (read first; by\n"
                      "             default the tape is kept in memory only)\n"
                      "  --help     show this help and exit\n"
                      "  --version  show the version and exit\n"
                      "\n"
                      "Keys: 0-9 . back sign C CE + - * / = % 1/x sqrt MC MR MS M+ M- Mod Exp x^y y-root\n"
                      "F-E Int ln Log n! pi x^2 x^3 10^x cbrt sin cos tan sinh cosh tanh asin acos atan\n"
                      "deg rad grad vk:N copy paste:TEXT expr:TEXT say status calculation\n"
                      "tape tape-back tape-next tape-recall tape-clear faster slower louder softer mute speech\n"
                      "Settings: set:rate=0.8|1|1.25|1.5|2 set:volume=0..10 set:mute=on|off\n"
                      "set:speech=all|results|silent set:readfunctions=on|off set:digits=2..15|all\n"
                      "set:keeptape=on|off\n"
                      "Example: tallyvox-keys 7 + 8 =\n";

// The longest key line: a paste: or expr: token with its text.
constexpr std::size_t kMaxKeyLineBytes = 64 * 1024;
constexpr std::size_t kMaxRunCues = 10000;
constexpr std::size_t kMaxRunMessages = 1000;

enum class LineRead { Key, End, TooLong };

// The next key line of standard input, blank lines skipped; never holds
// more than kMaxKeyLineBytes of it.
LineRead ReadKey(std::string &line)
{
    std::streambuf *in = std::cin.rdbuf();
    using Traits = std::streambuf::traits_type;
    for (;;) {
        line.clear();
        Traits::int_type c;
        while (!Traits::eq_int_type(c = in->sbumpc(), Traits::eof()) && c != '\n') {
            if (line.size() == kMaxKeyLineBytes)
                return LineRead::TooLong;
            line += Traits::to_char_type(c);
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos)
            return LineRead::Key;
        if (Traits::eq_int_type(c, Traits::eof()))
            return LineRead::End;
    }
}

bool Known(const std::string &key)
{
    if (tallyvox::KeyDriver::IsKnownToken(key))
        return true;
    // Quoted as in the output: control bytes escaped, a bounded start only.
    std::cerr << "tallyvox-keys: unknown key " << tallyvox::JsonString(key) << "\n";
    return false;
}

// Prints a line and flushes it; a line that cannot be written (a full disk,
// a closed output) ends the program with status 1, never a silent 0.
void Print(const std::string &text)
{
    std::cout << text << std::flush;
    if (!std::cout) {
        const int error = errno;
        std::cerr << "tallyvox-keys: cannot write the output: " << std::strerror(error) << "\n";
        std::exit(1);
    }
}

class Run {
public:
    explicit Run(bool trace, const std::string &tapeFile) : trace_(trace)
    {
        if (!tapeFile.empty())
            driver_.UseTapeFile(
                tapeFile, [](const std::string &problem) { std::cerr << "tallyvox-keys: " << problem << std::endl; });
    }

    void Key(const std::string &key)
    {
        tallyvox::KeyRecord one;
        driver_.RunKey(key, &one);
        if (trace_)
            Print(driver_.JsonLine(one) + "\n");
        for (std::string &cue : one.cues) {
            if (all_.cues.size() < kMaxRunCues)
                all_.cues.push_back(std::move(cue));
            else
                ++all_.omittedCues;
        }
        for (tallyvox::RecordedMessage &message : one.messages) {
            if (all_.messages.size() < kMaxRunMessages)
                all_.messages.push_back(std::move(message));
            else
                ++all_.omittedMessages;
        }
    }
    void Finish()
    {
        driver_.FlushTape();
        Print(driver_.JsonLine(all_) + "\n");
    }

private:
    bool trace_;
    tallyvox::ScriptEvaluator script_;
    tallyvox::KeyDriver driver_{script_};
    tallyvox::KeyRecord all_;
};

} // namespace

int main(int argc, char **argv)
{
    // A closed standard output would be taken by the next descriptor opened
    // (the script sandbox's socket), and the lines written into that.
    if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        std::cerr << "tallyvox-keys: cannot write the output: " << std::strerror(errno) << "\n";
        return 1;
    }
    // The same for a closed standard input or error: /dev/null holds their place.
    for (const int fd : {STDIN_FILENO, STDERR_FILENO})
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) != fd)
            return 1;
    std::ios::sync_with_stdio(false); // block reads of standard input, not a call per byte
    bool trace = false;
    std::string tapeFile;
    std::vector<std::string> keys;
    bool fromArguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Options come before the keys; no key starts with "--".
        if (!fromArguments && arg == "--help") {
            Print(kUsage);
            return 0;
        }
        if (!fromArguments && arg == "--version") {
            Print("tallyvox-keys " TALLYVOX_VERSION "\n");
            return 0;
        }
        if (arg == "--trace" && !fromArguments) {
            trace = true;
            continue;
        }
        if (arg == "--tape" && !fromArguments) {
            if (++i == argc) {
                std::cerr << "tallyvox-keys: --tape needs a file\n";
                return 2;
            }
            tapeFile = argv[i];
            continue;
        }
        fromArguments = true;
        keys.push_back(arg);
    }

    if (!fromArguments) {
        // Each key runs as its line arrives. Without --trace nothing is
        // printed before the end, so an unknown key still leaves only the
        // error; with it, the lines of the keys before it are out already.
        Run run(trace, tapeFile);
        std::string key;
        for (LineRead read; (read = ReadKey(key)) != LineRead::End;) {
            if (read == LineRead::TooLong) {
                std::cerr << "tallyvox-keys: a key line is longer than " << kMaxKeyLineBytes << " bytes\n";
                return 2;
            }
            if (!Known(key))
                return 2;
            run.Key(key);
        }
        run.Finish();
        return 0;
    }

    // Refuse before running anything, so nothing but the error is printed.
    for (const std::string &key : keys)
        if (!Known(key))
            return 2;
    Run run(trace, tapeFile);
    for (const std::string &key : keys)
        run.Key(key);
    run.Finish();
    return 0;
}
