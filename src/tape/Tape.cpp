// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/Tape.h"

#include <algorithm>
#include <iterator>

namespace tallyvox {

std::size_t Tape::Add(TapeEntry entry)
{
    entries_.push_back(std::move(entry));
    std::size_t dropped = 0;
    while (entries_.size() > capacity_) {
        entries_.pop_front();
        ++dropped;
    }
    place_.reset();
    return dropped;
}

void Tape::Assign(std::vector<TapeEntry> entries)
{
    const std::size_t skip = entries.size() > capacity_ ? entries.size() - capacity_ : 0;
    entries_.assign(std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(skip)),
                    std::make_move_iterator(entries.end()));
    place_.reset();
}

void Tape::Remove(std::size_t index)
{
    if (index >= entries_.size())
        return;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
    place_.reset();
}

void Tape::Clear()
{
    entries_.clear();
    place_.reset();
}

std::optional<std::size_t> Tape::Back()
{
    if (entries_.empty())
        return std::nullopt;
    place_ = !place_ ? entries_.size() - 1 : *place_ > 0 ? *place_ - 1 : 0;
    return place_;
}

std::optional<std::size_t> Tape::Next()
{
    if (entries_.empty())
        return std::nullopt;
    place_ = !place_ ? entries_.size() - 1 : std::min(*place_ + 1, entries_.size() - 1);
    return place_;
}

void Tape::SetPlace(std::optional<std::size_t> place)
{
    place_ = place && *place < entries_.size() ? place : std::nullopt;
}

} // namespace tallyvox
