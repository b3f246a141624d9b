// Number texts: reading, 16-bit counts, packed angles and every display pattern, on any bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/value_cell.h"

namespace {

using namespace quorvel;

constexpr std::string_view kPatterns[] = {"0.0000000000", "0.000000",   "0.00000",   "0.0000",
                                          "0.000",        "0.00000000", ".00000000", ".0000"};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// A finite value through every display the window and the report use.
void Display(double v) {
    for (std::string_view p : kPatterns) {
        const std::string text = FormatFixed(v, p);
        Check(!text.empty(), "a pattern gave no text");
        if (std::isfinite(v)) Check(TryParseNumber(text).has_value(), "a shown value reads back");
        Check(ValueCell(v).Format(p) == text, "a number cell formats as the number");
    }
    for (int k : {4, 8, 10}) {
        const double r = RoundHalfEven(v, k);
        Check(std::isfinite(r) == std::isfinite(v), "rounding keeps finiteness");
        if (std::isfinite(v))
            Check(std::fabs(r - v) <= std::fabs(v) * 1e-15 + std::pow(10.0, -k),
                  "rounding moves a value by at most half a unit");
        // The allocation-free writer of shown results agrees with the general formatting.
        char fast[64];
        if (const char* end = detail::WriteRoundedFast(fast, v, k)) {
            Check(std::string_view(fast, static_cast<std::size_t>(end - fast)) ==
                      FormatFixed(r, Pattern{k, true}),
                  "quorvel-batch shows what the window shows");
        }
    }
    if (std::isfinite(v)) {
        // The shortest round-trip text reads back to the very same double.
        const std::string shortest = ShortestText(v);
        const std::optional<double> back = TryParseNumber(shortest);
        Check(back.has_value() && SameDouble(*back, v), "shortest text round-trips");
        const double degrees = DecodePackedAngle(v);
        Check(std::isfinite(degrees), "a finite packed angle decodes to a finite angle");
        (void)DegreesToPacked(degrees);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The text as typed.
    const std::optional<double> parsed = TryParseNumber(text);
    try {
        const double v = ParseNumber(text);
        Check(parsed.has_value() && SameDouble(*parsed, v), "the two readers agree");
        Display(v);
    } catch (const TypeMismatchError&) {
        Check(!parsed.has_value(), "a refused text has no value");
    } catch (const OverflowError&) {
        Check(!parsed.has_value(), "an overflowing text has no value");
    }
    try {
        const std::int16_t n = ParseInt16(text);
        Check(parsed.has_value() && std::fabs(*parsed - n) <= 0.5, "a count is its number rounded");
    } catch (const Error&) {
    }
    Check(ValueCell(std::string(text)).Format("0.0000") ==
              (parsed ? FormatFixed(*parsed, "0.0000") : std::string(text)),
          "a text cell shows its number, or itself");

    // The bytes as a double, to reach every exponent and the special values.
    if (size >= 8) {
        double v;
        std::memcpy(&v, data, sizeof v);
        Display(v);
        if (std::isfinite(v)) {
            const double b = DecodePackedAngle(v);
            Check(SameDouble(DecodePackedAngle(-v), -b) || (v == 0), "decoding is symmetric");
        }
    }
    return 0;
}
