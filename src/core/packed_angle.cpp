#include "core/packed_angle.h"

#include <charconv>
#include <cmath>
#include <string>

namespace quorvel {

double DecodePackedAngle(double packed) {
    if (!std::isfinite(packed)) return packed;
    // Fixed notation of a double needs at most ~330 characters (the smallest subnormal).
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(packed), std::chars_format::fixed);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string decimals(dot == std::string_view::npos ? "" : text.substr(dot + 1));
    if (decimals.size() < 4) decimals.resize(4, '0');

    double degrees = 0;
    std::from_chars(whole.data(), whole.data() + whole.size(), degrees);
    double minutes = (decimals[0] - '0') * 10 + (decimals[1] - '0');
    std::string secondsText = decimals.substr(2, 2) + "." + decimals.substr(4);
    if (secondsText.back() == '.') secondsText.pop_back();
    double seconds = 0;
    std::from_chars(secondsText.data(), secondsText.data() + secondsText.size(), seconds);

    double result = (degrees + minutes / 60) + seconds / 3600;
    return std::signbit(packed) ? -result : result;
}

double DegreesToPacked(double degrees) {
    double d = std::trunc(degrees);
    double m = (degrees - d) * 60;
    double s = ((m - std::trunc(m)) * 6) / 1000;
    return (d + std::trunc(m) / 100) + s;
}

}  // namespace quorvel
