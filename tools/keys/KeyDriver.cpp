#include "KeyDriver.h"

#include "ExpressionCore.h"

#include <charconv>
#include <functional>
#include <map>

namespace tallyvox {

namespace {

// Records instead of playing, for the keypad and the expression window
// alike: synchronous cues return at once and the 500 ms pauses are skipped.
class RecordingHost final : public EngineHost, public ExpressionReadOutHost {
public:
    KeyRecord *current = nullptr;

    void PlayCue(const std::string &name, bool) override
    {
        if (current)
            current->cues.push_back(name);
    }
    void ProcessPendingEvents() override {}
    void FocusInput() override {}
    void ReportFault(const std::string &message) override { ShowMessage("Tallyvox", message); }
    void Wait(int) override {}
    void ShowMessage(const std::string &caption, const std::string &text) override
    {
        if (current)
            current->messages.push_back({caption, text});
    }
    bool Abandoned() const override { return false; }
};

using Action = std::function<void(KeyDriver &)>;

const std::map<std::string, Action, std::less<>> &Actions()
{
    static const std::map<std::string, Action, std::less<>> table = [] {
        std::map<std::string, Action, std::less<>> t;
        for (int d = 0; d <= 9; ++d)
            t[std::string(1, static_cast<char>('0' + d))] = [d](KeyDriver &k) { k.Engine().btnNum1Click(d); };
        t["."] = [](KeyDriver &k) { k.Engine().SpbDianClick(); };
        t["back"] = [](KeyDriver &k) { k.Engine().btnBackClick(); };
        t["sign"] = [](KeyDriver &k) { k.Engine().btnSingleClick(); };
        t["C"] = [](KeyDriver &k) { k.Engine().btnCClick(); };
        t["CE"] = [](KeyDriver &k) { k.Engine().btnCEClick(); };
        t["+"] = [](KeyDriver &k) { k.Engine().btnAddClick(OpAdd); };
        t["-"] = [](KeyDriver &k) { k.Engine().btnAddClick(OpSubtract); };
        t["*"] = [](KeyDriver &k) { k.Engine().btnAddClick(OpMultiply); };
        t["/"] = [](KeyDriver &k) { k.Engine().btnAddClick(OpDivide); };
        t["Mod"] = [](KeyDriver &k) { k.Engine().btnAddClick(OpMod); };
        t["="] = [](KeyDriver &k) { k.Engine().btnEqualClick(); };
        t["%"] = [](KeyDriver &k) { k.Engine().btnPerClick(); };
        t["1/x"] = [](KeyDriver &k) { k.Engine().btnCountdownClick(); };
        t["sqrt"] = [](KeyDriver &k) { k.Engine().btnRootsClick(); };
        t["MC"] = [](KeyDriver &k) { k.Engine().btnMCClick(); };
        t["MR"] = [](KeyDriver &k) { k.Engine().btnMRClick(); };
        t["MS"] = [](KeyDriver &k) { k.Engine().btnMSClick(); };
        t["M+"] = [](KeyDriver &k) { k.Engine().btnMPlusClick(); };
        t["M-"] = [](KeyDriver &k) { k.Engine().btnMMinusClick(); };
        t["Exp"] = [](KeyDriver &k) { k.Scientific().SpbExpClick(); };
        t["x^y"] = [](KeyDriver &k) { k.Scientific().SpbXPFClick(OpPower); };
        t["y-root"] = [](KeyDriver &k) { k.Scientific().SpbxKLFClick(OpRoot); };
        t["F-E"] = [](KeyDriver &k) { k.Scientific().SpbPEClick(); };
        t["Int"] = [](KeyDriver &k) { k.Scientific().SpbIntClick(); };
        t["ln"] = [](KeyDriver &k) { k.Scientific().SpbLnClick(); };
        t["Log"] = [](KeyDriver &k) { k.Scientific().SpbLogClick(); };
        t["n!"] = [](KeyDriver &k) { k.Scientific().SpbNJCClick(); };
        t["pi"] = [](KeyDriver &k) { k.Scientific().SpbPaiClick(); };
        t["x^2"] = [](KeyDriver &k) { k.Scientific().SpbXPFClick(0); };
        t["x^3"] = [](KeyDriver &k) { k.Scientific().SpbXPFClick(1); };
        t["10^x"] = [](KeyDriver &k) { k.Scientific().SpbtenxFClick(); };
        t["cbrt"] = [](KeyDriver &k) { k.Scientific().SpbxKLFClick(6); };
        const char *trig[] = {"sin", "cos", "tan", "sinh", "cosh", "tanh", "asin", "acos", "atan"};
        for (int tag = 0; tag < 9; ++tag)
            t[trig[tag]] = [tag](KeyDriver &k) { k.Scientific().SpbcOsClick(tag); };
        t["deg"] = [](KeyDriver &k) { k.Scientific().RadAngleClick(); };
        t["rad"] = [](KeyDriver &k) { k.Scientific().RadRadianClick(); };
        t["grad"] = [](KeyDriver &k) { k.Scientific().RadGradsClick(); };
        return t;
    }();
    return table;
}

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

} // namespace

struct KeyDriver::Impl {
    explicit Impl(ScriptEvaluator &s) : script(s), engine(host), scientific(engine, script) {}

    ScriptEvaluator &script;
    RecordingHost host;
    CalculatorEngine engine;
    ScientificKeys scientific;
    std::optional<std::string> clipboard;
    // The expression window's two edits, kept from one use to the next.
    std::optional<std::pair<std::string, std::string>> expression;
};

KeyDriver::KeyDriver(ScriptEvaluator &script) : impl_(std::make_unique<Impl>(script))
{
    impl_->engine.StartUp();
}

KeyDriver::~KeyDriver() = default;

CalculatorEngine &KeyDriver::Engine() { return impl_->engine; }
ScientificKeys &KeyDriver::Scientific() { return impl_->scientific; }

bool KeyDriver::IsKnownToken(const std::string &token)
{
    int key = 0;
    return Actions().count(token) != 0 || ParseVirtualKey(token, &key) || token == "copy" ||
           token.rfind("paste:", 0) == 0 || token.rfind("expr:", 0) == 0;
}

bool KeyDriver::RunKey(const std::string &token, KeyRecord *record)
{
    KeyRecord scratch;
    impl_->host.current = record ? record : &scratch;
    bool known = true;
    int key = 0;
    if (const auto it = Actions().find(token); it != Actions().end())
        it->second(*this);
    else if (ParseVirtualKey(token, &key))
        impl_->engine.edtInputKeyUp(key);
    else if (token == "copy")
        impl_->clipboard = impl_->engine.DisplayText;
    else if (token.rfind("paste:", 0) == 0)
        impl_->engine.PasteText(token.substr(6));
    else if (token.rfind("expr:", 0) == 0) {
        const std::string input = token.substr(5);
        const std::string output = CalculateExpression(input, impl_->script, impl_->host);
        impl_->expression.emplace(input, output);
    } else
        known = false;
    impl_->host.current = nullptr;
    return known;
}

std::string JsonString(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
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
    out += "]";
    if (impl_->clipboard)
        out += ", \"clipboard\": " + JsonString(*impl_->clipboard);
    if (impl_->expression)
        out += ", \"expression\": {\"input\": " + JsonString(impl_->expression->first) +
               ", \"output\": " + JsonString(impl_->expression->second) + "}";
    return out + "}";
}

} // namespace tallyvox
