#include "core/plane_measure.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel {
namespace {

// Degrees in [0, 360) from an angle in (-360, 360].
double FullCircle(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0) d += 360;
    if (d >= 360) d = 0;  // -1e-17 + 360 rounds to 360
    return d + 0.0;       // -0 as 0
}

// Offsets of the ring's points to its first, in long double: exact differences of doubles that
// lie within 2^11 of each other's magnitude, and products with 64 bits of mantissa.
struct Offset {
    long double x = 0;  // east (Y)
    long double y = 0;  // north (X)
};

long double Cross(const Offset& o, const Offset& a, const Offset& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

int Sign(long double v) {
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// Whether c, collinear with a and b, lies on the segment ab (its ends included).
bool Within(const Offset& a, const Offset& b, const Offset& c) {
    return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
           c.y <= std::max(a.y, b.y);
}

class RingEdges {
  public:
    explicit RingEdges(std::span<const PlaneXY> ring) : ring_(ring), at_(ring.size()) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            at_[i] = {static_cast<long double>(ring[i].Y) - ring[0].Y,
                      static_cast<long double>(ring[i].X) - ring[0].X};
        }
    }
    std::size_t size() const { return at_.size(); }
    const Offset& Start(std::size_t edge) const { return at_[edge]; }
    const Offset& End(std::size_t edge) const { return at_[(edge + 1) % at_.size()]; }
    bool Adjacent(std::size_t i, std::size_t j) const {
        return j == i + 1 || (i == 0 && j + 1 == at_.size());
    }
    PlaneXY Point(const Offset& o) const {
        return {static_cast<double>(ring_[0].X + o.y), static_cast<double>(ring_[0].Y + o.x)};
    }
    // Where edges i < j meet, if they do (adjacent edges: only where one runs back along the
    // other).
    std::optional<PlaneXY> Meet(std::size_t i, std::size_t j) const;

  private:
    std::span<const PlaneXY> ring_;
    std::vector<Offset> at_;
};

std::optional<PlaneXY> RingEdges::Meet(std::size_t i, std::size_t j) const {
    if (Adjacent(i, j)) {
        // The shared point, and the other ends of the two edges.
        const bool wraps = j != i + 1;
        const Offset& shared = wraps ? Start(i) : End(i);
        const Offset& a = wraps ? End(i) : Start(i);
        const Offset& b = wraps ? Start(j) : End(j);
        if (Sign(Cross(shared, a, b)) != 0) return std::nullopt;
        const long double dot =
            (a.x - shared.x) * (b.x - shared.x) + (a.y - shared.y) * (b.y - shared.y);
        if (dot <= 0) return std::nullopt;
        return Point(shared);
    }
    const Offset &p1 = Start(i), &p2 = End(i), &q1 = Start(j), &q2 = End(j);
    const int d1 = Sign(Cross(q1, q2, p1)), d2 = Sign(Cross(q1, q2, p2));
    const int d3 = Sign(Cross(p1, p2, q1)), d4 = Sign(Cross(p1, p2, q2));
    if (d1 * d2 < 0 && d3 * d4 < 0) {
        const long double denominator =
            (p2.x - p1.x) * (q2.y - q1.y) - (p2.y - p1.y) * (q2.x - q1.x);
        const long double t =
            ((q1.x - p1.x) * (q2.y - q1.y) - (q1.y - p1.y) * (q2.x - q1.x)) / denominator;
        return Point({p1.x + t * (p2.x - p1.x), p1.y + t * (p2.y - p1.y)});
    }
    if (d1 == 0 && Within(q1, q2, p1)) return Point(p1);
    if (d2 == 0 && Within(q1, q2, p2)) return Point(p2);
    if (d3 == 0 && Within(p1, p2, q1)) return Point(q1);
    if (d4 == 0 && Within(p1, p2, q2)) return Point(q2);
    return std::nullopt;
}

// The cells of a grid over the ring's bounding box, about as many as its edges.
class EdgeGrid {
  public:
    explicit EdgeGrid(const RingEdges& edges);
    // Calls `visit(i, j)` for every pair of edges i < j sharing a cell (a pair may come more
    // than once).
    template <class Visit>
    void ForEachPair(Visit visit) const;

  private:
    std::size_t Column(long double x) const;
    std::size_t Row(long double y) const;

    std::size_t side_ = 1;
    long double minX_ = 0, minY_ = 0, width_ = 0, height_ = 0;
    std::vector<std::size_t> start_;  // each cell's first entry in edges_, and the end
    std::vector<std::size_t> edges_;
};

std::size_t EdgeGrid::Column(long double x) const {
    if (width_ <= 0) return 0;
    const long double c = (x - minX_) / width_ * static_cast<long double>(side_);
    return std::min(side_ - 1, static_cast<std::size_t>(std::max<long double>(0, c)));
}

std::size_t EdgeGrid::Row(long double y) const {
    if (height_ <= 0) return 0;
    const long double r = (y - minY_) / height_ * static_cast<long double>(side_);
    return std::min(side_ - 1, static_cast<std::size_t>(std::max<long double>(0, r)));
}

