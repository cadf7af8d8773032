// Host names that can never resolve. ".invalid" is reserved for exactly
// that (RFC 6761), and the default server of a build without a real one uses
// it; such a name fails at once instead of going to the resolver.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace tallyvox {

inline bool IsReservedInvalidName(std::string_view host)
{
    std::string name(host);
    while (!name.empty() && name.back() == '.')
        name.pop_back();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    constexpr std::string_view kSuffix = ".invalid";
    return name == "invalid" ||
           (name.size() > kSuffix.size() && name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0);
}

} // namespace tallyvox
