#include "core/outlier_rounds.h"

namespace quorvel {

int WorstFlaggedPoint(const std::vector<PointResidual>& points) {
    int worst = -1;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PointResidual& p = points[i];
        if (p.use == PointUse::Fit && p.flagged &&
            (worst < 0 || p.statistic > points[worst].statistic)) {
            worst = static_cast<int>(i);
        }
    }
    return worst;
}

}  // namespace quorvel
