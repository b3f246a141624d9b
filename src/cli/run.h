#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "cli/text_io.h"
#include "core/value_cell.h"
#include "report/report.h"

namespace quorvel::cli {

// The points of a run for the report, in the report's column order: the two typed values as
// text, the two results as unrounded numbers.
struct ReportData {
    Mode mode = Mode::Forward;
    std::string loText;
    std::string lsText;
    std::vector<std::array<ValueCell, 4>> rows;
};

struct RunCounts {
    std::size_t points = 0;
    std::size_t rejected = 0;
};

// Reads points line by line, writes the CSV rows to `out` and one message per rejected line to
// `err` ("NAME:LINE: ..."). Memory stays bounded unless `report` collects the rows. Throws
// IoError when reading or writing fails.
RunCounts ProcessPoints(const Options& options, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportData* report);

// Writes a PDF report to `path`; returns false with `error` set when it cannot.
using PdfWriter =
    std::function<bool(const ReportData&, const std::string& path, std::string& error)>;

struct Environment {
    int stdinFd = 0;
    int stdoutFd = 1;
    std::ostream& out;  // --help and --version
    std::ostream& err;
    bool pdfReports = false;  // whether this build has a PDF writer
    // Loads it when a PDF report is asked for; an empty writer and `error` when it cannot.
    std::function<PdfWriter(std::string& error)> loadPdfWriter;
};

// The whole command: arguments after the program name; returns the exit status (0 all points
// written, 1 some lines rejected, 2 usage error or failed run with no file written).
int RunCommand(std::span<const std::string_view> args, const Environment& env);

// The report layout's view of a run: the title counts the points written.
ReportInput ToReportInput(const ReportData& data);
std::string RenderTextReport(const ReportData& data);

// Quotes a text for a message: control bytes escaped, long texts shortened.
std::string QuoteForMessage(std::string_view text);

}  // namespace quorvel::cli
