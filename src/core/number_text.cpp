#include "core/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s) {
    return TrimBlanks(s);
}

// Checks the grammar; from_chars alone would also take "inf", "nan" and hexadecimal forms.
bool IsNumberText(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            ++digits;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        for (; i < s.size() && IsDigit(s[i]); ++i) ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

// For a well-formed number text: whether its magnitude is below 1 (its decimal exponent is
// negative), which tells underflow from overflow.
bool IsTiny(std::string_view s) {
    std::size_t e = s.find_first_of("eE");
    std::string_view mantissa = s.substr(0, e);
    long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = s.substr(e + 1);
        bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
            digits.remove_prefix(1);
        }
        for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 100000L);
        if (negative) exponent = -exponent;
    }
    long magnitude = 0;  // decimal exponent of the first significant digit, plus one
    bool seenPoint = false, seenSignificant = false;
    for (char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
        } else if (IsDigit(c)) {
            if (c != '0') seenSignificant = true;
            if (!seenPoint && seenSignificant) ++magnitude;
            if (seenPoint && !seenSignificant) --magnitude;
            if (seenSignificant && seenPoint) break;
        }
    }
    return magnitude + exponent <= 0;
}

enum class Parsed { Ok, NotANumber, OutOfRange };

}  // namespace

bool ToHalfWidth(std::string_view text, std::string& out) {
    if (std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; })) return false;
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 == 0xE3 && text.substr(i, 3) == "\xE3\x80\x80") {  // U+3000
            out += ' ';
            i += 2;
            continue;
        }
        if ((b0 == 0xEF) && i + 2 < text.size()) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            const auto b2 = static_cast<unsigned char>(text[i + 2]);
            const unsigned cp = 0xF000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);  // U+FFxx
            const bool mapped = (cp >= 0xFF10 && cp <= 0xFF19) || cp == 0xFF0E || cp == 0xFF0B ||
                                cp == 0xFF0D || cp == 0xFF25 || cp == 0xFF45;
            if (mapped && (b1 & 0xC0) == 0x80 && (b2 & 0xC0) == 0x80) {
                out += static_cast<char>(cp - 0xFF00 + 0x20);  // U+FF01..FF5E mirror 0x21..0x7E
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return true;
}

std::optional<std::size_t> NumberBreakAt(std::string_view text) {
    // The grammar of IsNumberText with blanks around, one character at a time.
    enum {
        kLead,
        kSign,
        kMantissa,
        kExponent,
        kExponentSign,
        kExponentDigits,
        kTrail
    } state = kLead;
    bool digits = false, point = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        char c = text[i++];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // A whole UTF-8 character; the full-width forms read as their ASCII.
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
            std::string ascii;
            ToHalfWidth(text.substr(at, i - at), ascii);
            c = ascii.size() == 1 ? ascii[0] : '\x01';
        }
        const bool blank = IsBlank(c), digit = IsDigit(c), sign = c == '+' || c == '-';
        bool ok = false;
        switch (state) {
            case kLead:
                ok = blank || sign || digit || c == '.';
                if (sign) state = kSign;
                break;
            case kSign:
                ok = digit || c == '.';
                break;
            case kMantissa:
                ok = digit || (c == '.' && !point) || (digits && (c == 'e' || c == 'E' || blank));
                if (ok && blank) state = kTrail;
                if (ok && (c == 'e' || c == 'E')) state = kExponent;
                break;
            case kExponent:
                ok = sign || digit;
                state = digit ? kExponentDigits : kExponentSign;
                break;
            case kExponentSign:
                ok = digit;
                state = kExponentDigits;
                break;
            case kExponentDigits:
                ok = digit || blank;
                if (blank) state = kTrail;
                break;
            case kTrail:
                ok = blank;
                break;
        }
        if (!ok) return at;
        if ((state == kLead || state == kSign) && (digit || c == '.')) state = kMantissa;
        if (state == kMantissa) {
            digits = digits || digit;
            point = point || c == '.';
        }
    }
    return std::nullopt;
}

