#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Reads a typed number: blanks around it, an optional sign, digits with at most one point, an
// optional exponent; '.' is the decimal point whatever the locale. Full-width digits, point,
// signs and exponent letters (U+FF10..FF19, U+FF0E, U+FF0B, U+FF0D, U+FF25, U+FF45) read as their
// ASCII forms and the ideographic space U+3000 as a blank, as a Chinese input method in
// full-width mode types them. Anything else, the empty text included, is not a number.
std::optional<double> TryParseNumber(std::string_view text);

// A number typed as plain decimals, [+-]digits[.digits] with blanks around and at most 19
// digits, whose digits make a double exactly (below 2^53): its value, the very double that
// TryParseNumber reads, and the digits it was read from.
struct PlainDecimal {
    double value = 0;
    std::uint64_t digits = 0;  // every digit typed, as one integer
    int decimals = 0;          // how many of them follow the point
};
// nullopt for any other number, which TryParseNumber still reads.
std::optional<PlainDecimal> ReadPlainDecimal(std::string_view text);

// The text without the blanks (spaces and tabs) around it.
inline std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}
// The text with its ASCII capitals made small, for keys typed in any case.
std::string AsciiLower(std::string_view text);

// Where a text that TryParseNumber refuses stops being a number: the byte offset of the first
// character that no number can continue with (a letter O among digits, a second point), or
// nullopt when there is none (an empty text, "1e", a sign alone: what is missing is at the end).
std::optional<std::size_t> NumberBreakAt(std::string_view text);

// The ASCII form of a number typed with a Chinese input method in full-width mode, as
// TryParseNumber reads it: full-width digits, point, signs and exponent letters, and the
// ideographic space as a blank. False, `out` untouched, when the text has no byte beyond ASCII.
bool ToHalfWidth(std::string_view text, std::string& out);

// As TryParseNumber; throws TypeMismatchError for a text that is not a number and OverflowError
// for one beyond the range of a double.
double ParseNumber(std::string_view text);

// A count or computation type: the number rounded half to even; OverflowError outside 16 bits.
std::int16_t ToInt16(double value);
std::int16_t ParseInt16(std::string_view text);

// Rounds to `decimals` decimals, ties to even. The decision is taken on the decimal digits of the
// value's shortest round-trip representation, so a typed 2.675 rounds as 2.675, not as the binary
// 2.67499999999999982236431605997495353221893310546875.
double RoundHalfEven(double value, int decimals);

// A fixed-decimals pattern such as "0.0000" (an integer digit always shown) or ".0000" (no
// integer digit for magnitudes below 1).
struct Pattern {
    int decimals = 0;
    bool integerDigit = true;

    static Pattern Parse(std::string_view pattern);
};

// Formats like the pattern, rounding half away from zero at the last shown decimal (again on the
// shortest round-trip digits). A value that rounds to zero shows no minus sign.
std::string FormatFixed(double value, Pattern pattern);
std::string FormatFixed(double value, std::string_view pattern);

// The window's text of a computed result: `value` rounded half to even to `decimals` (0 to 20)
// decimals under the pattern "0.000…", exactly FormatFixed(RoundHalfEven(value, decimals),
// Pattern{decimals, true}), written into `out` without allocating for the usual magnitudes.
// `out` needs kMaxRoundedText bytes; returns the end.
inline constexpr std::size_t kMaxRoundedText = 352;  // the widest finite double in fixed notation
char* WriteRoundedText(char* out, double value, int decimals);
std::string RoundedText(double value, int decimals);

namespace detail {
// The allocation-free path of WriteRoundedText alone, for values whose rounded digits fit a
// double exactly (up to 15 significant digits) and below 1e24; returns nullptr, writing
// nothing, where it declines. Needs 64 bytes.
char* WriteRoundedFast(char* out, double value, int decimals);
}  // namespace detail

// The shortest round-trip decimal of a double, as std::to_chars writes it.
std::string ShortestText(double value);

}  // namespace quorvel
