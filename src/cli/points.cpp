#include "cli/points.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
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

// The distance from x (finite, not negative) to the next larger double.
double Ulp(double x) {
    const int biased = static_cast<int>(std::bit_cast<std::uint64_t>(x) >> 52);
    if (biased <= 52) return std::numeric_limits<double>::denorm_min() * 2;  // tiny: generous
    return std::bit_cast<double>(static_cast<std::uint64_t>(biased - 52) << 52);
}

// Most values lie far from a rounding midpoint. Then the binary value and its shortest text,
// which are less than half an ulp apart, round alike, and scaling by 10^decimals decides
// without writing the text. Declines near a midpoint and for large magnitudes.
char* WriteRoundedScaled(char* out, double value, int decimals) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4,  1e5,
                                        1e6, 1e7, 1e8, 1e9, 1e10, 1e11};
    if (decimals < 0 || decimals > 11) return nullptr;
    const double magnitude = std::fabs(value);
    const double scaled = magnitude * kPow10[decimals];
    if (!(scaled < 1e15)) return nullptr;  // also NaN and infinity; 15 digits at most
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact
    // How far the shortest text and the product may lie from the exact scaled value.
    const double slack = Ulp(magnitude) * kPow10[decimals] + Ulp(scaled);
    if (std::fabs(fraction - 0.5) <= slack) return nullptr;
    auto n = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);

    if (value < 0 && n != 0) *out++ = '-';
    const auto unit = static_cast<std::uint64_t>(kPow10[decimals]);
    out = std::to_chars(out, out + 24, n / unit).ptr;
    if (decimals > 0) {
        *out++ = '.';
        std::uint64_t rest = n % unit;
        for (int i = decimals; i > 0; --i) {
            out[i - 1] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
        out += decimals;
    }
    return out;
}

char* WriteRoundedFast(char* out, double value, int decimals) {
    if (char* end = WriteRoundedScaled(out, value, decimals)) return end;
    if (!std::isfinite(value) || decimals < 0 || decimals > 17) return nullptr;
    // The shortest round-trip digits, on which the core decides rounding: d.ddde±x.
    char sci[32];
    const auto res = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
    if (res.ec != std::errc()) return nullptr;
    const char* p = sci;
    const bool negative = *p == '-';
    p += negative;
    const auto* e =
        static_cast<const char*>(std::memchr(p, 'e', static_cast<std::size_t>(res.ptr - p)));
    if (e == nullptr) return nullptr;

    char buf[24];
    char* d = buf + 1;  // the digits; buf[0] takes a carry into a new first digit
    int n = 1;
    d[0] = p[0];
    if (p[1] == '.') {
        std::memcpy(d + 1, p + 2, static_cast<std::size_t>(e - p - 2));
        n += static_cast<int>(e - p - 2);
    }
    int exponent = 0;
    const char* q = e + 1;
    const bool expNegative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    for (; q < res.ptr; ++q) exponent = exponent * 10 + (*q - '0');
    int point = (expNegative ? -exponent : exponent) + 1;  // value = 0.d × 10^point
    if (d[0] == '0') n = 0;                                // zero, either sign

    // Half to even at `decimals` decimals. Shortest digits end in a nonzero digit, so any digit
    // after the first dropped one makes it more than half.
    const int keep = point + decimals;
    if (n > 0 && keep < n) {
        if (keep < 0) {
            n = 0;
        } else {
            const char first = d[keep];
            const bool up =
                first > '5' ||
                (first == '5' && (keep + 1 < n || (keep > 0 && (d[keep - 1] - '0') % 2)));
            n = keep;
            if (up) {
                int i = n - 1;
                while (i >= 0 && d[i] == '9') --i;  // the nines become zeros and are dropped
                if (i < 0) {
                    d = buf;
                    d[0] = '1';
                    n = 1;
                    ++point;
                } else {
                    ++d[i];
                    n = i + 1;
                }
            } else {
                while (n > 0 && d[n - 1] == '0') --n;
            }
        }
    }
    // Up to 15 significant digits the rounded decimal is the shortest text of the double the
    // core rounds to, so the core's formatting of that double prints these very digits.
    if (n > 15 || point > 24) return nullptr;

    char* t = out;
    if (n == 0) point = 1;
    if (negative && n > 0) *t++ = '-';
    if (point <= 0) {
        *t++ = '0';
    } else {
        const int whole = std::min(point, n);
        std::memcpy(t, d, static_cast<std::size_t>(whole));
        std::memset(t + whole, '0', static_cast<std::size_t>(point - whole));
        t += point;
    }
    if (decimals > 0) {
        *t++ = '.';
        std::memset(t, '0', static_cast<std::size_t>(decimals));
        const int skip = point < 0 ? -point : 0;  // zeros between the point and the digits
        const int from = point > 0 ? point : 0;
        const int count = std::min(n - from, decimals - skip);
        if (count > 0) std::memcpy(t + skip, d + from, static_cast<std::size_t>(count));
        t += decimals;
    }
    return t;
}

bool AppendRoundedFast(std::string& out, double value, int decimals) {
    char text[64];
    const char* end = WriteRoundedFast(text, value, decimals);
    if (end == nullptr) return false;
    out.append(text, static_cast<std::size_t>(end - text));
    return true;
}

char* WriteResult(char* out, Mode mode, double value, bool full) {
    if (full) {
        return std::to_chars(out, out + kMaxResultText, value).ptr;  // as ShortestText writes it
    }
    const int decimals = mode == Mode::Inverse ? 10 : 4;
    if (char* end = WriteRoundedFast(out, value, decimals)) return end;
    const std::string text = FormatFixed(RoundHalfEven(value, decimals), Pattern{decimals, true});
    const std::size_t n = std::min(text.size(), kMaxResultText);
    std::memcpy(out, text.data(), n);
    return out + n;
}

void AppendResult(std::string& out, Mode mode, double value, bool full) {
    char text[kMaxResultText];
    out.append(text, WriteResult(text, mode, value, full));
}

}  // namespace quorvel::cli
