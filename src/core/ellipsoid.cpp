#include "core/ellipsoid.h"

#include <cmath>
#include <iterator>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"

namespace quorvel {
namespace {

// Adding an ellipsoid is adding a row. Krassovsky stays first: it is the default.
constexpr EllipsoidEntry kCatalogue[] = {
    // key, Chinese name, English name, a (m), 1/f, classic series
    {"krassovsky", "克拉索夫斯基 (北京1954)", "Krassovsky", 6378245, 298.3, true},
    {"xian80", "IAG-75 (西安1980)", "IAG-75", 6378140, 298.257, false},
    {"cgcs2000", "CGCS2000", "CGCS2000", 6378137, 298.257222101, false},
    {"wgs84", "WGS 84", "WGS 84", 6378137, 298.257223563, false},
#ifdef QUORVEL_EXTRA_ELLIPSOID_ROWS
// A test's rows, to show that a row alone reaches every list.
#include QUORVEL_EXTRA_ELLIPSOID_ROWS
#endif
};

// Keys are matched in lower case, "custom" names the settings' own a and 1/f, and a comma would
// read as "a,rf".
constexpr bool SoundKeys() {
    for (std::size_t i = 0; i < std::size(kCatalogue); ++i) {
        const std::string_view key = kCatalogue[i].key;
        if (key.empty() || key == "custom") return false;
        for (char c : key) {
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (kCatalogue[j].key == key) return false;
        }
    }
    return true;
}
static_assert(SoundKeys(), "ellipsoid keys: unique, lower-case letters and digits, not custom");

constexpr bool OnlyKrassovskyFirstIsClassic() {
    for (std::size_t i = 0; i < std::size(kCatalogue); ++i) {
        if (kCatalogue[i].classicSeries != (i == 0)) return false;
    }
    return kCatalogue[0].a == 6378245 && kCatalogue[0].rf == 298.3;
}
static_assert(OnlyKrassovskyFirstIsClassic(), "the classic series are Krassovsky's, listed first");

constexpr bool PlausibleRows() {
    for (const EllipsoidEntry& e : kCatalogue) {
        if (!(e.a >= kMinSemiMajorAxis && e.a <= kMaxSemiMajorAxis)) return false;
        if (!(e.rf >= kMinInverseFlattening && e.rf <= kMaxInverseFlattening)) return false;
    }
    return true;
}
static_assert(PlausibleRows(), "every ellipsoid is one MakeEllipsoid accepts");

bool SameName(std::string_view text, std::string_view name) {
    if (text.size() != name.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return true;
}

}  // namespace

std::span<const EllipsoidEntry> EllipsoidCatalogue() {
    return kCatalogue;
}

const EllipsoidEntry* FindEllipsoid(std::string_view key) {
    for (const EllipsoidEntry& e : kCatalogue) {
        if (SameName(key, e.key)) return &e;
    }
    return nullptr;
}

std::string EllipsoidKeys(std::string_view separator) {
    std::string keys;
    for (const EllipsoidEntry& e : kCatalogue) {
        if (!keys.empty()) keys += separator;
        keys += e.key;
    }
    return keys;
}

Ellipsoid Krassovsky() {
    return kCatalogue[0].ToEllipsoid();
}
Ellipsoid Xian80() {
    return FindEllipsoid("xian80")->ToEllipsoid();
}
Ellipsoid Cgcs2000() {
    return FindEllipsoid("cgcs2000")->ToEllipsoid();
}
Ellipsoid Wgs84() {
    return FindEllipsoid("wgs84")->ToEllipsoid();
}

Ellipsoid MakeEllipsoid(std::string name, double a, double rf) {
    if (!(a >= kMinSemiMajorAxis && a <= kMaxSemiMajorAxis)) {  // NaN fails too
        throw InvalidParameterError(
            Fill(Tr("the semi-major axis a must be between 6000000 and 7000000 m ({0})"), {name}));
    }
    if (!(rf >= kMinInverseFlattening && rf <= kMaxInverseFlattening)) {
        throw InvalidParameterError(
            Fill(Tr("the inverse flattening rf must be between 250 and 350 ({0})"), {name}));
    }
    return {std::move(name), a, 1 / rf};
}

Ellipsoid ParseEllipsoid(std::string_view text) {
    const std::string_view t = TrimBlanks(text);
    if (const EllipsoidEntry* named = FindEllipsoid(t)) return named->ToEllipsoid();
    const std::size_t comma = t.find(',');
    if (comma != std::string_view::npos) {
        const std::optional<double> a = TryParseNumber(t.substr(0, comma));
        const std::optional<double> rf = TryParseNumber(t.substr(comma + 1));
        if (a && rf) return MakeEllipsoid(std::string(t), *a, *rf);
    }
    throw InvalidParameterError(
        Fill(Tr("unknown ellipsoid \"{0}\": {1} or a,rf"), {t, EllipsoidKeys(Tr(", "))}));
}

bool IsKrassovsky(const Ellipsoid& e) {
    const EllipsoidEntry& k = kCatalogue[0];
    return e.a == k.a && e.f == 1 / k.rf;
}

}  // namespace quorvel
