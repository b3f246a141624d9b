#pragma once

#include <optional>

namespace quorvel {

// Gauss-Krüger zones of 3° and 6°, numbered eastward from Greenwich, and the zone number written
// in front of an easting.
//
// Longitudes are decimal degrees east of Greenwich in [0°, 360°). A zone is the half-open
// interval [Lo − w/2, Lo + w/2) around its central meridian Lo, so a longitude on a border
// belongs to the zone east of it:
//   3° zones: n = round(L/3), ties (L = 1.5° + 3k) upward to the eastern zone; Lo = 3n;
//             n in 0..120. Zone 0 (L below 1.5°) and zone 120 (from 358.5°) lie on the same
//             meridian 0° = 360°; each keeps L − Lo small on its side.
//   6° zones: n = floor(L/6) + 1, so L = 6k begins zone k + 1; Lo = 6n − 3; n in 1..60.
// The computations are exact in binary (no rounding of L/3 can move a point across a border).
//
// In front of an easting both halves of the 3° zone on 0° carry the number 120, since no number
// can be written as 0: the easting's side of the meridian tells zone 0 (east) from zone 120.

enum class ZoneWidth { Three = 3, Six = 6 };

// Zone number of longitude L. Throws OutOfDomainError unless 0 ≤ L < 360.
int ZoneOf(ZoneWidth width, double L);

// Central meridian of zone n, in decimal degrees. Throws OutOfDomainError for a number no zone
// of that width has.
double CentralMeridianOf(ZoneWidth width, int zone);

// Longitude L in [0°, 360°), where zones are counted.
double ZoneLongitude(double L);

// Meridian m shifted by whole turns to lie within 180° of L, so that L − m stays small across
// 0° = 360°.
double NearMeridian(double m, double L);

// The zone whose central meridian is `degrees`, taken modulo 360°; none when it is no zone's.
std::optional<int> ZoneOfCentralMeridian(ZoneWidth width, double degrees);

// An easting with the zone number in front: Yp = n·1,000,000 + Y, where Y = FE + y is the
// easting of the zone (false easting FE, distance y from the central meridian). Writing is
// exact up to one rounding of the sum; reading is exact.
inline constexpr double kZonePrefixUnit = 1'000'000;

// Writes zone n in front of easting Y (false easting included); 3° zone 0 as 120. Throws
// OutOfDomainError for a number no zone of that width has.
double WithZonePrefix(ZoneWidth width, int zone, double Y);

struct ZonedEasting {
    int zone = 0;
    double Y = 0;  // easting within the zone, false easting included, zone number removed
};

// Reads the zone number in front of Yp: the n for which y = Yp − n·1,000,000 − FE lies in
// [−500,000, 500,000); a 3° 120 with y ≥ 0 is zone 0. Throws OutOfDomainError for a non-finite
// Yp, no number in front (n = 0) or a number no zone of that width has.
ZonedEasting SplitZonePrefix(ZoneWidth width, double Yp, double falseEasting);

// Yp with the zone number in front taken off, as SplitZonePrefix reads it, whatever the number.
double WithoutZonePrefix(double Yp, double falseEasting);

// Yp less the zone number in front when that number is the 3° or the 6° zone whose central
// meridian is Lo itself (modulo 360°), as 39512345.678 and 20512345.678 for Lo = 117°; none for
// no number or that of another meridian.
std::optional<double> WithoutOwnZoneNumber(double Yp, double falseEasting, double Lo);

// L − Lo reduced modulo 360° to [−180°, 180°]: L = −179° lies 1° east of Lo = 180°. Exactly
// L − Lo within ±180°. A difference beyond ±720°, which no longitude and meridian within ±360°
// have, is returned unreduced, to be refused as too far.
double MeridianOffset(double L, double Lo);

}  // namespace quorvel
