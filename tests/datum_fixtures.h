#pragma once

// Common points made from known parameters by PROJ's cct, run live on pipelines written here
// (inverse tmerc, cart, helmert, inverse cart, tmerc), independently of ProjPipeline.
#include <random>
#include <string>
#include <vector>

#include "core/datum.h"
#include "core/datum_fit.h"
#include "core/ellipsoid.h"
#include "core/run_tool.h"

namespace quorvel::testing {

// Beijing 1954 to CGCS2000 as a province might publish it.
inline DatumParameters Published(RotationConvention c) {
    DatumParameters p;
    p.convention = c;
    p.dx = -32.4, p.dy = 118.7, p.dz = 61.2;
    p.rx = 1.83, p.ry = -0.94, p.rz = 2.71, p.ds = 4.27;
    return p;
}

inline std::string Ell(const Ellipsoid& e) {
    return " +a=" + Num(e.a) + " +rf=" + Num(e.InverseFlattening());
}

inline std::string Tm(const Ellipsoid& e, double lo, double x0) {
    return " +proj=tmerc +lon_0=" + Num(lo) + " +k_0=1 +x_0=" + Num(x0) + Ell(e);
}

// Krassovsky plane on `lo` to CGCS2000 plane on `lo2`, easting first as PROJ has it.
inline std::string Pipeline(const DatumParameters& p, double lo = 117, double x0 = 500000,
                            double lo2 = 117) {
    std::string helmert =
        " +proj=helmert +x=" + Num(p.dx) + " +y=" + Num(p.dy) + " +z=" + Num(p.dz);
    if (p.model == DatumModel::Seven) {
        helmert += " +rx=" + Num(p.rx) + " +ry=" + Num(p.ry) + " +rz=" + Num(p.rz) +
                   " +s=" + Num(p.ds) +
                   " +convention=" + std::string(ProjConventionName(p.convention));
    }
    return "cct -d 12 +proj=pipeline +step +inv" + Tm(Krassovsky(), lo, x0) + " +step +proj=cart" +
           Ell(Krassovsky()) + " +step" + helmert + " +step +inv +proj=cart" + Ell(Cgcs2000()) +
           " +step" + Tm(Cgcs2000(), lo2, x0);
}

// Points (X, Y, H) spread over 60 km by 60 km near 40° N, 117° E, heights 20 to 800 m.
inline std::vector<Triple> Area(int n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> x(4.40e6, 4.46e6), y(470000, 530000), h(20, 800);
    std::vector<Triple> out(n);
    for (Triple& t : out) t = {x(rng), y(rng), h(rng)};
    return out;
}

// The common points "P1", "P2"… of `sources` (X, Y, H) under the cct pipeline `command`.
inline std::vector<CommonPoint> Common(const std::vector<Triple>& sources,
                                       const std::string& command) {
    std::vector<std::string> lines;
    for (const Triple& s : sources) lines.push_back(Num(s[1]) + " " + Num(s[0]) + " " + Num(s[2]));
    const auto out = RunTool(command, lines);
    std::vector<CommonPoint> points;
    for (std::size_t i = 0; i < out.size(); ++i) {
        points.push_back(
            {"P" + std::to_string(i + 1), sources[i], {out[i][1], out[i][0], out[i][2]}});
    }
    return points;
}

}  // namespace quorvel::testing
