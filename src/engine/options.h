#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/points.h"

namespace quorvel::engine {

// A command line that cannot be run: the message is shown with the usage, exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class ReportKind { None, Text, Pdf };

struct Options {
    enum class Action { Run, Help, Version, ListEllipsoids };
    Action action = Action::Run;
    Computation mode = Computation::Forward;
    std::string loText;  // as typed, for the report
    std::string lsText;
    Meridians meridians;
    Geodesy geodesy;
    std::string input = "-";  // "-" is standard input
    std::string output;       // empty: standard output
    std::string report;
    ReportKind reportKind = ReportKind::None;
    bool full = false;
    bool header = false;
    // 0-based input fields of the name and the two values (--fields, 1-based on the command
    // line); the other fields are passed through.
    std::array<std::size_t, 3> fields{0, 1, 2};
    bool decimalComma = false;
    std::string encoding;  // empty: UTF-8; else the iconv name of the input's encoding
    bool bom = false;
    bool quiet = false;
    std::vector<std::string> warnings;  // about the options, shown before the run
    // Tuning, not on the command line: worker threads (0 picks by the cores, 1 works in the
    // calling thread; QUORVEL_BATCH_THREADS sets it) and the size of a chunk of input lines.
    int threads = 0;
    std::size_t chunkBytes = 64 * 1024;
};

// Reads the arguments after the program name. `pdfReports` says whether this build can write
// PDF reports. Throws UsageError.
Options ParseArguments(std::span<const std::string_view> args, bool pdfReports);

// The most distant of the three fields, 1-based: the fewest fields a point line may have.
inline std::size_t FieldsNeeded(const Options& o) {
    return std::max({o.fields[0], o.fields[1], o.fields[2]}) + 1;
}

std::string_view UsageText();  // the short synopsis shown with a usage error
std::string_view HelpText();   // --help
std::string EllipsoidList();   // --list-ellipsoids: the catalogue's keys, one a line

}  // namespace quorvel::engine
