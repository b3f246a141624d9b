#include "core/packed_angle.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace quorvel {

namespace {

struct PackedParts {
    double degrees, minutes, seconds;
};

// Splits the shortest round-trip text of |packed|: the whole degrees, the first two decimals,
// and the rest read as seconds ("30.30305" gives 30, 30 and 30.5).
PackedParts PartsFromText(double magnitude) {
    // Fixed notation of a double needs at most ~330 characters (the smallest subnormal).
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::fixed);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string decimals(dot == std::string_view::npos ? "" : text.substr(dot + 1));
    if (decimals.size() < 4) decimals.resize(4, '0');

    PackedParts p{};
    std::from_chars(whole.data(), whole.data() + whole.size(), p.degrees);
    p.minutes = (decimals[0] - '0') * 10 + (decimals[1] - '0');
    std::string secondsText = decimals.substr(2, 2) + "." + decimals.substr(4);
    std::from_chars(secondsText.data(), secondsText.data() + secondsText.size(), p.seconds);
    return p;
}

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

constexpr std::uint64_t Pow10(int k) {
    std::uint64_t p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    return p;
}

// The parts of the decimal n / 10^kK, n below 10^15; a constant kK makes the divisions
// multiplications.
template <int kK>
PackedParts PartsOf(std::uint64_t n) {
    constexpr int kDecimals = kK < 4 ? 4 : kK;
    const std::uint64_t whole = n / Pow10(kK);
    const std::uint64_t frac = n % Pow10(kK) * Pow10(kDecimals - kK);
    constexpr std::uint64_t kSecondsScale = Pow10(kDecimals - 2);
    PackedParts p{};
    p.degrees = static_cast<double>(whole);
    p.minutes = static_cast<double>(frac / kSecondsScale);
    p.seconds = static_cast<double>(frac % kSecondsScale) / kPow10[kDecimals - 4];
    return p;
}

template <std::size_t... kK>
constexpr auto PartsOfTable(std::index_sequence<kK...>) {
    return std::array<PackedParts (*)(std::uint64_t), sizeof...(kK)>{&PartsOf<kK>...};
}

// The parts of n / 10^k for k from 0 to 15.
PackedParts PartsOf(std::uint64_t n, int k) {
    static constexpr auto kTable = PartsOfTable(std::make_index_sequence<16>());
    return kTable[static_cast<std::size_t>(k)](n);
}

// The same split without text, for the usual case of a few decimals: the shortest decimal with
// k decimals is the one integer n with n / 10^k == magnitude (a correctly rounded division of
// exact operands, as reading the text would give). Declines whenever that is not unambiguous.
std::optional<PackedParts> PartsFromDigits(double magnitude) {
    constexpr std::uint64_t kExact = std::uint64_t{1} << 53;
    for (int k = 0; k < 16; ++k) {
        const double scaled = magnitude * kPow10[k];
        if (!(scaled < static_cast<double>(kExact) - 2)) return std::nullopt;
        // floor(scaled + 0.5) by conversion: nearbyint is a library call without SSE4.1, and
        // differs from this only at ties, which the check below turns away anyway.
        const auto nearest = static_cast<double>(static_cast<std::uint64_t>(scaled + 0.5));
        // n / 10^k == magnitude puts magnitude · 10^k within 2.3e-16 · n of n: farther from
        // every integer, no n can match, and the divisions below are saved.
        if (std::fabs(scaled - nearest) > scaled * 1e-15) continue;
        const auto guess = static_cast<std::uint64_t>(nearest);
        std::uint64_t n = 0;
        int matches = 0;
        for (std::uint64_t c = guess == 0 ? 0 : guess - 1; c <= guess + 1; ++c) {
            if (static_cast<double>(c) / kPow10[k] == magnitude) {
                n = c;
                ++matches;
            }
        }
        if (matches > 1) return std::nullopt;
        if (matches == 0) continue;

        return PartsOf(n, k);
    }
    return std::nullopt;
}

double Combine(const PackedParts& p, double packed) {
    const double result = (p.degrees + p.minutes / 60) + p.seconds / 3600;
    return std::signbit(packed) ? -result : result;
}

double Decode(double packed, bool allowDigits) {
    if (!std::isfinite(packed)) return packed;
    const double magnitude = std::fabs(packed);
    const std::optional<PackedParts> fast =
        allowDigits ? PartsFromDigits(magnitude) : std::optional<PackedParts>();
    return Combine(fast ? *fast : PartsFromText(magnitude), packed);
}

}  // namespace

double DecodePackedAngle(double packed) {
    return Decode(packed, true);
}

double DecodePackedAngle(const PlainDecimal& typed) {
    // Distinct decimals of 15 significant digits or fewer are distinct doubles, so the typed
    // digits without their trailing zeros are the shortest ones that read back as the value.
    std::uint64_t n = typed.digits;
    int k = typed.decimals;
    while (k > 0 && n % 10 == 0) {
        n /= 10;
        --k;
    }
    if (n >= 1'000'000'000'000'000 || k > 15) return DecodePackedAngle(typed.value);
    return Combine(PartsOf(n, k), typed.value);
}

namespace detail {
double DecodePackedAngleFromText(double packed) {
    return Decode(packed, false);
}
}  // namespace detail

double DegreesToPacked(double degrees) {
    double d = std::trunc(degrees);
    double m = (degrees - d) * 60;
    double s = ((m - std::trunc(m)) * 6) / 1000;
    return (d + std::trunc(m) / 100) + s;
}

std::string DegreesText(double degrees) {
    char text[64];
    if (!(std::fabs(degrees) < 1e6)) {
        std::snprintf(text, sizeof text, "%g°", degrees);
        return text;
    }
    const auto seconds = static_cast<long long>(std::round(std::fabs(degrees) * 3600));
    std::snprintf(text, sizeof text, "%s%lld°%02lld′%02lld″", degrees < 0 ? "-" : "",
                  seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

}  // namespace quorvel
