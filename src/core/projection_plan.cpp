#include "core/projection_plan.h"

#include <GeographicLib/TransverseMercator.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "core/projection_surface.h"

namespace quorvel {
namespace {

// The projection heights that keep every point within the limit on one meridian: each point
// asks k (R + H0)/(R + H) − 1 within ±ε, an interval of H0, and the area their intersection.
struct Room {
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    double minScale = std::numeric_limits<double>::infinity();  // (k − 1) · 1e5
    double maxScale = -std::numeric_limits<double>::infinity();
    double Width() const { return high - low; }
};

class Area {
  public:
    Area(std::span<const AreaPoint> points, const Ellipsoid& e, double limit)
        : points_(points), e_(e), tm_(e.a, e.f, 1), epsilon_(limit * 1e-5) {
        radii_.reserve(points.size());
        for (const AreaPoint& p : points) radii_.push_back(MeanRadius(e, p.B));
    }

    Room RoomAt(double meridian) const {
        Room r;
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const AreaPoint& p = points_[i];
            double x, y, gamma, k;
            tm_.Forward(meridian, p.B, p.L, y, x, gamma, k);
            const double R = radii_[i];
            r.low = std::max(r.low, (1 - epsilon_) * (R + p.H) / k - R);
            r.high = std::min(r.high, (1 + epsilon_) * (R + p.H) / k - R);
            r.minY = std::min(r.minY, y);
            r.maxY = std::max(r.maxY, y);
            r.minScale = std::min(r.minScale, (k - 1) * 1e5);
            r.maxScale = std::max(r.maxScale, (k - 1) * 1e5);
        }
        r.low = std::max(r.low, -kMaxProjectionHeight);
        r.high = std::min(r.high, kMaxProjectionHeight);
        return r;
    }

    // The worst distortion on `meridian` at H0, and its point.
    void Worst(double meridian, double H0, PlanProposal& p) const {
        p.worst = 0;
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const AreaPoint& a = points_[i];
            double x, y, gamma, k;
            tm_.Forward(meridian, a.B, a.L, y, x, gamma, k);
            const double d = LengthDistortion(e_, a.B, k, H0, a.H);
            if (i == 0 || std::fabs(d) > std::fabs(p.worst)) {
                p.worst = d;
                p.worstPoint = i;
            }
        }
    }

    double HeightRange() const {
        const auto [low, high] =
            std::minmax_element(points_.begin(), points_.end(),
                                [](const AreaPoint& a, const AreaPoint& b) { return a.H < b.H; });
        return high->H - low->H;
    }
    double MeanRadiusOfArea() const {
        double sum = 0;
        for (double r : radii_) sum += r;
        return sum / static_cast<double>(radii_.size());
    }

  private:
    std::span<const AreaPoint> points_;
    Ellipsoid e_;
    GeographicLib::TransverseMercator tm_;
    double epsilon_;
    std::vector<double> radii_;
};

// A round height within the room: the whole 10 m nearest its middle, else the whole metre.
std::optional<double> RoundHeight(const Room& r) {
    if (!(r.low <= r.high)) return std::nullopt;
    const double middle = (r.low + r.high) / 2;
    for (const double step : {10.0, 1.0}) {
        const double h = std::round(middle / step) * step;
        if (h >= r.low && h <= r.high) return h == 0 ? 0 : h;  // no −0
    }
    return std::nullopt;
}

void Propose(const Area& area, double meridian, double H0, PlanProposal& p) {
    p.found = true;
    p.meridian = meridian;
    p.height = H0;
    area.Worst(meridian, H0, p);
}

}  // namespace

PlanProposal ProposeSystem(std::span<const AreaPoint> points, const Ellipsoid& e, double limit) {
    PlanProposal p;
    if (points.empty() || !(limit > 0)) return p;
    const Area area(points, e, limit);
    const auto [west, east] =
        std::minmax_element(points.begin(), points.end(),
                            [](const AreaPoint& a, const AreaPoint& b) { return a.L < b.L; });
    const double middle = (west->L + east->L) / 2;
    const double standard = 3 * std::round(middle / 3);
    const Room atStandard = area.RoomAt(standard);
    const auto take = [&](double meridian, double H0, bool isStandard) {
        Propose(area, meridian, H0, p);
        p.standard = isStandard;
        p.zone = isStandard ? static_cast<int>(std::lround(standard / 3)) : 0;
        return p;
    };
    if (atStandard.low <= 0 && 0 <= atStandard.high) return take(standard, 0, true);
    if (const std::optional<double> H0 = RoundHeight(atStandard)) {
        return take(standard, *H0, true);
    }
    // A meridian of the area's own: every whole minute from its west to its east edge.
    const double first = std::floor(west->L * 60), last = std::ceil(east->L * 60);
    double best = standard;
    Room bestRoom = atStandard;
    Room narrowest = atStandard;  // the least spread of the scale, whatever the heights
    for (double minute = first; minute <= last; ++minute) {
        const double meridian = minute / 60;
        const Room r = area.RoomAt(meridian);
        if (r.Width() > bestRoom.Width()) {
            best = meridian;
            bestRoom = r;
        }
        if (r.maxScale - r.minScale < narrowest.maxScale - narrowest.minScale) narrowest = r;
    }
    if (const std::optional<double> H0 = RoundHeight(bestRoom)) return take(best, *H0, false);
    // None: what stands in the way, the scale measured where it spreads least.
    p.meridian = best;
    p.widthKm = (narrowest.maxY - narrowest.minY) / 1000;
    p.heightRange = area.HeightRange();
    p.scaleSpread = narrowest.maxScale - narrowest.minScale;
    p.heightSpread = p.heightRange / area.MeanRadiusOfArea() * 1e5;
    const double room = 2 * limit;
    p.obstacle = p.heightSpread > room  ? PlanObstacle::Heights
                 : p.scaleSpread > room ? PlanObstacle::Width
                                        : PlanObstacle::Both;
    return p;
}

}  // namespace quorvel
