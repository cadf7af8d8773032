// SPDX-License-Identifier: GPL-3.0-or-later
// tallyvox-keys [--trace] [KEY ...]: runs keys headless and prints the
// result as one JSON line (with --trace, also one line after each key).
// Without KEY arguments it reads one KEY per line from standard input.
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
                      "deg rad grad vk:N copy paste:TEXT expr:TEXT\n"
                      "Example: tallyvox-keys 7 + 8 =\n";

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
    if (!fromArguments) {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos)
                continue;
            keys.push_back(line);
        }
    }
    // Refuse before running anything, so nothing but the error is printed.
    for (const std::string &key : keys) {
        if (!tallyvox::KeyDriver::IsKnownToken(key)) {
            std::cerr << "tallyvox-keys: unknown key '" << key << "'\n";
            return 2;
        }
    }

    tallyvox::ScriptEvaluator script;
    tallyvox::KeyDriver driver(script);
    tallyvox::KeyRecord all;
    for (const std::string &key : keys) {
        tallyvox::KeyRecord one;
        driver.RunKey(key, &one);
        if (trace)
            std::cout << driver.JsonLine(one) << '\n';
        all.cues.insert(all.cues.end(), one.cues.begin(), one.cues.end());
        all.messages.insert(all.messages.end(), one.messages.begin(), one.messages.end());
    }
    std::cout << driver.JsonLine(all) << std::endl;
    return 0;
}
