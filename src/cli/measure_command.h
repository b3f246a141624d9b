#pragma once

#include <span>
#include <string_view>

namespace quorvel::cli {

struct Environment;

// Whether the command line is quorvel-batch distance or area: its mode is one of them.
bool IsMeasureCommand(std::span<const std::string_view> args);

// quorvel-batch distance [--pairs] [options] [FILE] and quorvel-batch area [options] [FILE]:
// points of a plane system (name, X, Y) in; the legs between consecutive points (or pairs of
// rows), or the area of the polygon they go around, out, with the geodesic side given --lo or
// --zone. Exit status 0 done; 1 for a --pairs input with an odd last row (the others written)
// and for a polygon refused (fewer than 3 points, crossing itself), said on standard error;
// 2 for a usage error, a line that gives no point, or input that cannot be read or output
// written.
int RunMeasureCommand(std::span<const std::string_view> args, const Environment& env);

}  // namespace quorvel::cli
