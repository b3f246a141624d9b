// A workbook's sheet as lines: the row's cells come back from the line parser as they were, and
// the lines' numbers are the sheet's rows.
#include "engine/reading/sheet_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "engine/reading/line_parser.h"
#include "engine/reading/point_input.h"

namespace quorvel::engine {
namespace {

const std::string kWorkbooks = QUORVEL_FIXTURES_DIR "/workbooks/";

SheetCell Text(std::string t) {
    return {SheetCell::Kind::Text, std::move(t), 0};
}
SheetCell Number(double v) {
    return {SheetCell::Kind::Number, {}, v};
}
SheetCell Empty() {
    return {};
}

std::vector<std::string> Split(const std::vector<SheetCell>& cells, bool decimalComma) {
    std::string line;
    AppendSheetRow(cells, line);
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    ParsedLine parsed;
    ParseLine(line, parsed, decimalComma);
    std::vector<std::string> fields;
    if (parsed.status != LineStatus::Fields)
        return {"status " + std::to_string(int(parsed.status))};
    for (std::size_t i = 0; i < parsed.count; ++i) fields.emplace_back(parsed.fields[i]);
    while (!fields.empty() && fields.back().empty()) fields.pop_back();
    return fields;
}

TEST(AppendSheetRow, TextComesBackAsItWasWhateverItHolds) {
    using F = std::vector<std::string>;
    for (const bool comma : {false, true}) {
        EXPECT_EQ(Split({Text("007"), Text("a, b"), Text("x;y"), Text("say \"hi\"")}, comma),
                  (F{"007", "a, b", "x;y", "say \"hi\""}));
        // Blanks that a text file's reading would split at or trim, and a comment's mark.
        EXPECT_EQ(Split({Text("# P 1"), Text(" 2 "), Text("a\tb"), Text("点\u3000名")}, comma),
                  (F{"# P 1", " 2 ", "a\tb", "点\u3000名"}));
        // A row of one cell is not split at its blanks.
        EXPECT_EQ(Split({Text("Point A")}, comma), (F{"Point A"}));
        EXPECT_EQ(Split({Text("Point A"), Empty(), Empty()}, comma), (F{"Point A"}));
        // Empty cells keep the columns in place; those at the end are left out.
        EXPECT_EQ(Split({Empty(), Text("B"), Empty(), Number(3)}, comma), (F{"", "B", "", "3"}));
        // A line break inside a cell (Alt+Enter) is a blank: a line has no break.
        EXPECT_EQ(Split({Text("two\nlines\r\n")}, comma), (F{"two lines  "}));
    }
    std::string none;
    AppendSheetRow({Empty(), Empty()}, none);
    EXPECT_EQ(none, "");
}

TEST(AppendSheetRow, NumbersReadBackToTheNumberStored) {
    const double values[] = {
        0.1 + 0.2, 39.300000000000004, 3456789.123456789, -0.0, 1e-300, -2.5e22, 116.2812345678,
        5e-324};
    for (const bool comma : {false, true}) {
        for (const double v : values) {
            const std::vector<std::string> f = Split({Text("P"), Number(v)}, comma);
            ASSERT_EQ(f.size(), 2u);
            EXPECT_EQ(std::strtod(f[1].c_str(), nullptr), v) << f[1];
            EXPECT_EQ(std::signbit(std::strtod(f[1].c_str(), nullptr)), std::signbit(v));
        }
    }
    // The shortest text that reads back: 0.1 + 0.2 is not 0.3.
    EXPECT_EQ(Split({Number(0.1 + 0.2)}, false), (std::vector<std::string>{"0.30000000000000004"}));
}

// The module is the one built beside the tests.
class Workbook : public testing::Test {
  protected:
    void SetUp() override { ::setenv("QUORVEL_GDAL_MODULE", QUORVEL_GDAL_MODULE_FILE, 1); }
    void TearDown() override { ::unsetenv("QUORVEL_GDAL_MODULE"); }

