// The classic series against the exact transverse Mercator on the Krassovsky ellipsoid.
//
// accuracy: by distance from the central meridian, the largest differences of the forward
//   projection in X and Y, and of the inverse as distances on the ground north and east, in
//   millimetres (the table in README.md and bench/README.md).
// accuracy --bounds: the measurement behind the bounds of core/classic_check.h: where the
//   forward series first miss by 5 mm and 1 cm at any latitude, and their worst miss inside the
//   bound; for every 250 km band of northing, the smallest |y| where the inverse first misses by
//   1 cm, 0.8 of it (the bound), the largest longitude offset per metre of |y| inside it, and
//   the worst miss there; the worst zone transformation inside the zone bound.
#include <GeographicLib/TransverseMercator.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "core/classic_check.h"
#include "core/classic_series.h"
#include "core/ellipsoid.h"
#include "core/gauss_kruger.h"

using namespace quorvel;

namespace {

const Ellipsoid kE = Krassovsky();
const double kE2 = kE.f * (2 - kE.f);
const double kRad = std::acos(-1.0) / 180;

// Distances north and east on the ground of differences in latitude and longitude at B.
double North(double B, double dB) {
    const double w = std::sqrt(1 - kE2 * std::pow(std::sin(B * kRad), 2));
    return std::abs(dB) * kRad * kE.a * (1 - kE2) / (w * w * w);
}
double East(double B, double dl) {
    const double w = std::sqrt(1 - kE2 * std::pow(std::sin(B * kRad), 2));
    return std::abs(dl) * kRad * kE.a * std::cos(B * kRad) / w;
}

void Table() {
    const GaussKruger classic(Method::Classic), exact(Method::Exact);
    constexpr double kLo = 117, kMinB = 0, kMaxB = 60;
    constexpr int kPoints = 200000;
    const double bands[][2] = {{0, 1}, {1, 2},  {2, 3},   {3, 4},  {4, 6},
                               {6, 8}, {8, 10}, {10, 12}, {12, 15}};

    std::printf("Latitudes %g° to %g°, %d random points per band, both sides of the meridian.\n\n",
                kMinB, kMaxB, kPoints);
    std::printf(
        "| from the central meridian | forward max abs dX | forward max abs dY |"
        " inverse max north | inverse max east |\n|---|---|---|---|---|\n");
    std::mt19937_64 rng(1);
    for (const auto& band : bands) {
        std::uniform_real_distribution<double> b(kMinB, kMaxB), dl(band[0], band[1]);
        double fx = 0, fy = 0, in = 0, ie = 0;
        for (int i = 0; i < kPoints; ++i) {
            const double B = b(rng);
            const double L = kLo + (i % 2 ? dl(rng) : -dl(rng));
            const GridPoint c = classic.Forward(B, L, kLo);
            const GridPoint x = exact.Forward(B, L, kLo);
            fx = std::max(fx, std::abs(c.X - x.X));
            fy = std::max(fy, std::abs(c.Y - x.Y));
            // The inverse of the exact plane point, which lies on B, L; its miss on the ground
            // through the radii of curvature at B.
            const GeoPoint g = classic.Inverse(x.X, x.Y, kLo);
            in = std::max(in, North(B, g.B - B));
            ie = std::max(ie, East(B, g.L - L));
        }
        std::printf("| %g° to %g° | %.2f mm | %.2f mm | %.1f mm | %.2f mm |\n", band[0], band[1],
                    fx * 1e3, fy * 1e3, in * 1e3, ie * 1e3);
    }
}

void Bounds() {
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const GeographicLib::TransverseMercator tm(kE.a, kE.f, 1);

    // Forward: latitudes every 0.1°, offsets every 0.005°.
    double first5 = 90, first1 = 90, inside = 0;
    for (double B = 0; B <= 90; B += 0.1) {
        for (double l = 0; l <= 45; l += 0.005) {
            const PlanePoint p = ForwardProject(c, B, l, 0);
            double x, y;
            tm.Forward(0, B, l, y, x);
            double miss = std::hypot(p.X - x, p.AbsY - y);
            if (!std::isfinite(miss)) miss = INFINITY;
            if (!ForwardMayMiss(B, l)) inside = std::max(inside, miss);
            if (miss >= 0.005) first5 = std::min(first5, l);
            if (miss >= 0.01) {
                first1 = std::min(first1, l);
                break;
            }
        }
    }
    std::printf("forward: first 5 mm at %.3f°, first 1 cm at %.3f°; worst inside %.2f mm\n\n",
                first5, first1, inside * 1e3);

    // Inverse: in every band, northings every 2 km, |y| every 100 m.
    auto inverseMiss = [&](double X, double y, double& dl) {
        const GeodeticPoint g = InverseProjectOffset(c, X, y, 0);
        double B;
        tm.Reverse(0, y, X, B, dl);
        if (std::abs(dl) > kExactMaxOffset) return double(INFINITY);
        const double miss = std::hypot(North(B, g.B - B), East(B, g.L - dl));
        return std::isfinite(miss) ? miss : INFINITY;
    };
    std::printf(
        "| band of abs X | first 1 cm at abs y | bound | degrees per 100 km | worst |\n"
        "|---|---|---|---|---|\n");
    constexpr double kBand = 250000;
    for (int k = 0; k * kBand <= 10002000; ++k) {
        const double from = k * kBand, to = std::min((k + 1) * kBand, 10002000.0);
        double first = 1e6, dl;
        for (double X = from; X <= to; X += 2000) {
            for (double y = 0; y <= 1e6; y += 100) {
                if (inverseMiss(X, y, dl) >= 0.01) {
                    first = std::min(first, y);
                    break;
                }
            }
        }
        const double bound = std::floor(0.8 * first / 1000) * 1000;
        double slope = 0, worst = 0;
        for (double X = from; X <= to; X += 2000) {
            for (double y = 100; y < bound; y += 100) {
                const double miss = inverseMiss(X, y, dl);
                slope = std::max(slope, std::abs(dl) / y);
                if (!InverseMayMiss(X, y)) worst = std::max(worst, miss);
            }
        }
        std::printf("| %.0f to %.0f | %.0f | %.0f | %.4f | %.2f mm |\n", from, to, first, bound,
                    slope * 1e5, worst * 1e3);
    }

    // Zone: random points and shifts inside the zone bound.
    const ClassicCheck check;
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> X(-10002000, 10002000), y(-400000, 400000),
        shift(-7.5, 7.5);
    double worst = 0;
    for (int n = 0, inside = 0; inside < 2000000 && n < 100000000; ++n) {
        const double x1 = X(rng), y1 = y(rng), s = shift(rng);
        if (ZoneMayMiss(x1, y1, s)) continue;
        ++inside;
        const PlanePoint p = ZoneTransformOffset(c, x1, y1, 0, s);
        const SeriesMiss m = check.Zone(x1, y1, s, p.X, p.Sign * p.AbsY);
        worst = std::max(worst, m.metres ? *m.metres : INFINITY);
    }
    std::printf("\nzone: worst of 2,000,000 random points inside the bound %.2f mm\n", worst * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bounds") == 0) {
        Bounds();
    } else {
        Table();
    }
}