namespace {

Parsed ParseAscii(std::string_view text, double& out);

Parsed Parse(std::string_view text, double& out) {
    const Parsed p = ParseAscii(text, out);
    if (p != Parsed::NotANumber) return p;
    std::string ascii;
    if (!ToHalfWidth(text, ascii)) return p;
    return ParseAscii(ascii, out);
}

Parsed ParseAscii(std::string_view text, double& out) {
    if (const std::optional<PlainDecimal> plain = ReadPlainDecimal(text)) {
        out = plain->value;
        return Parsed::Ok;
    }
    std::string_view s = Trim(text);
    if (!IsNumberText(s)) return Parsed::NotANumber;
    if (s.front() == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (ec == std::errc::result_out_of_range) {
        // from_chars reports underflow as out of range too; a tiny number reads as zero.
        if (!IsTiny(s)) return Parsed::OutOfRange;
        out = s.front() == '-' ? -0.0 : 0.0;
        return Parsed::Ok;
    }
    if (ec != std::errc() || end != s.data() + s.size()) return Parsed::NotANumber;
    return Parsed::Ok;
}

// The shortest round-trip digits of |value| as an integer digit string and the position of the
// decimal point: value = 0.digits × 10^point.
struct Decimal {
    bool negative = false;
    std::string digits;  // no leading zeros; empty for zero
    int point = 0;
};

Decimal ToDecimal(double value) {
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0) return d;
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t e = text.find('e');
    for (char c : text.substr(0, e)) {
        if (IsDigit(c)) d.digits.push_back(c);
    }
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    d.point = exponent + 1;
    return d;
}

enum class Tie { ToEven, AwayFromZero };

// Keeps `decimals` decimals of d, rounding on the dropped digits.
void RoundDecimal(Decimal& d, int decimals, Tie tie) {
    long keep = static_cast<long>(d.point) + decimals;
    if (keep >= static_cast<long>(d.digits.size())) return;
    if (keep < 0) {
        d.digits.clear();
        d.point = 0;
        return;
    }
    auto k = static_cast<std::size_t>(keep);
    char first = d.digits[k];
    bool restNonZero = d.digits.find_first_not_of('0', k + 1) != std::string::npos;
    bool lastOdd = k > 0 && (d.digits[k - 1] - '0') % 2 == 1;
    bool up = first > '5' || (first == '5' && (restNonZero || tie == Tie::AwayFromZero || lastOdd));
    d.digits.resize(k);
    if (up) {
        std::size_t i = k;
        while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        } else {
            ++d.digits[i - 1];
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.point = 0;
}

// Fixed notation with exactly `decimals` decimals; the integer part "0" is left out when
// `integerDigit` is false and the magnitude is below 1.
std::string ToFixed(const Decimal& d, int decimals, bool integerDigit) {
    std::string out;
    if (d.negative && !d.digits.empty()) out.push_back('-');
    auto digitAt = [&](long pos) {  // pos 0 is the first digit after the point's position
        return pos >= 0 && pos < static_cast<long>(d.digits.size()) ? d.digits[pos] : '0';
    };
    if (d.point > 0) {
        for (long i = 0; i < d.point; ++i) out.push_back(digitAt(i));
    } else if (integerDigit) {
        out.push_back('0');
    }
    if (decimals > 0) {
        out.push_back('.');
        for (long i = 0; i < decimals; ++i) out.push_back(digitAt(d.point + i));
    }
    if (out.empty() || out == "-") out += "0";
    return out;
}

}  // namespace

std::optional<PlainDecimal> ReadPlainDecimal(std::string_view text) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* const first = p;
    const char* point = nullptr;
    PlainDecimal d;
    for (; p < end; ++p) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
        if (digit < 10) {
            d.digits = d.digits * 10 + digit;
        } else if (*p == '.' && point == nullptr) {
            point = p;
        } else {
            return std::nullopt;
        }
    }
    // Digits on both sides of a point here: "5." and ".5" go the general way, and so do more
    // than 19 digits, which may have wrapped around.
    const auto count = static_cast<std::size_t>(end - first) - (point != nullptr ? 1 : 0);
    if (count == 0 || count > 19 || point == first || point == end - 1) return std::nullopt;
    if (d.digits > (std::uint64_t{1} << 53)) return std::nullopt;
    d.decimals = point == nullptr ? 0 : static_cast<int>(end - point - 1);
    // Both operands exact, so one correctly rounded division: the double nearest the decimal,
    // which from_chars gives too.
    d.value = static_cast<double>(d.digits) / kPow10[d.decimals];
    if (negative) d.value = -d.value;
    return d;
}

