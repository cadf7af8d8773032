// SPDX-License-Identifier: GPL-3.0-or-later
// The engine after a paste: the input up to its first newline is pasted into
// the display (which must then hold a number), and every byte after it presses one keypad key or releases
// one keyboard key, as the window's handlers would.
#include "engine/CalculatorEngine.h"
#include "engine/KeyTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

class QuietHost final : public tallyvox::EngineHost {
public:
    void PlayCue(const std::string &, bool) override {}
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &) override {}
};

// The keypad's keys and every keyboard code of the table (scientific keys
// run scripts in a child process: too slow to fuzz here).
const std::vector<const tallyvox::KeyDef *> &KeypadKeys()
{
    static const std::vector<const tallyvox::KeyDef *> keys = [] {
        std::vector<const tallyvox::KeyDef *> out;
        for (const tallyvox::KeyDef &key : tallyvox::Keys())
            if (!tallyvox::IsScientific(key.handler))
                out.push_back(&key);
        return out;
    }();
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t newline = input.find('\n');
    QuietHost host;
    tallyvox::CalculatorEngine engine(host);
    engine.StartUp();
    engine.PasteText(std::string(input.substr(0, newline)));
    // Whatever was pasted, the display holds a number.
    if (!tallyvox::TryParseNumber(engine.DisplayText, false, nullptr))
        __builtin_trap();
    if (newline == std::string_view::npos)
        return 0;
    const auto &keys = KeypadKeys();
    for (const char c : input.substr(newline + 1)) {
        const auto pick = static_cast<unsigned char>(c);
        if (pick < keys.size()) {
            engine.RunHandler([&] { engine.Press(*keys[pick]); });
        } else if (const tallyvox::KeyDef &key = *keys[pick % keys.size()]; key.virtualKeys[0] != 0) {
            engine.RunHandler([&] { engine.edtInputKeyUp(key.virtualKeys[pick & 1 ? 1 : 0]); });
        }
    }
    return 0;
}
