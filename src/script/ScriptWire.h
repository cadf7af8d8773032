// SPDX-License-Identifier: GPL-3.0-or-later
// Wire format between ScriptEvaluator and its long-lived child tallyvox-script.
//
// Both ends come from the same build, so integers travel in host byte order.
// The child serves many requests, each in a fresh engine:
//
//   child:  kHello, then one byte of ConfinementStep bits it achieved
//   then, per request:
//   parent: statement length, name length (uint32 each), statement, name
//   child:  a ReplyKind byte and its payload, then kReady once the next fresh
//           engine is built, or kRetiring (right after the reply) when it is
//           about to exit by itself.
//
// The child reads a request only after its hello or kReady, so a parent may
// send it early. Anything else (silence past the deadline, end of stream)
// means the child hit a bound or crashed; the parent replaces it.
#pragma once

#include <cstdint>

namespace tallyvox::scriptwire {

constexpr char kHello = 'H';
constexpr char kReady = 'R';
constexpr char kRetiring = 'X';

enum class ReplyKind : char {
    Undefined = 'U', // undefined or null: no value
    Int32 = 'I',     // payload: int32_t
    Double = 'D',    // payload: the 8 bytes of the double
    Text = 'S',      // payload: uint32_t byte count, then UTF-8 bytes
    Failure = 'E',   // syntax or run-time error, thrown value, failed conversion
};

// What the child managed to do to itself before reading any request.
enum ConfinementStep : std::uint8_t {
    kOwnNetwork = 1u << 0,       // a network namespace of its own: no interfaces but a downed lo
    kUnprivilegedUser = 1u << 1, // not uid 0 in the initial user namespace
    kNoCapabilities = 1u << 2,   // permitted, effective, inheritable and ambient sets empty
    kNoBoundingSet = 1u << 3,    // bounding set empty
    kNoNewPrivileges = 1u << 4,
    kSyscallFilter = 1u << 5, // the seccomp allow-list is in force
};

// A request above this is refused by the child (it exits without replying).
constexpr std::uint32_t kMaxRequestBytes = 16u << 20;
// A text result above this counts as a failure: no display holds it.
constexpr std::uint32_t kMaxTextBytes = 1u << 20;

// Exit codes of a child that ends by itself.
constexpr int kExitDone = 0;       // the parent closed the socket, or the child retired
constexpr int kExitBadRequest = 1; // a malformed request, or the socket broke mid-message
constexpr int kExitUnconfined = 2; // the syscall filter could not be installed: it never serves

} // namespace tallyvox::scriptwire
