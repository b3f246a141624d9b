#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/datum_fit.h"
#include "core/errors.h"
#include "engine/datum/datum_operation.h"

namespace quorvel::engine {

// What fit says beyond its residuals and summary: the warnings about a fit made, and the words
// that point a refused one at its likely cause.

// The flagged points of a fit (not those dropped) and dropping stopped short, as a warning on
// `err` with `prefix` after "warning: ".
void WarnOfFlagged(std::ostream& err, const std::vector<PointResidual>& points, bool dropStopped,
                   const std::string& prefix, double factor, bool dropOutliers);

// The flagged points, dropping stopped short, and the weak rotations of a two-dimensional
// 7-parameter fit, as warnings on `err`.
void WarnOfFit(std::ostream& err, const FitJob& o, const FitResult& r);

// The refusal of a fit that threw `e`, naming the cause the options and the lines suggest: the
// points read, with the fields each line passed through.
std::string FitRefusalText(const Error& e, const FitJob& o, const std::vector<CommonPoint>& points,
                           const std::vector<std::vector<std::string>>& passed);

// The refusal of a fit whose input has a line that does not read (the first at `line`).
std::string BadLineRefusalText(const std::string& inputName, std::uint64_t line, std::size_t count);

}  // namespace quorvel::engine