std::optional<double> TryParseNumber(std::string_view text) {
    double v = 0;
    if (Parse(text, v) != Parsed::Ok) return std::nullopt;
    return v;
}

double ParseNumber(std::string_view text) {
    double v = 0;
    switch (Parse(text, v)) {
        case Parsed::Ok:
            return v;
        case Parsed::OutOfRange:
            throw OverflowError(Fill(Tr("\"{0}\" is out of range"), {text}));
        case Parsed::NotANumber:
            break;
    }
    throw TypeMismatchError(text.empty() ? Tr("empty, not a number")
                                         : Fill(Tr("\"{0}\" is not a number"), {text}));
}

std::int16_t ToInt16(double value) {
    double r = std::nearbyint(value);  // the default rounding mode: half to even
    if (!(r >= -32768 && r <= 32767)) {
        throw OverflowError(
            Fill(Tr("{0} is beyond the integers -32768 to 32767"), {ShortestText(value)}));
    }
    return static_cast<std::int16_t>(r);
}

std::int16_t ParseInt16(std::string_view text) {
    double v = ParseNumber(text);
    try {
        return ToInt16(v);
    } catch (const OverflowError&) {
        throw OverflowError(Fill(Tr("\"{0}\" is beyond the integers -32768 to 32767"), {text}));
    }
}

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    Decimal d = ToDecimal(value);
    RoundDecimal(d, decimals, Tie::ToEven);
    if (d.digits.empty()) return d.negative ? -0.0 : 0.0;
    std::string text = ToFixed(d, decimals, true);
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

Pattern Pattern::Parse(std::string_view pattern) {
    Pattern p;
    std::size_t dot = pattern.find('.');
    if (dot == std::string_view::npos) {
        p.decimals = 0;
        p.integerDigit = !pattern.empty();
    } else {
        p.integerDigit = dot > 0;
        p.decimals = static_cast<int>(pattern.size() - dot - 1);
    }
    return p;
}

std::string FormatFixed(double value, Pattern pattern) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    Decimal d = ToDecimal(value);
    RoundDecimal(d, pattern.decimals, Tie::AwayFromZero);
    return ToFixed(d, pattern.decimals, pattern.integerDigit);
}

std::string FormatFixed(double value, std::string_view pattern) {
    return FormatFixed(value, Pattern::Parse(pattern));
}

