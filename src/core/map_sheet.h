#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// China's topographic map sheets (图幅) on the geographic grid, 2012 edition of the national
// numbering, and the rectangular sheets of the large scales.
//
// Geographic grid: a 1:1,000,000 sheet spans 6° of longitude and 4° of latitude; its row is a
// letter A–V counted from the equator (A: 0°–4°N), its column 1–60 counted east from 180°
// (column 31 begins at 0°). Each larger scale divides it into equal sheets (sizes below); the
// new number (J50B001001) is the 1:1,000,000 number, the scale's code letter and the sheet's row
// counted from the north and column from the west inside it, 3 digits each (4 at 1:1,000 and
// 1:500). The old number (J-50-144-(64)-d) names the sheet through its parents, down to 1:5,000.
//
// A point on an edge belongs to the sheet north and east of it, as the integer parts of the
// numbering's arithmetic give: 1:1,000,000 row ⌊B/4°⌋ + 1 and column ⌊L/6°⌋ + 31, row inside it
// 4°/ΔB − ⌊(B mod 4°)/ΔB⌋ and column ⌊(L mod 6°)/ΔL⌋ + 1. The longitude 180° is −180°, the
// western edge of column 1. West of Greenwich the same arithmetic holds (columns 1–30).
// The numbering covers the northern hemisphere from the equator up to 88°N, where the sheets
// end in a polar cap it does not divide; other latitudes are refused.
//
// Angles are held in microarcseconds (1e−6″, 3e−8 m on the ground): every sheet edge is a whole
// number of them, so a point typed on an edge (39°20′00″) is counted where the arithmetic puts
// it, not a sheet off through the binary fractions of its degrees.

enum class SheetScale {
    M1,    // 1:1,000,000   6°      × 4°
    K500,  // 1:500,000     3°      × 2°      code B
    K250,  // 1:250,000     1°30′   × 1°      code C
    K100,  // 1:100,000     30′     × 20′     code D
    K50,   // 1:50,000      15′     × 10′     code E
    K25,   // 1:25,000      7′30″   × 5′      code F
    K10,   // 1:10,000      3′45″   × 2′30″   code G
    K5,    // 1:5,000       1′52.5″ × 1′15″   code H
    K2,    // 1:2,000       37.5″   × 25″     code I
    K1,    // 1:1,000       18.75″  × 12.5″   code J
    K05,   // 1:500         9.375″  × 6.25″   code K
};

// The scale as typed: "1:50000", "50000", "1:5万", "1:1,000,000"; nothing for another scale.
std::optional<SheetScale> ParseSheetScale(std::string_view text);
// The denominator: 50000 for K50.
long SheetScaleDenominator(SheetScale scale);
// "1:50,000".
std::string SheetScaleText(SheetScale scale);

inline constexpr std::int64_t kMicroArcSecondsPerDegree = 3'600'000'000;

// A sheet of the geographic grid: its scale, and its row counted north from the equator and
// column counted east from 180°, both from 0, in sheets of its scale.
struct MapSheet {
    SheetScale scale = SheetScale::M1;
    std::int64_t row = 0;
    std::int64_t column = 0;
    bool operator==(const MapSheet&) const = default;
};

// Its edges, in microarcseconds: west and east longitudes (east may be 180°), south and north
// latitudes.
struct SheetEdges {
    std::int64_t west = 0, south = 0, east = 0, north = 0;
};

// An angle in decimal degrees to the nearest microarcsecond; nothing where it is not finite or
// beyond ±360°.
std::optional<std::int64_t> ToMicroArcSeconds(double degrees);

// The sheet that holds the point at longitude `L` and latitude `B` (microarcseconds), or why
// there is none ("B: 89°00′00″ lies north of 88°, ...") in `why`. L may lie in [−180°, 180°].
std::optional<MapSheet> SheetAt(std::int64_t L, std::int64_t B, SheetScale scale, std::string& why);

SheetEdges EdgesOf(const MapSheet& sheet);

// The eight neighbours, clockwise from the north: N, NE, E, SE, S, SW, W, NW. Across 180° the
// columns wrap; beyond the equator or 88°N there is none.
std::array<std::optional<MapSheet>, 8> Neighbours(const MapSheet& sheet);

// The new number: "J50", "J50B001002", "J50K23042304".
std::string NewSheetNumber(const MapSheet& sheet);
// The old number: "J-50", "J-50-A", "J-50-[16]", "J-50-144", "J-50-144-D", "J-50-144-D-4",
// "J-50-144-(64)", "J-50-144-(64)-d"; nothing at the scales above 1:5,000, which it lacks.
std::optional<std::string> OldSheetNumber(const MapSheet& sheet);

// A number in either form back to its sheet, or why it is none in `why`. Blanks around it and
// the case of its letters do not matter.
std::optional<MapSheet> ParseSheetNumber(std::string_view text, std::string& why);

// An angle in microarcseconds as packed degrees, exactly and without trailing zeros beyond the
// seconds: 117.3000, 39.201230, -0.0152375.
std::string PackedText(std::int64_t microArcSeconds);

// Rectangular sheets of the large scales in plane coordinates (X north, Y east, metres): 40 cm
// square at 1:5,000 (2 km), 50 cm square at 1:2,000, 1:1,000 and 1:500 (1 km, 500 m, 250 m),
// named by their south-west corner "X-Y" in kilometres: whole at 1:5,000, to 0.1 km at
// 1:2,000 and 1:1,000, to 0.01 km at 1:500 ("3542.25-38452.50").
struct PlaneSheet {
    SheetScale scale = SheetScale::K5;
    std::int64_t south = 0;  // X of the south-west corner, metres
    std::int64_t west = 0;   // Y of the south-west corner, metres
    bool operator==(const PlaneSheet&) const = default;
};

// Whether the scale has rectangular sheets (1:5,000 and larger); their side in metres.
bool HasPlaneSheets(SheetScale scale);
std::int64_t PlaneSheetSide(SheetScale scale);

// The sheet holding (X, Y), a point on an edge in the sheet north and east of it; or why there
// is none (a negative or huge coordinate) in `why`.
std::optional<PlaneSheet> PlaneSheetAt(double X, double Y, SheetScale scale, std::string& why);
std::string PlaneSheetNumber(const PlaneSheet& sheet);
// "3542.0-452.0" at `scale` back to its sheet, or why it is none: the corner must lie on the
// scale's grid.
std::optional<PlaneSheet> ParsePlaneSheetNumber(std::string_view text, SheetScale scale,
                                                std::string& why);
// Neighbours as Neighbours() orders them; none where a coordinate would turn negative.
std::array<std::optional<PlaneSheet>, 8> PlaneNeighbours(const PlaneSheet& sheet);

}  // namespace quorvel
