#pragma once

#include "batch/batch_state.h"
#include "report/report.h"

namespace quorvel {

// The completed batch of the state's BatchComputation, whole, with the count it was run with. A
// count typed later without starting a batch does not change it; with no completed batch there
// is no mode. Reads no cell beyond the lists.
ReportInput ReportInputFrom(const BatchState& state);

}  // namespace quorvel
