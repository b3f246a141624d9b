#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/datum_fit.h"
#include "core/height_model.h"

namespace quorvel {

// 坐标转换's height model (高程拟合) beside the datum: the choice, the fit as `quorvel-batch fit
// --height-model` makes it (engine/datum/height_fit.h) and its terms as the dialog shows them.

// 无, 自动, 固定差, 平面拟合, 二次曲面拟合, in the order of the choice's box.
QStringList HeightChoiceNames();
// Whether the box's entry `index` fits a height model; `kind` gets its model, none for 自动.
bool HeightChoiceFits(int index, std::optional<HeightModelKind>& kind);
// The box's entry of a model read from a parameter file.
int HeightChoiceOf(HeightModelKind kind);

// A height model fitted beside the datum: the fit, and where each of its points is among the
// common points.
struct DialogHeightFit {
    HeightFitResult result;
    std::vector<std::size_t> index;
};

// Fits the height anomaly over the target's plane X, Y of `points` (their check points kept
// aside) as `fit --height-model` does: a point with neither height is a datum point only.
// Returns the refusal's words, or nothing with `fit` made.
std::optional<QString> FitDialogHeights(const std::vector<CommonPoint>& points,
                                        const std::vector<std::array<double, 2>>& heights,
                                        std::optional<HeightModelKind> kind, double outlierFactor,
                                        DialogHeightFit& fit);

// The verdict on the height model's residuals, with the rule applied (K = `factor`).
QString HeightVerdict(const HeightFitResult& r, double factor);

// The model's lines under the datum's parameters: the model, its terms with their standard
// errors (none without `errors`), σ0 and the points it was fitted to (σ0 NaN and `points` < 0
// when not known).
QString HeightModelLines(const HeightModel& m, const std::array<double, 6>* errors, double sigma0,
                         int points);

}  // namespace quorvel
