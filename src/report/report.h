#pragma once

#include <array>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/computation.h"
#include "core/value_cell.h"

namespace quorvel {

// What a report prints: the batch of one computation type.
struct ReportInput {
    std::optional<Computation> mode;            // none: nothing to print
    int pointCount = 0;                         // the number in the title
    ValueCell centralMeridian, targetMeridian;  // as typed
    // One row per point, the four values in column order, unformatted: forward L, B as typed
    // and X, Y computed; inverse X, Y as typed and LP, BP (packed) computed; zone X1, Y1 as
    // typed and X2, Y2 computed. The layout applies each column's rounding and pattern.
    std::vector<std::array<ValueCell, 4>> rows;
    // The ellipsoid and method when they are not the classic series ("CGCS2000, 精确"),
    // printed under the title; empty: no such line, the report as it has always been.
    std::string projection;
};

// "大地正算", "大地反算", "座标换带".
std::string_view ReportKindName(Computation mode);

enum class ReportLineKind { Title, Empty, Meridian, Heading, Point };

// A text placed at a character column; column 1 is the left edge.
struct ReportItem {
    int column = 1;
    std::string text;  // UTF-8
    bool operator==(const ReportItem&) const = default;
};

struct ReportLine {
    ReportLineKind kind = ReportLineKind::Empty;
    int fontSize = 10;              // points
    std::vector<ReportItem> items;  // none for an empty line
    bool operator==(const ReportLine&) const = default;
};

// The report's lines in print order. No lines: nothing is printed, not even an empty page.
struct Report {
    std::vector<ReportLine> lines;
    bool IsEmpty() const { return lines.empty(); }
    bool operator==(const Report&) const = default;
};

Report BuildReport(const ReportInput& input);

// The line of the `number`-th point (from 1) of a report of `mode`, as BuildReport makes it; a
// report too long to hold is its head (BuildReport without rows) and these.
ReportLine BuildPointLine(Computation mode, int number, const std::array<ValueCell, 4>& row);

// Measures of one surface, all in one unit of the surface's choosing.
class ReportMetrics {
  public:
    virtual ~ReportMetrics() = default;
    // The width of a column: the average character width of the font.
    virtual double ColumnWidth(int fontSize) const = 0;
    virtual double TextWidth(std::string_view text, int fontSize) const = 0;
    virtual double LineHeight(int fontSize) const = 0;
};

// Plain text: a code point is one column, a line is one unit high.
class CharacterMetrics : public ReportMetrics {
  public:
    double ColumnWidth(int) const override { return 1; }
    double TextWidth(std::string_view text, int) const override;
    double LineHeight(int) const override { return 1; }
};

struct PlacedItem {
    double x = 0;  // from the left edge
    std::string text;
    bool operator==(const PlacedItem&) const = default;
};

// Applies the column rule to one line: an item whose column the print position has already
// passed, or would reach without a space after the item before it, goes to that column of a new
// line. Returns the lines the line takes on the surface (one
// line without items for an empty line). `startX` is the print position when the line begins.
std::vector<std::vector<PlacedItem>> PlaceItems(const ReportLine& line,
                                                const ReportMetrics& metrics, double startX = 0);

// Where the print position starts and how tall a page's printable area is, in the metrics' unit.
struct PageFrame {
    double startX = 0;
    double startY = 0;
    double pageHeight = std::numeric_limits<double>::infinity();
};

struct PlacedLine {
    int page = 0;  // from 0
    double y = 0;  // top of the line, from the top of its page's printable area
    int fontSize = 10;
    std::vector<PlacedItem> items;  // never empty: empty lines only move the position down
    bool operator==(const PlacedLine&) const = default;
};

// Positions lines one after another, as PlaceReport does, for reports drawn as they are read.
class ReportPlacer {
  public:
    ReportPlacer(const ReportMetrics& metrics, const PageFrame& frame)
        : metrics_(metrics), frame_(frame), x_(frame.startX), y_(frame.startY) {}
    // Appends the placed parts of `line` to `out`.
    void Place(const ReportLine& line, std::vector<PlacedLine>& out);

  private:
    const ReportMetrics& metrics_;
    PageFrame frame_;
    int page_ = 0;
    bool pageUsed_ = false;
    double x_, y_;
};

// Positions every line that has something to draw. A line that does not fit below the previous
// one starts the next page at the top of its printable area; nothing is repeated there. Empty
// lines falling past the end of a page are dropped, so no page is ever blank.
std::vector<PlacedLine> PlaceReport(const Report& report, const ReportMetrics& metrics,
                                    const PageFrame& frame);

// The pages that PlaceReport's lines fill.
int PageCount(const std::vector<PlacedLine>& lines);

// The report as plain text: column n is the n-th character of its line, each line ends in '\n'.
// Empty for an empty report.
std::string RenderReportText(const Report& report);
// One line of it, appended to `text`.
void AppendReportLineText(const ReportLine& line, std::string& text);

}  // namespace quorvel
