// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers/Power.h"

#include "numbers/Faults.h"

#include <cmath>

namespace tallyvox {

Extended RaisePower(Extended b, Extended e)
{
    if (e == std::trunc(e) && std::fabs(e) <= 2147483647.0L) {
        const long long k = static_cast<long long>(e);
        unsigned long long m = static_cast<unsigned long long>(k < 0 ? -k : k);
        Extended result = 1;
        Extended x = b;
        // Least significant bit first. x is squared only while bits remain,
        // so a square that is never used cannot fault.
        while (m != 0) {
            if (m & 1) {
                result = CheckedResult(result * x);
            }
            m >>= 1;
            if (m != 0)
                x = CheckedResult(x * x);
        }
        if (k < 0)
            return CheckedDivide(1, result);
        return result;
    }
    if (b == 0)
        return 0;
    if (b < 0 || std::isnan(b) || std::isnan(e))
        throw FloatFault(FaultKind::InvalidOperation);
    return CheckedResult(std::exp2(e * std::log2(b)));
}

Extended RealRoot(Extended b, Extended y)
{
    const Extended e = CheckedDivide(1, y);
    if (b >= 0 || std::isnan(b))
        return RaisePower(b, e);
    if (y != std::trunc(y) || std::fmod(y, 2) == 0)
        throw FloatFault(FaultKind::InvalidOperation);
    return -RaisePower(-b, e);
}

} // namespace tallyvox
