#include "core/packed_angle.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace quorvel {
namespace {

TEST(DecodePackedAngle, DocumentedExamples) {
    EXPECT_EQ(DecodePackedAngle(116.3045), 116.5125);
    EXPECT_EQ(DecodePackedAngle(30.303), 30.508333333333333);
    EXPECT_EQ(DecodePackedAngle(30.30305), 30.508472222222224);  // 30°30′30.5″
    EXPECT_EQ(DecodePackedAngle(117), 117);
    EXPECT_EQ(DecodePackedAngle(-116.3045), -116.5125);
    EXPECT_EQ(DecodePackedAngle(30.75), 31.25);  // 75 minutes are taken as they are
    EXPECT_EQ(DecodePackedAngle(118.3), 118.5);
}

// Truncating 100·v in binary would read 0.29 as 0°28′100″, about 40″ off.
TEST(DecodePackedAngle, ReadsTheDigitsThatWereTyped) {
    EXPECT_EQ(DecodePackedAngle(0.29), 0.48333333333333334);
    EXPECT_EQ(DecodePackedAngle(1.13), 1.2166666666666668);
    EXPECT_EQ(DecodePackedAngle(35.12), 35.2);
    EXPECT_EQ(DecodePackedAngle(-0.29), -0.48333333333333334);
}

TEST(DecodePackedAngle, ExtremeMagnitudes) {
    EXPECT_EQ(DecodePackedAngle(0), 0);
    EXPECT_EQ(DecodePackedAngle(1e20), 1e20);
    EXPECT_NEAR(DecodePackedAngle(5e-324), 0, 1e-300);
    EXPECT_EQ(DecodePackedAngle(0.0001), 1.0 / 3600);
}

TEST(DegreesToPacked, TruncatesWithoutCarry) {
    EXPECT_EQ(DegreesToPacked(117.5), 117.3);
    EXPECT_EQ(DegreesToPacked(30.25), 30.15);
    EXPECT_EQ(DegreesToPacked(-0.5), -0.3);
    // (117.35 − 117)·60 falls just below 21: 20 minutes and 60 seconds.
    EXPECT_NEAR(DegreesToPacked(117.35), 117.206, 1e-9);
    EXPECT_LT(DegreesToPacked(117.35), 117.21);
    EXPECT_NEAR(DegreesToPacked(29.999999999), 29.59599999964, 1e-11);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// The arithmetic shortcut for short decimals must read the same digits as the text does.
TEST(DecodePackedAngle, ShortcutAgreesWithTheTextReading) {
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::int64_t> whole(0, 400), frac(0, 99999999);
    std::uniform_int_distribution<int> places(0, 8);
    std::uniform_real_distribution<double> any(-1000, 1000);
    for (int i = 0; i < 200000; ++i) {
        const int k = places(rng);
        const double typed =
            static_cast<double>(whole(rng)) +
            static_cast<double>(frac(rng) % static_cast<std::int64_t>(std::pow(10, k))) /
                std::pow(10, k);
        for (double v : {typed, -typed, any(rng), std::nextafter(typed, 1e9)}) {
            ASSERT_EQ(DecodePackedAngle(v), detail::DecodePackedAngleFromText(v)) << v;
        }
    }
    for (double v : {0.0, 1e-300, 5e-324, 9007199254740991.0, 1e15, 123456789.123456, 0.1, 0.29}) {
        EXPECT_EQ(DecodePackedAngle(v), detail::DecodePackedAngleFromText(v)) << v;
    }
}

// Decoding from the digits typed must give what decoding the value read from them gives.
TEST(DecodePackedAngle, TypedDigitsAgreeWithTheValueReadFromThem) {
    std::mt19937_64 rng(11);
    std::uniform_int_distribution<int> digit(0, 9), length(1, 18), sign(0, 3);
    for (int i = 0; i < 200000; ++i) {
        std::string text = sign(rng) == 0 ? "-" : "";
        const int n = length(rng);
        const int point = std::uniform_int_distribution<int>(1, n)(rng);
        for (int k = 0; k < n; ++k) {
            if (k == point) text += '.';
            text += static_cast<char>('0' + digit(rng));
        }
        const std::optional<PlainDecimal> d = ReadPlainDecimal(text);
        if (!d) {  // digits beyond 2^53
            ASSERT_GT(n, 15) << text;
            continue;
        }
        ASSERT_EQ(std::bit_cast<std::uint64_t>(DecodePackedAngle(*d)),
                  std::bit_cast<std::uint64_t>(DecodePackedAngle(d->value)))
            << text;
    }
}

// Half a second rounds away from zero, as the messages always wrote it.
TEST(DegreesText, RoundsToTheSecondWithHalvesAwayFromZero) {
    EXPECT_EQ(DegreesText(0.03125), "0°01′53″");  // 112.5″ exactly
    EXPECT_EQ(DegreesText(-0.03125), "-0°01′53″");
    EXPECT_EQ(DegreesText(3.5), "3°30′00″");
    EXPECT_EQ(DegreesText(359.99999), "360°00′00″");
    EXPECT_EQ(DegreesText(2e6), "2e+06°");
}

}  // namespace
}  // namespace quorvel