    static std::string Lines(const InputChoice& choice) {
        PointInput input;
        const std::string why = input.Open(choice, -1);
        if (!why.empty()) return "refused: " + why;
        EXPECT_TRUE(input.IsWorkbook());
        ByteSource& source = input.Source();
        std::string text;
        char buffer[5];  // rows handed on in small pieces
        while (const std::size_t got = source.Read(buffer, sizeof buffer)) text.append(buffer, got);
        return text;
    }
};

// The fields of each line, by 1-based line number; a line without fields is left out.
std::map<std::size_t, std::vector<std::string>> FieldsByLine(const std::string& text) {
    std::map<std::size_t, std::vector<std::string>> out;
    ParsedLine parsed;
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t lf = text.find('\n', at);
        if (lf == std::string::npos) lf = text.size();
        ParseLine(std::string_view(text).substr(at, lf - at), parsed, false);
        at = lf + 1;
        ++number;
        if (parsed.status == LineStatus::Skip) continue;
        std::vector<std::string>& f = out[number];
        for (std::size_t i = 0; i < parsed.count; ++i) f.emplace_back(parsed.fields[i]);
    }
    return out;
}

TEST_F(Workbook, RowsAsStoredWithTheirNumbers) {
    using F = std::vector<std::string>;
    for (const char* file : {"points.xlsx", "points.xls"}) {
        const std::string text = Lines({kWorkbooks + file, {}, {}});
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n') << file;
        auto rows = FieldsByLine(text);
        // Rows 1, 2, 4 and 6 hold cells; 3 is missing from the file, 5 is there but empty.
        ASSERT_EQ(rows.size(), 4u) << file << '\n' << text;
        EXPECT_EQ(rows[1], (F{"点名", "L", "B", "备注"})) << file;
        // 116.2812345678 is shown as 116.28; "007" is text.
        EXPECT_EQ(rows[2], (F{"007", "116.2812345678", "39.5", "a, \"b\""})) << file;
        ASSERT_EQ(rows[6].size(), 4u) << file;
        EXPECT_EQ(rows[6][0], "P3");
        EXPECT_EQ(rows[6][1], "116.3");  // a text cell that reads as a number
        EXPECT_EQ(rows[6][3], "x;y");
        ASSERT_EQ(rows[4].size(), 4u) << file;
        EXPECT_EQ(rows[4][0], "P2");
        EXPECT_EQ(rows[4][2], "39.45");
    }
    // A .xlsx keeps the stored number to its last digit, and a formula's computed value; a date
    // comes as text.
    auto xlsx = FieldsByLine(Lines({kWorkbooks + "points.xlsx", {}, {}}));
    EXPECT_EQ(xlsx[6][2], "39.300000000000004");
    EXPECT_EQ(xlsx[4], (F{"P2", "116.2912345678", "39.45", "2024/01/01"}));
    // So does a .xls, in a column that holds text too, and its date reads as the .xlsx's. (The
    // .xls was written without a formula's value.)
    auto xls = FieldsByLine(Lines({kWorkbooks + "points.xls", {}, {}}));
    EXPECT_EQ(xls[6][2], "39.300000000000004");
    EXPECT_EQ(xls[4], (F{"P2", "", "39.45", "2024/01/01"}));
    // The second sheet starts at its row 3; a column of numbers alone comes as numbers.
    EXPECT_EQ(Lines({kWorkbooks + "points.xlsx", {}, "Second"}),
              "\n\n\"Q1\";117.1;30.5\n\n\n\n\"Q2\";117.2;30.25\n");
}

TEST_F(Workbook, XlsNumbersAmongTextAsStored) {
    using F = std::vector<std::string>;
    const std::string text = Lines({kWorkbooks + "points.xls", {}, "Mixed"});
    auto rows = FieldsByLine(text);
    ASSERT_EQ(rows.size(), 5u) << text;
    EXPECT_EQ(rows[1], (F{"Name", "B", "When"}));
    // Shortest text that reads back: 17 digits where the double needs them.
    EXPECT_EQ(rows[2], (F{"R1", "39.300000000000004", "2024/01/01 12:30:05"}));
    EXPECT_EQ(rows[3], (F{"R2", "0.30000000000000004", "06:07:08"}));
    // Text that looks like a number stays the text typed; a whole number has no decimals.
    EXPECT_EQ(rows[4], (F{"R3", "0.30000000000000004", "42"}));
    ASSERT_EQ(rows[5].size(), 2u);
    EXPECT_EQ(std::strtod(rows[5][0].c_str(), nullptr), -2.5e22) << rows[5][0];
    EXPECT_EQ(rows[5][1], "3456789.123456789");
    // The sheet that GDAL read before keeps its rows where they were.
    EXPECT_EQ(Lines({kWorkbooks + "points.xls", {}, "Second"}),
              "\n\n\"Q1\";117.1;30.5\n\n\n\n\"Q2\";117.2;30.25\n");
}

// A .xls is refused as a .xlsx is: by sheet, by damage, by being no workbook.
TEST_F(Workbook, XlsRefusals) {
    const std::string points = kWorkbooks + "points.xls";
    EXPECT_EQ(Lines({points, {}, "Nope"}),
              "refused: " + points +
                  " has no sheet \"Nope\": its sheets are \"点位\", \"Second\", \"Mixed\"");
    EXPECT_EQ(Lines({kWorkbooks + "none.xls", {}, {}}),
              "refused: " + CannotRead(kWorkbooks + "none.xls", "No such file or directory"));
    std::string bytes;
    {
        std::ifstream in(points, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 4096u);
    const std::string head = bytes.substr(0, 1500);  // cut inside its tables
    std::string scrambled = bytes;                   // its tables overwritten
    for (std::size_t i = 512; i < 2048; ++i) scrambled[i] = '\xff';
    for (const auto& [name, content] : {std::pair<std::string, std::string>{"cut.xls", head},
                                        {"scrambled.XLS", scrambled},
                                        {"text.xls", "P1,116.3,39.5\n"},
                                        {"empty.xls", ""}}) {
        const std::string path = ::testing::TempDir() + name;
        std::ofstream(path, std::ios::binary) << content;
        EXPECT_EQ(Lines({path, {}, {}})
                      .find("refused: cannot read " + path +
                            ": not an Excel workbook, or a damaged or encrypted "
                            "one ("),
                  0u)
            << name;
    }
}

TEST_F(Workbook, RefusalsNameTheFileAndWhatThereIs) {
    const std::string points = kWorkbooks + "points.xlsx";
    EXPECT_EQ(Lines({points, {}, "Nope"}),
              "refused: " + points + " has no sheet \"Nope\": its sheets are \"点位\", \"Second\"");
    // Sheet names are matched exactly.
    EXPECT_EQ(Lines({points, {}, "second"}).find("refused: "), 0u);
    EXPECT_EQ(Lines({points, "GB18030", {}}),
              "refused: --encoding is for text files: " + points +
                  " is an Excel workbook, which carries its own encoding; leave --encoding out");
    const std::string damaged = kWorkbooks + "damaged.xlsx";
    EXPECT_EQ(Lines({damaged, {}, {}})
                  .find("refused: cannot read " + damaged +
                        ": not an Excel workbook, or a damaged or encrypted "
                        "one ("),
              0u);
    // A text file named as a workbook is no workbook either.
    const std::string csv = QUORVEL_FIXTURES_DIR "/forward.csv";
    const std::string named = ::testing::TempDir() + "text.XLSX";
    std::filesystem::copy_file(csv, named, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(Lines({named, {}, {}}).find("refused: cannot read " + named + ": not an Excel"), 0u);
    // --sheet on text, named or piped.
    PointInput text;
    EXPECT_EQ(text.Open({csv, {}, "Second"}, -1),
              "--sheet is for Excel workbooks (.xlsx, .xls): " + csv + " is read as text");
    EXPECT_EQ(text.Open({"-", {}, "Second"}, 0),
              "--sheet is for Excel workbooks (.xlsx, .xls): standard input is read as text");
    // A missing workbook is a missing file.
    EXPECT_EQ(Lines({kWorkbooks + "none.xlsx", {}, {}}),
              "refused: " + CannotRead(kWorkbooks + "none.xlsx", "No such file or directory"));
}

TEST_F(Workbook, PreviewAndSheetsForTheWindow) {
    const std::string points = kWorkbooks + "points.xlsx";
    EXPECT_EQ(WorkbookSheets(points), (std::vector<std::string>{"点位", "Second"}));
    EXPECT_THROW(WorkbookSheets(kWorkbooks + "damaged.xlsx"), IoError);
    // The encoding chosen for text does not apply.
    const FileHead head = ReadInputHead({points, "GB18030", "Second"}, false, 10);
    ASSERT_EQ(head.lines.size(), 2u);
    EXPECT_EQ(head.lines[0].number, 3u);
    EXPECT_EQ(head.lines[1].number, 7u);
    EXPECT_EQ(head.lines[1].fields, (std::vector<std::string>{"Q2", "117.2", "30.25"}));
    // The progress counts the sheet's rows; stopped, the reading ends.
    PointInput watched;
    ASSERT_EQ(watched.Open({points, {}, "Second"}, -1), "");
    std::vector<std::pair<std::uint64_t, std::uint64_t>> told;
    watched.Watch([&](std::uint64_t read, std::uint64_t total) {
        told.emplace_back(read, total);
        return told.size() < 3;
    });
    char buffer[4];
    EXPECT_THROW(while (watched.Source().Read(buffer, sizeof buffer) > 0){}, InputCancelled);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told.front(), (std::pair<std::uint64_t, std::uint64_t>{0, 7}));
    EXPECT_EQ(told.back().first, 3u);  // Q1's row handed on, Q2's not yet
    // A start cut short says so.
    EXPECT_FALSE(ReadInputBytes({points, {}, {}}, 10).whole);
    EXPECT_TRUE(ReadInputBytes({points, {}, {}}).whole);
}

}  // namespace
}  // namespace quorvel::engine
