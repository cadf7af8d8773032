// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator's number type.
#pragma once

#include <cfloat>

namespace tallyvox {

// All calculator values are x87 extended precision: 64-bit significand.
using Extended = long double;
static_assert(LDBL_MANT_DIG == 64, "Tallyvox needs 80-bit extended long double (64-bit significand)");

} // namespace tallyvox
