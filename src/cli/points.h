#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/computation.h"
#include "core/constants.h"
#include "core/limits.h"
#include "core/number_text.h"

namespace quorvel::cli {

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
};

enum class RowStatus {
    Ok,
    NotANumber,      // `field` (1 or 2, the first or second typed value) does not read as one
    OutOfRange,      // `field` is beyond the range of a double
    NoFiniteResult,  // the series give no number for this point (a northing beyond the pole)
    BeyondLimit,     // `field` reads as a number that cannot be what was meant: see `limit`
};

// Beyond this distance from the central meridian the series lose centimetre accuracy in the
// inverse: a warning, not an error.
inline constexpr double kAccurateOffset = 3.5;  // degrees

enum class Limit { None, Latitude, MeridianOffset, Northing, EastingOffset };

// The two results of a point as the window stores them: forward X and Y, inverse L and B as
// packed angles, zone X2 and Y2; unrounded.
struct RowResult {
    RowStatus status = RowStatus::Ok;
    int field = 0;
    Limit limit = Limit::None;
    double value = 0;  // what the limit is checked on: B or L − Lo in degrees, X or Y − 500000
    double first = 0;
    double second = 0;
    // Degrees between the point's longitude and its central meridian (for zone, the farther of
    // the two); exact where it matters, that is, beyond kAccurateOffset.
    double offset = 0;
};

// One point from its two typed values, with the same conversions and core calls as the window's
// batch: angles are read as numbers and decoded from packed degrees, coordinates read as numbers.
RowResult ComputeRow(Computation mode, const EllipsoidConstants& constants,
                     const Meridians& meridians, std::string_view first, std::string_view second);

// A result as the window shows it, without the leading blank: forward and zone rounded half to
// even to 4 decimals under "0.0000", inverse packed angles to 10 under "0.0000000000". With
// `full`, the shortest round-trip decimal of the unrounded double. Needs kMaxResultText bytes
// of room; returns the end.
inline constexpr std::size_t kMaxResultText = kMaxRoundedText;
char* WriteResult(char* out, Computation mode, double value, bool full);
void AppendResult(std::string& out, Computation mode, double value, bool full);

// A packed angle typed with 60 or more minutes or seconds, as "75 minutes"; empty otherwise.
// Read from the digits as typed (forms with an exponent are not checked).
std::string PackedExcess(std::string_view text);

// Degrees as d°mm′ss″, for messages.
std::string DegreesText(double degrees);

}  // namespace quorvel::cli
