#pragma once

#include <GeographicLib/Ellipsoid.hpp>
#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/classic_check.h"
#include "core/computation.h"
#include "core/gauss_kruger.h"
#include "core/krassovsky_constants.h"
#include "core/limits.h"
#include "core/number_text.h"
#include "core/point_verdict.h"
#include "core/projection_surface.h"
#include "core/zones.h"

namespace quorvel::engine {

// Column names of a mode: name, the two typed values, the two results.
struct ModeColumns {
    std::string_view mode;
    std::array<std::string_view, 5> header;
};
const ModeColumns& ColumnsOf(Computation mode);

// The meridians of a run, decoded to decimal degrees. Ls is used by the zone mode only.
struct Meridians {
    double lo = 0;
    double ls = 0;
    bool operator==(const Meridians&) const = default;
};

enum class RowStatus {
    Ok,
    NotANumber,      // `field` (1 or 2, the first or second typed value) does not read as one
    OutOfRange,      // `field` is beyond the range of a double
    NoFiniteResult,  // the computation gives no number (a northing beyond the pole)
    BeyondLimit,     // `field` reads as a number that cannot be what was meant: see `limit`
    // The classic result lies more than kClassicMaxMiss from the exact one, or the exact method
    // has no counterpart: see `miss`.
    Inaccurate,
};

// The limit a BeyondLimit row names (core/point_verdict.h). For PrefixedEasting the row's `value`
// is y, the result's distance from its zone's meridian, and `offset` the easting as it would be
// written with the zone number in front.
using quorvel::Limit;

// The two results of a point as the window stores them: forward X and Y, inverse L and B as
// packed angles, zone X2 and Y2; unrounded.
struct RowResult {
    RowStatus status = RowStatus::Ok;
    int field = 0;
    Limit limit = Limit::None;
    // What the limit is checked on: B or L − Lo in degrees, X, or Y less the false easting
    // (after the zone number is taken off).
    double value = 0;
    double first = 0;
    double second = 0;
    // Classic method: classic − exact in metres on the ground (forward and zone: in the plane)
    // where the series may be kClassicWarnMiss off (core/classic_check.h), 0 where a bound rules
    // that out; NaN where the exact method has no counterpart, the point lying `offset` degrees
    // from the central meridian (zone: the farther one, Ls when `fromTarget`).
    double miss = 0;
    double offset = 0;
    bool fromTarget = false;
    // Without --zone: the easting carried the zone number of the central meridian itself in
    // front, taken off before it was checked and computed.
    bool zoneNumberTakenOff = false;
    // Forward: false only when both angles were typed as plain decimals whose minutes and
    // seconds are plainly below 60, so that FindPackedExcess need not look.
    bool mayExceed60 = true;
};

// One point from its two typed values, with the same conversions and core calls as the window's
// batch: angles are read as numbers and decoded from packed degrees, coordinates read as numbers.
RowResult ComputeRow(Computation mode, const EllipsoidConstants& constants,
                     const Meridians& meridians, std::string_view first, std::string_view second);

// What a Projector computes beyond the two results: the zone of the output's easting (forward
// and zone with --zone), γ in decimal degrees and k (--convergence, --scale), classic − exact
// in millimetres on the ground (--compare; NaN where the exact method has no result), and for
// --distortion the point's latitude (degrees) and, set by the run from the point's height, its
// length distortion in cm/km (NaN without a height).
struct RowExtras {
    int zone = -1;
    double convergence = std::numeric_limits<double>::quiet_NaN();
    double scale = std::numeric_limits<double>::quiet_NaN();
    double diff1 = std::numeric_limits<double>::quiet_NaN();
    double diff2 = std::numeric_limits<double>::quiet_NaN();
    double latitude = std::numeric_limits<double>::quiet_NaN();
    double distortion = std::numeric_limits<double>::quiet_NaN();
    // Datum runs with a height model: fit's h and H as read; transform's height as read and the
    // one computed (H from h, or h from H). NaN where the line has none.
    double height1 = std::numeric_limits<double>::quiet_NaN();
    double height2 = std::numeric_limits<double>::quiet_NaN();
};

// A run's projection beyond the window's: ellipsoid, method, scale and false easting, zones, and
// the columns added after the results.
struct Geodesy {
    Ellipsoid ellipsoid = Krassovsky();
    Method method = Method::Classic;
    double k0 = 1;
    double falseEasting = FalseEasting;
    // Each point's central meridian from its zone: forward from L; inverse and zone from the
    // zone number in front of the input easting, which is then required.
    std::optional<ZoneWidth> zone;
    bool zonePrefix = false;  // output eastings (forward, zone) with the zone number in front
    // Zone mode with `zone`: the zone --ls names; -1 carries each point into the zone its
    // longitude lies in.
    int targetZone = -1;
    bool convergence = false;
    bool scale = false;
    bool compare = false;  // classic − exact after the results
    // The height of the projection surface above the ellipsoid, metres (core/projection_surface.h).
    double projectionHeight = 0;
    // The column of each point's length distortion (cm/km), and the limit the run counts the
    // points beyond.
    bool distortion = false;
    double distortionLimit = 2.5;

