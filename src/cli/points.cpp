#include "cli/points.h"

#include <charconv>
#include <cmath>
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

bool AppendRoundedFast(std::string& out, double value, int decimals) {
    if (!std::isfinite(value) || decimals < 0 || decimals > 17) return false;
    // Shortest round-trip digits, as the core decides rounding on them: value = 0.D × 10^point.
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (res.ec != std::errc()) return false;
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative) ++p;
    char digits[24];
    int n = 0;
    for (; p < res.ptr && *p != 'e'; ++p) {
        if (*p != '.') digits[n++] = *p;
    }
    int exponent = 0;
    if (p < res.ptr) {
        ++p;  // 'e'
        const bool expNegative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        for (; p < res.ptr; ++p) exponent = exponent * 10 + (*p - '0');
        if (expNegative) exponent = -exponent;
    }
    while (n > 0 && digits[n - 1] == '0') --n;
    int point = exponent + 1;

    // Half to even at `decimals` decimals.
    const int keep = point + decimals;
    if (keep < 0) {
        n = 0;
    } else if (keep < n) {
        const char first = digits[keep];
        bool restNonZero = false;
        for (int i = keep + 1; i < n; ++i) restNonZero = restNonZero || digits[i] != '0';
        const bool lastOdd = keep > 0 && (digits[keep - 1] - '0') % 2 == 1;
        const bool up = first > '5' || (first == '5' && (restNonZero || lastOdd));
        n = keep;
        if (up) {
            int i = n;
            while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
            if (i == 0) {
                for (int k = n; k > 0; --k) digits[k] = digits[k - 1];
                digits[0] = '1';
                ++n;
                ++point;
            } else {
                ++digits[i - 1];
            }
        }
        while (n > 0 && digits[n - 1] == '0') --n;
    }
    // Up to 15 significant digits the rounded decimal is the shortest text of the double the
    // core rounds to, so the core's formatting of that double prints these very digits.
    if (n > 15) return false;
    if (n == 0) point = 0;

    if (negative && n > 0) out += '-';
    auto digitAt = [&](int i) { return i >= 0 && i < n ? digits[i] : '0'; };
    if (point > 0) {
        for (int i = 0; i < point; ++i) out += digitAt(i);
    } else {
        out += '0';
    }
    if (decimals > 0) {
        out += '.';
        for (int i = 0; i < decimals; ++i) out += digitAt(point + i);
    }
    return true;
}

void AppendResult(std::string& out, Mode mode, double value, bool full) {
    if (full) {
        out += ShortestText(value);
        return;
    }
    const int decimals = mode == Mode::Inverse ? 10 : 4;
    if (AppendRoundedFast(out, value, decimals)) return;
    out += FormatFixed(RoundHalfEven(value, decimals), Pattern{decimals, true});
}

}  // namespace quorvel::cli
