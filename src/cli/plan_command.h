#pragma once

#include <span>
#include <string_view>

namespace quorvel::cli {

struct Environment;

// Whether the command line is quorvel-batch plan: its mode is "plan".
bool IsPlanCommand(std::span<const std::string_view> args);

// quorvel-batch plan [--limit CM_PER_KM] [--ellipsoid E] [--header] [--encoding ENC]
// [--decimal-comma] [FILE]: an area's points (name, L, B, H) in, the central meridian and
// projection height that keep every point's length distortion within the limit out. Exit
// status 0 with a proposal on standard output; 1 when none exists, said with why on standard
// error; 2 for a usage error, a line that gives no point, or input that cannot be read.
int RunPlanCommand(std::span<const std::string_view> args, const Environment& env);

}  // namespace quorvel::cli
