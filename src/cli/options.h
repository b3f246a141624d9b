#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "engine/run/job.h"

namespace quorvel::cli {

using engine::Diagnostic;
using engine::Job;

enum class ReportKind { None, Text, Pdf };

// A command line: the job, and where its file comes from and goes to.
struct Options : Job {
    enum class Action { Run, Help, Version, ListEllipsoids };
    Action action = Action::Run;
    std::string input = "-";  // "-" is standard input
    std::string sheet;        // --sheet: a workbook's sheet; empty: its first
    std::string output;       // empty: standard output
    std::string report;
    std::string parameters;  // -p: the datum transformation's parameter file, for KML
    ReportKind reportKind = ReportKind::None;
    bool quiet = false;
    std::vector<Diagnostic> warnings;  // about the options, shown before the run
    // Tuning, not on the command line: worker threads (0 picks by the cores, 1 works in the
    // calling thread; QUORVEL_BATCH_THREADS sets it) and the size of a chunk of input lines.
    int threads = 0;
    std::size_t chunkBytes = 64 * 1024;
};

// Reads the arguments after the program name. `pdfReports` says whether this build can write
// PDF reports. Throws cli::UsageError, or cli::JobRefused for a job its output cannot
// hold.
Options ParseArguments(std::span<const std::string_view> args, bool pdfReports);

// Pieces of ParseArguments that quorvel-batch distance and area read alike; each throws
// UsageError. --fields' three field numbers from 1, 0-based:
std::array<std::size_t, 3> ReadFields(std::string_view text);
// A number option: the value as a number.
double ReadNumber(std::string_view option, std::string_view text);
// The settings of the projection and the columns beyond the window's, as typed, into `o`, then
// checked together (engine::CheckJob).
void ReadGeodesy(Options& o, const std::optional<std::string>& ellipsoid,
                 const std::optional<std::string>& method, const std::optional<std::string>& k0,
                 const std::optional<std::string>& falseEasting,
                 const std::optional<std::string>& zone);

// --help and the usage text are cli::HelpText and cli::UsageText while the datum command
// line, which shows them too, lives in the engine.
std::string EllipsoidList();  // --list-ellipsoids: the catalogue's keys, one a line

}  // namespace quorvel::cli
