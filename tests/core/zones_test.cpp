// Longitudes brought to where zones are counted, meridians across 0° = 360°, and zone numbers
// in front of eastings, at their edges.
#include "core/zones.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvel {
namespace {

TEST(Zones, LongitudeIsBroughtIntoOneTurnFromZero) {
    struct Case {
        double L, expected;
    };
    const Case cases[] = {
        {0, 0},      {117.5, 117.5},  {360, 0},         {-360, 0},   {-180, 180}, {540, 180},
        {-540, 180}, {-0.25, 359.75}, {719.75, 359.75}, {-1e-20, 0},  // rounds to 360, which is
                                                                      // zone 0's side again
    };
    for (const Case& c : cases) EXPECT_EQ(ZoneLongitude(c.L), c.expected) << c.L;
    EXPECT_LT(ZoneLongitude(-1e-13), 360);
}

TEST(Zones, MeridianIsTakenToTheTurnNearestThePoint) {
    EXPECT_EQ(NearMeridian(3, 359), 363);
    EXPECT_EQ(NearMeridian(357, 1), -3);
    EXPECT_EQ(NearMeridian(117, 118), 117);
    EXPECT_EQ(NearMeridian(117, -243), -243);
    EXPECT_EQ(NearMeridian(0, 180.5), 360);
}

TEST(Zones, OnlyACentralMeridianNamesAZone) {
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Three, 117), 39);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Three, 0), 0);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Three, -3), 119);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Three, 360), 0);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Six, 117), 20);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Six, -3), 60);
    EXPECT_EQ(ZoneOfCentralMeridian(ZoneWidth::Six, 3), 1);
    for (double bad : {118.0, 117.5, double(NAN), double(INFINITY)}) {
        EXPECT_FALSE(ZoneOfCentralMeridian(ZoneWidth::Three, bad)) << bad;
    }
    EXPECT_FALSE(ZoneOfCentralMeridian(ZoneWidth::Six, 120));
    EXPECT_FALSE(ZoneOfCentralMeridian(ZoneWidth::Six, 0));
}

TEST(Zones, ZoneNumberComesOffWhateverTheFalseEasting) {
    EXPECT_EQ(WithoutZonePrefix(20'612'345.5, 500000), 612'345.5);
    EXPECT_EQ(WithoutZonePrefix(20'000'000, 500000), 0);  // y = −500 km in zone 20
    // A false easting of 0: a point west of the meridian keeps its negative easting.
    EXPECT_EQ(WithoutZonePrefix(19'999'000, 0), -1000);
    EXPECT_EQ(WithoutZonePrefix(20'001'000, 0), 1000);
    EXPECT_EQ(WithoutZonePrefix(612'345.5, 500000), 612'345.5);  // zone 0 shows no number
}

}  // namespace
}  // namespace quorvel
