// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/keys/KeyDriver.h"

#include "expression/ExpressionCalculator.h"
#include "numbers/Utf8.h"
#include "tape/TapeKeys.h"

#include <charconv>
#include <ctime>

namespace tallyvox {

namespace {

// Records instead of playing, for the keypad and the expression window
// alike: synchronous cues return at once and the 500 ms pauses are skipped.
class RecordingHost final : public EngineHost, public ExpressionReadOutHost {
public:
    KeyRecord *current = nullptr;
    const ListenerSettings *listener = nullptr;
    std::function<void(const CalculationRecord &)> finished;

    // What the listener silenced is not heard, from the expression window either.
    void PlayCue(const std::string &name, bool) override
    {
        if (current && (!listener || listener->Audible()))
            current->cues.push_back(name);
    }
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &message) override { ShowMessage("Tallyvox", message); }
    void Wait(int) override {}
    void WaitForCueEnd() override {}
    void ShowMessage(const std::string &caption, const std::string &text) override
    {
        if (current)
            current->messages.push_back({caption, text});
    }
    bool Abandoned() const override { return false; }
    void CalculationFinished(const CalculationRecord &calculation) override
    {
        if (finished)
            finished(calculation);
    }
};

bool ParseVirtualKey(std::string_view token, int *key)
{
    if (token.substr(0, 3) != "vk:")
        return false;
    const std::string_view digits = token.substr(3);
    int value = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value < 0 || value > 0xFFFF)
        return false;
    *key = value;
    return true;
}

// "set:NAME=VALUE": one listener setting; false when the token is none.
bool ApplySetting(std::string_view token, ListenerSettings &settings)
{
    if (token.substr(0, 4) != "set:")
        return false;
    const std::string_view assignment = token.substr(4);
    const std::size_t equals = assignment.find('=');
    return equals != std::string_view::npos &&
           SetListenerSetting(settings, assignment.substr(0, equals), assignment.substr(equals + 1));
}

} // namespace

struct KeyDriver::Impl {
    explicit Impl(ScriptEvaluator &s) : script(s), engine(host), scientific(engine, script), tapeKeys(engine, tape)
    {
        host.finished = [this](const CalculationRecord &c) { tapeKeys.Record(c, std::time(nullptr)); };
    }

    ScriptEvaluator &script;
    RecordingHost host;
    CalculatorEngine engine;
    ScientificKeys scientific;
    std::optional<std::string> clipboard;
    // The expression window's two edits, kept from one use to the next.
    std::optional<std::pair<std::string, std::string>> expression;
    Tape tape;
    TapeKeys tapeKeys;
    std::unique_ptr<TapeStore> store;
};

KeyDriver::KeyDriver(ScriptEvaluator &script) : impl_(std::make_unique<Impl>(script))
{
    impl_->host.listener = &impl_->engine.Listener;
    impl_->engine.StartUp();
}

KeyDriver::~KeyDriver() = default;

CalculatorEngine &KeyDriver::Engine()
{
    return impl_->engine;
}
ScientificKeys &KeyDriver::Scientific()
{
    return impl_->scientific;
}
const Tape &KeyDriver::GetTape() const
{
    return impl_->tape;
}

TapeRead KeyDriver::UseTapeFile(const std::filesystem::path &file, std::function<void(const std::string &)> report)
{
    impl_->tapeKeys.SetStore(nullptr);
    impl_->store = std::make_unique<TapeStore>(file, std::move(report));
    TapeRead read = impl_->store->Load();
    impl_->tapeKeys.SetStore(impl_->store.get());
    impl_->tapeKeys.Loaded(read.entries);
    return read;
}

void KeyDriver::FlushTape()
{
    if (impl_->store)
        impl_->store->Flush();
}

bool KeyDriver::IsKnownToken(const std::string &token)
{
    int key = 0;
    ListenerSettings scratch;
    return FindKeyByToken(token) != nullptr || ApplySetting(token, scratch) ||
           CalculatorEngine::IsQuickSetting(token) || ParseVirtualKey(token, &key) || token == "copy" ||
           token == "say" || token == "status" || token.rfind("paste:", 0) == 0 || token.rfind("expr:", 0) == 0 ||
           token == "tape" || token == "tape-back" || token == "tape-next" || token == "tape-recall" ||
           token == "tape-clear" || token == "calculation";
}

