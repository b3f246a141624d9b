#include "report/report.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/computation.h"
#include "core/number_text.h"

namespace quorvel {
namespace {

constexpr int kTitleFontSize = 12;
constexpr int kBodyFontSize = 10;

constexpr int kTitleColumn = 30;
constexpr int kMeridianColumn = 24;
constexpr int kRowNumberColumn = 24;
constexpr int kRowNumberWidth = 5;  // "999 :"
constexpr std::array<int, 4> kValueColumns = {30, 43, 56, 69};

// How one value column is printed: rounded half to even to `round` decimals first (none when
// negative), then formatted with the pattern.
struct ColumnFormat {
    int round;
    std::string_view pattern;
};

struct Layout {
    std::string_view title;
    std::array<ReportItem, 4> headings;
    std::array<ColumnFormat, 4> columns;
};

const Layout& LayoutOf(Computation mode) {
    static const Layout kForward{
        "大地正算( 共",
        {{{36, "L"}, {49, "B"}, {62, "X"}, {75, "Y"}}},
        {{{-1, "0.00000000"}, {-1, ".00000000"}, {4, "0.0000"}, {4, "0.0000"}}}};
    static const Layout kInverse{
        "大地反算( 共",
        {{{35, "X"}, {48, "Y"}, {62, "L"}, {75, "B"}}},
        {{{-1, "0.0000"}, {-1, ".0000"}, {8, "0.00000000"}, {8, "0.00000000"}}}};
    static const Layout kZone{"座标换带( 共",
                              {{{35, "X1"}, {48, "Y1"}, {62, "X2"}, {75, "Y2"}}},
                              {{{-1, "0.0000"}, {-1, ".0000"}, {4, "0.0000"}, {4, "0.0000"}}}};
    switch (mode) {
        case Computation::Forward:
            return kForward;
        case Computation::Inverse:
            return kInverse;
        case Computation::Zone:
            break;
    }
    return kZone;
}

std::string FormatValue(const ValueCell& cell, const ColumnFormat& format) {
    const Pattern pattern = Pattern::Parse(format.pattern);
    if (format.round < 0) return cell.Format(pattern);
    std::optional<double> value = 0.0;
    if (cell.IsNumber()) {
        value = cell.Number();
    } else if (cell.IsText()) {
        value = TryParseNumber(cell.Text());
    }
    // A text that spells no number is printed as it is, as the typed columns do.
    if (!value) return cell.Text();
    return FormatFixed(RoundHalfEven(*value, format.round), pattern);
}

// The meridian exactly as typed.
std::string TypedText(const ValueCell& cell) {
    if (cell.IsText()) return cell.Text();
    if (cell.IsNumber()) return ShortestText(cell.Number());
    return {};
}

ReportLine Line(ReportLineKind kind, int fontSize, std::vector<ReportItem> items = {}) {
    return ReportLine{kind, fontSize, std::move(items)};
}

}  // namespace

std::string_view ReportKindName(Computation mode) {
    return ComputationName(mode);
}

Report BuildReport(const ReportInput& input) {
    Report report;
    if (!input.mode) return report;
    const Layout* layout = &LayoutOf(*input.mode);

    auto& lines = report.lines;
    lines.push_back(Line(ReportLineKind::Title, kTitleFontSize,
                         {{kTitleColumn, std::string(layout->title) +
                                             std::to_string(input.pointCount) + " 个点 )"}}));
    lines.push_back(Line(ReportLineKind::Empty, kBodyFontSize));
    if (!input.projection.empty()) {
        lines.push_back(Line(ReportLineKind::Meridian, kBodyFontSize,
                             {{kMeridianColumn, "椭球与算法 : " + input.projection}}));
    }
    if (input.mode == Computation::Zone) {
        lines.push_back(Line(
            ReportLineKind::Meridian, kBodyFontSize,
            {{kMeridianColumn, "换带前中央子午线经度 : Lo= " + TypedText(input.centralMeridian) +
                                   " ( 度,分,秒 )"}}));
        lines.push_back(Line(
            ReportLineKind::Meridian, kBodyFontSize,
            {{kMeridianColumn,
              "换带后中央子午线经度 : Lx= " + TypedText(input.targetMeridian) + " ( 度,分,秒 )"}}));
    } else {
        lines.push_back(
            Line(ReportLineKind::Meridian, kBodyFontSize,
                 {{kMeridianColumn,
                   "中央子午线经度 : Lo= " + TypedText(input.centralMeridian) + " ( 度,分,秒 )"}}));
    }
    lines.push_back(Line(ReportLineKind::Empty, kBodyFontSize));

    std::vector<ReportItem> heading{{kRowNumberColumn, "序号"}};
    heading.insert(heading.end(), layout->headings.begin(), layout->headings.end());
    lines.push_back(Line(ReportLineKind::Heading, kBodyFontSize, std::move(heading)));
    lines.push_back(Line(ReportLineKind::Empty, kBodyFontSize));

    int number = 0;
    for (const auto& row : input.rows) lines.push_back(BuildPointLine(*input.mode, ++number, row));
    return report;
}

ReportLine BuildPointLine(Computation mode, int number, const std::array<ValueCell, 4>& row) {
    const Layout& layout = LayoutOf(mode);
    // Up to three digits at the heading's column; a longer number starts further left, so that
    // its colon stays where those end and the row stays on its line.
    std::string label = std::to_string(number) + " :";
    const int column =
        kRowNumberColumn - std::max(0, static_cast<int>(label.size()) - kRowNumberWidth);
    std::vector<ReportItem> items{{column, std::move(label)}};
    for (std::size_t c = 0; c < row.size(); ++c) {
        items.push_back({kValueColumns[c], FormatValue(row[c], layout.columns[c])});
    }
    return Line(ReportLineKind::Point, kBodyFontSize, std::move(items));
}

double CharacterMetrics::TextWidth(std::string_view text, int) const {
    // UTF-8: every byte that is not a continuation byte starts a code point.
    return static_cast<double>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::vector<PlacedItem>> PlaceItems(const ReportLine& line,
                                                const ReportMetrics& metrics, double startX) {
    std::vector<std::vector<PlacedItem>> out(1);
    const double w = metrics.ColumnWidth(line.fontSize);
    // Two values must never read as one (a Y with its zone number fills the gap to the next
    // column exactly): an item needs a space after the one before it on its line.
    const double space = metrics.TextWidth(" ", line.fontSize);
    double x = startX;
    for (const ReportItem& item : line.items) {
        const double columnX = (item.column - 1) * w;
        const double gap = out.back().empty() ? 0 : space;
        if (x + gap > columnX) out.emplace_back();
        out.back().push_back({columnX, item.text});
        x = columnX + metrics.TextWidth(item.text, line.fontSize);
    }
    return out;
}

void ReportPlacer::Place(const ReportLine& line, std::vector<PlacedLine>& out) {
    const double height = metrics_.LineHeight(line.fontSize);
    for (auto& items : PlaceItems(line, metrics_, x_)) {
        x_ = 0;  // every line break returns to the left edge
        if (items.empty()) {
            y_ += height;
            continue;
        }
        if (y_ + height > frame_.pageHeight) {
            // Continue at the top of the next page; a page with nothing on it yet is reused,
            // so a start position below a short page does not leave it blank.
            if (pageUsed_) ++page_;
            pageUsed_ = false;
            y_ = 0;
        }
        out.push_back({page_, y_, line.fontSize, std::move(items)});
        pageUsed_ = true;
        y_ += height;
    }
}

std::vector<PlacedLine> PlaceReport(const Report& report, const ReportMetrics& metrics,
                                    const PageFrame& frame) {
    std::vector<PlacedLine> out;
    ReportPlacer placer(metrics, frame);
    for (const ReportLine& line : report.lines) placer.Place(line, out);
    return out;
}

int PageCount(const std::vector<PlacedLine>& lines) {
    return lines.empty() ? 0 : lines.back().page + 1;
}

void AppendReportLineText(const ReportLine& line, std::string& text) {
    const CharacterMetrics metrics;
    for (const auto& items : PlaceItems(line, metrics)) {
        double x = 0;
        for (const PlacedItem& item : items) {
            text.append(static_cast<std::size_t>(item.x - x), ' ');
            text += item.text;
            x = item.x + metrics.TextWidth(item.text, line.fontSize);
        }
        text += '\n';
    }
}

std::string RenderReportText(const Report& report) {
    std::string text;
    for (const ReportLine& line : report.lines) AppendReportLineText(line, text);
    return text;
}

}  // namespace quorvel
