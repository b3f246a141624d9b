#include "core/zones.h"

#include <cmath>
#include <string>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel {
namespace {

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

double WithZonePrefix(ZoneWidth width, int zone, double Y) {
    RequireZone(width, zone);
    return zone * kZonePrefixUnit + Y;
}

ZonedEasting SplitZonePrefix(ZoneWidth width, double Yp, double falseEasting) {
    if (!std::isfinite(Yp))
        throw OutOfDomainError(
            Tr("the easting with the zone number in front is not a finite number"));
    const double n = std::floor((Yp - falseEasting + kZonePrefixUnit / 2) / kZonePrefixUnit);
    if (!(n >= MinZone(width) && n <= MaxZone(width))) {
        throw OutOfDomainError(Fill(Tr("the easting {0} has no zone number of {1}° in front"),
                                    {std::to_string(Yp), std::to_string(static_cast<int>(width))}));
    }
    const int zone = static_cast<int>(n);
    return {zone, Yp - zone * kZonePrefixUnit};
}

}  // namespace quorvel