bool KeyDriver::RunKey(const std::string &token, KeyRecord *record)
{
    KeyRecord scratch;
    impl_->host.current = record ? record : &scratch;
    bool known = true;
    int key = 0;
    if (const KeyDef *k = FindKeyByToken(token))
        impl_->scientific.Press(*k);
    else if (ParseVirtualKey(token, &key))
        impl_->engine.edtInputKeyUp(key);
    else if (ApplySetting(token, impl_->engine.Listener)) {
        // a listener setting, no key
    } else if (token == "copy")
        impl_->clipboard = impl_->engine.DisplayText;
    else if (token == "say")
        impl_->engine.SayDisplay();
    else if (token == "status")
        // The driver has every key: the enhanced view.
        impl_->engine.SayStatus({ScientificKeys::AngleCue(impl_->scientific.Angle()), "加强型"});
    else if (impl_->engine.QuickSetting(token)) {
        // a quick key of the listener's settings
    } else if (token.rfind("paste:", 0) == 0)
        impl_->engine.PasteText(token.substr(6));
    else if (token.rfind("expr:", 0) == 0) {
        const std::string input = token.substr(5);
        const std::string output = CalculateExpression(input, impl_->script, impl_->host);
        impl_->expression.emplace(input, output);
        impl_->tapeKeys.Record(ExpressionCalculation(input, output), std::time(nullptr));
    } else if (token == "tape-back")
        impl_->tapeKeys.Back();
    else if (token == "tape-next")
        impl_->tapeKeys.Next();
    else if (token == "tape-recall")
        impl_->tapeKeys.Recall();
    else if (token == "tape-clear")
        impl_->tapeKeys.Clear();
    else if (token == "calculation")
        impl_->tapeKeys.SayCalculation();
    else if (token != "tape") // the window's tape panel: nothing to do here
        known = false;
    impl_->host.current = nullptr;
    return known;
}

namespace {

} // namespace

std::string JsonString(const std::string &whole)
{
    const std::string text = BoundedText(whole);
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto u = static_cast<unsigned char>(c);
        const std::size_t length = WellFormedCharLength(text, at);
        if (length == 0) {
            // A pasted text need not be UTF-8; JSON must be.
            out += "\\ufffd";
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text, at, length);
            at += length;
            continue;
        }
        ++at;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string KeyDriver::JsonLine(const KeyRecord &record) const
{
    const CalculatorEngine &e = impl_->engine;
    std::string out = "{\"display\": " + JsonString(e.DisplayText) + ", \"label\": " + JsonString(e.LabelText) +
                      ", \"memory\": " + JsonString(e.MemoryIndicator) + ", \"cues\": [";
    for (std::size_t i = 0; i < record.cues.size(); ++i)
        out += (i ? ", " : "") + JsonString(record.cues[i]);
    out += "], \"messages\": [";
    for (std::size_t i = 0; i < record.messages.size(); ++i) {
        out += (i ? ", " : "");
        out += "{\"caption\": " + JsonString(record.messages[i].caption) +
               ", \"text\": " + JsonString(record.messages[i].text) + "}";
    }
    out += "], \"settings\": {";
    for (const std::string_view name : ListenerSettingNames()) {
        out += (name == ListenerSettingNames().front() ? "\"" : ", \"") + std::string(name) +
               "\": " + JsonString(ListenerSettingText(e.Listener, name));
    }
    out += "}";
    if (record.omittedCues || record.omittedMessages)
        out += ", \"omitted\": {\"cues\": " + std::to_string(record.omittedCues) +
               ", \"messages\": " + std::to_string(record.omittedMessages) + "}";
    if (impl_->clipboard)
        out += ", \"clipboard\": " + JsonString(*impl_->clipboard);
    if (impl_->expression)
        out += ", \"expression\": {\"input\": " + JsonString(impl_->expression->first) +
               ", \"output\": " + JsonString(impl_->expression->second) + "}";
    out += ", \"tape\": [";
    for (std::size_t i = 0; i < impl_->tape.Size(); ++i) {
        const CalculationRecord &c = impl_->tape.At(i).calculation;
        out += (i ? ", " : "");
        out += "{\"text\": " + JsonString(EntryText(c)) + ", \"result\": " + JsonString(c.result) + "}";
    }
    return out + "]}";
}

} // namespace tallyvox
