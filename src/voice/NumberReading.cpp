#include "NumberReading.h"

#include "NumberText.h"

#include <cstdint>

namespace tallyvox {

namespace {

constexpr std::string_view DigitTexts[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
constexpr std::string_view PlaceUnits[] = {"仟", "佰", "拾"};
constexpr std::string_view GroupUnits[] = {"元", "万", "亿", "兆", "京"};
constexpr std::size_t MaxDigits = 4 * std::size(GroupUnits);

// Byte length of the UTF-8 character starting at text[i]. Continuation bytes
// stay with their lead byte; a stray one counts as a character of its own,
// so malformed text still splits without losing bytes.
std::size_t CharLengthAt(std::string_view text, std::size_t i)
{
    std::size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

std::string_view WithoutFirstChar(std::string_view text)
{
    return text.empty() ? text : text.substr(CharLengthAt(text, 0));
}

void ReplaceFirst(std::string &text, std::string_view what, std::string_view with)
{
    const std::size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
}

// Truncation toward zero into a 64-bit integer; a value outside that range
// (or not a number) is an invalid operation, as the x87 conversion reports.
Extended TruncatedToInt64(Extended v)
{
    if (!(v >= -0x1p63L && v < 0x1p63L))
        throw FloatFault(FaultKind::InvalidOperation);
    return static_cast<Extended>(static_cast<std::int64_t>(v));
}

} // namespace

std::string NumToBigStr(std::string_view digits)
{
    if (digits.empty() || digits == "0")
        return {};
    if (CharCount(digits) > MaxDigits)
        throw CalcError("数据太长，无法转换");
    // A group that is not four decimal digits drops every word built so far,
    // so one non-digit anywhere empties the result.
    for (char c : digits)
        if (c < '0' || c > '9')
            return {};

    std::string s((4 - digits.size() % 4) % 4, '0');
    s.append(digits);
    std::size_t groupsLeft = s.size() / 4;

    std::string r;
    r.reserve(64);
    const auto endsWithZero = [&r] { return !r.empty() && r.back() == '0'; };
    for (std::size_t at = 0; at < s.size(); at += 4, --groupsLeft) {
        const std::string_view group(s.data() + at, 4);
        const std::string_view groupUnit = GroupUnits[groupsLeft - 1];
        for (int i = 0; i < 3; ++i) {
            const int d = group[i] - '0';
            if (d != 0) {
                r += DigitTexts[d];
                r += PlaceUnits[i];
            } else if (!r.empty() && !endsWithZero()) {
                r += '0';
            }
        }
        const int d = group[3] - '0';
        if (d != 0) {
            r += DigitTexts[d];
            r += groupUnit;
        } else if (group == "0000" && groupsLeft > 1) {
            // A silent group inside the number keeps its one "0": its unit
            // would be dropped again below, and with it the zero that must
            // be spoken before a next group starting with a non-zero digit
            // (100004000 is 1亿04仟, not 1亿4仟).
        } else if (endsWithZero()) {
            r.pop_back();
            r += groupUnit;
        } else {
            r += groupUnit;
        }
    }
    ReplaceFirst(r, "亿万", "亿");
    ReplaceFirst(r, "兆亿", "兆");
    ReplaceFirst(r, "0元", "");
    ReplaceFirst(r, "元", "");
    return r;
}

std::vector<std::string> CueNamesOf(std::string_view spokenText)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < spokenText.size();) {
        const std::size_t n = CharLengthAt(spokenText, i);
        const std::string_view c = spokenText.substr(i, n);
        names.emplace_back(c == "." ? std::string_view("10") : c);
        i += n;
    }
    return names;
}

std::string MainReadOutText(std::string_view displayText, bool displayValueNonNegative)
{
    const std::size_t point = displayText.find('.');
    const std::string_view integerPart = displayText.substr(0, point);
    const std::string_view fractionPart = point == std::string_view::npos ? std::string_view() : displayText.substr(point);

    std::string spoken;
    if (integerPart == "0")
        spoken = "0";
    else if (displayValueNonNegative)
        spoken = NumToBigStr(integerPart);
    else
        spoken = "负" + NumToBigStr(WithoutFirstChar(integerPart));
    spoken += fractionPart;
    return spoken;
}

void ExpressionReadOut(const std::string &resultText, ExpressionReadOutHost &host)
{
    if (host.Abandoned())
        return;
    host.PlayCue("等于", true);

    std::string words;
    try {
        Extended v = StrToFloat(resultText);
        if (v < 0) {
            if (host.Abandoned())
                return;
            host.PlayCue("负", true);
            v = StrToFloat(WithoutFirstChar(resultText));
        }
        words = NumToBigStr(GeneralNumberText(TruncatedToInt64(v)));
    } catch (...) {
        words.clear();
        host.ShowMessage("提示", "表达式错误，无法运算！");
    }

    const std::size_t point = resultText.find('.');
    if (words.empty())
        words = "0";
    if (point != std::string::npos)
        words.append(resultText, point);

    for (const std::string &name : CueNamesOf(words)) {
        host.ProcessPendingEvents();
        if (host.Abandoned())
            return;
        host.Wait(500);
        if (host.Abandoned())
            return;
        host.PlayCue(name, true);
    }
}

} // namespace tallyvox
