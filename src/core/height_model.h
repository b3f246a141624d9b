#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/datum_fit.h"

namespace quorvel {

// Height fitting (高程拟合): the height anomaly ζ = h − H (ellipsoidal height minus normal height)
// modelled over the plane coordinates X (north), Y (east) of the target system, fitted by least
// squares on common points that have both heights, then applied as H = h − ζ (or h = H + ζ).
//
// With u = (X − x0)/s, v = (Y − y0)/s on the fitted points' centre (x0, y0) and spread s (their
// RMS distance from the centre), so that the design stays well conditioned however far the
// points lie from the grid's origin:
//   fixed      ζ = a0                                     1 term, 1 point or more
//   plane      ζ = a0 + a1·u + a2·v                        3 terms, 3 points or more
//   quadratic  ζ = a0 + a1·u + a2·v + a3·u² + a4·u·v + a5·v²   6 terms, 6 points or more
// Every point has the same weight: the fixed offset is the plain mean. σ0 = √(vᵀv / (n − t)),
// n fitted points and t terms; undefined (NaN) without redundancy. Residuals, flags, check points
// and dropping as the datum fit has them (core/datum_fit.h, core/outlier_rounds.h); a residual is
// the observed anomaly minus the model's, in PointResidual::v[2] (v[0], v[1] and plane NaN).

enum class HeightModelKind { Fixed, Plane, Quadratic };

// "fixed", "plane" or "quadratic".
std::string_view HeightModelName(HeightModelKind kind);
// Reads those names, any letter case; throws InvalidParameterError otherwise.
HeightModelKind ParseHeightModel(std::string_view text);
// The terms: 1, 3 or 6; also the fewest fitted points.
int HeightTermCount(HeightModelKind kind);
// The model chosen when none is: by the fitted points, 1–2 fixed, 3–6 plane, 7 or more
// quadratic, so that there is redundancy to check what is fitted.
HeightModelKind AutomaticHeightModel(int fitted);

// Metres: no height anomaly on Earth reaches this; beyond it a height is in the wrong column or
// unit.
inline constexpr double kMaxAnomaly = 150;

// A fitted height model, as the parameter file keeps it.
struct HeightModel {
    HeightModelKind kind = HeightModelKind::Fixed;
    double x0 = 0, y0 = 0;      // the fitted points' centre, metres
    double scale = 1;           // their spread, metres
    std::array<double, 6> a{};  // the terms unused by the kind are 0
    double radius = -1;  // the farthest fitted point from the centre, metres; −1: not recorded

    // ζ at plane X, Y, metres.
    double Anomaly(double x, double y) const;
    // The distance of X, Y from the centre when it lies farther outside the fitted points'
    // area than the area's size (OutsideLimit), else 0; 0 without a recorded radius.
    double Outside(double x, double y) const;

    bool operator==(const HeightModel&) const = default;
};

// A height common point: plane X, Y of the target system, h and H in metres.
struct HeightPoint {
    std::string name;
    double x = 0, y = 0;
    double h = 0, H = 0;
    bool check = false;  // a check point: left out of the fit, its residual listed
};

struct HeightFitOptions {
    std::optional<HeightModelKind> kind;  // none: AutomaticHeightModel
    double outlierFactor = 3;             // K, from kMinOutlierFactor to kMaxOutlierFactor
    bool dropOutliers = false;
};

struct HeightFitResult {
    HeightModel model;
    std::array<double, 6> standardErrors{};  // of a0…a5, metres; NaN without redundancy
    double sigma0 = std::numeric_limits<double>::quiet_NaN();  // metres
    int redundancy = 0;
    bool automatic = false;  // the kind chosen by the number of points
    int used = 0, checked = 0, dropped = 0;
    std::vector<PointResidual> points;                           // in the order given
    double checkRms = std::numeric_limits<double>::quiet_NaN();  // metres; NaN without any
    bool dropStopped = false;  // dropping stopped with a flagged point left
};

// The ratio of the points' spread across their main line to their spread along it below which
// a plane is refused: its tilt across the line would be fixed a hundred times less well than
// along it, and a centimetre of noise would tilt it by decimetres a spread away.
inline constexpr double kHeightLineRatio = 0.01;

// Fits the model. Throws:
//   InvalidParameterError   K outside [kMinOutlierFactor, kMaxOutlierFactor]
//   DuplicateNameError      two points of one name
//   InsufficientPointsError fewer fitted points than the model's terms
//   OutOfDomainError        an anomaly h − H beyond ±kMaxAnomaly (naming the points)
//   WeakGeometryError       plane or quadratic on points within 1 mm of one place, or on one
//                           line (kHeightLineRatio); a quadratic whose six terms the points do
//                           not fix (they lie on one conic, a circle say)
HeightFitResult FitHeights(const std::vector<HeightPoint>& points, const HeightFitOptions& options);

}  // namespace quorvel
