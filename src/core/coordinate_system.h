#pragma once

#include <GeographicLib/Geocentric.hpp>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/ellipsoid.h"
#include "core/gauss_kruger.h"
#include "core/zones.h"

namespace quorvel {

// Three coordinates of one point, in the order and units of its system (see CoordinateSystem).
using Triple = std::array<double, 3>;

enum class SystemKind { Plane, Geodetic, Geocentric };

// "plane", "geodetic" or "geocentric".
std::string_view SystemKindName(SystemKind kind);

// One side of a datum transformation, written KIND:ELLIPSOID[:WHERE]. A point of it is a Triple:
//   plane       X northing, Y easting (metres): Gauss-Krüger with k0 = 1 and a false easting of
//               500 000 m, computed by the exact method; with zone3/zone6 the zone number is in
//               front of Y (Y = n·1 000 000 + 500 000 + y), with a meridian it is not;
//               then H. KIND:ELLIPSOID:WHERE:H0 puts the plane on the surface H0 metres above
//               the ellipsoid (core/projection_surface.h)
//   geodetic    L longitude, B latitude (decimal degrees; texts type them in packed degrees), H
//   geocentric  X, Y, Z (metres) on the ellipsoid's centre and axes
// H is the height above the ellipsoid in metres: 0 where the two-dimensional practice has none.
struct CoordinateSystem {
    SystemKind kind = SystemKind::Plane;
    Ellipsoid ellipsoid = Krassovsky();
    // Plane only: the width of the zones whose number is in front of Y, or else the central
    // meridian (decimal degrees).
    std::optional<ZoneWidth> zoneWidth;
    double centralMeridian = 0;
    // WHERE as typed (packed degrees or zone3/zone6), kept so the text reads back unchanged;
    // empty except for plane.
    std::string where;
    // Plane only: the projection surface's height above the ellipsoid (metres) and its text.
    double projectionHeight = 0;
    std::string heightText;

    bool HasZones() const { return kind == SystemKind::Plane && zoneWidth.has_value(); }
};

// Metres: the largest easting, zone number 120 in front, is some 120 500 km.
inline constexpr double kMaxTypedEasting = 200'000'000;
// Degrees beyond half the zone width that a zoned point may lie, as survey jobs overlap zones.
inline constexpr double kZoneMargin = 1;

// How many coordinates a point of the system is typed with: 3 for geocentric; 2 for plane and
// geodetic, 3 with heights.
inline int TypedCount(const CoordinateSystem& system, bool heights) {
    return system.kind == SystemKind::Geocentric || heights ? 3 : 2;
}

// Reads KIND:ELLIPSOID[:WHERE[:H0]]: KIND plane, geodetic or geocentric (any letter case);
// ELLIPSOID as ParseEllipsoid reads it (a name or "a,rf"); WHERE, required for plane and refused
// for the others, the central meridian in packed degrees within [−180°, 360°) or zone3 / zone6;
// H0, plane only, the projection height in metres within ±kMaxProjectionHeight.
// Blanks around each part are ignored. Throws InvalidParameterError naming the faulty part.
CoordinateSystem ParseCoordinateSystem(std::string_view text);

// The text ParseCoordinateSystem reads back to the same system: lower-case kind, the ellipsoid's
// name ("a,rf" as typed for an ellipsoid given by numbers), WHERE and H0 (where not 0) as typed.
std::string SystemText(const CoordinateSystem& system);

// The conversions of one system's points to and from geodetic and geocentric coordinates.
// Construct once per system, convert many points; the conversions are const and safe to call
// from several threads at once.
//
// Accuracy: the exact Gauss-Krüger projection, 5 nm (see GaussKruger), and
// GeographicLib::Geocentric, a few nm; a round trip through geocentric returns a point within
// 10 nm. Domain: plane points within 35° of longitude of their central meridian; every
// coordinate finite; latitudes within [−90°, 90°]. Every conversion throws OutOfDomainError
// outside it, and for a zoned plane point whose Y carries no zone number of that width.
// Reading plane points it also throws, naming the likely cause, for |X| beyond kMaxNorthing
// (core/limits.h) or |Y| (from the false easting where there is no zone number) beyond
// kMaxTypedEasting; and for a zoned point farther from its zone's meridian than half the width plus
// kZoneMargin, or (on the ellipsoids of China's systems: Krassovsky, IAG-75, CGCS2000) whose zone
// number lies outside China for its width but inside it for the other (6° zones 13–23, 3° zones
// 24–45 there).
class SystemConverter {
  public:
    // Throws InvalidParameterError for an ellipsoid MakeEllipsoid would refuse.
    explicit SystemConverter(const CoordinateSystem& system);

    const CoordinateSystem& system() const { return system_; }

    // The zone number in front of Y of a point of a zoned plane system; −1 for any other system.
    int ZoneOf(const Triple& point) const;

    // L, B (decimal degrees) and H of a point of the system; L is not reduced, so a plane point
    // gives L near its central meridian.
    Triple ToGeodetic(const Triple& point) const;

    // The point of the system at L, B (decimal degrees), H. A zoned plane system writes the point
    // in `zone` when it is 0 or more, else in the zone its longitude lies in (ZoneOf in
    // core/zones.h, L first reduced to [0°, 360°)); other systems ignore `zone`.
    Triple FromGeodetic(const Triple& lbh, int zone = -1) const;

    // Geocentric X, Y, Z (metres) of a point of the system, and back (`zone` as FromGeodetic).
    Triple ToGeocentric(const Triple& point) const;
    Triple FromGeocentric(const Triple& xyz, int zone = -1) const;

  private:
    CoordinateSystem system_;
    GaussKruger projection_;
    GeographicLib::Geocentric earth_;
    bool ofChina_;  // on the ellipsoid of one of China's systems: its zone numbers are checked
};

}  // namespace quorvel
