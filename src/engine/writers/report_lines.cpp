#include <algorithm>
#include <climits>

#include "core/ellipsoid.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/run/run.h"

namespace quorvel::engine {

ReportLines::ReportLines(const Job& job, ReportSpool& spool) : mode_(job.mode), spool_(spool) {
    ReportData data;
    data.mode = job.mode;
    data.loText = job.loText;
    data.lsText = job.lsText;
    ReportInput input = ToReportInput(data);
    input.pointCount = static_cast<int>(std::min<std::size_t>(spool.Count(), INT32_MAX));
    // The report is the classic series' on Krassovsky; a raised surface is named as the
    // window's settings name it.
    if (const double H0 = job.geodesy.projectionHeight; H0 != 0) {
        input.projection = std::string(EllipsoidCatalogue().front().chinese) +
                           ", 传统级数, 投影面高程 " + ShortestText(H0) + " m";
    }
    head_ = BuildReport(input);
    if (!head_.IsEmpty() && !head_.lines.front().items.empty()) {
        title_ = head_.lines.front().items.front().text;
    }
    spool_.Rewind();
}

bool ReportLines::Next(ReportLine& line) {
    if (nextHead_ < head_.lines.size()) {
        line = head_.lines[nextHead_++];
        return true;
    }
    if (!spool_.Next(row_)) return false;
    line = BuildPointLine(mode_, ++number_, row_);
    return true;
}

ReportInput ToReportInput(const ReportData& data) {
    ReportInput input;
    input.mode = data.mode;
    input.pointCount = static_cast<int>(data.rows.size());
    input.centralMeridian = ValueCell(data.loText);
    if (data.mode == Computation::Zone) input.targetMeridian = ValueCell(data.lsText);
    input.rows = data.rows;
    return input;
}

std::string SummaryText(const RunCounts& counts) {
    std::string text =
        Fill(TrN("{0} point, {1} rejected", "{0} points, {1} rejected", counts.points),
             {std::to_string(counts.points), std::to_string(counts.rejected)});
    if (const std::size_t n = counts.zoneNumbersTakenOff; n > 0) {
        text +=
            Fill(TrN(", {0} easting with the zone number of the central meridian taken off",
                     ", {0} eastings with the zone number of the central meridian taken off", n),
                 {std::to_string(n)});
    }
    return text;
}

std::string DistortionSummary(const DistortionTally& t, double limit) {
    std::string text;
    if (t.measured > 0) {
        char worst[kMaxResultText];
        text =
            Fill(Tr("length distortion: worst {0} cm/km at {1} (line {2}); {3} beyond {4} cm/km"),
                 {std::string(worst, WriteRoundedText(worst, t.worst, 2)), Quoted(t.name),
                  std::to_string(t.line),
                  Fill(TrN("{0} point", "{0} points", t.beyond), {std::to_string(t.beyond)}),
                  ShortestText(limit)});
    } else {
        text =
            Tr("length distortion: no point has a height (a column named H or 高程, or the "
               "height field given)");
    }
    if (const std::size_t n = t.withoutHeight; n > 0 && t.measured > 0) {
        text += Fill(TrN("; {0} point without a height, its distortion left empty",
                         "; {0} points without a height, their distortion left empty", n),
                     {std::to_string(n)});
    }
    return text;
}

}  // namespace quorvel::engine
