// SPDX-License-Identifier: GPL-3.0-or-later
// Host names that can never resolve. ".invalid" is reserved for exactly
// that (RFC 6761), and the default server of a build without a real one uses
// it; such a name fails at once instead of going to the resolver.
#pragma once

#include "numbers/AsciiCase.h"

#include <string_view>

namespace tallyvox::update {

inline bool IsReservedInvalidName(std::string_view host)
{
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    return EqualsNoCase(host, "invalid") || (host.size() > 8 && EndsWithNoCase(host, ".invalid"));
}

} // namespace tallyvox::update
