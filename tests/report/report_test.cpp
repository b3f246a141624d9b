#include "report/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/report_input.h"
#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "csv_fixture.h"
#include "report/batch_session.h"

namespace quorvel {
namespace {

using Kind = ReportLineKind;
using Items = std::vector<ReportItem>;
using testing::Session;

std::string Spaces(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

Report ReportOf(const BatchState& state) {
    return BuildReport(ReportInputFrom(state));
}

std::vector<Kind> KindsOf(const Report& r) {
    std::vector<Kind> kinds;
    for (const ReportLine& l : r.lines) kinds.push_back(l.kind);
    return kinds;
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        lines.push_back(text.substr(start, nl - start));
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line break";
    return lines;
}

// ---------------------------------------------------------------------------------------------
// The lines and items of each type of report.

TEST(ReportLayout, ForwardBatchOfNoPointsHasEveryLineButRows) {
    Session s;
    s.Forward({}, "117");
    const Report r = ReportOf(s.state);
    const std::vector<ReportLine> expected = {
        {Kind::Title, 12, {{30, "大地正算( 共0 个点 )"}}},
        {Kind::Empty, 10, {}},
        {Kind::Meridian, 10, {{24, "中央子午线经度 : Lo= 117 ( 度,分,秒 )"}}},
        {Kind::Empty, 10, {}},
        {Kind::Heading, 10, {{24, "序号"}, {36, "L"}, {49, "B"}, {62, "X"}, {75, "Y"}}},
        {Kind::Empty, 10, {}},
    };
    EXPECT_EQ(r.lines, expected);
}

TEST(ReportLayout, ForwardRowsPrintTypedAnglesWithEightDecimalsAndRoundedPlaneCoordinates) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = 2;
    in.centralMeridian = "117.10";
    in.rows = {{"117.153", "0.5", 3380000.12345, 500000.00005},
               {"-0.25", "30.3030", -12.34565, 612345.67895}};
    const Report r = BuildReport(in);
    ASSERT_EQ(r.lines.size(), 8u);
    EXPECT_EQ(r.lines[2].items, (Items{{24, "中央子午线经度 : Lo= 117.10 ( 度,分,秒 )"}}));
    // Typed L under "0.00000000", typed B under ".00000000"; computed values rounded to four
    // decimals with ties to even before they are formatted.
    EXPECT_EQ(r.lines[6].items, (Items{{24, "1 :"},
                                       {30, "117.15300000"},
                                       {43, ".50000000"},
                                       {56, "3380000.1234"},
                                       {69, "500000.0000"}}));
    EXPECT_EQ(r.lines[7].items, (Items{{24, "2 :"},
                                       {30, "-0.25000000"},
                                       {43, "30.30300000"},
                                       {56, "-12.3456"},
                                       {69, "612345.6790"}}));
}

TEST(ReportLayout, InverseRowsShowYAsTypedAndPackedResultsToEightDecimals) {
    ReportInput in;
    in.mode = Computation::Inverse;
    in.pointCount = 3;
    in.centralMeridian = "117";
    in.rows = {{"3380000", "612345.678", 118.101428063479, 30.123456785},
               {"3380000.5", "0.5", 117.0, 30.123456775},
               {"3380000", "-0.5", 116.999999995, 0.000000005}};
    const Report r = BuildReport(in);
    EXPECT_EQ(r.lines[0].items, (Items{{30, "大地反算( 共3 个点 )"}}));
    EXPECT_EQ(r.lines[4].items, (Items{{24, "序号"}, {35, "X"}, {48, "Y"}, {62, "L"}, {75, "B"}}));
    EXPECT_EQ(r.lines[6].items, (Items{{24, "1 :"},
                                       {30, "3380000.0000"},
                                       {43, "612345.6780"},
                                       {56, "118.10142806"},
                                       {69, "30.12345678"}}));
    EXPECT_EQ(r.lines[7].items, (Items{{24, "2 :"},
                                       {30, "3380000.5000"},
                                       {43, ".5000"},
                                       {56, "117.00000000"},
                                       {69, "30.12345678"}}));
    EXPECT_EQ(r.lines[8].items, (Items{{24, "3 :"},
                                       {30, "3380000.0000"},
                                       {43, "-.5000"},
                                       {56, "117.00000000"},
                                       {69, "0.00000000"}}));
}

TEST(ReportLayout, ZoneReportHasBothMeridiansTheSecondCalledLx) {
    ReportInput in;
    in.mode = Computation::Zone;
    in.pointCount = 1;
    in.centralMeridian = "117";
    in.targetMeridian = "120.00";
    in.rows = {{"3380000", "612345.678", 3380000.0004539406, 612345.6779953141}};
    const Report r = BuildReport(in);
    EXPECT_EQ(KindsOf(r),
              (std::vector<Kind>{Kind::Title, Kind::Empty, Kind::Meridian, Kind::Meridian,
                                 Kind::Empty, Kind::Heading, Kind::Empty, Kind::Point}));
    EXPECT_EQ(r.lines[0].items, (Items{{30, "座标换带( 共1 个点 )"}}));
    EXPECT_EQ(r.lines[2].items, (Items{{24, "换带前中央子午线经度 : Lo= 117 ( 度,分,秒 )"}}));
    EXPECT_EQ(r.lines[3].items, (Items{{24, "换带后中央子午线经度 : Lx= 120.00 ( 度,分,秒 )"}}));
    EXPECT_EQ(r.lines[5].items,
              (Items{{24, "序号"}, {35, "X1"}, {48, "Y1"}, {62, "X2"}, {75, "Y2"}}));
    EXPECT_EQ(r.lines[7].items, (Items{{24, "1 :"},
                                       {30, "3380000.0000"},
                                       {43, "612345.6780"},
                                       {56, "3380000.0005"},
                                       {69, "612345.6780"}}));
}

TEST(ReportLayout, RowNumbersAreLeftAlignedAtColumn24) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = 10;
    in.centralMeridian = "117";
    in.rows.assign(10, {"117", "30", 1.0, 2.0});
    const Report r = BuildReport(in);
    ASSERT_EQ(r.lines.size(), 16u);
    EXPECT_EQ(r.lines[14].items.front(), (ReportItem{24, "9 :"}));
    EXPECT_EQ(r.lines[15].items.front(), (ReportItem{24, "10 :"}));
    const std::vector<std::string> text = TextLines(RenderReportText(r));
    EXPECT_EQ(text[14].substr(0, 29), Spaces(23) + "9 :   ");
    EXPECT_EQ(text[15].substr(0, 29), Spaces(23) + "10 :  ");
}

TEST(ReportLayout, NoBatchTypeMeansNothingAtAll) {
    for (int mode : {0, 4, -1, 32767}) {
        ReportInput in;
        in.mode = ComputationOf(mode);
        in.pointCount = 2;
        in.rows.assign(2, {"1", "2", 3.0, 4.0});
        const Report r = BuildReport(in);
        EXPECT_TRUE(r.IsEmpty()) << mode;
        EXPECT_EQ(RenderReportText(r), "");
        EXPECT_EQ(PageCount(PlaceReport(r, CharacterMetrics{}, {0, 0, 10})), 0);
    }
}

// Values come from real batches: the printed plane coordinates are the documented results.
TEST(ReportLayout, ForwardBatchPrintsTheReferenceResults) {
    const auto rows = testing::ReadFixture("forward.csv");
    std::vector<std::array<std::string, 3>> points;
    const std::string lo = rows.at(0).at("Lo_text");
    std::vector<const testing::Row*> used;
    for (const auto& row : rows) {
        if (row.at("Lo_text") != lo || !row.at("flags").empty()) continue;
        points.push_back({"P" + row.at("id"), row.at("L_text"), row.at("B_text")});
        used.push_back(&row);
        if (used.size() == 12) break;
    }
    ASSERT_GE(used.size(), 2u);
    Session s;
    s.Forward(points, lo);
    const Report r = ReportOf(s.state);
    ASSERT_EQ(r.lines.size(), 6 + used.size());
    EXPECT_EQ(r.lines[0].items[0].text, "大地正算( 共" + std::to_string(used.size()) + " 个点 )");
    for (std::size_t i = 0; i < used.size(); ++i) {
        const Items& items = r.lines[6 + i].items;
        ASSERT_EQ(items.size(), 5u);
        EXPECT_EQ(items[0].text, std::to_string(i + 1) + " :");
        EXPECT_EQ(items[3].text, used[i]->at("X_text")) << "point " << i + 1;
        EXPECT_EQ(items[4].text, used[i]->at("Y_text")) << "point " << i + 1;
    }
}

TEST(ReportLayout, InverseAndZoneBatchesFillTheirOwnColumns) {
    Session s;
    s.Zone({{"Z1", "3380000", "612345.678"}}, "117", "117");
    Report zone = ReportOf(s.state);
    ASSERT_EQ(zone.lines.size(), 8u);
    EXPECT_EQ(zone.lines[7].items[3].text, "3380000.0005");
    EXPECT_EQ(zone.lines[7].items[4].text, "612345.6780");

    s.Inverse({{"I1", "3380000", "500000"}, {"I2", "3380000", "612345.678"}}, "117");
    const Report inverse = ReportOf(s.state);
    ASSERT_EQ(inverse.lines.size(), 8u);
    EXPECT_EQ(inverse.lines[0].items[0].text, "大地反算( 共2 个点 )");
    EXPECT_EQ(inverse.lines[6].items[2].text, "500000.0000");
    EXPECT_EQ(inverse.lines[6].items[3].text, "117.00000000");
    EXPECT_EQ(inverse.lines[7].items[3].text, "118.10142806");
    EXPECT_EQ(inverse.lines[7].items[4].text, "30.32038872");
}

// ---------------------------------------------------------------------------------------------
// The count in the title and the rows are those of the stored batch.

TEST(ReportCount, LaterCountWithoutABatchChangesNothingPrinted) {
    Session s;
    s.Forward({{"A", "116.3045", "30.3030"}, {"B", "117.2930", "30.3030"}, {"C", "117", "30"}},
              "117");
    const Report before = ReportOf(s.state);
    for (int count : {7, 1, 0, -5, 32767}) {
        s.Run(4, count, {});
        ASSERT_EQ(s.state.PointCount, count);
        const Report after = ReportOf(s.state);
        EXPECT_EQ(after, before) << "count " << count;
        EXPECT_EQ(after.lines[0].items[0].text, "大地正算( 共3 个点 )");
        EXPECT_EQ(after.lines.size(), 6u + 3u);
    }
}

TEST(ReportCount, ASettingOtherThanTheSeriesComputesTheBatchAndHeadsItsReport) {
    Session s;
    const auto exact = std::make_shared<GaussKruger>(Method::Exact, Cgcs2000());
    s.state.Projection = {exact, "CGCS2000, 精确"};
    s.Forward({{"A", "116.3045", "30.3030"}}, "117");
    const GridPoint want = exact->Forward(30.5083333333333333, 116.5125, 117);
    EXPECT_EQ(s.state.Store.PlaneX[0].Number(), want.X);
    EXPECT_EQ(s.state.Store.PlaneY[0].Number(), want.Y);
    // The heading names the batch's setting, whatever is chosen after it.
    s.state.Projection = {};
    const Report r = ReportOf(s.state);
    ASSERT_EQ(r.lines.size(), 7u + 1u);
    EXPECT_EQ(r.lines[2].items[0].text, "椭球与算法 : CGCS2000, 精确");
    EXPECT_EQ(r.lines[3].items[0].text, "中央子午线经度 : Lo= 117 ( 度,分,秒 )");
    // Without a setting, the report is as it has always been.
    s.Forward({{"A", "116.3045", "30.3030"}}, "117");
    EXPECT_EQ(ReportOf(s.state).lines.size(), 6u + 1u);
}

TEST(ReportCount, PrintsTheListsOfTheLastBatchTypeOnly) {
    Session s;
    s.Forward({{"A", "116.3045", "30.3030"}, {"B", "117.2930", "30.3030"}, {"C", "117", "30"}},
              "117");
    s.Inverse({{"I1", "3380000", "500000"}}, "117");
    const ReportInput in = ReportInputFrom(s.state);
    EXPECT_EQ(in.mode, Computation::Inverse);
    EXPECT_EQ(in.pointCount, 1);
    ASSERT_EQ(in.rows.size(), 1u);
    EXPECT_EQ(in.rows[0][0], ValueCell("3380000"));
    EXPECT_EQ(in.rows[0][1], ValueCell("500000"));
}

TEST(ReportCount, NothingBeforeAnyBatchOrAfterABatchThatStopped) {
    Session s;
    EXPECT_TRUE(ReportOf(s.state).IsEmpty());

    s.Forward({{"A", "116.3045", "30.3030"}}, "117");
    ASSERT_FALSE(ReportOf(s.state).IsEmpty());
    // A second forward batch that stops (the constants unloaded) must not print the first
    // batch's lists as its own.
    s.state.Constants = EllipsoidConstants();
    s.prompt.Answer({"1", "2", ""});
    EXPECT_THROW(s.batches.Command2_click(), Error);
    const ReportInput in = ReportInputFrom(s.state);
    EXPECT_EQ(in.mode, std::nullopt);
    EXPECT_TRUE(in.rows.empty());
    EXPECT_TRUE(BuildReport(in).IsEmpty());
}

TEST(ReportCount, ListsShorterThanTheBatchAreNeverReadPastTheirEnd) {
    // A store whose lists disagree (never made by a batch, but the report must stay in bounds).
    BatchState st;
    st.BatchComputation = Computation::Zone;
    st.BatchComplete = true;
    st.PointCount = 30000;
    Allocate(st.Store.PointNames, 5);
    Allocate(st.Store.TypedX1, 5);
    Allocate(st.Store.TypedY1, 2);
    Allocate(st.Store.PlaneX, 5);
    Allocate(st.Store.PlaneY, 5);
    const ReportInput in = ReportInputFrom(st);
    EXPECT_EQ(in.mode, Computation::Zone);
    EXPECT_EQ(in.pointCount, 2);
    EXPECT_EQ(in.rows.size(), 2u);

    st.Store.TypedY1.clear();  // not allocated at all
    EXPECT_EQ(ReportInputFrom(st).rows.size(), 0u);
}

TEST(ReportCount, PrintingTwiceGivesTheSameReportAndLeavesTheStateAlone) {
    Session s;
    s.Zone({{"Z1", "3380000", "612345.678"}, {"Z2", "3380000", "500000"}}, "117", "120");
    s.Run(5, 9, {});
    const BatchState copy = s.state;
    const Report first = ReportOf(s.state);
    const Report second = ReportOf(s.state);
    EXPECT_EQ(first, second);
    EXPECT_EQ(RenderReportText(first), RenderReportText(second));
    EXPECT_EQ(s.state.PointCount, copy.PointCount);
    EXPECT_EQ(s.state.BatchComputation, copy.BatchComputation);
    EXPECT_EQ(s.state.Store.PlaneX, copy.Store.PlaneX);
    EXPECT_EQ(s.state.Store.PlaneY, copy.Store.PlaneY);
    EXPECT_EQ(s.state.Store.TypedX1, copy.Store.TypedX1);
    EXPECT_EQ(s.state.Store.TypedY1, copy.Store.TypedY1);
    EXPECT_EQ(s.state.TargetMeridian, copy.TargetMeridian);
}

// ---------------------------------------------------------------------------------------------
// The column rule.

ReportInput ForwardRowsForColumns() {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = 1;
    in.centralMeridian = "117";
    in.rows = {{"117", "30", 1.0, 2.0}};
    return in;
}

// A surface whose characters are not all one column wide: the rule follows its measure.
class WideMetrics : public ReportMetrics {
  public:
    double ColumnWidth(int fontSize) const override { return fontSize; }
    // ASCII one cell; anything else two cells (as a CJK font prints it).
    double TextWidth(std::string_view text, int fontSize) const override {
        double cells = 0;
        for (unsigned char c : text) {
            if (c < 0x80) cells += 1;
            if (c >= 0xE0) cells += 2;
        }
        return cells * fontSize;
    }
    double LineHeight(int fontSize) const override { return fontSize * 1.5; }
};

TEST(ColumnRule, TextRenderingPutsEachItemAtItsCharacterColumn) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = 1;
    in.centralMeridian = "117";
    in.rows = {{"117.153", "0.5", 3380000.1, 500000.0}};
    const std::vector<std::string> text = TextLines(RenderReportText(BuildReport(in)));
    const std::vector<std::string> expected = {
        Spaces(29) + "大地正算( 共1 个点 )",
        "",
        Spaces(23) + "中央子午线经度 : Lo= 117 ( 度,分,秒 )",
        "",
        Spaces(23) + "序号" + Spaces(10) + "L" + Spaces(12) + "B" + Spaces(12) + "X" + Spaces(12) +
            "Y",
        "",
        Spaces(23) + "1 :   117.15300000 .50000000    3380000.1000 500000.0000",
    };
    EXPECT_EQ(text, expected);
}

