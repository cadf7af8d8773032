// SPDX-License-Identifier: GPL-3.0-or-later
// The tape: the one list of finished calculations, oldest first, at most a
// given number of them, and the place the keys that read it from the
// display have reached. The window's list shows it row for row, in this
// order. Pure C++, no Qt.
#pragma once

#include "tape/TapeEntry.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace tallyvox {

// The most entries kept, in memory and in the file.
inline constexpr std::size_t kTapeCapacity = 1000;

class Tape {
public:
    explicit Tape(std::size_t capacity = kTapeCapacity) : capacity_(capacity ? capacity : 1) {}

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const TapeEntry &At(std::size_t index) const { return entries_.at(index); }
    const std::deque<TapeEntry> &Entries() const { return entries_; }

    // Adds the newest entry; the oldest goes beyond the capacity. Returns
    // how many old entries went. The reading place starts again at the end.
    std::size_t Add(TapeEntry entry);
    // Entries read from the file, oldest first: the newest capacity of them.
    void Assign(std::vector<TapeEntry> entries);
    void Remove(std::size_t index);
    void Clear();

    // The reading place: the entry last read from the display, none after
    // a change. Back goes to the older entry (from none: the newest), Next
    // to the newer; each stops at its end. Empty on an empty tape.
    std::optional<std::size_t> Back();
    std::optional<std::size_t> Next();
    std::optional<std::size_t> Place() const { return place_; }
    void SetPlace(std::optional<std::size_t> place);

private:
    std::size_t capacity_;
    std::deque<TapeEntry> entries_;
    std::optional<std::size_t> place_;
};

} // namespace tallyvox
