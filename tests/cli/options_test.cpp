#include "cli/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/packed_angle.h"

namespace quorvel::cli {
namespace {

using namespace engine;

Options Parse(std::vector<std::string_view> args, bool pdf = true) {
    return ParseArguments(args, pdf);
}

// The message of the usage error the arguments give; empty when they parse.
std::string UsageErrorOf(std::vector<std::string_view> args, bool pdf = true) {
    try {
        Parse(args, pdf);
    } catch (const UsageError& e) {
        return e.what();
    }
    return {};
}

TEST(ParseArguments, ModesMeridiansAndDefaults) {
    Options o = Parse({"forward", "--lo", "117.3"});
    EXPECT_EQ(o.action, Options::Action::Run);
    EXPECT_EQ(o.mode, Computation::Forward);
    EXPECT_EQ(o.loText, "117.3");
    EXPECT_EQ(o.meridians.lo, 117.5);  // packed degrees: 117°30′
    EXPECT_EQ(o.input, "-");
    EXPECT_TRUE(o.output.empty());
    EXPECT_EQ(o.reportKind, ReportKind::None);
    EXPECT_FALSE(o.full);
    EXPECT_FALSE(o.header);

    o = Parse({"zone", "--lo=117", "--ls", "120.3045", "pts.csv"});
    EXPECT_EQ(o.mode, Computation::Zone);
    EXPECT_EQ(o.meridians.lo, 117);
    EXPECT_EQ(o.meridians.ls, DecodePackedAngle(120.3045));
    EXPECT_EQ(o.lsText, "120.3045");
    EXPECT_EQ(o.input, "pts.csv");

    o = Parse({"inverse", "--lo", "-117", "-o", "out.csv", "--full", "--header", "-"});
    EXPECT_EQ(o.mode, Computation::Inverse);
    EXPECT_EQ(o.meridians.lo, -117);  // a value that looks like an option is still the value
    EXPECT_EQ(o.output, "out.csv");
    EXPECT_TRUE(o.full);
    EXPECT_TRUE(o.header);
    EXPECT_EQ(o.input, "-");

    EXPECT_EQ(Parse({"--lo", "117", "forward", "-oout.csv"}).output, "out.csv");
    EXPECT_EQ(Parse({"forward", "--lo", "117", "-o", "-"}).output, "");  // standard output
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--", "--odd-name.csv"}).input, "--odd-name.csv");
    EXPECT_EQ(Parse({"forward", "--lo", " 117 "}).meridians.lo, 117);
}

TEST(ParseArguments, ReportKindFollowsTheExtension) {
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--report", "r.txt"}).reportKind, ReportKind::Text);
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--report", "R.TXT"}).reportKind, ReportKind::Text);
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--report=r.Pdf"}).reportKind, ReportKind::Pdf);
    EXPECT_NE(UsageErrorOf({"forward", "--lo", "117", "--report", "r.csv"}), "");
    EXPECT_NE(UsageErrorOf({"forward", "--lo", "117", "--report", "pdf"}), "");
    // A build without the PDF writer refuses PDF reports up front.
    EXPECT_NE(UsageErrorOf({"forward", "--lo", "117", "--report", "r.pdf"}, false).find(".txt"),
              std::string::npos);
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--report", "r.txt"}, false).reportKind,
              ReportKind::Text);
}

TEST(ParseArguments, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(Parse({"--help"}).action, Options::Action::Help);
    EXPECT_EQ(Parse({"bogus", "-h"}).action, Options::Action::Help);
    EXPECT_EQ(Parse({"forward", "--version"}).action, Options::Action::Version);
    EXPECT_EQ(Parse({"forward", "--list-ellipsoids"}).action, Options::Action::ListEllipsoids);
    EXPECT_EQ(Parse({"forward", "--lo", "117", "--", "--help"}).action, Options::Action::Run);
}

TEST(ParseArguments, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string_view> args;
        std::string_view says;
    };
    const Case cases[] = {
        {{}, "no mode"},
        {{"--lo", "117"}, "no mode"},
        {{"sideways", "--lo", "117"}, "unknown mode \"sideways\""},
        {{"forward"}, "--lo is required"},
        {{"forward", "--lo"}, "--lo needs a value"},
        {{"forward", "--lo", "abc"}, "--lo: \"abc\" is not a number"},
        {{"forward", "--lo", ""}, "--lo: \"\" is not a number"},
        {{"forward", "--lo", "1e999"}, "--lo: \"1e999\" is out of range"},
        {{"forward", "--lo", "117", "--lo", "118"}, "--lo given twice"},
        {{"zone", "--lo", "117"}, "zone needs --ls"},
        {{"zone", "--lo", "117", "--ls", "x"}, "--ls: \"x\" is not a number"},
        {{"forward", "--lo", "117", "--ls", "120"}, "--ls belongs to the zone mode"},
        {{"forward", "--lo", "117", "--fast"}, "unknown option --fast"},
        {{"forward", "--lo", "117", "--lon", "1"}, "unknown option --lon"},
        {{"forward", "--lo", "117", "-o"}, "-o needs a value"},
        {{"forward", "--lo", "117", "-o", ""}, "-o needs a file name"},
        {{"forward", "--lo", "117", "--full", "--full"}, "--full given twice"},
        {{"forward", "--lo", "117", "a.csv", "b.csv"}, "more than one input file"},
        {{"forward", "--lo", "117", ""}, "empty input file name"},
        {{"forward", "--lo", "117", "-o", "x.txt", "--report", "./x.txt"}, "the same file"},
        {{"forward", "--lo", "117", "--ellipsoid", "bessel"},
         "--ellipsoid: \"bessel\" is not krassovsky, xian80, cgcs2000, wgs84 or A,RF"},
        {{"forward", "--lo", "117", "--ellipsoid", "6378137,1"}, "is no Earth ellipsoid"},
        {{"forward", "--lo", "117", "--ellipsoid", "cgcs2000"}, "use --method exact"},
        {{"forward", "--lo", "117", "--method", "fast"}, "--method: \"fast\" is not"},
        {{"forward", "--lo", "117", "--method", "exact", "--compare"}, "leave out --method exact"},
        {{"forward", "--lo", "117", "--k0", "0.8"}, "--k0: \"0.8\" is not between 0.9 and 1.1"},
        {{"forward", "--lo", "117", "--false-easting", "2e9"}, "is beyond 1000000000 m"},
        {{"forward", "--zone", "4"}, "--zone: \"4\" is not 3 or 6"},
        {{"forward", "--zone", "6", "--lo", "117"}, "--lo and --zone"},
        {{"inverse", "--lo", "117", "--zone-prefix"}, "--zone-prefix needs --zone"},
        {{"zone", "--zone", "6", "--ls", "120"}, "not the central meridian of a 6 deg zone"},
        {{"zone", "--zone", "3", "--ls", "118"}, "not the central meridian of a 3 deg zone"},
        {{"forward", "--zone", "6", "--report", "r.txt"}, "--report prints the window's"},
        {{"forward", "--lo", "117", "--k0", "0.9996", "--report", "r.txt"}, "--report prints"},
        {{"forward", "--lo", "117", "--scale", "--scale"}, "--scale given twice"},
        {{"inverse", "--lo", "117", "--fields", "1,4,3", "--drop-fields", "4"},
         "--drop-fields: field 4 is the name or one of the values"},
        {{"forward", "--lo", "117", "--drop-fields", "5,x"}, "must be field numbers from 1"},
        {{"forward", "--lo", "117", "--drop-fields", "0"}, "must be field numbers from 1"},
        {{"forward", "--lo", "117", "--drop-fields", "6,5,6"}, "names a field twice"},
        // The first part that fails says why: a field of the point before a part that is none.
        {{"forward", "--lo", "117", "--drop-fields", "2,x"},
         "--drop-fields: field 2 is the name or one of the values"},
        {{"forward", "--lo", "117", "--drop-fields", "x,2"}, "must be field numbers from 1"},
        {{"forward", "--lo", "117", "--drop-fields", "4,"}, "must be field numbers from 1"},
        {{"forward", "--lo", "117", "--drop-fields", "1001"}, "must be field numbers from 1"},
        {{"forward", "--lo", "117", "--fields", "1,2,3,4"}, "must be three field numbers"},
        {{"forward", "--lo", "117", "--fields", "1,2"}, "must be three field numbers"},
        {{"forward", "--lo", "117", "--fields", "1,2,1001"}, "must be three field numbers"},
        {{"forward", "--lo", "117", "--format", "xls"},
         "--format: \"xls\" is not csv, dat, dxf, gpkg, shp or kml"},
        {{"forward", "--lo", "117", "--format", "gpkg"}, "not standard output: give -o FILE"},
        {{"forward", "--lo", "117", "--format", "shp", "-o", "pts"}, "must name a .shp file"},
        {{"inverse", "--lo", "117", "--format", "dat"}, "--format dat holds plane coordinates"},
        {{"inverse", "--lo", "117", "--format", "dxf", "-o", "x.dxf"}, "inverse computes L, B"},
        {{"forward", "--lo", "117", "--format", "dat", "--bom"}, "--bom belongs to the CSV"},
        {{"forward", "--lo", "117", "--dat-encoding", "utf-8"},
         "--dat-encoding belongs to the CASS"},
        {{"forward", "--lo", "117", "--format", "dat", "--dat-encoding", "gbk"},
         "--dat-encoding: \"gbk\" is not utf-8 or gb18030"},
        {{"forward", "--lo", "117", "-p", "p.txt", "-o", "x.gpkg", "--format", "gpkg"},
         "-p gives the datum transformation of --format kml"},
        {{"forward", "--lo", "117", "--format", "kml", "-p", "p.txt", "-o", "./p.txt"},
         "-o and -p name the same file"},
        // KML is WGS 84: from Beijing 1954 only through a parameter file.
        {{"forward", "--lo", "117", "--format", "kml", "-o", "x.kml"},
         "points on Beijing 1954 need a datum transformation; give -p PARAMS"},
        {{"inverse", "--lo", "117", "--ellipsoid", "xian80", "--method", "exact", "--format", "kml",
          "-o", "x.kml"},
         "points on Xi'an 1980 need"},
    };
    for (const Case& c : cases) {
        const std::string message = UsageErrorOf(c.args);
        EXPECT_NE(message.find(c.says), std::string::npos)
            << "got \"" << message << "\", want \"" << c.says << "\"";
    }
}

