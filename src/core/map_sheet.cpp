#include "core/map_sheet.h"

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel {

namespace {

constexpr std::int64_t kDegree = kMicroArcSecondsPerDegree;
constexpr std::int64_t kBandHeight = 4 * kDegree;  // a 1:1,000,000 sheet
constexpr std::int64_t kZoneWidth = 6 * kDegree;
constexpr std::int64_t kBands = 22;  // A–V: the equator to 88°N
constexpr std::int64_t kZones = 60;

struct ScaleInfo {
    long denominator;
    int perMillion;  // sheets along each side of a 1:1,000,000 sheet
    char code;       // of the new number; 0 at 1:1,000,000
};

constexpr ScaleInfo kScales[] = {
    {1'000'000, 1, 0}, {500'000, 2, 'B'},  {250'000, 4, 'C'}, {100'000, 12, 'D'},
    {50'000, 24, 'E'}, {25'000, 48, 'F'},  {10'000, 96, 'G'}, {5'000, 192, 'H'},
    {2'000, 576, 'I'}, {1'000, 1152, 'J'}, {500, 2304, 'K'},
};

const ScaleInfo& Info(SheetScale s) {
    return kScales[static_cast<int>(s)];
}
std::int64_t PerMillion(SheetScale s) {
    return Info(s).perMillion;
}

std::string Digits(std::int64_t value, int width) {
    std::string text = std::to_string(value);
    return std::string(text.size() < static_cast<std::size_t>(width) ? width - text.size() : 0,
                       '0') +
           text;
}

// The sheet of scale `parent` that holds `sheet`, and `sheet`'s place in it: row from the north
// and column from the west, from 0.
struct Place {
    MapSheet parent;
    std::int64_t row, column, side;
};
Place PlaceIn(const MapSheet& sheet, SheetScale parent) {
    const std::int64_t k = PerMillion(sheet.scale) / PerMillion(parent);
    return {{parent, sheet.row / k, sheet.column / k}, k - 1 - sheet.row % k, sheet.column % k, k};
}
MapSheet Child(const MapSheet& parent, SheetScale scale, std::int64_t rowFromNorth,
               std::int64_t column) {
    const std::int64_t k = PerMillion(scale) / PerMillion(parent.scale);
    return {scale, parent.row * k + (k - 1 - rowFromNorth), parent.column * k + column};
}

std::string Upper(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ' && c != '\t')
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// A whole number of at most 9 digits, all of `text`.
std::optional<std::int64_t> Whole(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<SheetScale> ScaleOfCode(char code) {
    for (int i = 1; i < static_cast<int>(std::size(kScales)); ++i) {
        if (kScales[i].code == code) return static_cast<SheetScale>(i);
    }
    return std::nullopt;
}

// The 1:1,000,000 sheet of "J50" or "J", "50"; nothing for another.
std::optional<MapSheet> MillionSheet(char letter, std::string_view zone) {
    const std::optional<std::int64_t> z = Whole(zone);
    if (letter < 'A' || letter > 'V' || !z || *z < 1 || *z > kZones || zone.size() > 2) {
        return std::nullopt;
    }
    return MapSheet{SheetScale::M1, letter - 'A', *z - 1};
}

std::optional<MapSheet> ParseNew(const std::string& t) {
    if (t.size() < 2) return std::nullopt;
    std::size_t i = 1;
    while (i < t.size() && i < 3 && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    const std::optional<MapSheet> million =
        MillionSheet(t[0], std::string_view(t).substr(1, i - 1));
    if (!million) return std::nullopt;
    if (i == t.size()) return million;
    const std::optional<SheetScale> scale = ScaleOfCode(t[i]);
    if (!scale) return std::nullopt;
    const std::size_t width = Info(*scale).perMillion > 999 ? 4 : 3;
    if (t.size() != i + 1 + 2 * width) return std::nullopt;
    const auto row = Whole(std::string_view(t).substr(i + 1, width));
    const auto column = Whole(std::string_view(t).substr(i + 1 + width, width));
    const std::int64_t n = PerMillion(*scale);
    if (!row || !column || *row < 1 || *row > n || *column < 1 || *column > n) return std::nullopt;
    return Child(*million, *scale, *row - 1, *column - 1);
}

// A quarter "A"–"D" (or "a"–"d", upper-cased by then) of `parent`.
std::optional<MapSheet> Quarter(const MapSheet& parent, SheetScale scale, std::string_view part,
                                char first) {
    if (part.size() != 1 || part[0] < first || part[0] > first + 3) return std::nullopt;
    const int i = part[0] - first;
    return Child(parent, scale, i / 2, i % 2);
}

// One of `side`² sheets numbered row by row from the north-west, from 1.
std::optional<MapSheet> Numbered(const MapSheet& parent, SheetScale scale, std::string_view part,
                                 std::int64_t side) {
    const std::optional<std::int64_t> n = Whole(part);
    if (!n || *n < 1 || *n > side * side || part[0] == '0') return std::nullopt;
    return Child(parent, scale, (*n - 1) / side, (*n - 1) % side);
}

std::string_view Inside(std::string_view part, char open, char close) {
    if (part.size() < 3 || part.front() != open || part.back() != close) return {};
    return part.substr(1, part.size() - 2);
}

std::optional<MapSheet> ParseOld(const std::string& t) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t dash = t.find('-', at);
        parts.push_back(std::string_view(t).substr(at, dash - at));
        if (dash == std::string::npos) break;
        at = dash + 1;
    }
    if (parts.size() < 2 || parts.size() > 5 || parts[0].size() != 1) return std::nullopt;
    for (const std::string_view part : parts) {
        if (part.empty()) return std::nullopt;
    }
    std::optional<MapSheet> s = MillionSheet(parts[0][0], parts[1]);
    if (!s || parts.size() == 2) return s;
    if (parts.size() == 3 && parts[2].size() == 1 &&
        !std::isdigit(static_cast<unsigned char>(parts[2][0]))) {
        return Quarter(*s, SheetScale::K500, parts[2], 'A');
    }
    if (parts.size() == 3 && parts[2].front() == '[') {
        return Numbered(*s, SheetScale::K250, Inside(parts[2], '[', ']'), 4);
    }
    s = Numbered(*s, SheetScale::K100, parts[2], 12);
    if (!s || parts.size() == 3) return s;
    if (parts[3].front() == '(') {
        s = Numbered(*s, SheetScale::K10, Inside(parts[3], '(', ')'), 8);
        if (!s || parts.size() == 4) return s;
        return parts.size() == 5 ? Quarter(*s, SheetScale::K5, parts[4], 'A') : std::nullopt;
    }
    s = Quarter(*s, SheetScale::K50, parts[3], 'A');
    if (!s || parts.size() == 4) return s;
    return parts.size() == 5 ? Quarter(*s, SheetScale::K25, parts[4], '1') : std::nullopt;
}

}  // namespace

std::optional<SheetScale> ParseSheetScale(std::string_view text) {
    std::string digits;
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (t.starts_with("1:")) t.remove_prefix(2);
    long factor = 1;
    if (t.ends_with("万")) {
        t.remove_suffix(std::string_view("万").size());
        factor = 10'000;
    }
    // In 万 a decimal may come (1:2.5万): its digits, and the factor divided by ten for each.
    bool point = false;
    for (const char c : t) {
        if (c == ',' && factor == 1) continue;
        if (c == '.' && factor > 1 && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9' || digits.size() > 8 || (point && factor == 1)) return std::nullopt;
        if (point) factor /= 10;
        digits += c;
    }
    if (digits.empty()) return std::nullopt;
    const long value = std::stol(digits) * factor;
    for (int i = 0; i < static_cast<int>(std::size(kScales)); ++i) {
        if (kScales[i].denominator == value) return static_cast<SheetScale>(i);
    }
    return std::nullopt;
}

long SheetScaleDenominator(SheetScale scale) {
    return Info(scale).denominator;
}

std::string SheetScaleText(SheetScale scale) {
    std::string digits = std::to_string(Info(scale).denominator);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return "1:" + digits;
}

std::optional<std::int64_t> ToMicroArcSeconds(double degrees) {
    if (!std::isfinite(degrees) || std::fabs(degrees) > 360) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(degrees * 3600 * 1e6));
}

std::optional<MapSheet> SheetAt(std::int64_t L, std::int64_t B, SheetScale scale,
                                std::string& why) {
    const double degreesB = static_cast<double>(B) / kDegree;
    if (B < 0) {
        why = Fill(Tr("B {0} lies south of the equator: the sheet numbering covers the northern "
                      "hemisphere"),
                   {DegreesText(degreesB)});
        return std::nullopt;
    }
    if (B >= kBands * kBandHeight) {
        why = Fill(Tr("B {0} lies north of 88°, in the polar cap the sheet numbering does not "
                      "divide"),
                   {DegreesText(degreesB)});
        return std::nullopt;
    }
    if (L < -180 * kDegree || L > 180 * kDegree) {
        why = Fill(Tr("L {0} lies beyond ±180°"), {DegreesText(static_cast<double>(L) / kDegree)});
        return std::nullopt;
    }
    if (L == 180 * kDegree) L = -L;  // the western edge of column 1
    const std::int64_t n = PerMillion(scale);
    return MapSheet{scale, B / (kBandHeight / n), (L + 180 * kDegree) / (kZoneWidth / n)};
}

SheetEdges EdgesOf(const MapSheet& sheet) {
    const std::int64_t n = PerMillion(sheet.scale);
    const std::int64_t height = kBandHeight / n, width = kZoneWidth / n;
    return {sheet.column * width - 180 * kDegree, sheet.row * height,
            (sheet.column + 1) * width - 180 * kDegree, (sheet.row + 1) * height};
}

std::array<std::optional<MapSheet>, 8> Neighbours(const MapSheet& sheet) {
    const std::int64_t n = PerMillion(sheet.scale);
    constexpr int kRow[] = {1, 1, 0, -1, -1, -1, 0, 1};
    constexpr int kColumn[] = {0, 1, 1, 1, 0, -1, -1, -1};
    std::array<std::optional<MapSheet>, 8> out;
    for (int i = 0; i < 8; ++i) {
        const std::int64_t row = sheet.row + kRow[i];
        if (row < 0 || row >= kBands * n) continue;
        const std::int64_t columns = kZones * n;
        out[i] = MapSheet{sheet.scale, row, (sheet.column + kColumn[i] + columns) % columns};
    }
    return out;
}

std::string NewSheetNumber(const MapSheet& sheet) {
    const Place million = PlaceIn(sheet, SheetScale::M1);
    std::string text(1, static_cast<char>('A' + million.parent.row));
    text += Digits(million.parent.column + 1, 2);
    if (sheet.scale == SheetScale::M1) return text;
    const int width = million.side > 999 ? 4 : 3;
    return text + Info(sheet.scale).code + Digits(million.row + 1, width) +
           Digits(million.column + 1, width);
}

std::optional<std::string> OldSheetNumber(const MapSheet& sheet) {
    const auto quarter = [&](SheetScale parent, char first) {
        const Place p = PlaceIn(sheet, parent);
        const std::optional<std::string> up = OldSheetNumber(p.parent);
        return *up + '-' + static_cast<char>(first + p.row * 2 + p.column);
    };
    const auto numbered = [&](SheetScale parent, const char* open, const char* close) {
        const Place p = PlaceIn(sheet, parent);
        return *OldSheetNumber(p.parent) + '-' + open +
               std::to_string(p.row * p.side + p.column + 1) + close;
    };
    switch (sheet.scale) {
        case SheetScale::M1:
            return std::string(1, static_cast<char>('A' + sheet.row)) + '-' +
                   std::to_string(sheet.column + 1);
        case SheetScale::K500:
            return quarter(SheetScale::M1, 'A');
        case SheetScale::K250:
            return numbered(SheetScale::M1, "[", "]");
        case SheetScale::K100:
            return numbered(SheetScale::M1, "", "");
        case SheetScale::K50:
            return quarter(SheetScale::K100, 'A');
        case SheetScale::K25:
            return quarter(SheetScale::K50, '1');
        case SheetScale::K10:
            return numbered(SheetScale::K100, "(", ")");
        case SheetScale::K5:
            return quarter(SheetScale::K10, 'a');
        default:
            return std::nullopt;
    }
}

std::optional<MapSheet> ParseSheetNumber(std::string_view text, std::string& why) {
    const std::string t = Upper(text);
    std::optional<MapSheet> sheet = t.find('-') == std::string::npos ? ParseNew(t) : ParseOld(t);
    if (!sheet) {
        why = Fill(Tr("{0} is no sheet number: give one such as J50D001001 or J-50-1 (A–V, the "
                      "column 1–60, then the scale's parts)"),
                   {"\"" + std::string(text) + "\""});
    }
    return sheet;
}

std::string PackedText(std::int64_t v) {
    std::string text = v < 0 ? "-" : "";
    const std::int64_t a = v < 0 ? -v : v;
    const std::int64_t minute = 60'000'000;
    const std::int64_t rest = a % kDegree;
    text += std::to_string(a / kDegree) + '.' + Digits(rest / minute, 2) +
            Digits(rest % minute / 1'000'000, 2);
    std::string fraction = Digits(rest % 1'000'000, 6);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return text + fraction;
}

bool HasPlaneSheets(SheetScale scale) {
    return PlaneSheetSide(scale) != 0;
}

std::int64_t PlaneSheetSide(SheetScale scale) {
    switch (scale) {
        case SheetScale::K5:
            return 2000;
        case SheetScale::K2:
            return 1000;
        case SheetScale::K1:
            return 500;
        case SheetScale::K05:
            return 250;
        default:
            return 0;
    }
}

std::optional<PlaneSheet> PlaneSheetAt(double X, double Y, SheetScale scale, std::string& why) {
    const double side = static_cast<double>(PlaneSheetSide(scale));
    std::int64_t corner[2];
    const double values[2] = {X, Y};
    for (int i = 0; i < 2; ++i) {
        const double v = values[i];
        if (!(v >= 0) || !(v < 1e12)) {
            why = Fill(Tr("{0} {1} m cannot name a rectangular sheet: give a coordinate from 0 to "
                          "1e12 m"),
                       {i == 0 ? "X" : "Y", std::isfinite(v) ? ShortestText(v) : "?"});
            return std::nullopt;
        }
        // The quotient may round up to the next whole number just below an edge: check back.
        std::int64_t k = static_cast<std::int64_t>(std::floor(v / side));
        if (static_cast<double>(k) * side > v) --k;
        if (static_cast<double>(k + 1) * side <= v) ++k;
        corner[i] = k * PlaneSheetSide(scale);
    }
    return PlaneSheet{scale, corner[0], corner[1]};
}

std::string PlaneSheetNumber(const PlaneSheet& sheet) {
    const int decimals = sheet.scale == SheetScale::K5 ? 0 : sheet.scale == SheetScale::K05 ? 2 : 1;
    const auto km = [&](std::int64_t metres) {
        std::string text = std::to_string(metres / 1000);
        if (decimals == 0) return text;
        return text + '.' + Digits(metres % 1000, 3).substr(0, decimals);
    };
    return km(sheet.south) + '-' + km(sheet.west);
}

std::optional<PlaneSheet> ParsePlaneSheetNumber(std::string_view text, SheetScale scale,
                                                std::string& why) {
    const auto metres = [](std::string_view km) -> std::optional<std::int64_t> {
        const std::size_t dot = km.find('.');
        const std::string_view whole = km.substr(0, dot);
        std::string fraction(dot == std::string_view::npos ? "" : km.substr(dot + 1));
        while (fraction.size() > 3 && fraction.back() == '0') fraction.pop_back();
        if (fraction.size() > 3) return std::nullopt;
        const std::optional<std::int64_t> w = Whole(whole);
        const std::optional<std::int64_t> f =
            Whole(fraction + std::string(3 - fraction.size(), '0'));
        if (!w || !f || (dot != std::string_view::npos && km.size() == dot + 1)) {
            return std::nullopt;
        }
        return *w * 1000 + *f;
    };
    std::string t(TrimBlanks(text));
    const std::size_t dash = t.find('-');
    const std::int64_t side = PlaneSheetSide(scale);
    if (dash != std::string::npos && side != 0) {
        const auto x = metres(std::string_view(t).substr(0, dash));
        const auto y = metres(std::string_view(t).substr(dash + 1));
        if (x && y && *x % side == 0 && *y % side == 0) return PlaneSheet{scale, *x, *y};
    }
    why = Fill(Tr("{0} is no rectangular sheet at {1}: give its south-west corner as X-Y in "
                  "kilometres, on the {2} m grid"),
               {"\"" + std::string(text) + "\"", SheetScaleText(scale), std::to_string(side)});
    return std::nullopt;
}

std::array<std::optional<PlaneSheet>, 8> PlaneNeighbours(const PlaneSheet& sheet) {
    constexpr int kRow[] = {1, 1, 0, -1, -1, -1, 0, 1};
    constexpr int kColumn[] = {0, 1, 1, 1, 0, -1, -1, -1};
    const std::int64_t side = PlaneSheetSide(sheet.scale);
    std::array<std::optional<PlaneSheet>, 8> out;
    for (int i = 0; i < 8; ++i) {
        const std::int64_t south = sheet.south + kRow[i] * side;
        const std::int64_t west = sheet.west + kColumn[i] * side;
        if (south >= 0 && west >= 0) out[i] = PlaneSheet{sheet.scale, south, west};
    }
    return out;
}

}  // namespace quorvel
