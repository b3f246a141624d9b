#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/datum/datum_operation.h"

namespace quorvel::cli {

struct Environment;

// quorvel-batch fit and transform (see datum_job.h): arguments after the program name, the exit
// status as RunCommand's: 0 all points used, 1 some lines rejected, 2 a usage error or a run
// refused (a fit the points cannot make, a parameter file that does not read or does not match
// the input) or failed, with no file written.
int RunDatumCommand(std::span<const std::string_view> args, const Environment& env);

}  // namespace quorvel::cli