TEST(ParseArguments, GeodesyOptions) {
    Options o = Parse({"forward", "--lo", "117"});
    EXPECT_TRUE(o.geodesy.IsDefault());
    EXPECT_TRUE(Parse({"forward", "--lo", "117", "--method", "classic", "--ellipsoid", "KRASSOVSKY",
                       "--k0", "1", "--false-easting", "500000"})
                    .geodesy.IsDefault());

    o = Parse({"inverse", "--ellipsoid", " 6378140 , 298.257 ", "--method=exact", "--k0", "0.9996",
               "--false-easting", "0", "--zone", "3", "--zone-prefix", "--convergence"});
    EXPECT_FALSE(o.geodesy.IsDefault());
    EXPECT_EQ(o.geodesy.ellipsoid.a, 6378140);
    EXPECT_EQ(o.geodesy.ellipsoid.f, Xian80().f);
    EXPECT_EQ(o.geodesy.method, Method::Exact);
    EXPECT_EQ(o.geodesy.k0, 0.9996);
    EXPECT_EQ(o.geodesy.falseEasting, 0);
    EXPECT_EQ(o.geodesy.zone, ZoneWidth::Three);
    EXPECT_TRUE(o.geodesy.zonePrefix && o.geodesy.convergence);
    EXPECT_FALSE(o.geodesy.scale || o.geodesy.compare);
    EXPECT_FALSE(Parse({"forward", "--lo", "117", "--compare"}).geodesy.IsDefault());

    // Zone mode with --zone: --ls names the target zone, across 0 deg = 360 deg too; without
    // it each point goes into its own zone.
    EXPECT_EQ(Parse({"zone", "--zone", "6", "--ls", "117"}).geodesy.targetZone, 20);
    EXPECT_EQ(Parse({"zone", "--zone", "3", "--ls", "-3"}).geodesy.targetZone, 119);
    EXPECT_EQ(Parse({"zone", "--zone", "3", "--ls", "0"}).geodesy.targetZone, 0);
    EXPECT_EQ(Parse({"zone", "--zone", "3"}).geodesy.targetZone, -1);
}

