// SPDX-License-Identifier: GPL-3.0-or-later
// Wire format between ScriptEvaluator and its child tallyvox-script.
//
// Both ends come from the same build, so integers travel in host byte order.
// The child writes kReady once its engine exists, then reads one request
// (statement length, name length, statement bytes, name bytes; each length a
// uint32), answers with one reply (a ReplyKind byte and its payload) and
// exits.
#pragma once

#include <cstdint>

namespace tallyvox::scriptwire {

constexpr char kReady = 'R';

enum class ReplyKind : char {
    Undefined = 'U', // undefined or null: no value
    Int32 = 'I',     // payload: int32_t
    Double = 'D',    // payload: the 8 bytes of the double
    Text = 'S',      // payload: uint32_t byte count, then UTF-8 bytes
    Failure = 'E',   // syntax or run-time error, thrown value, failed conversion
};

// A request above this is refused by the child (it exits without replying).
constexpr std::uint32_t kMaxRequestBytes = 16u << 20;
// A text result above this counts as a failure: no display holds it.
constexpr std::uint32_t kMaxTextBytes = 1u << 20;

} // namespace tallyvox::scriptwire
