#include "core/datum.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/projection_surface.h"

namespace quorvel {
namespace {

constexpr double kArcSecond = std::numbers::pi / 648000;

std::string Num(double v, int digits = 17) {
    char s[40];
    std::snprintf(s, sizeof s, "%.*g", digits, v);
    return s;
}

std::string EllipsoidArgs(const CoordinateSystem& s) {
    return " +a=" + Num(s.ellipsoid.a) + " +rf=" + Num(s.ellipsoid.InverseFlattening());
}

// From the system's typed coordinates to geocentric (inverse = false), or back.
std::string SideSteps(const CoordinateSystem& s, int zone, bool toGeocentric) {
    if (s.kind == SystemKind::Geocentric) return "";
    const std::string cart =
        " +step" + std::string(toGeocentric ? "" : " +inv") + " +proj=cart" + EllipsoidArgs(s);
    if (s.kind == SystemKind::Geodetic) return cart;
    double lo = s.centralMeridian;
    double x0 = 500000;
    if (s.zoneWidth) {
        if (zone < 0) {
            throw InvalidParameterError(
                Fill(Tr("the plane system \"{0}\" has the zone number in front of Y: a PROJ "
                        "pipeline needs the zone its points lie in"),
                     {SystemText(s)}));
        }
        lo = CentralMeridianOf(*s.zoneWidth, zone);
        x0 = WithZonePrefix(*s.zoneWidth, zone, 500000);
    }
    const std::string swap = " +step +proj=axisswap +order=2,1";
    const std::string tmerc = " +step" + std::string(toGeocentric ? " +inv" : "") +
                              " +proj=tmerc +lat_0=0 +lon_0=" + Num(lo) +
                              // A raised surface as k0 scaled by a'/a: PROJ's cart step stays
                              // on the ellipsoid itself.
                              " +k_0=" + Num(SurfaceRatio(s.ellipsoid, s.projectionHeight)) +
                              " +x_0=" + Num(x0) + " +y_0=0" + EllipsoidArgs(s);
    return toGeocentric ? swap + tmerc + cart : cart + tmerc + swap;
}

}  // namespace

std::string_view ModelName(DatumModel model) {
    switch (model) {
        case DatumModel::Seven:
            return "7";
        case DatumModel::Four:
            return "4";
        case DatumModel::Three:
            return "3";
    }
    return "7";
}

DatumModel ParseModel(std::string_view text) {
    const std::string t = AsciiLower(text);
    if (t == "7") return DatumModel::Seven;
    if (t == "4") return DatumModel::Four;
    if (t == "3") return DatumModel::Three;
    throw InvalidParameterError(
        Fill(Tr("unknown transformation model \"{0}\": use 7, 4 or 3"), {text}));
}

int ParameterCount(DatumModel model) {
    return model == DatumModel::Seven ? 7 : model == DatumModel::Four ? 4 : 3;
}

int MinimumPoints(DatumModel model) {
    return model == DatumModel::Seven ? 3 : model == DatumModel::Four ? 2 : 1;
}

std::string_view ConventionName(RotationConvention convention) {
    return convention == RotationConvention::CoordinateFrame ? "coordinate-frame"
                                                             : "position-vector";
}

std::string_view ProjConventionName(RotationConvention convention) {
    return convention == RotationConvention::CoordinateFrame ? "coordinate_frame"
                                                             : "position_vector";
}

RotationConvention ParseConvention(std::string_view text) {
    const std::string t = AsciiLower(text);
    if (t == "coordinate-frame" || t == "coordinate_frame") {
        return RotationConvention::CoordinateFrame;
    }
    if (t == "position-vector" || t == "position_vector") {
        return RotationConvention::PositionVector;
    }
    throw InvalidParameterError(
        Fill(Tr("unknown rotation convention \"{0}\": use coordinate-frame or position-vector"),
             {text}));
}

double MaxTranslation(const DatumParameters& p, const CoordinateSystem* from) {
    const double turn = kMaxRotationSeconds * kArcSecond + kMaxScalePpm * 1e-6;
    double reach = 6.4e6;  // the Earth's radius, rounded up
    if (p.model == DatumModel::Four) {
        const int width = !from ? 3 : from->zoneWidth ? static_cast<int>(*from->zoneWidth) : 0;
        const double y = width > 0 ? (360.0 / width + 1) * 1e6 : 1e6;
        reach = std::hypot(1e7, y);
    }
    return kMaxPointShift + reach * turn;
}

void CheckModelLimits(const DatumParameters& p, const CoordinateSystem* from) {
    for (double v : {p.dx, p.dy, p.dz, p.rx, p.ry, p.rz, p.ds, p.rotation, p.scale}) {
        if (!std::isfinite(v)) {
            throw OutOfDomainError(Tr("a transformation parameter is not a finite number"));
        }
    }
    const bool four = p.model == DatumModel::Four;
    const double r =
        four ? std::abs(p.rotation) : std::sqrt(p.rx * p.rx + p.ry * p.ry + p.rz * p.rz);
    if (four && r > kMaxRotationSeconds) {
        throw OutOfDomainError(
            Fill(Tr("the rotation {0}″ is beyond ±92.2″: between two national grids on one "
                    "meridian only the datums' rotation turns one against the other, a few "
                    "arc-seconds; the two sides are most likely not the same points, or a "
                    "meridian or zone is wrong"),
                 {Num(p.rotation, 6)}));
    }
    if (!four && r > kMaxRotationSeconds) {
        throw OutOfDomainError(
            Fill(Tr("the rotations add up to {0}″, beyond the small-angle model's limit of 92.2″ "
                    "(its approximation then distorts coordinates by more than 0.1 ppm): the two "
                    "sides are most likely not the same points, or a system is wrong"),
                 {Num(r, 6)}));
    }
    const double scale = four ? p.scale : p.ds;
    if (std::abs(scale) > kMaxScalePpm) {
        throw OutOfDomainError(
            Fill(Tr("the scale {0} ppm is beyond ±1000 ppm: the two sides are most likely not the "
                    "same points, or an ellipsoid, a unit or a system is wrong"),
                 {Num(scale, 6)}));
    }
    const double t = std::hypot(p.dx, p.dy, four ? 0.0 : p.dz);
    const double limit = MaxTranslation(p, from);
    if (t > limit) {
        throw OutOfDomainError(
            Fill(Tr("the translation of {0} m is beyond {1} m (a shift of 1 km on the ground and "
                    "what the rotations and scale at their limits explain): the parameters are "
                    "not those of two datums of one place, or a value is in the wrong unit"),
                 {Num(t, 6), Num(std::round(limit), 6)}));
    }
}

DatumTransform::DatumTransform(const CoordinateSystem& from, const CoordinateSystem& to,
                               const DatumParameters& parameters)
    : parameters_(parameters), source_(from), target_(to), m_{} {
    CheckModelLimits(parameters, &from);
    const DatumParameters& p = parameters;
    if (p.model == DatumModel::Four) {
        if (from.kind != SystemKind::Plane || to.kind != SystemKind::Plane) {
            throw InvalidParameterError(
                Tr("the 4-parameter transformation needs plane systems on both sides"));
        }
        const double m = 1 + p.scale * 1e-6;
        const double a = p.rotation * kArcSecond;
        m_[0][0] = std::cos(a) * m;
        m_[0][1] = std::sin(a) * m;
        return;
    }
    // Coordinate frame as PROJ builds it; position vector is its transpose.
    const bool seven = p.model == DatumModel::Seven;
    const double s = seven ? 1 + p.ds * 1e-6 : 1;
    const double rx = seven ? p.rx * kArcSecond : 0;
    const double ry = seven ? p.ry * kArcSecond : 0;
    const double rz = seven ? p.rz * kArcSecond : 0;
    const double cf[3][3] = {{1, rz, -ry}, {-rz, 1, rx}, {ry, -rx, 1}};
    const bool pv = p.convention == RotationConvention::PositionVector;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m_[i][j] = s * (pv ? cf[j][i] : cf[i][j]);
    }
}

