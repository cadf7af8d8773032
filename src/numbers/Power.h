// SPDX-License-Identifier: GPL-3.0-or-later
// The power function of the xʸ and ʸ√x keys and the Exp operator.
#pragma once

#include "numbers/Extended.h"

namespace tallyvox {

// b to the power e; FloatFault on a negative base with a fractional exponent,
// 0 to a negative whole power, or overflow. Whole exponents up to 2^31 are
// multiplied out (square-and-multiply); others go through exp2 and log2.
Extended RaisePower(Extended b, Extended e);

// The y-th root of b, RaisePower(b, 1/y), with the real root of a negative b
// when y is an odd whole number (the root of -27 by 3 is -3); FloatFault for
// a negative b under any other y and for y = 0.
Extended RealRoot(Extended b, Extended y);

} // namespace tallyvox
