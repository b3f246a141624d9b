#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ellipsoid.h"
#include "core/projection_plan.h"
#include "engine/reading/text_io.h"

namespace quorvel::engine {

// quorvel-batch plan: an area's points (name, L, B, H; packed degrees and metres) read whole,
// and the plane system proposed for them (core/projection_plan.h) in words.

struct AreaPoints {
    std::vector<AreaPoint> points;
    std::vector<std::string> names;
    std::vector<std::uint64_t> lines;
    bool header = false;
    // The first line that does not give a point, and why: a plan must hold for every point, so
    // one left out would make it hold for fewer than the area's.
    std::uint64_t badLine = 0;
    std::string problem;
};

// Reads every line: a header first with `header`; empty lines and comments skipped; fields as
// every mode splits them (a comma as the decimal point with `decimalComma`). Stops at the
// first line that gives no point. Throws IoError when reading fails.
AreaPoints ReadAreaPoints(ByteSource& in, bool header, bool decimalComma);

// The proposal's lines for standard output (`limit` in cm/km), each ending in a line feed; with
// the command that computes the plane coordinates with their distortion.
std::string ProposalText(const PlanProposal& p, const AreaPoints& area, double limit,
                         const Ellipsoid& e);
// Why no system holds the area, in one sentence.
std::string NoProposalText(const PlanProposal& p, double limit);

}  // namespace quorvel::engine
