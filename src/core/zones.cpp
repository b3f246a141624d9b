#include "core/zones.h"

#include <GeographicLib/Math.hpp>
#include <cmath>
#include <string>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel {
namespace {

// L in [0°, 360°]: 360° where a small negative L rounds to it.
double OneTurnEast(double L) {
    const double l = GeographicLib::Math::AngNormalize(L);
    return l < 0 ? l + 360 : l;
}

int MaxZone(ZoneWidth width) {
    return width == ZoneWidth::Three ? 120 : 60;
}
int MinZone(ZoneWidth width) {
    return width == ZoneWidth::Three ? 0 : 1;
}

void RequireZone(ZoneWidth width, int zone) {
    if (zone < MinZone(width) || zone > MaxZone(width)) {
        throw OutOfDomainError(
            Fill(Tr("zone {0} is not a zone of {1}° ({2} to {3})"),
                 {std::to_string(zone), std::to_string(static_cast<int>(width)),
                  std::to_string(MinZone(width)), std::to_string(MaxZone(width))}));
    }
}

// The number in front of Yp: the n for which Yp − n·1,000,000 − FE lies in [−500,000, 500,000).
double PrefixNumber(double Yp, double falseEasting) {
    return std::floor((Yp - falseEasting + kZonePrefixUnit / 2) / kZonePrefixUnit);
}

}  // namespace

int ZoneOf(ZoneWidth width, double L) {
    if (!(L >= 0 && L < 360)) {
        throw OutOfDomainError(Tr("a zone is found for a longitude from 0° to 360° only"));
    }
    const double w = static_cast<int>(width);
    // fmod is exact, so is L − r (a multiple of w below 2^53), and the border test below.
    const double r = std::fmod(L, w);
    const int k = static_cast<int>((L - r) / w);
    if (width == ZoneWidth::Six) return k + 1;
    return r >= 1.5 ? k + 1 : k;
}

double CentralMeridianOf(ZoneWidth width, int zone) {
    RequireZone(width, zone);
    return width == ZoneWidth::Three ? 3.0 * zone : 6.0 * zone - 3;
}

double ZoneLongitude(double L) {
    const double l = OneTurnEast(L);
    return l < 360 ? l : 0;  // −1e-20 + 360 rounds to 360
}

double NearMeridian(double m, double L) {
    return m - 360 * std::round((m - L) / 360);
}

std::optional<int> ZoneOfCentralMeridian(ZoneWidth width, double degrees) {
    const double m = OneTurnEast(degrees);
    const double n = width == ZoneWidth::Three ? m / 3 : (m + 3) / 6;
    if (n != std::floor(n) || n < MinZone(width)) return std::nullopt;
    return static_cast<int>(n);
}

double WithZonePrefix(ZoneWidth width, int zone, double Y) {
    RequireZone(width, zone);
    return (zone == 0 ? 120 : zone) * kZonePrefixUnit + Y;
}

ZonedEasting SplitZonePrefix(ZoneWidth width, double Yp, double falseEasting) {
    if (!std::isfinite(Yp)) {
        throw OutOfDomainError(
            Tr("the easting with the zone number in front is not a finite number"));
    }
    const double n = PrefixNumber(Yp, falseEasting);
    if (!(n >= 1 && n <= MaxZone(width))) {
        throw OutOfDomainError(Fill(Tr("the easting {0} has no zone number of {1}° in front"),
                                    {std::to_string(Yp), std::to_string(static_cast<int>(width))}));
    }
    const int zone = static_cast<int>(n);
    const double Y = Yp - zone * kZonePrefixUnit;
    if (width == ZoneWidth::Three && zone == 120 && Y >= falseEasting) return {0, Y};
    return {zone, Y};
}

std::optional<double> WithoutOwnZoneNumber(double Yp, double falseEasting, double Lo) {
    const double n = PrefixNumber(Yp, falseEasting);
    if (!(n >= 1 && n <= 120)) return std::nullopt;  // also for NaN and infinities
    const double m = OneTurnEast(Lo);
    const int zone = static_cast<int>(n);
    // Exact: Lo must be the zone's central meridian to the bit.
    const bool three = std::fmod(3.0 * zone, 360.0) == m || 3.0 * zone == m;
    const bool six = zone <= 60 && 6.0 * zone - 3 == m;
    if (!three && !six) return std::nullopt;
    return Yp - zone * kZonePrefixUnit;
}

double MeridianOffset(double L, double Lo) {
    const double d = L - Lo;
    if (std::fabs(d) <= 180) return d;  // what remainder gives, without its cost on every point
    return std::fabs(d) <= 720 ? std::remainder(d, 360.0) : d;
}

double WithoutZonePrefix(double Yp, double falseEasting) {
    return Yp - PrefixNumber(Yp, falseEasting) * kZonePrefixUnit;
}

}  // namespace quorvel