TEST(ColumnRule, ValueLeavingASpaceStaysValueFillingItsGapPushesTheNextItemDown) {
    const CharacterMetrics chars;
    // Column 56 to column 69 is a gap of 13 characters: 12 and a space fit.
    ReportLine fits{Kind::Point, 10, {{56, "-100000.1234"}, {69, "Y"}}};
    auto placed = PlaceItems(fits, chars);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0], (std::vector<PlacedItem>{{55, "-100000.1234"}, {68, "Y"}}));

    // 13 characters would run into the next value.
    for (const char* value : {"-1000000.1234", "-10000000.1234"}) {
        ReportLine wide{Kind::Point, 10, {{56, value}, {69, "Y"}, {70, "Z"}}};
        placed = PlaceItems(wide, chars);
        ASSERT_EQ(placed.size(), 3u) << value;
        EXPECT_EQ(placed[0], (std::vector<PlacedItem>{{55, value}}));
        EXPECT_EQ(placed[1], (std::vector<PlacedItem>{{68, "Y"}}));
        EXPECT_EQ(placed[2], (std::vector<PlacedItem>{{69, "Z"}}));
    }

    // A five-digit row number passes column 30; the report does not shorten anything.
    ReportLine row{Kind::Point, 10, {{24, "10000 :"}, {30, "1.0"}, {43, "2.0"}}};
    placed = PlaceItems(row, chars);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0], (std::vector<PlacedItem>{{23, "10000 :"}}));
    EXPECT_EQ(placed[1], (std::vector<PlacedItem>{{29, "1.0"}, {42, "2.0"}}));
}

