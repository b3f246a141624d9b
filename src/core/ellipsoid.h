#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quorvel {

// A reference ellipsoid: its name, the semi-major axis a in metres and the flattening f.
struct Ellipsoid {
    std::string name;
    double a = 0;
    double f = 0;

    double InverseFlattening() const { return 1 / f; }
    bool operator==(const Ellipsoid&) const = default;
};

// A row of the ellipsoid catalogue, the one list every part of the program names ellipsoids
// from: quorvel-batch's --ellipsoid, its --help and completion, and the window's settings.
struct EllipsoidEntry {
    std::string_view key;      // lower case, as --ellipsoid and the settings file name it
    std::string_view chinese;  // as the window lists it
    std::string_view english;  // as --help names it when the key does not say it
    double a;                  // semi-major axis, metres
    double rf;                 // inverse flattening
    bool classicSeries;        // the classic series apply: Krassovsky alone

    Ellipsoid ToEllipsoid() const { return {std::string(key), a, 1 / rf}; }
};

// The catalogue in the order it is listed; the first row is Krassovsky, the default and the
// only one with the classic series.
std::span<const EllipsoidEntry> EllipsoidCatalogue();
// The row of `key` in any letter case, or null.
const EllipsoidEntry* FindEllipsoid(std::string_view key);
// The keys joined by `separator`: "krassovsky, xian80, ...".
std::string EllipsoidKeys(std::string_view separator);

// Rows of the catalogue by key. Krassovsky is the ellipsoid of the classic series (its
// constants, loaded by EllipsoidConstants::Load, are derived from its two numbers); Xi'an 1980
// uses the IAG-75 ellipsoid.
Ellipsoid Krassovsky();  // "krassovsky": 6378245 m, 1/298.3
Ellipsoid Xian80();      // "xian80": 6378140 m, 1/298.257
Ellipsoid Cgcs2000();    // "cgcs2000": 6378137 m, 1/298.257222101
Ellipsoid Wgs84();       // "wgs84": 6378137 m, 1/298.257223563

// Plausible Earth ellipsoids, with room for a projection surface raised or lowered by a few
// kilometres: a in [6,000,000, 7,000,000] m and 1/f in [250, 350].
inline constexpr double kMinSemiMajorAxis = 6'000'000;
inline constexpr double kMaxSemiMajorAxis = 7'000'000;
inline constexpr double kMinInverseFlattening = 250;
inline constexpr double kMaxInverseFlattening = 350;

// The ellipsoid of semi-major axis `a` (metres) and inverse flattening `rf`, called `name`.
// Throws InvalidParameterError unless both are finite and in the plausible ranges above.
Ellipsoid MakeEllipsoid(std::string name, double a, double rf);

// An ellipsoid as a user names it: a key of the catalogue (any letter case), or "a,rf" (two
// numbers as TryParseNumber reads them, blanks allowed around each), whose name is then the
// trimmed text. Throws InvalidParameterError naming the text for anything else.
Ellipsoid ParseEllipsoid(std::string_view text);

// True for the ellipsoid of the classic series: a = 6378245 m and f = 1/298.3 exactly, by
// whatever name.
bool IsKrassovsky(const Ellipsoid& e);

}  // namespace quorvel
