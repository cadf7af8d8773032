// SPDX-License-Identifier: GPL-3.0-or-later
// Every result on the display goes through these texts once or twice; a call
// should stay well under 2 µs.
#include "numbers/NumberText.h"

#include <benchmark/benchmark.h>

#include <cfloat>
#include <vector>

using tallyvox::Extended;

namespace {

// A spread of everyday results: integers, fractions, money, small and large
// exponents, negatives.
const std::vector<Extended> &Everyday()
{
    static const std::vector<Extended> values = {
        0.0L,
        15.0L,
        100.0L,
        1.0L / 3,
        2.0L / 3,
        -2.5L,
        0.0001234L,
        0.00001L,
        1e15L,
        123456789012345678.0L,
        3.14159265358979323846L,
        1234.5678L,
        -0.00015L,
        999999999999999.9L,
        2e20L,
        1.5e-7L,
        12157665459056928801.0L,
        6.02214076e23L,
        1.602176634e-19L,
        1e100L,
        -1e-100L,
    };
    return values;
}

// Exponents near the ends of the extended range.
const std::vector<Extended> &Extreme()
{
    static const std::vector<Extended> values = {LDBL_MAX, LDBL_MIN, 1e4000L, -1e-4000L, 1e1000L, 1e-1000L};
    return values;
}

void BM_GeneralNumberText(benchmark::State &state, const std::vector<Extended> &values)
{
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tallyvox::GeneralNumberText(values[i]));
        if (++i == values.size())
            i = 0;
    }
}

void BM_ExponentNumberText(benchmark::State &state, const std::vector<Extended> &values)
{
    const int n = static_cast<int>(state.range(0));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tallyvox::ExponentNumberText(values[i], n));
        if (++i == values.size())
            i = 0;
    }
}

void BM_ParseNumberText(benchmark::State &state)
{
    const char *texts[] = {"0", "15", "-2.5", "0.333333333333333", "1,234,567.125", "1.23456789012346E17", "  12 "};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tallyvox::ParseNumberText(texts[i]));
        if (++i == std::size(texts))
            i = 0;
    }
}

// Exact ties at the 19th digit take the slow exact path.
const std::vector<Extended> &Ties()
{
    static const std::vector<Extended> values = {1234567890123456785.0L, 9999999999999999995.0L,
                                                 -1000000000000000005.0L};
    return values;
}

} // namespace

BENCHMARK_CAPTURE(BM_GeneralNumberText, everyday, Everyday());
BENCHMARK_CAPTURE(BM_GeneralNumberText, extreme, Extreme());
BENCHMARK_CAPTURE(BM_GeneralNumberText, ties, Ties());
BENCHMARK_CAPTURE(BM_ExponentNumberText, everyday, Everyday())->Arg(2)->Arg(15)->Arg(18);
BENCHMARK_CAPTURE(BM_ExponentNumberText, extreme, Extreme())->Arg(15);
BENCHMARK(BM_ParseNumberText);