    bool operator==(const Geodesy&) const = default;

    // Whether the run is the window's computation and nothing more, done by ComputeRow.
    bool IsDefault() const {
        return method == Method::Classic && IsKrassovsky(ellipsoid) && k0 == 1 &&
               falseEasting == FalseEasting && !zone && !convergence && !scale && !compare &&
               projectionHeight == 0 && !distortion;
    }
    // The scale of the classic series' plane: k0, times (a + H0)/a on a raised surface.
    double PlaneScale() const { return k0 * SurfaceRatio(ellipsoid, projectionHeight); }
    // Whether the output names the zone in a column of its own.
    bool ZoneColumn(Computation mode) const {
        return zone && !zonePrefix && mode != Computation::Inverse;
    }
};

// ComputeRow for a run that is not the window's: the core's projection with the run's settings.
// The classic method with the default settings gives the same bits as ComputeRow.
class Projector {
  public:
    // Throws InvalidParameterError for settings the core refuses.
    explicit Projector(const Geodesy& geodesy);
    RowResult Compute(Computation mode, const Meridians& meridians, std::string_view first,
                      std::string_view second, RowExtras& extras) const;
    const Geodesy& geodesy() const { return geodesy_; }

  private:
    Extras AskedExtras() const;
    // r.second: the easting Y, with the zone number in front if asked; refused when that
    // would read back as another zone.
    void SetEasting(double Y, const RowExtras& x, RowResult& r) const;
    // Forward and FromPlane set `Lo` to the point's central meridian once they find its zone.
    // L and B in decimal degrees, decoded from the packed angles typed.
    void Forward(double L, double B, double& Lo, RowResult& r, RowExtras& x) const;
    // Inverse and zone: the checks on X and Y, the zone number taken off, then the computation.
    void FromPlane(Computation mode, double X, double Y, double ls, double& Lo, RowResult& r,
                   RowExtras& x) const;
    void Inverse(double X, double Y, double Lo, RowResult& r, RowExtras& x) const;
    void Zone(double X, double Y, double Lo, double ls, RowResult& r, RowExtras& x) const;
    void Compare(RowExtras& x, const GridPoint& classic, double B, double L, double Lo) const;

    Geodesy geodesy_;
    GaussKruger projection_;
    std::optional<GaussKruger> exact_;  // --compare
    std::optional<GeographicLib::Ellipsoid> radii_;
};

// Differences in latitude and longitude (degrees) at latitude B, as millimetres on the ground:
// through the meridian radius M = a(1 − e²)/W³ north and the radius of the parallel N cos B =
// a cos B/W east, W = √(1 − e² sin²B).
double NorthMillimetres(const GeographicLib::Ellipsoid& e, double B, double dB);
double EastMillimetres(const GeographicLib::Ellipsoid& e, double B, double dL);

// A result as the window shows it, without the leading blank: forward and zone rounded half to
// even to 4 decimals under "0.0000", inverse packed angles to 10 under "0.0000000000". With
// `full`, the shortest round-trip decimal of the unrounded double, never with an exponent
// (500000, not 5e+05). Needs kMaxResultText bytes of room; returns the end.
inline constexpr std::size_t kMaxResultText = kMaxRoundedText;  // holds any double in fixed
char* WriteFullText(char* out, double value);
char* WriteResult(char* out, Computation mode, double value, bool full);

// The columns after the results that `geodesy` adds, for the header ("zone", "gamma", "k",
// "dX,dY" or "dB,dL", "distortion"), and their values: γ as packed degrees to 6 decimals, k to
// 10, the differences in millimetres to 3, the distortion in cm/km to 2 (empty where there is
// none). Values need kMaxExtrasText bytes; return the end.
std::vector<std::string_view> ExtraColumnNames(const Geodesy& geodesy, Computation mode);
inline constexpr std::size_t kMaxExtrasText = 6 * (kMaxResultText + 1);
char* WriteExtras(char* out, const Geodesy& geodesy, Computation mode, const RowExtras& x,
                  bool full);
// One of them, `column` counted from 0 as ExtraColumnNames lists them, without the comma.
char* WriteExtra(char* out, const Geodesy& geodesy, Computation mode, const RowExtras& x,
                 std::size_t column, bool full);

// A packed angle typed with 60 or more minutes or seconds: how many, and which. Read from the
// digits as typed (forms with an exponent are not checked).
struct PackedExcessValue {
    int amount = 0;
    bool seconds = false;
};
std::optional<PackedExcessValue> FindPackedExcess(std::string_view text);
// The same as "75 minutes"; empty when there is none.
std::string PackedExcess(std::string_view text);

}  // namespace quorvel::engine
