#include "core/packed_angle.h"

#include <gtest/gtest.h>

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
