#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/value_cell.h"
#include "engine/reading/text_io.h"
#include "engine/run/job.h"
#include "engine/run/process.h"
#include "engine/writers/report_spool.h"
#include "report/report.h"

namespace quorvel::engine {

// A report in memory, for tests: the points in the report's column order, the two typed values
// as text, the two results as unrounded numbers.
struct ReportData {
    Computation mode = Computation::Forward;
    std::string loText;
    std::string lsText;
    std::vector<std::array<ValueCell, 4>> rows;
};

// A run's report read line by line: its head, then one line per point.
class ReportLines {
  public:
    ReportLines(const Job& job, ReportSpool& spool);
    bool Next(ReportLine& line);  // false at the end; throws IoError
    const std::string& Title() const { return title_; }

  private:
    Report head_;
    std::size_t nextHead_ = 0;
    Computation mode_;
    int number_ = 0;
    ReportSpool& spool_;
    std::string title_;
    std::array<ValueCell, 4> row_;
};

// The report layout's view of a run: the title counts the points written.
ReportInput ToReportInput(const ReportData& data);

// "1 point, 0 rejected", "2 points, 1 rejected"; "3 points, 0 rejected, 2 eastings with the
// zone number of the central meridian taken off" when any were.
std::string SummaryText(const RunCounts& counts);

// The length distortion of a run with --distortion, for a line after the summary: "length
// distortion: worst -3.12 cm/km at P7 (line 9); 2 points beyond 2.5 cm/km", with the points
// that had no height, whose cells are left empty.
std::string DistortionSummary(const DistortionTally& tally, double limit);

}  // namespace quorvel::engine
