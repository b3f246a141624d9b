#pragma once

#include <string>
#include <string_view>

#include "core/coordinate_system.h"

namespace quorvel {

// Datum transformations between two coordinate systems, with the parameters PROJ's `helmert`
// takes, so that parameters written by Quorvel run unchanged in PROJ and the other way round.
//
// 7-parameter Bursa-Wolf, through geocentric coordinates, PROJ's small-angle model (helmert
// without +exact):
//
//   [X']   [ΔX]                 [X]                          [  1   −rz   ry ]
//   [Y'] = [ΔY] + (1 + ds·1e-6) R [Y],   position vector:   R = [  rz   1   −rx ]
//   [Z']   [ΔZ]                 [Z]                          [ −ry   rx   1  ]
//
//   coordinate frame: R transposed, i.e. the same rotations with the opposite sign:
//                                                            [  1    rz  −ry ]
//                                                        R = [ −rz   1    rx ]
//                                                            [  ry  −rx   1  ]
//
//   ΔX, ΔY, ΔZ in metres; rx, ry, rz in arc-seconds (taken in radians in R); ds in ppm. The
//   scale multiplies the rotation terms too, as PROJ applies it; the textbook form
//   X + ds·X + (R − I)·X differs by ds·(R − I)·X, which is why a fit is made in PROJ's form.
//   Coordinate frame is the default: it is the form of the Bursa model in China's national
//   rules for transforming to CGCS2000 (CH/T 2014—2016 and the CGCS2000 guide, whose matrix has
//   +εZ above the diagonal in the first row), so parameters a bureau publishes are read as
//   published. It is EPSG's method 9607; position vector is EPSG 9606 (and PROJ's +towgs84).
//
// 3-parameter: the same with rx = ry = rz = ds = 0, a translation of geocentric coordinates.
//
// 4-parameter plane similarity on plane coordinates X (northing), Y (easting) as typed (zone
// number included), α a rotation in arc-seconds, m = 1 + scale·1e-6:
//
//   X' = ΔX + m·(X·cos α − Y·sin α)
//   Y' = ΔY + m·(X·sin α + Y·cos α)        H' = H
//
//   With X north and Y east a positive α turns the grid clockwise as seen on the map (from north
//   towards east). This is the form of the Chinese rules. In PROJ, which orders easting first,
//   it is helmert +x=ΔY +y=ΔX +theta=α +s=m between two axisswap +order=2,1 steps; note that
//   PROJ's 2-D helmert takes +s as the factor m itself, not in ppm.

enum class DatumModel { Seven, Four, Three };

// "7", "4" or "3".
std::string_view ModelName(DatumModel model);
// Reads "7", "4" or "3"; throws InvalidParameterError otherwise.
DatumModel ParseModel(std::string_view text);
// Unknowns of the model: 7, 4 or 3.
int ParameterCount(DatumModel model);
// The fewest common points that fix the model: 3, 2 or 1.
int MinimumPoints(DatumModel model);

enum class RotationConvention { CoordinateFrame, PositionVector };
inline constexpr RotationConvention kDefaultConvention = RotationConvention::CoordinateFrame;

// "coordinate-frame" or "position-vector".
std::string_view ConventionName(RotationConvention convention);
// PROJ's spelling: "coordinate_frame" or "position_vector".
std::string_view ProjConventionName(RotationConvention convention);
// Reads either spelling, any letter case; throws InvalidParameterError otherwise.
RotationConvention ParseConvention(std::string_view text);

// The parameters of one model in the units they are published in. The 7- and 3-parameter models
// use dx, dy, dz (metres), rx, ry, rz (arc-seconds) and ds (ppm), the 3-parameter one only the
// translations; the 4-parameter model uses dx (ΔX, north), dy (ΔY, east), rotation
// (arc-seconds) and scale (ppm). Fields a model does not use stay 0. The same structure holds
// the standard errors of a fit, in the same units.
struct DatumParameters {
    DatumModel model = DatumModel::Seven;
    RotationConvention convention = kDefaultConvention;
    double dx = 0, dy = 0, dz = 0;
    double rx = 0, ry = 0, rz = 0;
    double ds = 0;
    double rotation = 0;
    double scale = 0;

