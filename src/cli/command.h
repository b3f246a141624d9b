#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

#include "cli/options.h"
#include "engine/run/run.h"

namespace quorvel::cli {

using cli::Environment;
using cli::PdfWriter;

// ProcessPoints with the options' threads and chunk size.
engine::RunCounts ProcessPoints(const Options& options, engine::ByteSource& in,
                                std::string_view inputName, engine::OutputBuffer& out,
                                std::ostream& err, engine::ReportSpool* report);

// The whole command: arguments after the program name; returns the exit status (0 all points
// written, 1 some lines rejected, 2 usage error or failed run with no file written). fit and
// transform go to the engine's datum command.
int RunCommand(std::span<const std::string_view> args, const Environment& env);

}  // namespace quorvel::cli
