#include "cli/points.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/projection.h"

namespace quorvel::cli {
namespace {

const ModeColumns kColumns[] = {
    {"forward", {"name", "L", "B", "X", "Y"}},
    {"inverse", {"name", "X", "Y", "L", "B"}},
    {"zone", {"name", "X1", "Y1", "X2", "Y2"}},
};

// The typed value as a number, or why it is not one.
std::optional<double> ReadValue(std::string_view text, int field, RowResult& result) {
    if (std::optional<double> v = TryParseNumber(text)) return v;
    result.field = field;
    try {
        ParseNumber(text);
        result.status = RowStatus::NotANumber;  // not reached: the two parses agree
    } catch (const OverflowError&) {
        result.status = RowStatus::OutOfRange;
    } catch (const Error&) {
        result.status = RowStatus::NotANumber;
    }
    return std::nullopt;
}

}  // namespace

const ModeColumns& ColumnsOf(Mode mode) {
    return kColumns[static_cast<int>(mode) - 1];
}

RowResult ComputeRow(Mode mode, const EllipsoidConstants& constants, const Meridians& meridians,
                     std::string_view first, std::string_view second) {
    RowResult r;
    const std::optional<double> a = ReadValue(first, 1, r);
    if (!a) return r;
    const std::optional<double> b = ReadValue(second, 2, r);
    if (!b) return r;

    switch (mode) {
        case Mode::Forward: {
            const double latitude = DecodePackedAngle(*b);
            const double longitude = DecodePackedAngle(*a);
            const PlanePoint p = ForwardProject(constants, latitude, longitude, meridians.lo);
            r.first = p.X;
            r.second = p.Y();
            break;
        }
        case Mode::Inverse: {
            const GeodeticPoint g = InverseProject(constants, *a, *b, meridians.lo);
            r.first = DegreesToPacked(g.L);
            r.second = DegreesToPacked(g.B);
            break;
        }
        case Mode::Zone: {
            const PlanePoint p = ZoneTransform(constants, *a, *b, meridians.lo, meridians.ls);
            r.first = p.X;
            r.second = p.Y();
            break;
        }
    }
    if (!std::isfinite(r.first) || !std::isfinite(r.second)) r.status = RowStatus::NoFiniteResult;
    return r;
}

char* WriteResult(char* out, Mode mode, double value, bool full) {
    if (full) {
        return std::to_chars(out, out + kMaxResultText, value).ptr;  // as ShortestText writes it
    }
    return WriteRoundedText(out, value, mode == Mode::Inverse ? 10 : 4);
}

void AppendResult(std::string& out, Mode mode, double value, bool full) {
    char text[kMaxResultText];
    out.append(text, WriteResult(text, mode, value, full));
}

}  // namespace quorvel::cli
