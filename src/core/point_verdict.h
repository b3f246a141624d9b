#pragma once

#include "core/classic_check.h"
#include "core/gauss_kruger.h"
#include "core/limits.h"

namespace quorvel {

// One verdict on a typed point, for the window's batches and quorvel-batch alike: first whether
// a value lies beyond one of its limits (IsBeyond), then, for the classic series, whether the
// result may miss the exact one, how far it does, and whether it is kept, kept with a warning or
// refused (JudgeForward, JudgeInverse, JudgeZone). Each caller words the verdict its own way.
// Every function is pure and safe to call from several threads at once.

// The limits of a point's values. The first four are checked by every computation; the rest
// only by quorvel-batch's zone options.
enum class Limit {
    None,
    Latitude,  // |B| beyond kMaxLatitude
    // |L − Lo| modulo 360° beyond kMaxMeridianOffset, or kExactMaxOffset for the exact method
    // (quorvel-batch's inverse and zone: of the point computed, field 2)
    MeridianOffset,
    Northing,       // |X| beyond kMaxNorthing
    EastingOffset,  // |Y − false easting| kMaxEastingOffset or more
    ZoneNumber,     // with --zone: the easting has no zone number of that width in front
    Longitude,      // with --zone: a forward L beyond ±360°, where no zone is meant
    // With --zone-prefix: the result lies too far from its zone's meridian for the number in
    // front of the easting to read back as its zone
    PrefixedEasting,
};

// Whether a value lies beyond one of the range limits.
//   limit   Latitude, MeridianOffset, Northing, EastingOffset or Longitude
//   value   B or L − Lo (degrees, L − Lo reduced modulo 360°), X, Y less the false easting
//     (metres, after any zone number in front is taken off), or L (degrees)
//   method  the meridian offset allowed: kMaxMeridianOffset for the classic series,
//     kExactMaxOffset for the exact method
//   returns true when |value| is past the limit (an easting offset also when it equals it); NaN
//     and ±infinity lie beyond every limit; false for the limits that are no range.
// The limit itself is within: B = ±90° and X = ±kMaxNorthing are computed.
bool IsBeyond(Limit limit, double value, Method method = Method::Classic);

// How the classic series fare at a point.
enum class SeriesVerdict {
    Kept,     // within kClassicWarnMiss of the exact result, or not compared (a bound rules it out)
    Warned,   // more than kClassicWarnMiss off, up to kClassicMaxMiss: kept with a warning
    Refused,  // more than kClassicMaxMiss off, or the exact method has no counterpart
};

// What a comparison with the exact projection found, judged.
struct SeriesJudgement {
    SeriesVerdict verdict = SeriesVerdict::Kept;
    // Classic − exact (metres, times the scale given; on the ground for the inverse, in the plane
    // otherwise): 0 where no comparison was needed; NaN where the exact method has no
    // counterpart, the point lying `offset` degrees from the central meridian (zone: from the
    // farther one, Ls when `fromTarget`).
    double miss = 0;
    double offset = 0;
    bool fromTarget = false;
};

// The verdict on a comparison already made.
//   m      what ClassicCheck found
//   scale  k0, which turns the series' misses in the plane into the run's; 1 on the ground
SeriesJudgement Judge(const SeriesMiss& m, double scale = 1);

// The verdict on a classic forward result, compared with the exact method only where
// ForwardMayMiss says it may miss.
//   check    the exact method to compare with
//   B, l     latitude and L − Lo as the series took them (degrees)
//   classic  a callable returning the classic result as a pair {X, y} in the series' terms
//     (k0 = 1, no false easting); called only when a comparison is needed
//   scale    k0, for the miss in the run's plane
template <typename Classic>
SeriesJudgement JudgeForward(const ClassicCheck& check, double B, double l, Classic&& classic,
                             double scale = 1) {
    if (!ForwardMayMiss(B, l)) return {};
    const auto [X, y] = classic();
    return Judge(check.Forward(B, l, X, y), scale);
}

// The verdict on a classic inverse result, compared only where InverseMayMiss says it may miss.
//   X, y     the plane point as the series took it (metres, k0 = 1, no false easting)
//   classic  a callable returning the classic result {B, l}: latitude and L − Lo (degrees)
//   returns the miss on the ground
template <typename Classic>
SeriesJudgement JudgeInverse(const ClassicCheck& check, double X, double y, Classic&& classic) {
    if (!InverseMayMiss(X, y)) return {};
    const auto [B, l] = classic();
    return Judge(check.Inverse(X, y, B, l));
}

// The verdict on a classic zone transformation, compared only where ZoneMayMiss says it may
// miss.
//   X1, y1   the plane point on Lo as the series took it (metres)
//   shift    Ls − Lo as the series take it (degrees)
//   classic  a callable returning the classic result {X2, y2} on Ls in the series' terms
//   scale    k0, for the miss in the run's plane
template <typename Classic>
SeriesJudgement JudgeZone(const ClassicCheck& check, double X1, double y1, double shift,
                          Classic&& classic, double scale = 1) {
    if (!ZoneMayMiss(X1, y1, shift)) return {};
    const auto [X2, y2] = classic();
    return Judge(check.Zone(X1, y1, shift, X2, y2), scale);
}

}  // namespace quorvel