namespace {

// The distance from x (finite, not negative) to the next larger double.
double Ulp(double x) {
    const int biased = static_cast<int>(std::bit_cast<std::uint64_t>(x) >> 52);
    if (biased <= 52) return std::numeric_limits<double>::denorm_min() * 2;  // tiny: generous
    return std::bit_cast<double>(static_cast<std::uint64_t>(biased - 52) << 52);
}

constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Four digits of g (below 10000), leading zeros written.
char* WriteFour(char* out, std::uint32_t g) {
    std::memcpy(out, &kDigitPairs[2 * (g / 100)], 2);
    std::memcpy(out + 2, &kDigitPairs[2 * (g % 100)], 2);
    return out + 4;
}

// g (below 10000) without leading zeros.
char* WriteUpToFour(char* out, std::uint32_t g) {
    if (g < 10) {
        *out = static_cast<char>('0' + g);
        return out + 1;
    }
    if (g < 100) {
        std::memcpy(out, &kDigitPairs[2 * g], 2);
        return out + 2;
    }
    if (g < 1000) {
        *out = static_cast<char>('0' + g / 100);
        std::memcpy(out + 1, &kDigitPairs[2 * (g % 100)], 2);
        return out + 3;
    }
    return WriteFour(out, g);
}

// v (below 10^16) in decimal. Groups of four digits, each written on its own, keep the
// divisions from waiting on each other as a digit-by-digit loop would.
char* WriteUnsigned(char* out, std::uint64_t v) {
    if (v < 10000) return WriteUpToFour(out, static_cast<std::uint32_t>(v));
    if (v < 100000000) {
        out = WriteUpToFour(out, static_cast<std::uint32_t>(v / 10000));
        return WriteFour(out, static_cast<std::uint32_t>(v % 10000));
    }
    const std::uint64_t high = v / 100000000;
    const auto low = static_cast<std::uint32_t>(v % 100000000);
    out = high < 10000 ? WriteUpToFour(out, static_cast<std::uint32_t>(high))
                       : WriteFour(WriteUpToFour(out, static_cast<std::uint32_t>(high / 10000)),
                                   static_cast<std::uint32_t>(high % 10000));
    out = WriteFour(out, low / 10000);
    return WriteFour(out, low % 10000);
}

// The `count` last decimal digits of `rest` at out[0..count), two at a time.
void WriteDigits(char* out, std::uint64_t rest, int count) {
    int i = count;
    for (; i >= 2; i -= 2) {
        std::memcpy(out + i - 2, &kDigitPairs[2 * (rest % 100)], 2);
        rest /= 100;
    }
    if (i == 1) out[0] = static_cast<char>('0' + rest % 10);
}

// n / 10^kDecimals in fixed notation with kDecimals decimals (4 or 10), n below 10^15.
template <int kDecimals>
char* WriteScaledInteger(char* out, std::uint64_t n) {
    static_assert(kDecimals == 4 || kDecimals == 10);
    constexpr std::uint64_t kUnit = kDecimals == 4 ? 10000 : 10000000000;
    out = WriteUnsigned(out, n / kUnit);
    *out++ = '.';
    const std::uint64_t fraction = n % kUnit;
    if constexpr (kDecimals == 4) return WriteFour(out, static_cast<std::uint32_t>(fraction));
    std::memcpy(out, &kDigitPairs[2 * (fraction / 100000000)], 2);
    const auto low = static_cast<std::uint32_t>(fraction % 100000000);
    return WriteFour(WriteFour(out + 2, low / 10000), low % 10000);
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
    const auto n = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);

    if (value < 0 && n != 0) *out++ = '-';
    // The two widths every result is written in, with constant divisors.
    switch (decimals) {
        case 4:
            return WriteScaledInteger<4>(out, n);
        case 10:
            return WriteScaledInteger<10>(out, n);
        default:
            break;
    }
    const auto unit = static_cast<std::uint64_t>(kPow10[decimals]);
    out = std::to_chars(out, out + 24, n / unit).ptr;
    if (decimals > 0) {
        *out++ = '.';
        WriteDigits(out, n % unit, decimals);
        out += decimals;
    }
    return out;
}

// A finite value's shortest round-trip digits: ±0.d × 10^point, the n digits at buf + start
// (start 1, so that a carry can make a new first digit at buf[0]).
struct ShortestDigits {
    char buf[24];
    int start = 1;
    int n = 0;
    int point = 0;
    bool negative = false;
    char* d() { return buf + start; }
    const char* d() const { return buf + start; }
};

