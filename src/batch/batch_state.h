#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/projection_choice.h"
#include "core/computation.h"
#include "core/krassovsky_constants.h"
#include "core/value_cell.h"

namespace quorvel {

// One list per kind of per-point value, holding the last batch that used it: cell i is point
// i + 1. An empty vector is a list no batch has filled (or one of no points).
struct ResultStore {
    std::vector<std::string> PointNames;
    std::vector<ValueCell> ResultL;  // inverse result L, packed
    std::vector<ValueCell> ResultB;  // inverse result B, packed
    std::vector<ValueCell> TypedL;   // forward input L as typed
    std::vector<ValueCell> TypedB;   // forward input B as typed
    std::vector<ValueCell> TypedX1;  // zone input X1 as typed
    std::vector<ValueCell> TypedY1;  // zone input Y1 as typed
    std::vector<ValueCell> PlaneX;   // forward X, inverse input X, zone X2
    std::vector<ValueCell> PlaneY;   // forward Y, inverse input Y, zone Y2
};

// Drops the list's contents and gives it `count` unset cells (none for a count below 1).
template <typename T>
void Allocate(std::vector<T>& list, int count) {
    list.assign(static_cast<std::size_t>(std::max(count, 0)), T{});
}

// Everything the window keeps between clicks, for the life of the program.
struct BatchState {
    std::int16_t PointCount = 0;
    // The computation of the last batch started; none before the first.
    std::optional<Computation> BatchComputation;
    EllipsoidConstants Constants;  // unset until the start button loads them
    ValueCell CentralMeridian;
    ValueCell TargetMeridian;
    ResultStore Store;
    // The batch of BatchComputation ran to its end. A batch that stops on an error leaves its lists
    // half-filled; they are never printed.
    bool BatchComplete = false;
    // The projection the window's settings chose (none: the classic series on Constants), and
    // the one the completed batch was computed with, for its report.
    ProjectionChoice Projection;
    ProjectionChoice BatchProjection;

    // Points of the completed batch of BatchComputation (read from its lists, never from
    // PointCount, which a later count prompt may have changed); 0 when there is none.
    int StoredPointCount() const;
};

// What the start button does: stores the ellipsoid constants.
void Command1_Click(BatchState& state);

}  // namespace quorvel