TEST(ColumnRule, EastingWithItsZoneNumberNeverRunsIntoTheNextValue) {
    ReportInput in;
    in.mode = Computation::Inverse;
    in.pointCount = 1;
    in.centralMeridian = "117";
    in.rows = {{"3376626.6403", "39479050.95", 116.45184088, 30.3030}};
    const std::vector<std::string> text = TextLines(RenderReportText(BuildReport(in)));
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(text[6], Spaces(23) + "1 :   3376626.6403 39479050.9500");
    EXPECT_EQ(text[7], Spaces(55) + "116.45184088 30.30300000");

    // The window's print measures the same way: every item a space clear of the one before.
    const auto placed = PlaceReport(BuildReport(in), WideMetrics{}, {0, 0, 1000});
    for (const PlacedLine& line : placed) {
        for (std::size_t i = 1; i < line.items.size(); ++i) {
            const PlacedItem& before = line.items[i - 1];
            EXPECT_GE(line.items[i].x, before.x + WideMetrics{}.TextWidth(before.text + " ", 10))
                << line.items[i].text;
        }
    }
}

TEST(ColumnRule, LongRowNumbersStayOnTheirLineBeforeTheFirstValue) {
    // Up to 999 the number starts at column 24; longer ones end where those end.
    const std::array<ValueCell, 4> row{"117", "30", 1.0, 2.0};
    std::string text;
    for (int number : {999, 1000, 10000, 1234567})
        AppendReportLineText(BuildPointLine(Computation::Forward, number, row), text);
    EXPECT_EQ(TextLines(text),
              (std::vector<std::string>{
                  Spaces(23) + "999 : 117.00000000 30.00000000  1.0000       2.0000",
                  Spaces(22) + "1000 : 117.00000000 30.00000000  1.0000       2.0000",
                  Spaces(21) + "10000 : 117.00000000 30.00000000  1.0000       2.0000",
                  Spaces(19) + "1234567 : 117.00000000 30.00000000  1.0000       2.0000"}));
}

