#include "batch/report_input.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorvel {

ReportInput ReportInputFrom(const BatchState& state) {
    ReportInput input;
    const ResultStore& s = state.Store;
    std::array<const std::vector<ValueCell>*, 4> lists{};
    if (!state.BatchComputation) return input;
    switch (*state.BatchComputation) {
        case Computation::Forward:
            lists = {&s.TypedL, &s.TypedB, &s.PlaneX, &s.PlaneY};
            break;
        case Computation::Inverse:
            lists = {&s.PlaneX, &s.PlaneY, &s.ResultL, &s.ResultB};
            break;
        case Computation::Zone:
            lists = {&s.TypedX1, &s.TypedY1, &s.PlaneX, &s.PlaneY};
            break;
    }
    // A batch that stopped half way left half-filled lists: there is nothing to print then.
    if (!state.BatchComplete) return input;

    // The points the batch was run with, never PointCount, which a later count prompt may have
    // changed; bounded by every list read, so no cell beyond a list is touched.
    int n = state.StoredPointCount();
    for (const std::vector<ValueCell>* list : lists) {
        n = std::min(n, static_cast<int>(list->size()));
    }

    input.mode = state.BatchComputation;
    input.pointCount = n;
    input.centralMeridian = state.CentralMeridian;
    if (input.mode == Computation::Zone) input.targetMeridian = state.TargetMeridian;
    input.projection = state.BatchProjection.label;
    input.rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(i);
        input.rows.push_back({(*lists[0])[at], (*lists[1])[at], (*lists[2])[at], (*lists[3])[at]});
    }
    return input;
}

}  // namespace quorvel
