// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/ScriptReply.h"

#include "script/ScriptWire.h"

#include <QByteArray>
#include <QJSValue>
#include <QStringList>
#include <QVariant>

#include <cstdint>

namespace tallyvox {

namespace {

using namespace scriptwire;

void Append(std::string &out, const void *data, std::size_t size)
{
    out.append(static_cast<const char *>(data), size);
}

std::string Reply(ReplyKind kind)
{
    return std::string(1, static_cast<char>(kind));
}

std::string TextReply(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (static_cast<std::size_t>(utf8.size()) > kMaxTextBytes)
        return Reply(ReplyKind::Failure);
    std::string out = Reply(ReplyKind::Text);
    const auto size = static_cast<std::uint32_t>(utf8.size());
    Append(out, &size, sizeof size);
    Append(out, utf8.constData(), size);
    return out;
}

// Runs source; false when it fails in any way, including `throw 5`, whose
// completion value looks like a plain result and only shows in the trace.
bool Run(QJSEngine &engine, const QString &source, QJSValue *value)
{
    QStringList trace;
    *value = engine.evaluate(source, QString(), 1, &trace);
    if (value->isError() || !trace.isEmpty() || engine.hasError()) {
        engine.catchError();
        return false;
    }
    return true;
}

} // namespace

std::string EvaluateToReply(QJSEngine &engine, const QString &statement, const QString &variableName)
{
    QJSValue value;
    if (!Run(engine, statement, &value) || !Run(engine, variableName, &value))
        return Reply(ReplyKind::Failure);
    if (value.isUndefined() || value.isNull())
        return Reply(ReplyKind::Undefined);
    if (value.isNumber()) {
        // The engine keeps whole numbers that fit 32 bits as integers.
        const QVariant number = value.toVariant();
        std::string out;
        if (number.metaType().id() == QMetaType::Int) {
            const std::int32_t i = number.toInt();
            out = Reply(ReplyKind::Int32);
            Append(out, &i, sizeof i);
        } else {
            const double d = value.toNumber();
            out = Reply(ReplyKind::Double);
            Append(out, &d, sizeof d);
        }
        return out;
    }
    if (value.isBool())
        return TextReply(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    if (value.isString())
        return TextReply(value.toString());
    // Objects and symbols through the language's own conversion, which may
    // throw; QJSValue::toString would hand back the thrown value as text.
    const QJSValue convert =
        engine.evaluate(QStringLiteral("(function (v) { try { return `${v}`; } catch (e) { return null; } })"));
    const QJSValue text = convert.call({value});
    if (!text.isString() || engine.hasError()) {
        engine.catchError();
        return Reply(ReplyKind::Failure);
    }
    return TextReply(text.toString());
}

} // namespace tallyvox
