// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys [--trace] [KEY ...]: runs keys headless and prints the
// result as one JSON line (with --trace, also one line after each key).
// Without KEY arguments it reads one KEY per line from standard input; with
// --trace each key then runs, and its line is flushed, as soon as its line
// arrives, so a caller can drive it interactively.
#include "tools/keys/KeyDriver.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "Usage: tallyvox-keys [--trace] [KEY]...\n"
                      "Runs calculator keys through the same handlers as the Tallyvox window, with the\n"
                      "voice cues recorded instead of played, and prints the result as one JSON line.\n"
                      "Without KEY arguments, reads one KEY per line from standard input.\n"
                      "\n"
                      "  --trace    also print one JSON line after each key\n"
                      "  --help     show this help and exit\n"
                      "  --version  show the version and exit\n"
                      "\n"
                      "Keys: 0-9 . back sign C CE + - * / = % 1/x sqrt MC MR MS M+ M- Mod Exp x^y y-root\n"
                      "F-E Int ln Log n! pi x^2 x^3 10^x cbrt sin cos tan sinh cosh tanh asin acos atan\n"
                      "deg rad grad vk:N copy paste:TEXT expr:TEXT say status\n"
                      "Settings: set:rate=0.8|1|1.25|1.5|2 set:volume=0..10 set:mute=on|off\n"
                      "set:speech=all|results|silent set:readfunctions=on|off set:digits=2..15|all\n"
                      "set:keeptape=on|off\n"
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
    explicit Run(bool trace) : trace_(trace) {}

    void Key(const std::string &key)
    {
        tallyvox::KeyRecord one;
        driver_.RunKey(key, &one);
        if (trace_)
            std::cout << driver_.JsonLine(one) << std::endl;
        all_.cues.insert(all_.cues.end(), one.cues.begin(), one.cues.end());
        all_.messages.insert(all_.messages.end(), one.messages.begin(), one.messages.end());
    }
    void Finish() { std::cout << driver_.JsonLine(all_) << std::endl; }

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
        fromArguments = true;
        keys.push_back(arg);
    }

    if (trace && !fromArguments) {
        // Interactive: an unknown key ends the run where it stands, after the
        // lines of the keys before it.
        Run run(true);
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
    Run run(trace);
    for (const std::string &key : keys)
        run.Key(key);
    run.Finish();
    return 0;
}