TEST(ColumnRule, WrappedValueInAWholeReportGoesToItsColumnOnTheNextLine) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = 1;
    in.centralMeridian = "117";
    in.rows = {{"117", "30", -12345678.5, 500000.0}};
    const std::vector<std::string> text = TextLines(RenderReportText(BuildReport(in)));
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(text[6], Spaces(23) + "1 :   117.00000000 30.00000000  -12345678.5000");
    EXPECT_EQ(text[7], Spaces(68) + "500000.0000");
}

TEST(ColumnRule, FollowsTheSurfaceMeasureNotTheCharacterCount) {
    // Eight CJK characters at column 24 end at column 40 on the surface (column 32 as text).
    ReportLine line{Kind::Heading, 10, {{24, "序号序号序号序号"}, {36, "L"}}};
    EXPECT_EQ(PlaceItems(line, CharacterMetrics{}).size(), 1u);
    const auto placed = PlaceItems(line, WideMetrics{});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[1], (std::vector<PlacedItem>{{350, "L"}}));
}

TEST(ColumnRule, StartPositionBeyondTheFirstColumnLeavesTheFirstLineEmpty) {
    ReportLine title{Kind::Title, 12, {{30, "T"}}};
    EXPECT_EQ(PlaceItems(title, CharacterMetrics{}, 29).size(), 1u);
    const auto placed = PlaceItems(title, CharacterMetrics{}, 29.5);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_TRUE(placed[0].empty());
    EXPECT_EQ(placed[1], (std::vector<PlacedItem>{{29, "T"}}));
}

