#pragma once

#include <cstddef>
#include <ostream>

#include "engine/datum/datum_operation.h"
#include "engine/reading/text_io.h"

namespace quorvel::engine {

// What quorvel-batch's fit writes of a fit made.

// The residuals' CSV: per common point its name, use, residuals in millimetres, the plane
// residual and the flag, then the fields passed through.
void WriteResiduals(OutputBuffer& out, const FitJob& job, const FitOutcome& outcome);

// The summary: the model and systems, the parameters with their standard errors, σ0, the
// counts with the `rejected` lines, the check points' RMS and the rounds of dropping.
void PrintFitSummary(std::ostream& err, const FitJob& job, const FitResult& r,
                     std::size_t rejected);

}  // namespace quorvel::engine
