#include "core/ellipsoid.h"

#include <cmath>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"

namespace quorvel {
namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

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

Ellipsoid Krassovsky() {
    return {"krassovsky", 6378245, 1 / 298.3};
}
Ellipsoid Xian80() {
    return {"xian80", 6378140, 1 / 298.257};
}
Ellipsoid Cgcs2000() {
    return {"cgcs2000", 6378137, 1 / 298.257222101};
}
Ellipsoid Wgs84() {
    return {"wgs84", 6378137, 1 / 298.257223563};
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
    const std::string_view t = Trim(text);
    for (Ellipsoid (*named)() : {Krassovsky, Xian80, Cgcs2000, Wgs84}) {
        Ellipsoid e = named();
        if (SameName(t, e.name)) return e;
    }
    const std::size_t comma = t.find(',');
    if (comma != std::string_view::npos) {
        const std::optional<double> a = TryParseNumber(t.substr(0, comma));
        const std::optional<double> rf = TryParseNumber(t.substr(comma + 1));
        if (a && rf) return MakeEllipsoid(std::string(t), *a, *rf);
    }
    throw InvalidParameterError(
        Fill(Tr("unknown ellipsoid “{0}”: krassovsky, xian80, cgcs2000, wgs84 or a,rf"), {t}));
}

bool IsKrassovsky(const Ellipsoid& e) {
    const Ellipsoid k = Krassovsky();
    return e.a == k.a && e.f == k.f;
}

}  // namespace quorvel