TEST(ColumnRule, StartPositionHoldsForTheFirstLineOnly) {
    // The print position starts right of column 24 but left of the title's column 30; every
    // later line starts at the left edge, so the meridian line stays on one line.
    const auto placed =
        PlaceReport(BuildReport(ForwardRowsForColumns()), CharacterMetrics{}, {25, 0, 1000});
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_EQ(placed[0].y, 0);
    EXPECT_EQ(placed[1].y, 2);
    EXPECT_EQ(placed[1].items[0].x, 23);
    EXPECT_EQ(placed[3].y, 6);
}

// ---------------------------------------------------------------------------------------------
// Pages.

ReportInput ForwardRows(int n) {
    ReportInput in;
    in.mode = Computation::Forward;
    in.pointCount = n;
    in.centralMeridian = "117";
    for (int i = 0; i < n; ++i) in.rows.push_back({"117", "30", 1.0 * i, 2.0});
    return in;
}

TEST(Pages, ContinueAtTheTopOfTheNextPageWithoutRepeatingAnything) {
    const Report r = BuildReport(ForwardRows(20));
    // Unit-high lines, start 3 units down, 10 units to a page.
    const auto placed = PlaceReport(r, CharacterMetrics{}, {0, 3, 10});
    ASSERT_EQ(placed.size(), 3u + 20u);
    std::vector<std::pair<int, double>> where;
    for (const PlacedLine& l : placed) where.emplace_back(l.page, l.y);
    // Title 3, meridian 5, heading 7, row 1 at 9; rows 2 to 11 fill page 2 from its top.
    EXPECT_EQ(where[0], std::make_pair(0, 3.0));
    EXPECT_EQ(where[1], std::make_pair(0, 5.0));
    EXPECT_EQ(where[2], std::make_pair(0, 7.0));
    EXPECT_EQ(where[3], std::make_pair(0, 9.0));
    EXPECT_EQ(where[4], std::make_pair(1, 0.0));
    EXPECT_EQ(where[13], std::make_pair(1, 9.0));
    EXPECT_EQ(where[14], std::make_pair(2, 0.0));
    EXPECT_EQ(where[22], std::make_pair(2, 8.0));
    EXPECT_EQ(PageCount(placed), 3);
    for (std::size_t i = 3; i < placed.size(); ++i) {
        ASSERT_EQ(placed[i].items.size(), 5u);
        EXPECT_EQ(placed[i].items[0].text, std::to_string(i - 2) + " :");
    }
}

