#include "engine/measure/measure_texts.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/reading/text_io.h"

namespace quorvel::engine {
namespace {

std::string Number(double value, int decimals, bool full) {
    char text[kMaxResultText];
    return std::string(text,
                       full ? WriteFullText(text, value) : WriteRoundedText(text, value, decimals));
}

std::string Azimuth(double degrees, bool full) {
    if (!full) return PackedAzimuthText(degrees);
    char text[kMaxResultText];
    return std::string(text, WriteFullText(text, DegreesToPacked(degrees)));
}

// a − b in seconds of arc, the difference taken within ±180°.
double SecondsBetween(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d >= 180) d -= 360;
    if (d < -180) d += 360;
    return d * 3600;
}

std::string Named(const MeasurePoint& p) {
    return Fill(Tr("{0} (line {1})"), {Quoted(p.name), std::to_string(p.line)});
}

// The plane point as typed: Y with the zone number in front again.
PlaneXY AsTyped(PlaneXY p, int zone) {
    if (zone >= 0) p.Y += zone * 1e6;
    return p;
}

}  // namespace

std::string PackedAzimuthText(double degrees) {
    constexpr long long kCircle = 360LL * 3600 * 100;
    long long h = std::llround(degrees * 360000.0) % kCircle;
    if (h < 0) h += kCircle;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld%04lld", h / 360000, h / 6000 % 60, h % 6000);
    return text;
}

Legs MeasureLegs(const MeasureJob& m, const std::vector<MeasurePoint>& points) {
    Legs out;
    const std::size_t step = m.pairs ? 2 : 1;
    for (std::size_t i = 0; i + 1 < points.size(); i += step) {
        const MeasurePoint &a = points[i], &b = points[i + 1];
        Leg leg{i, i + 1, std::numeric_limits<double>::quiet_NaN(), std::nullopt, std::nullopt};
        if (a.zone == b.zone) {
            leg.distance = PlaneDistance(a.plane, b.plane);
            leg.azimuth = GridAzimuth(a.plane, b.plane);
        }
        if (a.geodetic && b.geodetic) {
            leg.geodesic = GeodesicInverse(m.job.geodesy.ellipsoid, *a.geodetic, *b.geodetic);
        }
        out.legs.push_back(leg);
    }
    if (m.pairs && points.size() % 2 == 1) out.unpaired = points.size() - 1;
    return out;
}

std::vector<std::string> LegColumns(const MeasureJob& m) {
    std::vector<std::string> columns = {"from", "to", "distance", "azimuth"};
    if (m.projected) {
        for (const char* c :
             {"geodesic_distance", "geodesic_azimuth", "distance_diff_mm", "azimuth_diff_s"}) {
            columns.emplace_back(c);
        }
    }
    return columns;
}

std::vector<std::string> LegCells(const MeasureJob& m, const std::vector<MeasurePoint>& points,
                                  const Leg& leg) {
    const bool full = m.job.full;
    std::vector<std::string> cells = {points[leg.from].name, points[leg.to].name, {}, {}};
    const bool plane = std::isfinite(leg.distance);
    if (plane) cells[2] = Number(leg.distance, 4, full);
    if (leg.azimuth) cells[3] = Azimuth(*leg.azimuth, full);
    if (leg.geodesic) {
        const GeodesicLine& g = *leg.geodesic;
        cells.push_back(Number(g.distance, 4, full));
        cells.push_back(g.azimuth ? Azimuth(*g.azimuth, full) : std::string());
        cells.push_back(plane ? Number((leg.distance - g.distance) * 1000, 3, full)
                              : std::string());
        cells.push_back(leg.azimuth && g.azimuth
                            ? Number(SecondsBetween(*leg.azimuth, *g.azimuth), 2, full)
                            : std::string());
    }
    return cells;
}

std::string LegHeader(const MeasureJob& m) {
    std::string header;
    for (const std::string& c : LegColumns(m)) header += (header.empty() ? "" : ",") + c;
    return header + '\n';
}

std::string LegRecord(const MeasureJob& m, const std::vector<MeasurePoint>& points,
                      const Leg& leg) {
    const std::vector<std::string> cells = LegCells(m, points, leg);
    std::string r;
    // The names as CSV fields (guarded for Excel with --bom); the numbers as they are, a
    // negative difference not taken for a formula.
    AppendCsvField(r, cells[0], m.job.bom);
    r += ',';
    AppendCsvField(r, cells[1], m.job.bom);
    for (std::size_t i = 2; i < cells.size(); ++i) r += ',' + cells[i];
    return r + '\n';
}

