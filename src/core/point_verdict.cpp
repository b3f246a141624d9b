#include "core/point_verdict.h"

#include <cmath>
#include <limits>

namespace quorvel {
namespace {

// Whether |value| lies past `max` (or on it, when the limit itself is excluded); NaN always.
bool Past(double value, double max, bool maxExcluded) {
    const double magnitude = std::fabs(value);
    return !(maxExcluded ? magnitude < max : magnitude <= max);
}

}  // namespace

bool IsBeyond(Limit limit, double value, Method method) {
    switch (limit) {
        case Limit::Latitude:
            return Past(value, kMaxLatitude, false);
        case Limit::MeridianOffset:
            return Past(value, method == Method::Exact ? kExactMaxOffset : kMaxMeridianOffset,
                        false);
        case Limit::Northing:
            return Past(value, kMaxNorthing, false);
        case Limit::EastingOffset:
            return Past(value, kMaxEastingOffset, true);
        case Limit::Longitude:
            return Past(value, 360, false);
        default:
            return false;
    }
}

SeriesJudgement Judge(const SeriesMiss& m, double scale) {
    SeriesJudgement j;
    if (!m.metres) {
        j.verdict = SeriesVerdict::Refused;
        j.miss = std::numeric_limits<double>::quiet_NaN();
        j.offset = m.offset;
        j.fromTarget = m.fromTarget;
        return j;
    }
    j.miss = *m.metres * scale;
    if (!(j.miss <= kClassicMaxMiss)) {
        j.verdict = SeriesVerdict::Refused;
    } else if (j.miss > kClassicWarnMiss) {
        j.verdict = SeriesVerdict::Warned;
    }
    return j;
}

}  // namespace quorvel
