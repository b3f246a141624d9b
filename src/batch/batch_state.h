#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/projection_choice.h"
#include "core/krassovsky_constants.h"
#include "core/value_cell.h"

namespace quorvel {

// One list per kind of per-point value, holding the last batch that used it. A list is
// allocated with cells 0..N; cell 0 is never used; an empty vector is a list not allocated.
struct ResultStore {
    std::vector<std::string> PointNames;
    std::vector<ValueCell> ArrLP;  // inverse result L, packed
    std::vector<ValueCell> ArrBP;  // inverse result B, packed
    std::vector<ValueCell> ArrL;   // forward input L as typed
    std::vector<ValueCell> ArrB;   // forward input B as typed
    std::vector<ValueCell> ArrX1;  // zone input X1 as typed
    std::vector<ValueCell> ArrY1;  // zone input Y1 as typed
    std::vector<ValueCell> ArrX;   // forward X, inverse input X, zone X2
    std::vector<ValueCell> ArrY;   // forward Y, inverse input Y, zone Y2
};

// Drops the list's contents and gives it the unset cells 0..count.
template <typename T>
void Allocate(std::vector<T>& list, int count) {
    list.assign(static_cast<std::size_t>(count) + 1, T{});
}

// Everything the window keeps between clicks, for the life of the program.
struct BatchState {
    std::int16_t PointCount = 0;
    std::int16_t CalcMode = 0;     // 1 forward, 2 inverse, 3 zone; 0 before the first batch
    EllipsoidConstants Constants;  // unset until the start button loads them
    ValueCell CentralMeridian;
    ValueCell TargetMeridian;
    ResultStore Store;
    // The batch of CalcMode ran to its end. A batch that stops on an error leaves its lists
    // half-filled; they are never printed.
    bool BatchComplete = false;
    // The projection the window's settings chose (none: the classic series on Constants), and
    // the one the completed batch was computed with, for its report.
    ProjectionChoice Projection;
    ProjectionChoice BatchProjection;

    // Points of the completed batch of CalcMode (read from its lists, never from PointCount,
    // which a later count prompt may have changed); 0 when there is none.
    int StoredPointCount() const;
};

// What the start button does: stores the ellipsoid constants.
void Command1_Click(BatchState& state);

}  // namespace quorvel