std::string LegWarning(const std::vector<MeasurePoint>& points, const Leg& leg) {
    const MeasurePoint &a = points[leg.from], &b = points[leg.to];
    if (a.zone != b.zone) {
        return Fill(Tr("{0} and {1} lie on the planes of zones {2} and {3}: no plane distance "
                       "or bearing between them, the geodesic alone"),
                    {Named(a), Named(b), std::to_string(a.zone), std::to_string(b.zone)});
    }
    if (!leg.azimuth) {
        return Fill(Tr("{0} and {1} are the same point: distance 0, no azimuth"),
                    {Named(a), Named(b)});
    }
    return {};
}

PolygonMeasure MeasurePolygon(const MeasureJob& m, const std::vector<MeasurePoint>& points) {
    PolygonMeasure out;
    for (const MeasurePoint& p : points) {
        if (p.zone != points.front().zone) {
            out.refusal = Fill(Tr("{0} lies on the plane of zone {1}, the first point on zone "
                                  "{2}'s: a polygon's points must share one plane"),
                               {Named(p), std::to_string(p.zone), std::to_string(points[0].zone)});
            out.line = p.line;
            return out;
        }
    }
    std::vector<PlaneXY> typed;
    for (const MeasurePoint& p : points) typed.push_back(p.plane);
    const std::vector<std::size_t> corners = RingOf(typed);
    out.points = corners.size();
    if (corners.size() < 3) {
        out.refusal = Fill(Tr("{0} distinct points: a polygon needs at least 3"),
                           {std::to_string(corners.size())});
        return out;
    }
    std::vector<PlaneXY> ring;
    for (std::size_t i : corners) ring.push_back(typed[i]);
    if (const std::optional<RingCrossing> x = FindRingCrossing(ring)) {
        const auto edge = [&](std::size_t e) {
            return Named(points[corners[e]]) + "–" +
                   Named(points[corners[(e + 1) % corners.size()]]);
        };
        const PlaneXY at = AsTyped(x->at, points[corners[x->first]].zoneNumber);
        out.refusal =
            Fill(Tr("the polygon crosses or touches itself: the edges {0} and {1} meet "
                    "at X {2}, Y {3}"),
                 {edge(x->first), edge(x->second), Number(at.X, 4, false), Number(at.Y, 4, false)});
        out.line = points[corners[x->second]].line;
        return out;
    }
    out.area = ShoelaceArea(ring);
    out.perimeter = RingPerimeter(ring);
    if (m.projected) {
        std::vector<GeodeticPoint> geodetic;
        for (std::size_t i : corners) geodetic.push_back(*points[i].geodetic);
        out.ellipsoid = EllipsoidArea(m.job.geodesy.ellipsoid, geodetic);
    }
    return out;
}

std::string AreaCsv(const MeasureJob& m, const PolygonMeasure& p) {
    const bool full = m.job.full;
    std::string header = "points,perimeter,area_m2,area_mu,area_ha,orientation";
    const double a = std::fabs(p.area);
    std::string record = std::to_string(p.points) + ',' + Number(p.perimeter, 4, full) + ',' +
                         Number(a, 4, full) + ',' + Number(a / kSquareMetresPerMu, 4, full) + ',' +
                         Number(a / 1e4, 6, full) + ',' +
                         (p.area > 0 ? "counterclockwise" : "clockwise");
    if (p.ellipsoid) {
        header += ",ellipsoid_perimeter,ellipsoid_area_m2,ellipsoid_area_mu,ellipsoid_area_ha";
        const double e = std::fabs(p.ellipsoid->area);
        record += ',' + Number(p.ellipsoid->perimeter, 4, full) + ',' + Number(e, 4, full) + ',' +
                  Number(e / kSquareMetresPerMu, 4, full) + ',' + Number(e / 1e4, 6, full);
    }
    return header + '\n' + record + '\n';
}

std::string AreaSummary(const PolygonMeasure& p) {
    const auto words = [](double area, double perimeter) {
        const double a = std::fabs(area);
        return Fill(Tr("{0} m² = {1} 亩 = {2} ha, perimeter {3} m"),
                    {Number(a, 4, false), Number(a / kSquareMetresPerMu, 4, false),
                     Number(a / 1e4, 6, false), Number(perimeter, 4, false)});
    };
    std::string text = Fill(p.area > 0 ? Tr("{0} points counter-clockwise: on the plane {1}")
                                       : Tr("{0} points clockwise: on the plane {1}"),
                            {std::to_string(p.points), words(p.area, p.perimeter)});
    text += '\n';
    if (p.ellipsoid) {
        text +=
            Fill(Tr("on the ellipsoid {0}"), {words(p.ellipsoid->area, p.ellipsoid->perimeter)});
        text += '\n';
    }
    return text;
}

}  // namespace quorvel::engine