Triple DatumTransform::Shift(const Triple& v) const {
    const DatumParameters& p = parameters_;
    Triple out;
    const double t[3] = {p.dx, p.dy, p.dz};
    for (int i = 0; i < 3; ++i) {
        out[i] = m_[i][0] * v[0] + m_[i][1] * v[1] + m_[i][2] * v[2] + t[i];
    }
    return out;
}

Triple DatumTransform::Apply(const Triple& source, int targetZone) const {
    const DatumParameters& p = parameters_;
    if (p.model == DatumModel::Four) {
        // PROJ's order of operations, easting first: E' = cr·E + sr·N + ΔY, N' = −sr·E + cr·N + ΔX.
        const double cr = m_[0][0], sr = m_[0][1];
        const double N = source[0], E = source[1];
        return {-sr * E + cr * N + p.dx, cr * E + sr * N + p.dy, source[2]};
    }
    const CoordinateSystem& from = source_.system();
    const CoordinateSystem& to = target_.system();
    if (targetZone < 0 && to.HasZones() && from.HasZones() && *from.zoneWidth == *to.zoneWidth) {
        targetZone = source_.ZoneOf(source);
    }
    return target_.FromGeocentric(Shift(source_.ToGeocentric(source)), targetZone);
}

std::string ProjPipeline(const CoordinateSystem& from, const CoordinateSystem& to,
                         const DatumParameters& p, int fromZone, int toZone) {
    std::string helmert = " +step +proj=helmert +x=";
    if (p.model == DatumModel::Four) {
        // Easting first in PROJ, and its 2-D scale is the factor itself.
        return "+proj=pipeline +step +proj=axisswap +order=2,1" + helmert + Num(p.dy) +
               " +y=" + Num(p.dx) + " +theta=" + Num(p.rotation) +
               " +s=" + Num(1 + p.scale * 1e-6) + " +step +proj=axisswap +order=2,1";
    }
    helmert += Num(p.dx) + " +y=" + Num(p.dy) + " +z=" + Num(p.dz);
    if (p.model == DatumModel::Seven) {
        helmert += " +rx=" + Num(p.rx) + " +ry=" + Num(p.ry) + " +rz=" + Num(p.rz) +
                   " +s=" + Num(p.ds) +
                   " +convention=" + std::string(ProjConventionName(p.convention));
    }
    return "+proj=pipeline" + SideSteps(from, fromZone, true) + helmert +
           SideSteps(to, toZone, false);
}

}  // namespace quorvel
