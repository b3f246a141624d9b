#include "batch/report_input.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorvel {

ReportInput ReportInputFrom(const BatchState& state) {
    ReportInput input;
    const ResultStore& s = state.Store;
    std::array<const std::vector<ValueCell>*, 4> lists{};
    switch (state.CalcMode) {
        case 1:
            lists = {&s.ArrL, &s.ArrB, &s.ArrX, &s.ArrY};
            break;
        case 2:
            lists = {&s.ArrX, &s.ArrY, &s.ArrLP, &s.ArrBP};
            break;
        case 3:
            lists = {&s.ArrX1, &s.ArrY1, &s.ArrX, &s.ArrY};
            break;
        default:
            return input;
    }
    // A batch that stopped half way left half-filled lists: there is nothing to print then.
    if (!state.BatchComplete || s.PointNames.empty()) return input;

    // The points the batch was run with, never PointCount, which a later count prompt may have
    // changed; bounded by every list read, so no cell beyond a list is touched.
    int n = state.StoredPointCount();
    for (const std::vector<ValueCell>* list : lists) {
        n = std::min(n, static_cast<int>(list->size()) - 1);
    }
    n = std::max(n, 0);

    input.mode = ComputationOf(state.CalcMode);
    input.pointCount = n;
    input.centralMeridian = state.CentralMeridian;
    if (input.mode == Computation::Zone) input.targetMeridian = state.TargetMeridian;
    input.projection = state.BatchProjection.label;
    input.rows.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        input.rows.push_back({(*lists[0])[at], (*lists[1])[at], (*lists[2])[at], (*lists[3])[at]});
    }
    return input;
}

}  // namespace quorvel