    bool operator==(const DatumParameters&) const = default;
};

// Where the small-angle model holds. R above is not a rotation: it stretches by
// sqrt(1 + |r|²) across its axis, a distortion of |r|²/2 that no parameter absorbs. It is kept
// within 1e-7 (0.1 ppm: 1 mm over 10 km, the accuracy a datum fit aims at), so |r| ≤ 92.2″.
// Beijing 1954, Xi'an 1980 and CGCS2000 differ by a few arc-seconds and a few ppm; a projection
// surface raised by a few kilometres adds some hundred ppm of scale; beyond 1000 ppm the two
// sides are not one datum's points (wrong ellipsoid, unit or system), so the scale is limited
// there. The 4-parameter model rotates exactly, but both its sides are national grids on one
// meridian, which only the datums' rotation turns against each other: its rotation has the
// same limit, and its scale too.
inline constexpr double kMaxRotationSeconds = 92.2;  // √(2·1e-7) rad, rounded down
inline constexpr double kMaxScalePpm = 1000;
// The farthest, in metres, a transformation may move a point on the ground: fit refuses a
// common point whose sides are farther apart (kMaxSideSeparation).
inline constexpr double kMaxPointShift = 1000;

// The largest translation (the length of dx, dy, dz; of dx, dy for 4) a set may have: the
// 1 km a point may move plus what rotations and scale within their limits explain at the
// farthest a coordinate can be from the origin. That is the Earth's radius (6400 km) for 7 and
// 3, 10.3 km; for 4 the typed X (up to 10,000 km) and Y of `from` (with a zone number up to
// 121,000 km for zone3 and 61,000 km for zone6; without it 1000 km), 15.5 km to 177 km; for 4
// without `from` that of zone3.
double MaxTranslation(const DatumParameters& p, const CoordinateSystem* from = nullptr);

// Throws OutOfDomainError, naming the value and the limit, when the parameters are not finite
// or exceed the limits above (|r| the length of (rx, ry, rz); for 4 the rotation and scale) or
// MaxTranslation.
void CheckModelLimits(const DatumParameters& p, const CoordinateSystem* from = nullptr);

// Where the common points of a fit lie: their centre as longitude and latitude (decimal
// degrees, on the source's ellipsoid) and the largest horizontal distance of one from it in
// metres. The same form for every kind of system, so that transform can tell how far a point
// lies outside the area whatever its source.
struct CommonArea {
    double l = 0, b = 0;
    double radius = 0;

    bool operator==(const CommonArea&) const = default;
};

// A transformation from one system to another with one set of parameters. Construct once,
// apply to many points; Apply is const and safe to call from several threads at once.
//
// 7 and 3: the source point to geocentric on its ellipsoid, the Bursa-Wolf shift, back to the
// target system on its ellipsoid; H comes out as the height above the target ellipsoid. 4: the
// formula above on the typed X, Y; H passes through.
// Accuracy: within 20 nm of the formulas on exact arithmetic (the conversions' 10 nm twice);
// the same pipeline in PROJ's cct agrees within 1e-6 m across a 6° zone (tests/core).
class DatumTransform {
  public:
    // Throws InvalidParameterError for a 4-parameter model whose sides are not both plane, and
    // what CheckModelLimits throws for `from`.
    DatumTransform(const CoordinateSystem& from, const CoordinateSystem& to,
                   const DatumParameters& parameters);

    const DatumParameters& parameters() const { return parameters_; }
    const SystemConverter& source() const { return source_; }
    const SystemConverter& target() const { return target_; }

    // The point of the target system. A zoned plane target writes the zone `targetZone` when it
    // is 0 or more; otherwise the source point's own zone number when the source is zoned with
    // the same width (a job stays in its zone across the border), else the zone of the point's
    // longitude. Throws OutOfDomainError where the conversions do (see SystemConverter).
    Triple Apply(const Triple& source, int targetZone = -1) const;

    // The geocentric shift alone (7 and 3 only): source geocentric to target geocentric.
    Triple Shift(const Triple& xyz) const;

  private:
    DatumParameters parameters_;
    SystemConverter source_;
    SystemConverter target_;
    double m_[3][3];  // (1 + ds)·R, or for 4: m·cos α, m·sin α in m_[0][0], m_[0][1]
};

// The PROJ pipeline, as cct reads it, that does what DatumTransform does. Its input and output
// are the systems' coordinates in their typed order with these units: plane X, Y (northing
// first, as typed), geodetic L, B in decimal degrees, geocentric X, Y, Z; then H. A zoned plane
// system needs the zone its points are in (`fromZone`, `toZone`), since PROJ has no zone number
// in front of Y; the pipeline serves that zone only. Numbers are written with 17 significant
// digits. Throws InvalidParameterError for a zoned side without its zone.
std::string ProjPipeline(const CoordinateSystem& from, const CoordinateSystem& to,
                         const DatumParameters& parameters, int fromZone = -1, int toZone = -1);

}  // namespace quorvel
