// The classic series against the exact transverse Mercator on the Krassovsky ellipsoid, by
// distance from the central meridian: the largest differences of the forward projection in X
// and Y, and of the inverse as distances on the ground north and east, in millimetres.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "core/ellipsoid.h"
#include "core/gauss_kruger.h"

using namespace quorvel;

int main() {
    const GaussKruger classic(Method::Classic), exact(Method::Exact);
    const Ellipsoid e = Krassovsky();
    const double e2 = e.f * (2 - e.f);
    const double rad = std::acos(-1.0) / 180;
    constexpr double kLo = 117, kMinB = 0, kMaxB = 60;
    constexpr int kPoints = 200000;
    const double bands[][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 6}};

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
            const double w = std::sqrt(1 - e2 * std::pow(std::sin(B * rad), 2));
            const double M = e.a * (1 - e2) / (w * w * w), N = e.a / w;
            in = std::max(in, std::abs(g.B - B) * rad * M);
            ie = std::max(ie, std::abs(g.L - L) * rad * N * std::cos(B * rad));
        }
        std::printf("| %g° to %g° | %.2f mm | %.2f mm | %.1f mm | %.2f mm |\n", band[0], band[1],
                    fx * 1e3, fy * 1e3, in * 1e3, ie * 1e3);
    }
}