TEST(Pages, LineHeightFollowsEachLinesFont) {
    const Report r = BuildReport(ForwardRows(3));
    // Title 12 pt: 18 high; the rest 10 pt: 15 high.
    const auto placed = PlaceReport(r, WideMetrics{}, {0, 100, 1000});
    ASSERT_EQ(placed.size(), 6u);
    EXPECT_EQ(placed[0].y, 100);
    EXPECT_EQ(placed[0].fontSize, 12);
    EXPECT_EQ(placed[1].y, 100 + 18 + 15);
    EXPECT_EQ(placed[1].fontSize, 10);
    EXPECT_EQ(placed[2].y, 100 + 18 + 15 * 3);
    EXPECT_EQ(placed[5].y, 100 + 18 + 15 * 7);
}

TEST(Pages, LineThatExactlyFillsThePageStaysOnIt) {
    const Report r = BuildReport(ForwardRows(1));
    // The only row occupies [7, 8): fits a page of height 8, not one of 7.99.
    EXPECT_EQ(PageCount(PlaceReport(r, CharacterMetrics{}, {0, 1, 8})), 1);
    const auto placed = PlaceReport(r, CharacterMetrics{}, {0, 1, 7.99});
    EXPECT_EQ(PageCount(placed), 2);
    EXPECT_EQ(placed.back().y, 0);
}

