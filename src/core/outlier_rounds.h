#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "core/datum_fit.h"
#include "core/errors.h"

namespace quorvel {

// What the datum fit and the height fit share of testing residuals and dropping outliers, so
// that both flag and drop by one rule (see core/datum_fit.h).

// Metres: a residual below the precision coordinates are written to is never flagged.
inline constexpr double kFlagFloor = 0.001;

// Tests one reported component v (metres) against its standard error: raises r.statistic to
// |v| / standardError and flags r when that exceeds `factor` and |v| > kFlagFloor. A standard
// error that is not finite and positive (no redundancy) tests nothing.
inline void TestResidual(PointResidual& r, double v, double standardError, double factor) {
    const double ratio = std::abs(v) / standardError;
    if (!std::isfinite(ratio)) return;
    if (ratio > r.statistic) r.statistic = ratio;
    if (ratio > factor && std::abs(v) > kFlagFloor) r.flagged = true;
}

// The fitted, flagged point with the largest statistic, or −1.
int WorstFlaggedPoint(const std::vector<PointResidual>& points);

// Drops outliers from `r` one a round, as `fit --drop-outliers` does: the fitted point with the
// largest statistic, while `canDrop(active)` allows dropping one of `active` fitted points, then
// `refit(droppedIn)` fits again (droppedIn[i]: the round point i was dropped in, 0 if kept). It
// stops before dropping more than a third of the `fitted` points, returning true (a flagged point
// is left); a refit that throws WeakGeometryError keeps the point and stops.
template <typename Result, typename CanDrop, typename Refit>
bool DropOutliers(Result& r, std::vector<int>& droppedIn, std::ptrdiff_t fitted, CanDrop canDrop,
                  Refit refit) {
    for (int round = 1;; ++round) {
        int active = 0;
        for (const PointResidual& p : r.points) active += p.use == PointUse::Fit ? 1 : 0;
        const int worst = canDrop(active) ? WorstFlaggedPoint(r.points) : -1;
        if (worst < 0) return false;
        if (3 * round > fitted) return true;
        droppedIn[worst] = round;
        try {
            r = refit(droppedIn);
        } catch (const WeakGeometryError&) {
            droppedIn[worst] = 0;  // what is left cannot fix the model: keep the point, flagged
            return false;
        }
    }
}

}  // namespace quorvel
