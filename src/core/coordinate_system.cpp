#include "core/coordinate_system.h"

#include <cmath>
#include <cstdio>

#include "core/errors.h"
#include "core/limits.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/projection_surface.h"

namespace quorvel {
namespace {

constexpr double kFalseEasting = 500000;

void RequireFinite(const Triple& p) {
    for (double v : p) {
        if (!std::isfinite(v)) throw OutOfDomainError(Tr("a coordinate is not a finite number"));
    }
}

void RequireLatitude(double B) {
    if (!(std::abs(B) <= 90)) throw OutOfDomainError(Tr("a latitude must lie from -90° to 90°"));
}

std::string Metres(double v) {
    char s[40];
    std::snprintf(s, sizeof s, "%.10g", v);
    return s;
}

// A plane X, Y that no point on the Earth has, whatever its meridian: the cause is a unit or a
// column, not the projection, so it is named before the projection fails on it.
void RequirePlanePoint(double X, double Y, double fromMeridian) {
    if (std::abs(X) > kMaxNorthing) {
        throw OutOfDomainError(Fill(Tr("X {0} m lies farther from the equator than the poles "
                                       "(10 002 km): not a northing in metres; check the unit and "
                                       "the order of the columns"),
                                    {Metres(X)}));
    }
    if (std::abs(fromMeridian) > kMaxTypedEasting) {
        throw OutOfDomainError(Fill(Tr("Y {0} m lies farther from any central meridian than a "
                                       "zone reaches, even with a zone number in front: not an "
                                       "easting in metres; check the unit and the order of the "
                                       "columns"),
                                    {Metres(Y)}));
    }
}

// The ellipsoids of China's systems: Krassovsky (Beijing 1954), IAG-75 (Xi'an 1980), CGCS2000.
bool OfChina(const Ellipsoid& e) {
    for (const Ellipsoid& c : {Krassovsky(), Xian80(), Cgcs2000()}) {
        if (e.a == c.a && e.f == c.f) return true;
    }
    return false;
}

// China's zones: 6° zones 13 to 23, 3° zones 24 to 45, which do not overlap; a number of the
// other range names the other width.
void RequireChineseZone(ZoneWidth width, int zone) {
    const bool six = width == ZoneWidth::Six;
    const bool inChina = six ? zone >= 13 && zone <= 23 : zone >= 24 && zone <= 45;
    const bool other = six ? zone >= 24 && zone <= 45 : zone >= 13 && zone <= 23;
    if (inChina || !other) return;
    const ZoneWidth otherWidth = six ? ZoneWidth::Three : ZoneWidth::Six;
    throw OutOfDomainError(
        Fill(six ? Tr("zone {0} of 6° lies on {1}°, far from China, whose 6° zones are 13 to 23; "
                      "as a 3° zone it lies on {2}°: the coordinates are most likely of 3° zones: "
                      "write the system with zone3")
                 : Tr("zone {0} of 3° lies on {1}°, far from China, whose 3° zones are 24 to 45; "
                      "as a 6° zone it lies on {2}°: the coordinates are most likely of 6° zones: "
                      "write the system with zone6"),
             {std::to_string(zone), Metres(CentralMeridianOf(width, zone)),
              Metres(CentralMeridianOf(otherWidth, zone))}));
}

// A point of a zone lies within its half width of the meridian, give or take kZoneMargin.
void RequireInZone(ZoneWidth width, int zone, double L, double lo) {
    const double half = static_cast<int>(width) / 2.0;
    const double off = std::abs(MeridianOffset(L, lo));
    if (off <= half + kZoneMargin) return;
    throw OutOfDomainError(
        Fill(Tr("the point lies {0}° from the central meridian {1}° of its zone {2}, beyond the "
                "{3}° a zone of {4}° reaches: most likely the zone width is wrong (zone3 for zone6 "
                "or the reverse) or Y belongs to another zone"),
             {Metres(std::round(off * 100) / 100), Metres(lo), std::to_string(zone),
              Metres(half + kZoneMargin), std::to_string(static_cast<int>(width))}));
}

}  // namespace

std::string_view SystemKindName(SystemKind kind) {
    switch (kind) {
        case SystemKind::Plane:
            return "plane";
        case SystemKind::Geodetic:
            return "geodetic";
        case SystemKind::Geocentric:
            return "geocentric";
    }
    return "plane";
}

namespace {

// WHERE[:H0] of a plane system `typed`.
void ReadPlaneWhere(std::string_view rest, const std::string& typed, CoordinateSystem& s) {
    if (const std::size_t third = rest.find(':'); third != std::string_view::npos) {
        s.heightText = std::string(TrimBlanks(rest.substr(third + 1)));
        const std::optional<double> h0 = TryParseNumber(s.heightText);
        if (!h0 || !(std::fabs(*h0) <= kMaxProjectionHeight)) {
            throw InvalidParameterError(
                Fill(Tr("coordinate system \"{0}\": the projection height \"{1}\" must be a "
                        "number of metres from -10000 to 10000"),
                     {typed, s.heightText}));
        }
        s.projectionHeight = *h0 == 0 ? 0 : *h0;  // no -0
        if (s.projectionHeight == 0) s.heightText.clear();
        rest = rest.substr(0, third);
    }
    s.where = std::string(TrimBlanks(rest));
    const std::string where = AsciiLower(s.where);
    if (where == "zone3") {
        s.zoneWidth = ZoneWidth::Three;
        return;
    }
    if (where == "zone6") {
        s.zoneWidth = ZoneWidth::Six;
        return;
    }
    const std::optional<double> packed = TryParseNumber(s.where);
    const double lo = packed ? DecodePackedAngle(*packed) : NAN;
    if (!(lo >= -180 && lo < 360)) {
        throw InvalidParameterError(Fill(
            Tr("coordinate system \"{0}\": WHERE \"{1}\" must be a central meridian from -180° "
               "to 360° (packed degrees) or zone3, zone6"),
            {typed, s.where}));
    }
    s.centralMeridian = lo;
}

}  // namespace

CoordinateSystem ParseCoordinateSystem(std::string_view text) {
    const std::string typed(TrimBlanks(text));
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) {
        throw InvalidParameterError(
            Fill(Tr("coordinate system \"{0}\": expected KIND:ELLIPSOID[:WHERE], KIND plane, "
                    "geodetic or geocentric"),
                 {typed}));
    }
    const std::size_t second = text.find(':', first + 1);
    const std::string kind = AsciiLower(TrimBlanks(text.substr(0, first)));
    const std::string_view ellipsoid = text.substr(
        first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    CoordinateSystem s;
    if (kind == "plane") {
        s.kind = SystemKind::Plane;
    } else if (kind == "geodetic") {
        s.kind = SystemKind::Geodetic;
    } else if (kind == "geocentric") {
        s.kind = SystemKind::Geocentric;
    } else {
        throw InvalidParameterError(Fill(
            Tr("coordinate system \"{0}\": unknown kind \"{1}\": expected KIND:ELLIPSOID[:WHERE], "
               "KIND plane, geodetic or geocentric"),
            {typed, kind}));
    }
    try {
        s.ellipsoid = ParseEllipsoid(ellipsoid);
    } catch (const Error& e) {
        RethrowWithContext(e, Fill(Tr("coordinate system \"{0}\""), {typed}));
    }
    if (s.kind != SystemKind::Plane) {
        if (second != std::string_view::npos) {
            throw InvalidParameterError(
                Fill(Tr("coordinate system \"{0}\": only plane takes a central meridian or "
                        "zone3/zone6"),
                     {typed}));
        }
        return s;
    }
    if (second == std::string_view::npos) {
        throw InvalidParameterError(
            Fill(Tr("coordinate system \"{0}\": plane needs its central meridian (packed degrees) "
                    "or zone3/zone6, as plane:cgcs2000:117 or plane:cgcs2000:zone3"),
                 {typed}));
    }
    ReadPlaneWhere(text.substr(second + 1), typed, s);
    return s;
}

std::string SystemText(const CoordinateSystem& system) {
    std::string text = std::string(SystemKindName(system.kind)) + ":" + system.ellipsoid.name;
    if (system.kind == SystemKind::Plane) text += ":" + system.where;
    if (system.kind == SystemKind::Plane && system.projectionHeight != 0) {
        text += ":" + (system.heightText.empty() ? RoundedText(system.projectionHeight, 3)
                                                 : system.heightText);
    }
    return text;
}

SystemConverter::SystemConverter(const CoordinateSystem& system)
    : system_(system),
      projection_(Method::Exact, system.ellipsoid, 1, 500000, system.projectionHeight),
      earth_(system.ellipsoid.a, system.ellipsoid.f),
      ofChina_(OfChina(system.ellipsoid)) {}

int SystemConverter::ZoneOf(const Triple& point) const {
    if (!system_.HasZones()) return -1;
    return SplitZonePrefix(*system_.zoneWidth, point[1], kFalseEasting).zone;
}

Triple SystemConverter::ToGeodetic(const Triple& point) const {
    RequireFinite(point);
    switch (system_.kind) {
        case SystemKind::Plane: {
            double Y = point[1];
            double lo = system_.centralMeridian;
            RequirePlanePoint(point[0], Y, system_.zoneWidth ? Y : Y - kFalseEasting);
            if (system_.zoneWidth) {
                const ZonedEasting z = SplitZonePrefix(*system_.zoneWidth, Y, kFalseEasting);
                if (ofChina_) RequireChineseZone(*system_.zoneWidth, z.zone);
                Y = z.Y;
                lo = CentralMeridianOf(*system_.zoneWidth, z.zone);
                const GeoPoint g = projection_.Inverse(point[0], Y, lo);
                RequireInZone(*system_.zoneWidth, z.zone, g.L, lo);
                return {g.L, g.B, point[2]};
            }
            const GeoPoint g = projection_.Inverse(point[0], Y, lo);
            return {g.L, g.B, point[2]};
        }
        case SystemKind::Geodetic:
            RequireLatitude(point[1]);
            return point;
        case SystemKind::Geocentric: {
            Triple lbh;
            earth_.Reverse(point[0], point[1], point[2], lbh[1], lbh[0], lbh[2]);
            return lbh;
        }
    }
    return point;
}

Triple SystemConverter::FromGeodetic(const Triple& lbh, int zone) const {
    RequireFinite(lbh);
    RequireLatitude(lbh[1]);
    switch (system_.kind) {
        case SystemKind::Plane: {
            if (!system_.zoneWidth) {
                const GridPoint g = projection_.Forward(lbh[1], lbh[0], system_.centralMeridian);
                return {g.X, g.Y, lbh[2]};
            }
            const ZoneWidth width = *system_.zoneWidth;
            if (zone < 0) {
                const double L = std::fmod(std::fmod(lbh[0], 360.0) + 360.0, 360.0);
                zone = quorvel::ZoneOf(width, L < 360 ? L : 0);
            }
            const GridPoint g = projection_.Forward(lbh[1], lbh[0], CentralMeridianOf(width, zone));
            return {g.X, WithZonePrefix(width, zone, g.Y), lbh[2]};
        }
        case SystemKind::Geodetic:
            return lbh;
        case SystemKind::Geocentric: {
            Triple xyz;
            earth_.Forward(lbh[1], lbh[0], lbh[2], xyz[0], xyz[1], xyz[2]);
            return xyz;
        }
    }
    return lbh;
}

Triple SystemConverter::ToGeocentric(const Triple& point) const {
    if (system_.kind == SystemKind::Geocentric) {
        RequireFinite(point);
        return point;
    }
    const Triple lbh = ToGeodetic(point);
    Triple xyz;
    earth_.Forward(lbh[1], lbh[0], lbh[2], xyz[0], xyz[1], xyz[2]);
    return xyz;
}

Triple SystemConverter::FromGeocentric(const Triple& xyz, int zone) const {
    RequireFinite(xyz);
    if (system_.kind == SystemKind::Geocentric) return xyz;
    Triple lbh;
    earth_.Reverse(xyz[0], xyz[1], xyz[2], lbh[1], lbh[0], lbh[2]);
    return FromGeodetic(lbh, zone);
}

}  // namespace quorvel
