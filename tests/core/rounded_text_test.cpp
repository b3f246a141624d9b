// The allocation-free writer of shown results must print exactly what the general formatting
// prints, on ties, signs, zeros and values of every magnitude.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/number_text.h"

namespace quorvel {
namespace {

std::string CoreText(double v, int decimals) {
    return FormatFixed(RoundHalfEven(v, decimals), Pattern{decimals, true});
}

bool Fast(std::string& out, double v, int decimals) {
    char buf[64];
    const char* end = detail::WriteRoundedFast(buf, v, decimals);
    if (end == nullptr) return false;
    out.append(buf, static_cast<std::size_t>(end - buf));
    return true;
}

TEST(RoundedText, MatchesTheCoreOnTiesCarriesSignsAndZeros) {
    const double cases[] = {0.0,
                            -0.0,
                            0.00005,
                            0.00015,
                            0.00025,
                            -0.00005,
                            -0.00015,
                            2.675,
                            1.00005,
                            0.99995,
                            9.99995,
                            -9.99995,
                            999999.99995,
                            3380000.12345,
                            3380000.12355,
                            453203.4506491546,
                            -1465.4865798990359,
                            1e-20,
                            -1e-20,
                            5e-5,
                            4.9999999999e-5,
                            1e15,
                            123456789012.34567,
                            118.10142806347972,
                            117.2059999999999,
                            29.59599999964,
                            0.5e-10,
                            1.5e-10,
                            -2.5e-10,
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max()};
    for (double v : cases) {
        for (int decimals : {0, 4, 10}) {
            std::string fast;
            if (Fast(fast, v, decimals)) {
                EXPECT_EQ(fast, CoreText(v, decimals)) << v << " at " << decimals;
            } else {
                EXPECT_TRUE(fast.empty());
            }
            EXPECT_EQ(RoundedText(v, decimals), CoreText(v, decimals)) << v << " at " << decimals;
        }
    }
}

TEST(RoundedText, LeavesValuesBeyondFifteenDigitsToTheCore) {
    std::string out;
    EXPECT_FALSE(Fast(out, 123456789012.34567, 4));
    EXPECT_FALSE(Fast(out, std::numeric_limits<double>::infinity(), 4));
    EXPECT_FALSE(Fast(out, std::nan(""), 4));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(Fast(out, 12345678901.2345, 4));
}

TEST(RoundedText, MatchesTheCoreOnRandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(20261208);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_real_distribution<double> metres(-1e7, 1e7), degrees(-180, 180),
        large(-1e11, 1e11);
    std::size_t fast = 0;
    for (int i = 0; i < 200000; ++i) {
        double v;
        switch (i % 5) {
            case 0: {
                const std::uint64_t b = bits(rng);
                std::memcpy(&v, &b, sizeof v);
                if (!std::isfinite(v)) continue;
                break;
            }
            case 1:
                v = metres(rng);
                break;
            case 2:
                v = degrees(rng);
                break;
            case 3:  // up to the fifteen digits the fast path writes
                v = large(rng) / std::pow(10, i % 7);
                break;
            default:
                // Exact ties at the fifth decimal.
                v = std::round(metres(rng) * 1e4) / 1e4 + 0.00005;
                break;
        }
        for (int decimals : {4, 10}) {
            std::string out;
            if (Fast(out, v, decimals)) {
                ++fast;
                ASSERT_EQ(out, CoreText(v, decimals)) << v << " at " << decimals;
            }
        }
    }
    EXPECT_GT(fast, 200000u);  // the fast path is the common one
}

}  // namespace
}  // namespace quorvel