EdgeGrid::EdgeGrid(const RingEdges& edges) {
    const std::size_t n = edges.size();
    side_ = std::max<std::size_t>(1, static_cast<std::size_t>(std::sqrt(static_cast<double>(n))));
    long double maxX = edges.Start(0).x, maxY = edges.Start(0).y;
    minX_ = maxX;
    minY_ = maxY;
    for (std::size_t i = 1; i < n; ++i) {
        minX_ = std::min(minX_, edges.Start(i).x);
        maxX = std::max(maxX, edges.Start(i).x);
        minY_ = std::min(minY_, edges.Start(i).y);
        maxY = std::max(maxY, edges.Start(i).y);
    }
    width_ = maxX - minX_;
    height_ = maxY - minY_;
    // Two passes: count each cell's edges, then place them, all in one array.
    start_.assign(side_ * side_ + 1, 0);
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::size_t> fill;
        if (pass == 1) {
            for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
            edges_.resize(start_.back());
            fill.assign(start_.begin(), start_.end() - 1);
        }
        for (std::size_t e = 0; e < n; ++e) {
            const Offset &a = edges.Start(e), &b = edges.End(e);
            const std::size_t c0 = Column(std::min(a.x, b.x)), c1 = Column(std::max(a.x, b.x));
            const std::size_t r0 = Row(std::min(a.y, b.y)), r1 = Row(std::max(a.y, b.y));
            for (std::size_t r = r0; r <= r1; ++r) {
                for (std::size_t c = c0; c <= c1; ++c) {
                    if (pass == 0) {
                        ++start_[r * side_ + c + 1];
                    } else {
                        edges_[fill[r * side_ + c]++] = e;
                    }
                }
            }
        }
    }
}

template <class Visit>
void EdgeGrid::ForEachPair(Visit visit) const {
    for (std::size_t c = 0; c + 1 < start_.size(); ++c) {
        for (std::size_t k = start_[c]; k < start_[c + 1]; ++k) {
            for (std::size_t m = k + 1; m < start_[c + 1]; ++m) {
                // Edges enter each cell in ascending order.
                visit(edges_[k], edges_[m]);
            }
        }
    }
}

}  // namespace

double PlaneDistance(PlaneXY a, PlaneXY b) {
    return std::hypot(b.X - a.X, b.Y - a.Y);
}

std::optional<double> GridAzimuth(PlaneXY a, PlaneXY b) {
    const double dX = b.X - a.X, dY = b.Y - a.Y;
    if (dX == 0 && dY == 0) return std::nullopt;
    // atan2 is exact on the axes: atan2(+0, x > 0) = 0, atan2(y > 0, 0) = π/2, ...
    return FullCircle(std::atan2(dY, dX) * (180 / std::numbers::pi));
}

std::vector<std::size_t> RingOf(std::span<const PlaneXY> points) {
    std::vector<std::size_t> ring;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (ring.empty() || points[ring.back()] != points[i]) ring.push_back(i);
    }
    while (ring.size() > 1 && points[ring.back()] == points[ring.front()]) ring.pop_back();
    return ring;
}

double ShoelaceArea(std::span<const PlaneXY> ring) {
    if (ring.size() < 3) return 0;
    const PlaneXY o = ring[0];
    double twice = 0;
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
        const double x1 = ring[i].Y - o.Y, y1 = ring[i].X - o.X;
        const double x2 = ring[i + 1].Y - o.Y, y2 = ring[i + 1].X - o.X;
        twice += x1 * y2 - x2 * y1;
    }
    return twice / 2;
}

double RingPerimeter(std::span<const PlaneXY> ring) {
    if (ring.size() < 2) return 0;
    double sum = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        sum += PlaneDistance(ring[i], ring[(i + 1) % ring.size()]);
    }
    return sum;
}

std::optional<RingCrossing> FindRingCrossing(std::span<const PlaneXY> ring) {
    if (ring.size() < 3) return std::nullopt;
    const RingEdges edges(ring);
    const EdgeGrid grid(edges);
    std::optional<RingCrossing> lowest;
    grid.ForEachPair([&](std::size_t i, std::size_t j) {
        if (lowest && std::pair(i, j) >= std::pair(lowest->first, lowest->second)) return;
        if (const std::optional<PlaneXY> at = edges.Meet(i, j)) lowest = RingCrossing{i, j, *at};
    });
    return lowest;
}

GeodesicLine GeodesicInverse(const Ellipsoid& e, GeodeticPoint a, GeodeticPoint b) {
    const GeographicLib::Geodesic g(e.a, e.f);
    GeodesicLine line;
    double azi1 = 0, azi2 = 0;
    g.Inverse(a.B, a.L, b.B, b.L, line.distance, azi1, azi2);
    if (line.distance > 0) line.azimuth = FullCircle(azi1);
    return line;
}

GeodesicArea EllipsoidArea(const Ellipsoid& e, std::span<const GeodeticPoint> ring) {
    const GeographicLib::Geodesic g(e.a, e.f);
    GeographicLib::PolygonArea polygon(g);
    for (const GeodeticPoint& p : ring) polygon.AddPoint(p.B, p.L);
    GeodesicArea result;
    polygon.Compute(false, true, result.perimeter, result.area);
    return result;
}

}  // namespace quorvel
