// quorvel-batch as built without GDAL's module (the Windows build): linked with a copy of
// src/engine/writers/gis_build.cpp compiled without the module's definition.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/command_line.h"
#include "cli/options.h"
#include "core/errors.h"
#include "engine/reading/point_input.h"
#include "engine/run/job.h"
#include "engine/writers/gdal_writer.h"
#include "engine/writers/output_format.h"

namespace quorvel::cli {
namespace {

using engine::OutputFormat;

std::string RefusalOf(std::vector<std::string_view> args) {
    try {
        ParseArguments(args, /*pdfReports=*/false);
    } catch (const JobRefused& e) {
        return e.what();
    } catch (const UsageError& e) {
        return std::string("usage error: ") + e.what();
    }
    return {};
}

TEST(WithoutGisModule, TheEngineRefusesEveryFormatGdalWrites) {
    ASSERT_FALSE(engine::GisFormatsBuilt());
    engine::Job job;
    job.geodesy.ellipsoid = Cgcs2000();
    for (OutputFormat f :
         {OutputFormat::Dxf, OutputFormat::Gpkg, OutputFormat::Shp, OutputFormat::Kml}) {
        job.format = f;
        const auto r = engine::CheckFormat(job, false);
        ASSERT_TRUE(r.has_value()) << engine::FormatName(f);
        EXPECT_FALSE(r->usage);
        EXPECT_EQ(r->words, "--format " + std::string(engine::FormatName(f)) +
                                ": this build of Quorvel cannot write DXF, GeoPackage, Shapefile "
                                "or KML (there is no GDAL for it): write csv or dat");
    }
    for (OutputFormat f : {OutputFormat::Csv, OutputFormat::Dat}) {
        job.format = f;
        EXPECT_EQ(engine::CheckFormat(job, false), std::nullopt);
    }
}

TEST(WithoutGisModule, FormatOptionAndEndingAreRefusedAlike) {
    const std::string byOption =
        RefusalOf({"forward", "--lo", "117", "--format", "GPKG", "-o", "out.gpkg"});
    EXPECT_EQ(byOption.find("--format gpkg: this build of Quorvel cannot write"), 0u) << byOption;
    const std::string byEnding = RefusalOf({"forward", "--lo", "117", "-o", "points.shp"});
    EXPECT_EQ(byEnding.find("-o \"points.shp\" ends in .shp, which names the format: --format shp: "
                            "this build of Quorvel cannot write"),
              0u)
        << byEnding;
    EXPECT_EQ(RefusalOf({"forward", "--lo", "117", "-o", "points.dat"}), "");
}

TEST(WithoutGisModule, WorkbooksAreRefusedByEveryCommandAndThePreview) {
    const std::string points = QUORVEL_FIXTURES_DIR "/workbooks/points.xlsx";
    const std::string why = "cannot read " + points +
                            ": this build cannot read Excel workbooks; save the sheet as CSV "
                            "(UTF-8) and read that";
    const std::vector<std::vector<std::string_view>> commands = {
        {"forward", "--lo", "117", points},
        {"plan", points},
        {"transform", "-p", "none.txt", points},
        {"fit", "--from", "plane:krassovsky:117", "--to", "plane:cgcs2000:117", "--sheet", "A",
         points}};
    for (const auto& args : commands) {
        std::ostringstream out, err;
        const Environment env{0, 1, out, err, false, {}};
        EXPECT_EQ(RunCommand(args, env), 2) << args[0];
        EXPECT_EQ(err.str(), "quorvel-batch: " + why + "\n") << args[0];
        EXPECT_EQ(out.str(), "");
    }
    EXPECT_THROW(engine::WorkbookSheets(points), IoError);
    try {
        engine::ReadInputHead({points, {}, {}}, false, 10);
        ADD_FAILURE() << "a preview of a workbook";
    } catch (const IoError& e) {
        EXPECT_EQ(e.what(), why);
    }
    // Text is read as ever.
    engine::PointInput text;
    EXPECT_EQ(text.Open({QUORVEL_FIXTURES_DIR "/forward.csv", {}, {}}, -1), "");
}

TEST(WithoutGisModule, HelpOffersOnlyCsvAndDat) {
    const std::string help = HelpText();
    EXPECT_EQ(help.find("gpkg or shp"), std::string::npos);
    EXPECT_EQ(help.find("-p PARAMS      --format kml"), std::string::npos);
    EXPECT_NE(help.find("This build cannot write dxf, gpkg, shp or kml"), std::string::npos);
    EXPECT_NE(help.find("--format F     csv (default); dat"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::cli
