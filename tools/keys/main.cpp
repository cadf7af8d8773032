// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys [--trace] [--tape FILE] [KEY ...]: runs keys headless and prints the
// result as one JSON line (with --trace, also one line after each key).
// Without KEY arguments it reads one KEY per line from standard input; with
// --trace each key then runs, and its line is flushed, as soon as its line
// arrives, so a caller can drive it interactively.
#include "tools/keys/KeyDriver.h"

#include <iostream>
#include <string>
#include <vector>

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
                      "tape tape-back tape-next tape-recall tape-clear\n"
                      "Example: tallyvox-keys 7 + 8 =\n";

// The next key line of standard input, blank lines skipped.
bool ReadKey(std::string &line)
{
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos)
            return true;
    }
    return false;
}

bool Known(const std::string &key)
{
    if (tallyvox::KeyDriver::IsKnownToken(key))
        return true;
    std::cerr << "tallyvox-keys: unknown key '" << key << "'\n";
    return false;
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
            std::cout << driver_.JsonLine(one) << std::endl;
        all_.cues.insert(all_.cues.end(), one.cues.begin(), one.cues.end());
        all_.messages.insert(all_.messages.end(), one.messages.begin(), one.messages.end());
    }
    void Finish()
    {
        driver_.FlushTape();
        std::cout << driver_.JsonLine(all_) << std::endl;
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
    bool trace = false;
    std::string tapeFile;
    std::vector<std::string> keys;
    bool fromArguments = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Options come before the keys; no key starts with "--".
        if (!fromArguments && arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (!fromArguments && arg == "--version") {
            std::cout << "tallyvox-keys " TALLYVOX_VERSION "\n";
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

    if (trace && !fromArguments) {
        // Interactive: an unknown key ends the run where it stands, after the
        // lines of the keys before it.
        Run run(true, tapeFile);
        for (std::string key; ReadKey(key);) {
            if (!Known(key))
                return 2;
            run.Key(key);
        }
        run.Finish();
        return 0;
    }

    if (!fromArguments)
        for (std::string key; ReadKey(key);)
            keys.push_back(key);
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
