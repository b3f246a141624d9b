// quorvel-batch on Excel workbooks: every command reads a sheet as it reads the same rows in a
// text file, and says what it refuses about a workbook naming the file and the sheet's rows.
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "cli/batch_runner.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkbooks = QUORVEL_FIXTURES_DIR "/workbooks";

// A cell: text, or a number stored as a number.
using Cell = std::variant<std::string, double>;
using Rows = std::vector<std::vector<Cell>>;

std::string Shortest(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

class Workbooks : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-workbook-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        GDALAllRegister();
    }
    void TearDown() override { fs::remove_all(dir); }

    // `rows` under a header row `names` as a sheet of a new .xlsx, written by GDAL, and as CSV
    // text; number columns are those of numbers alone. (GDAL writes 15 or 16 digits of a number.)
    void Write(const std::string& stem, const std::vector<std::string>& names, const Rows& rows) {
        std::string csv;
        for (const std::string& n : names) csv += (csv.empty() ? "" : ",") + n;
        csv += '\n';
        for (const auto& row : rows) {
            for (std::size_t k = 0; k < row.size(); ++k) {
                if (k > 0) csv += ',';
                csv += std::holds_alternative<double>(row[k]) ? Shortest(std::get<double>(row[k]))
                                                              : std::get<std::string>(row[k]);
            }
            csv += '\n';
        }
        WriteFile(dir / (stem + ".csv"), csv);
        GDALDriverH driver = GDALGetDriverByName("XLSX");
        ASSERT_NE(driver, nullptr);
        const std::string path = (dir / (stem + ".xlsx")).string();
        GDALDatasetH ds = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
        ASSERT_NE(ds, nullptr);
        OGRLayerH layer = GDALDatasetCreateLayer(ds, "points", nullptr, wkbNone, nullptr);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const bool number = std::all_of(rows.begin(), rows.end(), [k](const auto& row) {
                return std::holds_alternative<double>(row.at(k));
            });
            OGRFieldDefnH f = OGR_Fld_Create(names[k].c_str(), number ? OFTReal : OFTString);
            OGR_L_CreateField(layer, f, TRUE);
            OGR_Fld_Destroy(f);
        }
        for (const auto& row : rows) {
            OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
            for (std::size_t k = 0; k < row.size(); ++k) {
                const int i = static_cast<int>(k);
                if (std::holds_alternative<double>(row[k]))
                    OGR_F_SetFieldDouble(f, i, std::get<double>(row[k]));
                else
                    OGR_F_SetFieldString(f, i, std::get<std::string>(row[k]).c_str());
            }
            ASSERT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
            OGR_F_Destroy(f);
        }
        GDALClose(ds);
    }

    Outcome Run(const std::vector<std::string>& args) {
        return RunBatch(args, dir, "/dev/null", dir / "out.txt", dir / "err.txt");
    }

    // The command on the workbook says what it says on the text, its name for the text's; its
    // exit status.
    int ExpectAlike(std::vector<std::string> args, const std::string& stem) {
        args.push_back(stem + ".csv");
        const Outcome text = Run(args);
        args.back() = stem + ".xlsx";
        const Outcome book = Run(args);
        std::string err = text.err;
        for (std::size_t at = 0; (at = err.find(stem + ".csv", at)) != std::string::npos;)
            err.replace(at, stem.size() + 4, stem + ".xlsx");
        EXPECT_EQ(book.status, text.status) << args[0] << ": " << book.err;
        EXPECT_EQ(book.out, text.out) << args[0];
        EXPECT_EQ(book.err, err) << args[0];
        return book.status;
    }

    fs::path dir;
};

TEST_F(Workbooks, EveryCommandReadsASheetAsItsText) {
    Write("lb", {"name", "L", "B", "H"},
          {{std::string("007"), 116.281234567891, 39.5, 50.25},
           {std::string("P 2"), 117.3, 40.123456789, 61.0},
           {std::string("far"), 125.0, 39.0, 12.0},   // 8° from the meridian
           {std::string("bad"), 117.1, 95.0, 1.0}});  // rejected: beyond the pole
    ExpectAlike({"forward", "--lo", "117", "--header", "--full"}, "lb");
    ExpectAlike({"forward", "--zone", "3", "--header"}, "lb");
    ExpectAlike({"plan", "--header"}, "lb");
    Write("xy", {"name", "X", "Y"},
          {{std::string("A"), 4411235.90965226, 454638.756932231},
           {std::string("B"), 3412568.83266879, 515945.272221922},
           {std::string("C"), std::string("4e6x"), 5e5}});  // not a number: row 4
    ExpectAlike({"inverse", "--lo", "117", "--header", "--full"}, "xy");
    ExpectAlike({"zone", "--lo", "117", "--ls", "120", "--header"}, "xy");
    Rows common;
    for (int i = 0; i < 8; ++i) {
        const double x = 4400000 + 2500.0 * i + 37.25 * (i % 3);
        const double y = 450000 + 1800.0 * ((i * 5) % 8);
        common.push_back({std::string("P") + std::to_string(i), x, y, x + 101.5 + 1e-6 * y,
                          y - 52.25 + 2e-6 * x});
    }
    Write("common", {"name", "X1", "Y1", "X2", "Y2"}, common);
    const std::vector<std::string> fit = {"fit",
                                          "--from",
                                          "plane:krassovsky:117",
                                          "--to",
                                          "plane:cgcs2000:117",
                                          "--model",
                                          "4",
                                          "--header",
                                          "-p",
                                          "p.txt"};
    EXPECT_EQ(ExpectAlike(fit, "common"), 0);
    EXPECT_EQ(ExpectAlike({"transform", "-p", "p.txt", "--header", "--full"}, "common"), 0);
    Rows heights;
    for (int i = 0; i < 6; ++i) {
        heights.push_back({std::string("H") + std::to_string(i), 4400000.0 + 3000 * i,
                           450000.0 + 2000 * ((i * 3) % 6), 60.5 + 0.01 * i, 50.0 + 0.02 * i});
    }
    Write("heights", {"name", "X", "Y", "h", "H"}, heights);
    EXPECT_EQ(ExpectAlike({"height-fit", "--header", "--model", "plane"}, "heights"), 0);
}

