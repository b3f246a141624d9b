#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/constants.h"
#include "core/number_text.h"

namespace quorvel::cli {

// The three computations, numbered as the window numbers them.
enum class Mode { Forward = 1, Inverse = 2, Zone = 3 };

// Column names of a mode: name, the two typed values, the two results.
struct ModeColumns {
    std::string_view mode;
    std::array<std::string_view, 5> header;
};
const ModeColumns& ColumnsOf(Mode mode);

// The meridians of a run, decoded to decimal degrees. Ls is used by the zone mode only.
struct Meridians {
    double lo = 0;
    double ls = 0;
};

enum class RowStatus {
    Ok,
    NotANumber,      // `field` (1 or 2, the first or second typed value) does not read as one
    OutOfRange,      // `field` is beyond the range of a double
    NoFiniteResult,  // the series give no number for this point (a northing beyond the pole)
};

// The two results of a point as the window stores them: forward X and Y, inverse L and B as
// packed angles, zone X2 and Y2; unrounded.
struct RowResult {
    RowStatus status = RowStatus::Ok;
    int field = 0;
    double first = 0;
    double second = 0;
};

// One point from its two typed values, with the same conversions and core calls as the window's
// batch: angles are read as numbers and decoded from packed degrees, coordinates read as numbers.
RowResult ComputeRow(Mode mode, const EllipsoidConstants& constants, const Meridians& meridians,
                     std::string_view first, std::string_view second);

// A result as the window shows it, without the leading blank: forward and zone rounded half to
// even to 4 decimals under "0.0000", inverse packed angles to 10 under "0.0000000000". With
// `full`, the shortest round-trip decimal of the unrounded double. Needs kMaxResultText bytes
// of room; returns the end.
inline constexpr std::size_t kMaxResultText = kMaxRoundedText;
char* WriteResult(char* out, Mode mode, double value, bool full);
void AppendResult(std::string& out, Mode mode, double value, bool full);

}  // namespace quorvel::cli
