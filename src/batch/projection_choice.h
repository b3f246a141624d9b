#pragma once

#include <memory>
#include <string>

#include "core/classic_series.h"
#include "core/gauss_kruger.h"

namespace quorvel {

struct BatchState;

// The projection the window computes with, as chosen in its settings. Without one the batches
// compute with the classic series on the constants the start button loaded, as always.
struct ProjectionChoice {
    std::shared_ptr<const GaussKruger> projection;
    std::string label;  // for the report's heading, e.g. "CGCS2000, 精确"; empty without one
};

// The batches' three computations with the state's choice, in the classic series' terms:
// decimal degrees, eastings as |y| and the sign of the longitude difference.
PlanePoint ProjectForward(const BatchState& state, double B, double L, double Lo);
GeodeticPoint ProjectInverse(const BatchState& state, double X, double Y, double Lo);
PlanePoint ProjectZone(const BatchState& state, double X1, double Y1, double Lo, double Ls);

}  // namespace quorvel
