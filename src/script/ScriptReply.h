// SPDX-License-Identifier: GPL-3.0-or-later
// Inside tallyvox-script: runs one request in an engine and encodes the
// named variable's value as a reply (ScriptWire.h).
#pragma once

#include <QJSEngine>
#include <QString>

#include <string>

namespace tallyvox {

// The reply bytes for statement and then variableName run in engine. A
// failure of any kind, including `throw 5` and a value whose own conversion
// throws, is a ReplyKind::Failure.
std::string EvaluateToReply(QJSEngine &engine, const QString &statement, const QString &variableName);

} // namespace tallyvox