TEST(Pages, EmptyLinesNeverMakeABlankPage) {
    // No rows: the report ends with the empty line after the heading, which falls off page 1.
    const Report r = BuildReport(ForwardRows(0));
    const auto placed = PlaceReport(r, CharacterMetrics{}, {0, 0, 5});
    EXPECT_EQ(PageCount(placed), 1);
    // The empty line after the meridian ends page 1; the heading starts page 2 at its top.
    const auto tight = PlaceReport(r, CharacterMetrics{}, {0, 0, 4});
    ASSERT_EQ(tight.size(), 3u);
    EXPECT_EQ(tight[2].page, 1);
    EXPECT_EQ(tight[2].y, 0);
}

TEST(Pages, StartBelowAShortPageDoesNotLeaveTheFirstPageBlank) {
    const Report r = BuildReport(ForwardRows(1));
    const auto placed = PlaceReport(r, CharacterMetrics{}, {0, 50, 10});
    ASSERT_FALSE(placed.empty());
    EXPECT_EQ(placed[0].page, 0);
    EXPECT_EQ(placed[0].y, 0);
}

TEST(Pages, WrappedRowMayContinueOnTheNextPage) {
    ReportInput in = ForwardRows(1);
    in.rows[0][2] = -12345678.5;  // pushes Y onto a line of its own
    const auto placed = PlaceReport(BuildReport(in), CharacterMetrics{}, {0, 0, 8});
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_EQ(placed[3].page, 0);
    EXPECT_EQ(placed[3].y, 6);
    EXPECT_EQ(placed[4].page, 0);
    EXPECT_EQ(placed[4].y, 7);
    EXPECT_EQ(placed[4].items, (std::vector<PlacedItem>{{68, "2.0000"}}));
    const auto next = PlaceReport(BuildReport(in), CharacterMetrics{}, {0, 0, 7});
    EXPECT_EQ(next[4].page, 1);
    EXPECT_EQ(next[4].y, 0);
}

}  // namespace
}  // namespace quorvel
