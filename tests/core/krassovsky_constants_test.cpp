#include "core/krassovsky_constants.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "core/classic_series.h"
#include "core/errors.h"

namespace quorvel {
namespace {

std::uint64_t Bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

TEST(EllipsoidConstants, LoadedValuesHaveTheDocumentedBitPatterns) {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    EXPECT_TRUE(c.Loaded);
    EXPECT_EQ(c.SemiMajorAxis, 6378245);
    EXPECT_EQ(Bits(c.Pi), 0x400921FB54411744u);
    EXPECT_EQ(Bits(c.FirstEccSq), 0x3F7B6A8FAF80EF07u);
    EXPECT_EQ(Bits(c.SecondEccSq), 0x3F7B99DB2478232Fu);
    EXPECT_EQ(Bits(c.DegPerRad), 0x404CA5DC1A674644u);
    EXPECT_EQ(c.DegPerRad, 57.29577951471995);
    EXPECT_EQ(Bits(c.ArcCoef0), 0x40FB21EDC6FFD131u);
    EXPECT_EQ(Bits(c.ArcCoef2), 0x40CF523D7977D8C5u);
    EXPECT_EQ(Bits(c.ArcCoef4), 0x4030D3FC30FD8BCDu);
    EXPECT_EQ(Bits(c.ArcCoef6), 0x3F9680B209557DDCu);
    EXPECT_EQ(Bits(ArcCoef8), 0x3F005258737BD11Bu);
    EXPECT_EQ(Bits(ArcCoef10), 0x3E68B2311DB7D476u);
}

TEST(EllipsoidConstants, DegreesAndRadiansUseTheTenDecimalPi) {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const double radians = 30.508333333333333 / c.DegPerRad;
    EXPECT_EQ(radians, 0.5324708659473842);
    EXPECT_EQ(radians * c.DegPerRad, 30.508333333333333);
}

TEST(EllipsoidConstants, UnsetConstantsFailEveryComputationWithDivisionByZero) {
    const EllipsoidConstants unset;
    EXPECT_FALSE(unset.Loaded);
    EXPECT_EQ(unset.DegPerRad, 0);
    EXPECT_THROW(ForwardProject(unset, 30, 117, 117), DivisionByZeroError);
    EXPECT_THROW(FootpointLatitude(unset, 3380000), DivisionByZeroError);
    EXPECT_THROW(InverseProject(unset, 3380000, 500000, 117), DivisionByZeroError);
    EXPECT_THROW(ZoneTransform(unset, 3380000, 500000, 117, 120), DivisionByZeroError);
    try {
        ForwardProject(unset, 30, 117, 117);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::DivisionByZero);
        EXPECT_EQ(std::string(e.what()).rfind("除数为零", 0), 0u);
    }
}

}  // namespace
}  // namespace quorvel