bool ReadShortestDigits(double value, ShortestDigits& g) {
    // The shortest round-trip digits, on which the core decides rounding: d.ddde±x.
    char sci[32];
    const auto res = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
    if (res.ec != std::errc()) return false;
    const char* p = sci;
    g.negative = *p == '-';
    p += g.negative;
    const auto* e =
        static_cast<const char*>(std::memchr(p, 'e', static_cast<std::size_t>(res.ptr - p)));
    if (e == nullptr) return false;

    char* d = g.d();
    g.n = 1;
    d[0] = p[0];
    if (p[1] == '.') {
        std::memcpy(d + 1, p + 2, static_cast<std::size_t>(e - p - 2));
        g.n += static_cast<int>(e - p - 2);
    }
    int exponent = 0;
    const char* q = e + 1;
    const bool expNegative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    for (; q < res.ptr; ++q) exponent = exponent * 10 + (*q - '0');
    g.point = (expNegative ? -exponent : exponent) + 1;  // value = 0.d × 10^point
    if (d[0] == '0') g.n = 0;                            // zero, either sign
    return true;
}

// Half to even at `decimals` decimals. Shortest digits end in a nonzero digit, so any digit
// after the first dropped one makes it more than half.
void RoundHalfEvenAt(ShortestDigits& g, int decimals) {
    const int keep = g.point + decimals;
    if (g.n == 0 || keep >= g.n) return;
    if (keep < 0) {
        g.n = 0;
        return;
    }
    const char* d = g.d();
    const char first = d[keep];
    const bool up =
        first > '5' || (first == '5' && (keep + 1 < g.n || (keep > 0 && (d[keep - 1] - '0') % 2)));
    g.n = keep;
    if (!up) {
        while (g.n > 0 && d[g.n - 1] == '0') --g.n;
        return;
    }
    int i = g.n - 1;
    while (i >= 0 && d[i] == '9') --i;  // the nines become zeros and are dropped
    if (i < 0) {
        g.start = 0;
        g.buf[0] = '1';
        g.n = 1;
        ++g.point;
    } else {
        ++g.d()[i];
        g.n = i + 1;
    }
}

// The digits in fixed notation with `decimals` decimals.
char* WriteFixedDigits(char* t, ShortestDigits& g, int decimals) {
    const char* d = g.d();
    if (g.n == 0) g.point = 1;
    const int point = g.point;
    if (g.negative && g.n > 0) *t++ = '-';
    if (point <= 0) {
        *t++ = '0';
    } else {
        const int whole = std::min(point, g.n);
        std::memcpy(t, d, static_cast<std::size_t>(whole));
        std::memset(t + whole, '0', static_cast<std::size_t>(point - whole));
        t += point;
    }
    if (decimals > 0) {
        *t++ = '.';
        std::memset(t, '0', static_cast<std::size_t>(decimals));
        const int skip = point < 0 ? -point : 0;  // zeros between the point and the digits
        const int from = point > 0 ? point : 0;
        const int count = std::min(g.n - from, decimals - skip);
        if (count > 0) std::memcpy(t + skip, d + from, static_cast<std::size_t>(count));
        t += decimals;
    }
    return t;
}

}  // namespace

namespace detail {

char* WriteRoundedFast(char* out, double value, int decimals) {
    if (char* end = WriteRoundedScaled(out, value, decimals)) return end;
    if (!std::isfinite(value) || decimals < 0 || decimals > 17) return nullptr;
    ShortestDigits g;
    if (!ReadShortestDigits(value, g)) return nullptr;
    RoundHalfEvenAt(g, decimals);
    // Up to 15 significant digits the rounded decimal is the shortest text of the double the
    // core rounds to, so the core's formatting of that double prints these very digits.
    if (g.n > 15 || g.point > 24) return nullptr;
    return WriteFixedDigits(out, g, decimals);
}

}  // namespace detail

char* WriteRoundedText(char* out, double value, int decimals) {
    if (char* end = detail::WriteRoundedFast(out, value, decimals)) return end;
    const std::string text = FormatFixed(RoundHalfEven(value, decimals), Pattern{decimals, true});
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

std::string RoundedText(double value, int decimals) {
    char buf[kMaxRoundedText];
    return std::string(buf, WriteRoundedText(buf, value, decimals));
}

std::string ShortestText(double value) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace quorvel
