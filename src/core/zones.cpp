#include "core/zones.h"

#include <GeographicLib/Math.hpp>
#include <cmath>
#include <string>

#include "core/errors.h"

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
        throw OutOfDomainError("带号 " + std::to_string(zone) + " 不是 " +
                               std::to_string(static_cast<int>(width)) + "° 带的带号（" +
                               std::to_string(MinZone(width)) + " 至 " +
                               std::to_string(MaxZone(width)) + "）");
    }
}

}  // namespace

int ZoneOf(ZoneWidth width, double L) {
    if (!(L >= 0 && L < 360)) {
        throw OutOfDomainError("经度应在 0° 至 360° 之间才能定带");
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
    return zone * kZonePrefixUnit + Y;
}

namespace {

// The zone number in front of Yp: y = Yp − n·1,000,000 − FE lies in [−500,000, 500,000).
double PrefixOf(double Yp, double falseEasting) {
    return std::floor((Yp - falseEasting + kZonePrefixUnit / 2) / kZonePrefixUnit);
}

}  // namespace

ZonedEasting SplitZonePrefix(ZoneWidth width, double Yp, double falseEasting) {
    if (!std::isfinite(Yp)) throw OutOfDomainError("带号前置的横坐标不是有限数");
    const double n = PrefixOf(Yp, falseEasting);
    if (!(n >= MinZone(width) && n <= MaxZone(width))) {
        throw OutOfDomainError("横坐标 " + std::to_string(Yp) + " 前没有 " +
                               std::to_string(static_cast<int>(width)) + "° 带的带号");
    }
    const int zone = static_cast<int>(n);
    return {zone, Yp - zone * kZonePrefixUnit};
}

double WithoutZonePrefix(double Yp, double falseEasting) {
    return Yp - PrefixOf(Yp, falseEasting) * kZonePrefixUnit;
}

}  // namespace quorvel
