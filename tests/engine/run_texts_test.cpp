// What a run says besides its rows: the report's head, and its messages made safe to show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/messages.h"
#include "engine/run/diagnostics.h"
#include "engine/run/run.h"

namespace quorvel::engine {
namespace {

TEST(ToReportInput, TitleCountsThePointsWrittenAndZoneCarriesBothMeridians) {
    ReportData data;
    data.mode = Computation::Zone;
    data.loText = "117";
    data.lsText = "120.3";
    data.rows.resize(3);
    ReportInput in = ToReportInput(data);
    EXPECT_EQ(in.mode, Computation::Zone);
    EXPECT_EQ(in.pointCount, 3);
    EXPECT_EQ(in.centralMeridian, ValueCell("117"));
    EXPECT_EQ(in.targetMeridian, ValueCell("120.3"));
    data.mode = Computation::Inverse;
    in = ToReportInput(data);
    EXPECT_EQ(in.mode, Computation::Inverse);
    EXPECT_TRUE(in.targetMeridian.IsUnset());
}

TEST(QuoteForMessage, EscapesControlBytesAndShortensLongTexts) {
    EXPECT_EQ(QuoteForMessage("abc"), "\"abc\"");
    EXPECT_EQ(QuoteForMessage("a\x1b[2Jb\r"), "\"a\\x1b[2Jb\\x0d\"");
    const std::string shortened = QuoteForMessage(std::string(100, '9'));
    EXPECT_EQ(shortened, "\"" + std::string(60, '9') + "...\"");
    // Never cut inside a UTF-8 character.
    std::string cjk;
    for (int i = 0; i < 30; ++i) cjk += "点";
    const std::string q = QuoteForMessage(cjk);
    EXPECT_EQ(q, "\"" + cjk.substr(0, 60) + "...\"");
    const std::string offset = QuoteForMessage("x" + cjk);
    EXPECT_EQ(offset, "\"x" + cjk.substr(0, 57) + "...\"");
}

TEST(ShownMessage, NoControlByteNoNulAndAFewScreensAtMost) {
    EXPECT_EQ(ShownMessage(std::string("cannot write a.gpkg: \0near \x1b[2J\"x\"", 34)),
              "cannot write a.gpkg: \\x00near \\x1b[2J\"x\"");
    // A library's error echoing a whole statement: its head, then the cut said.
    const std::string statement = "cannot write a.gpkg: CREATE TABLE " + std::string(597000, 'c');
    const std::string shown = ShownMessage(statement);
    EXPECT_LE(shown.size(), 2000u + std::string("…").size());
    EXPECT_EQ(shown.rfind("cannot write a.gpkg: CREATE TABLE ccc", 0), 0u);
    EXPECT_TRUE(shown.ends_with("c…"));
}

TEST(BoundedList, NamesTheFirstTenThenCountsTheRest) {
    std::vector<std::string> names;
    for (int i = 1; i <= 2977; ++i) names.push_back("P" + std::to_string(i));
    const std::string list = BoundedList(names);
    EXPECT_EQ(list, "P1, P2, P3, P4, P5, P6, P7, P8, P9, P10 … and 2,967 more");
    names.resize(10);
    EXPECT_EQ(BoundedList(names), "P1, P2, P3, P4, P5, P6, P7, P8, P9, P10");
    EXPECT_EQ(BoundedList(std::vector<std::string>{"a\nb", std::string(100, 'x')}, 1),
              "a\\x0ab … and 1 more");
    EXPECT_EQ(BoundedList(std::vector<std::string>(1000001, "Q"), 1), "Q … and 1,000,000 more");
}

}  // namespace
}  // namespace quorvel::engine