TEST_F(Workbooks, MessagesNameTheSheetsRows) {
    const fs::path points = kWorkbooks / "points.xlsx";
    // Row 1 is a header only with --header; row 3 and 5 are empty, P3's L is text.
    Outcome o = Run({"forward", "--lo", "117", points.string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, points.string() + ":1: L: \"L\" is not a number\n3 points, 1 rejected\n");
    // The second sheet starts at row 3 and has three columns: plan needs four.
    o = Run({"plan", "--sheet", "Second", points.string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.find(points.string() + ":3: 3 fields where the plan needs four"), 0u) << o.err;
    // A date is text, which no coordinate reads.
    o = Run({"forward", "--lo", "117", "--header", "--fields", "1,2,4", points.string()});
    EXPECT_NE(o.err.find(points.string() + ":2: B: \"a, \"b\"\" is not a number"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find(points.string() + ":4: B: \"2024/01/01\" is not a number"),
              std::string::npos)
        << o.err;
}

TEST_F(Workbooks, ValuesAsStoredAndTextAsText) {
    const fs::path points = kWorkbooks / "points.xlsx";
    const Outcome o = Run({"forward", "--lo", "117", "--header", "--full", points.string()});
    EXPECT_EQ(o.status, 0) << o.err;
    // The name keeps its zeros; L is the value stored (shown as 116.28), the formula's L its
    // computed value, B all 17 digits; the remark passes through as text.
    WriteFile(dir / "same.csv",
              "点名,L,B,备注\n007,116.2812345678,39.5,\"a, \"\"b\"\"\"\n"
              "P2,116.2912345678,39.45,2024/01/01\nP3,116.3,39.300000000000004,x;y\n");
    const Outcome text = Run({"forward", "--lo", "117", "--header", "--full", "same.csv"});
    EXPECT_EQ(o.out, text.out);
    EXPECT_NE(o.out.find("\n007,116.2812345678,39.5,"), std::string::npos) << o.out;
}

TEST_F(Workbooks, RefusedWithTheExitStatusOfUnreadableInput) {
    const std::string points = (kWorkbooks / "points.xlsx").string();
    const std::string damaged = (kWorkbooks / "damaged.xlsx").string();
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"forward", "--lo", "117", "--sheet", "Third", points},
         points + " has no sheet \"Third\": its sheets are \"点位\", \"Second\""},
        {{"transform", "-p", "p.txt", "--sheet", "Third", points},
         points + " has no sheet \"Third\": its sheets are \"点位\", \"Second\""},
        {{"plan", "--encoding", "gbk", points},
         "--encoding is for text files: " + points +
             " is an Excel workbook, which carries its own encoding; leave --encoding out"},
        {{"inverse", "--lo", "117", damaged},
         "cannot read " + damaged + ": not an Excel workbook, or a damaged or encrypted one"},
        {{"zone", "--lo", "117", "--ls", "120", "--sheet", "A", "-"},
         "--sheet is for Excel workbooks (.xlsx, .xls): standard input is read as text"},
        {{"forward", "--lo", "117", "--sheet="},
         "--sheet: give the name of a sheet of the workbook"},
    };
    for (const auto& c : cases) {
        const Outcome o = Run(c.args);
        EXPECT_EQ(o.status, 2) << c.args[0];
        EXPECT_EQ(o.err.find("quorvel-batch: " + c.err), 0u) << o.err;
    }
    // Piped, a workbook is no text.
    const Outcome piped =
        RunBatch({"forward", "--lo", "117"}, dir, points, dir / "out.txt", dir / "err.txt");
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(piped.err,
              "quorvel-batch: standard input is an Excel workbook, which is read from "
              "its file alone: name the file\n");
    // In Chinese too.
    const Outcome zh = RunBatch({"forward", "--lo", "117", "--sheet", "Third", points}, dir,
                                "/dev/null", dir / "out.txt", dir / "err.txt",
                                EnvironmentIn({"LANG=zh_CN.UTF-8", "LC_ALL=zh_CN.UTF-8"}));
    EXPECT_NE(zh.err.find("中没有工作表 \"Third\"：其工作表为 \"点位\", \"Second\""),
              std::string::npos)
        << zh.err;
}

}  // namespace
}  // namespace quorvel::cli
