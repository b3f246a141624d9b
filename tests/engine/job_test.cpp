// A job's checks say no as values, in the words quorvel-batch shows, and never throw for it.
#include "engine/run/job.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/ellipsoid.h"
#include "engine/writers/output_format.h"

namespace quorvel::engine {
namespace {

// The words of a refusal that must come with the usage text; empty when there is none.
std::string UsageWords(const std::optional<JobRefusal>& r) {
    if (!r) return {};
    EXPECT_TRUE(r->usage) << r->words;
    return r->words;
}

std::optional<JobRefusal> Meridians(Job& job, std::optional<std::string> lo,
                                    std::optional<std::string> ls = std::nullopt) {
    std::vector<Diagnostic> warnings;
    return SetMeridians(job, lo, ls, warnings);
}

TEST(SetMeridians, RefusesWhatTheCommandLineRefusesAndKeepsWhatItTakes) {
    Job job;
    EXPECT_EQ(UsageWords(Meridians(job, std::nullopt)), "--lo is required, or --zone 3|6");
    EXPECT_EQ(UsageWords(Meridians(job, "abc")), "--lo: \"abc\" is not a number");
    EXPECT_EQ(UsageWords(Meridians(job, "1e999")), "--lo: \"1e999\" is out of range");
    EXPECT_EQ(UsageWords(Meridians(job, "360.0001")),
              "--lo: \"360.0001\" is beyond -360 to 360 degrees");
    EXPECT_EQ(UsageWords(Meridians(job, "117", "120")), "--ls belongs to the zone mode only");
    // The edge itself is a meridian; packed degrees decode as the window's.
    EXPECT_EQ(Meridians(job, "-360"), std::nullopt);
    EXPECT_EQ(Meridians(job, "117.3"), std::nullopt);
    EXPECT_DOUBLE_EQ(job.meridians.lo, 117.5);
    EXPECT_EQ(job.loText, "117.3");

    job.mode = Computation::Zone;
    EXPECT_EQ(UsageWords(Meridians(job, "117")),
              "zone needs --ls, the central meridian after the change");
    EXPECT_EQ(UsageWords(Meridians(job, "117", "x")), "--ls: \"x\" is not a number");
    job.geodesy.zone = ZoneWidth::Three;
    EXPECT_EQ(UsageWords(Meridians(job, "117", "120")),
              "--lo and --zone both give the central meridian: give one of them");
    EXPECT_EQ(UsageWords(Meridians(job, std::nullopt, "118")),
              "--ls: \"118\" is not the central meridian of a 3 deg zone (a multiple of 3)");
    EXPECT_EQ(Meridians(job, std::nullopt, "117"), std::nullopt);
    EXPECT_EQ(job.geodesy.targetZone, 39);
    // Without Ls each point goes into the zone of its own longitude.
    EXPECT_EQ(Meridians(job, std::nullopt), std::nullopt);
    EXPECT_EQ(job.geodesy.targetZone, -1);
}

TEST(SetMeridians, APackedAngleWithSixtyMinutesIsAWarningNotARefusal) {
    Job job;
    std::vector<Diagnostic> warnings;
    EXPECT_EQ(SetMeridians(job, std::string("117.60"), std::nullopt, warnings), std::nullopt);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].problem, Problem::SettingExcess);
    EXPECT_EQ(warnings[0].text2, "--lo");
}

TEST(CheckJob, RefusesSettingsThatDoNotGoTogetherAtTheirEdges) {
    Job job;
    EXPECT_EQ(CheckJob(job), std::nullopt);
    job.geodesy.k0 = 0.9;
    job.geodesy.falseEasting = -1e9;
    EXPECT_EQ(CheckJob(job), std::nullopt);
    job.geodesy.k0 = 0.8999;
    EXPECT_EQ(UsageWords(CheckJob(job)), "--k0: 0.8999 is not between 0.9 and 1.1");
    job.geodesy.k0 = 1;
    job.geodesy.falseEasting = 1000000001;
    EXPECT_EQ(UsageWords(CheckJob(job)), "--false-easting: 1000000001 is beyond 1000000000 m");
    job.geodesy.falseEasting = FalseEasting;
    job.geodesy.zonePrefix = true;
    EXPECT_EQ(UsageWords(CheckJob(job)),
              "--zone-prefix needs --zone 3 or --zone 6, the width of the zones");
    job.geodesy.zonePrefix = false;
    job.geodesy.ellipsoid = Cgcs2000();
    EXPECT_NE(UsageWords(CheckJob(job)).find("use --method exact with --ellipsoid cgcs2000"),
              std::string::npos);
    job.geodesy.method = Method::Exact;
    EXPECT_EQ(CheckJob(job), std::nullopt);
    job.geodesy.compare = true;
    EXPECT_NE(UsageWords(CheckJob(job)).find("--compare compares"), std::string::npos);
}

TEST(CheckFormat, WhatTheOutputCannotHoldIsARefusalWithoutTheUsage) {
    Job job;
    job.mode = Computation::Inverse;
    job.format = OutputFormat::Dat;
    std::optional<JobRefusal> r = CheckFormat(job, false);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->usage);
    EXPECT_EQ(r->words.rfind("--format dat holds plane coordinates", 0), 0u) << r->words;
    job.format = OutputFormat::Gpkg;
    EXPECT_EQ(CheckFormat(job, false), std::nullopt);

    // KML from Beijing 1954 needs a datum transformation; given one, it may be written.
    job.format = OutputFormat::Kml;
    r = CheckFormat(job, false);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->usage);
    EXPECT_NE(r->words.find("Beijing 1954"), std::string::npos) << r->words;
    EXPECT_EQ(CheckFormat(job, true), std::nullopt);
    job.geodesy.ellipsoid = Cgcs2000();
    EXPECT_EQ(CheckFormat(job, false), std::nullopt);

    // Mistyped combinations come with the usage.
    EXPECT_NE(UsageWords(CheckFormat(Job{}, true)).find("-p gives the datum transformation"),
              std::string::npos);
    Job marked;
    marked.bom = true;
    marked.format = OutputFormat::Dxf;
    EXPECT_NE(UsageWords(CheckFormat(marked, false)).find("--bom belongs"), std::string::npos);
}

TEST(ReadEncodingAndParseFormat, NamesInAnyCaseAndARefusalLeavesTheSettingAlone) {
    std::string iconvName = "GBK";
    EXPECT_EQ(ReadEncoding("UTF8", iconvName), std::nullopt);
    EXPECT_EQ(iconvName, "");
    EXPECT_EQ(ReadEncoding("Cp936", iconvName), std::nullopt);
    EXPECT_EQ(iconvName, "GBK");
    EXPECT_EQ(ReadEncoding("gb18030", iconvName), std::nullopt);
    EXPECT_EQ(iconvName, "GB18030");
    EXPECT_EQ(UsageWords(ReadEncoding("latin1", iconvName)),
              "--encoding: \"latin1\" is not one of utf-8, gb18030, gbk");
    EXPECT_EQ(iconvName, "GB18030");

    OutputFormat format = OutputFormat::Csv;
    EXPECT_EQ(ParseFormat("GPKG", format), std::nullopt);
    EXPECT_EQ(format, OutputFormat::Gpkg);
    EXPECT_EQ(UsageWords(ParseFormat("xls", format)),
              "--format: \"xls\" is not csv, dat, dxf, gpkg, shp or kml");
    EXPECT_EQ(format, OutputFormat::Gpkg);
}

}  // namespace
}  // namespace quorvel::engine