// The command the results window shows is made from the job and must read back to it, for the
// defaults and for every option a job can hold.
TEST(JobArguments, ParseBackToTheSameJob) {
    const std::vector<std::vector<std::string_view>> commands = {
        {"forward", "--lo", "117"},
        {"inverse", "--lo=-116.3045", "--header", "--bom"},
        {"zone", "--lo", "117", "--ls", "120", "--full", "--fields", "2,4,3", "--decimal-comma"},
        {"forward", "--zone", "3", "--zone-prefix", "--ellipsoid", "cgcs2000", "--method", "exact",
         "--k0", "0.9996", "--false-easting", "250000.5", "--convergence", "--scale"},
        {"zone", "--zone=6", "--ls=117", "--encoding", "GBK", "--ellipsoid", "6378140,298.257",
         "--method=exact"},
        {"inverse", "--lo", "117", "--compare", "--encoding=gb18030"},
        {"inverse", "--lo", "117", "--fields", "1,4,3", "--drop-fields", "7,2", "--header"},
        {"forward", "--lo", "117", "--format", "DAT", "--encoding", "gb18030"},
        {"forward", "--lo", "117", "--format", "dat", "--dat-encoding", "utf8"},
        {"forward", "--lo", "117", "--projection-height", "1720", "--distortion",
         "--distortion-limit", "1.5", "--height-field", "5"},
        {"zone", "--lo", "117", "--ls", "120", "--projection-height=-35.5", "--distortion",
         "--header", "--method", "exact"},
    };
    for (const auto& command : commands) {
        const Job job = Parse(command);
        const std::vector<std::string> args = JobArguments(job);
        const std::vector<std::string_view> views(args.begin(), args.end());
        EXPECT_EQ(static_cast<const Job&>(Parse(views)), job) << command.front();
    }
}

TEST(UsageText, NamesEveryModeAndOption) {
    for (std::string_view word : {"forward", "inverse", "zone", "--lo", "--ls"}) {
        EXPECT_NE(UsageText().find(word), std::string_view::npos) << word;
    }
    for (std::string_view word : {"-o FILE",         "--full",
                                  "--header",        "--report",
                                  "--version",       "--ellipsoid",
                                  "--method",        "--k0",
                                  "--false-easting", "--zone 3|6",
                                  "--zone-prefix",   "--convergence",
                                  "--scale",         "--compare",
                                  "--dat-encoding",  "--projection-height",
                                  "--distortion",    "--distortion-limit",
                                  "--height-field",  "plan"}) {
        EXPECT_NE(HelpText().find(word), std::string_view::npos) << word;
    }
    // Written from the catalogue of ellipsoids, in the words and folds it always had.
    EXPECT_NE(HelpText().find(
                  "change\n"
                  "  --ellipsoid E  krassovsky (default), xian80 (IAG-75), cgcs2000, wgs84, or "
                  "A,RF: the\n"
                  "                 semi-major axis in metres and the inverse flattening\n"
                  "  --method M "),
              std::string_view::npos)
        << HelpText();
}

}  // namespace
}  // namespace quorvel::cli
