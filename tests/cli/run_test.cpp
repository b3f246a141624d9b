#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "batch/batch.h"
#include "batch/scripted_io.h"
#include "cli/command.h"
#include "core/gauss_kruger.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "csv_fixture.h"

namespace quorvel::cli {
namespace {

using namespace engine;

using Row = std::vector<std::string>;

// An independent RFC 4180 reader for what the program writes: CRLF records, quoted fields.
std::vector<Row> ReadCsv(const std::string& text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(field.empty() && row.empty()) << "output does not end in CRLF";
    return rows;
}

struct Processed {
    RunCounts counts;
    std::string out;
    std::vector<Row> rows;  // without the header
    std::string err;
    ReportData report;
};

Processed Process(std::vector<std::string_view> args, std::string input, bool report = false,
                  std::size_t chunk = 1 << 20, int threads = 1, std::size_t chunkBytes = 0) {
    Options o = ParseArguments(args, true);
    o.threads = threads;
    if (chunkBytes > 0) o.chunkBytes = chunkBytes;
    StringSource source(std::move(input), chunk);
    StringSink sink;
    OutputBuffer out(sink, 64);
    std::ostringstream err;
    Processed p;
    ReportSpool spool;
    p.counts = ProcessPoints(o, source, "pts.csv", out, err, report ? &spool : nullptr);
    if (report) p.report.rows = spool.ReadAll();
    p.out = sink.text;
    p.err = err.str();
    std::vector<Row> all = ReadCsv(sink.text);
    EXPECT_FALSE(all.empty());
    if (!all.empty()) p.rows.assign(all.begin() + 1, all.end());
    return p;
}

TEST(ProcessPoints, WritesTheHeaderAndOneRowPerPointAsTheWindowShowsIt) {
    Processed p = Process({"forward", "--lo", "117"},
                          "P1,116.3045,30.3030\nP2 117.2930 30.3030\n  P3\t120\t40  \n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,L,B,X,Y");
    EXPECT_EQ(p.rows,
              (std::vector<Row>{{"P1", "116.3045", "30.3030", "3376626.6403", "453203.4506"},
                                {"P2", "117.2930", "30.3030", "3376628.3754", "547196.5246"},
                                {"P3", "120", "40", "4433921.0036", "756206.4161"}}));
    EXPECT_EQ(p.counts.points, 3u);
    EXPECT_EQ(p.counts.rejected, 0u);
    EXPECT_EQ(p.err, "");

    p = Process({"inverse", "--lo", "117"}, "a,3380000,612345.678\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,X,Y,L,B");
    EXPECT_EQ(
        p.rows,
        (std::vector<Row>{{"a", "3380000", "612345.678", "118.1014280635", "30.3203887185"}}));

    p = Process({"zone", "--lo", "117", "--ls", "118"},
                "1,3380000,612345.678\n2,3380000,387654.322\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,X1,Y1,X2,Y2");
    EXPECT_EQ(p.rows,
              (std::vector<Row>{{"1", "3380000", "612345.678", "3379429.2471", "516375.1515"},
                                {"2", "3380000", "387654.322", "3381422.4089", "291667.1158"}}));
}

TEST(ProcessPoints, EmptyInputGivesTheHeaderAlone) {
    for (const char* input : {"", "\n\n", "# nothing\r\n", "\xEF\xBB\xBF"}) {
        const Processed p = Process({"zone", "--lo", "117", "--ls", "120"}, input);
        EXPECT_EQ(p.out, "name,X1,Y1,X2,Y2\r\n");
        EXPECT_EQ(p.counts.points, 0u);
        EXPECT_EQ(p.counts.rejected, 0u);
    }
}

TEST(ProcessPoints, CrlfAndAByteOrderMarkChangeNothing) {
    const std::string plain = "# batch 7\nP1,116.3045,30.3030\n\n\"P 2\" 117.2930 30.3030\n";
    std::string windows = "\xEF\xBB\xBF";
    for (char c : plain) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const Processed a = Process({"forward", "--lo", "117"}, plain);
    for (std::size_t chunk : {1u, 5u, 1u << 20}) {
        const Processed b = Process({"forward", "--lo", "117"}, windows, false, chunk);
        EXPECT_EQ(a.out, b.out) << chunk;
        EXPECT_EQ(b.counts.points, 2u);
    }
}

TEST(ProcessPoints, RejectedLinesAreNamedByLineAndFieldAndTheRunGoesOn) {
    const std::string input =
        "# points\r\n"                    // 1
        "P1,116.3045,30.3030,h\r\n"       // 2
        "P2,abc,30.3030\r\n"              // 3
        "\r\n"                            // 4
        "P3,116.3045,\r\n"                // 5
        "P4,116.3045\r\n"                 // 6
        "P5,116.3045,30.3030,9\r\n"       // 7
        "P6,1e999,30\r\n"                 // 8
        "\"P7,116.3045,30.3030\r\n"       // 9
        "P8,\"116\"x,30\r\n"              // 10
        "P\xB5\xE3,116.3045,30.3030\r\n"  // 11
        "P10,1e300,30\r\n"                // 12
        "P11 116.3045 3O.3030\r\n"        // 13
        "P12,116\"3,30\r\n"               // 14
        "P13,117,30\r\n"                  // 15
        "P14,162.0001,30\r\n"             // 16
        "P15,117,-90.0001\r\n"            // 17
        "P16,72,89\r\n";                  // 18
    const Processed p = Process({"forward", "--lo", "117"}, input);
    EXPECT_EQ(p.err,
              "pts.csv:3: L: \"abc\" is not a number\n"
              "pts.csv:5: B: empty, not a number\n"
              "pts.csv:6: expected at least 3 fields (name, L, B), found 2\n"
              "pts.csv:8: L: \"1e999\" is out of range\n"
              "pts.csv:9: name: the quote is not closed on this line\n"
              "pts.csv:10: L: text after the closing quote\n"
              "pts.csv:11: not UTF-8 text (byte 2); save the file as UTF-8, or use --encoding "
              "gb18030 for a file saved by a Chinese Windows program\n"
              "pts.csv:12: L: \"1e300\" lies 1e+300° from the central meridian 117: at most 45 "
              "degrees\n"
              "pts.csv:13: B: \"3O.3030\" is not a number: character 2 is \"O\"\n"
              "pts.csv:14: L: a quote inside an unquoted field (quote the whole field and double "
              "the quote)\n"
              "pts.csv:16: L: \"162.0001\" lies 45°00′01″ from the central meridian 117: at most "
              "45 degrees\n"
              "pts.csv:17: B: \"-90.0001\" is beyond the pole: |B| is at most 90 degrees\n"
              "pts.csv:18: L \"72\", B \"89\": the point lies 45°00′00″ from the central "
              "meridian 117, beyond 35 degrees, where the classic series cannot be checked "
              "against the exact transverse Mercator and --method exact has no result either\n");
    ASSERT_EQ(p.rows.size(), 3u);
    EXPECT_EQ(p.rows[0][0], "P1");
    EXPECT_EQ(p.rows[1], (Row{"P5", "116.3045", "30.3030", "3376626.6403", "453203.4506", "9"}));
    EXPECT_EQ(p.rows[2][0], "P13");
    EXPECT_EQ(p.counts.points, 3u);
    EXPECT_EQ(p.counts.rejected, 13u);
}

TEST(ProcessPoints, PlaneValuesBeyondThePoleOrWithAZoneNumberAreRejected) {
    const std::string input =
        "a,10002000.1,500000\n"
        "b,-3380000,1500000\n"
        "c,3380000,38500000.5\n"
        "d,-10002000,499999.9\n"
        "e,0,1e300\n";
    std::string expected =
        "pts.csv:1: X: \"10002000.1\" is beyond the pole: |X| is at most 10002000 m\n"
        "pts.csv:2: Y: \"1500000\" is 1000000 m from the central meridian: |Y - 500000| must be "
        "below 1000000 m; the easting looks like it carries a zone number (1 in front of "
        "500000); give it without, with the zone's central meridian\n"
        "pts.csv:3: Y: \"38500000.5\" is 38000000.5 m from the central meridian: |Y - 500000| "
        "must be below 1000000 m; the easting looks like it carries a zone number (38 in front "
        "of 500000); give it without, with the zone's central meridian\n";
    for (const char* mode : {"inverse", "zone"}) {
        std::vector<std::string_view> args = {mode, "--lo", "117"};
        if (mode == std::string("zone")) args.insert(args.end(), {"--ls", "120"});
        const Processed p = Process(args, input);
        if (mode == std::string("zone")) {  // the zone's columns are X1, Y1
            for (const char* field : {"1: X", "2: Y", "3: Y"}) {
                expected.insert(expected.find(field) + 4, "1");
            }
        }
        EXPECT_EQ(p.err.substr(0, expected.size()), expected) << mode;
        EXPECT_NE(p.err.find(":5: Y" + std::string(mode == std::string("zone") ? "1" : "") +
                             ": \"1e300\" is 1e+300 m from the central meridian: |Y - 500000| "
                             "must be below 1000000 m\n"),
                  std::string::npos)
            << p.err;
        ASSERT_EQ(p.rows.size(), 1u) << mode;
        EXPECT_EQ(p.rows[0][0], "d");
    }
}

// The checks of an easting apply to it less the false easting, after the zone number in front is
// taken off.
TEST(ProcessPoints, EastingLimitsAfterTheZoneNumberAndTheFalseEasting) {
    struct Case {
        std::vector<std::string_view> args;
        const char* input;
        const char* says;  // empty: accepted
    };
    const Case cases[] = {
        {{"inverse", "--lo", "117", "--false-easting", "0"},
         "a,3380000,-999999.9\n",
         "Y \"-999999.9\": the classic series are 2.81 m off"},
        {{"inverse", "--lo", "117", "--false-easting", "0"},
         "a,3380000,1000000\n",
         "Y: \"1000000\" is 1000000 m from the central meridian: |Y - 0| must be below"},
        {{"zone", "--lo", "117", "--ls", "120", "--false-easting", "-250000.5"},
         "a,3380000,750000\n",
         "Y1: \"750000\" is 1000000.5 m"},
        {{"inverse", "--zone", "6"}, "a,3380000,20999999.9\n", ""},
        {{"inverse", "--zone", "6"},
         "a,3380000,500000\n",
         "Y: \"500000\" carries no zone number of a 6 deg zone in front (1 to 60"},
        {{"zone", "--zone", "6"}, "a,3380000,60999999\n", ""},
        {{"zone", "--zone", "6"}, "a,3380000,61000000\n", "no zone number of a 6 deg zone"},
        {{"inverse", "--zone", "3", "--false-easting", "0"}, "a,3380000,39499999\n", ""},
        {{"inverse", "--zone", "3"}, "a,3380000,612345\n", "no zone number of a 3 deg zone"},
        {{"inverse", "--zone", "3"}, "a,3380000,120412345\n", ""},
        {{"inverse", "--zone", "3", "--false-easting", "0"},
         "a,10002000.1,39000000\n",
         "X: \"10002000.1\" is beyond the pole"},
        {{"forward", "--zone", "3"}, "a,-360,30\n", ""},
        {{"forward", "--zone", "3"}, "a,360.0001,30\n", "L: \"360.0001\" is beyond -360 to 360"},
        {{"forward", "--lo", "117", "--method", "exact"}, "a,152,30\n", ""},
        {{"forward", "--lo", "117", "--method", "exact"},
         "a,152.0001,30\n",
         "at most 35 degrees with --method exact"},
        {{"inverse", "--lo", "117", "--method", "exact"},
         "a,9000000,1490000\n",
         "X \"9000000\", Y \"1490000\": the point lies 44°52′56″ from the central meridian 117: "
         "at most 35 degrees with --method exact\n"},
    };
    for (const Case& c : cases) {
        const Processed p = Process(c.args, c.input);
        EXPECT_EQ(p.counts.rejected, *c.says == 0 ? 0u : 1u) << c.input << p.err;
        EXPECT_NE(p.err.find(c.says), std::string::npos) << p.err;
    }
}

// −179° lies 1° east of the meridian 180°, as 181° does and as 1° lies east of 0°.
TEST(ProcessPoints, LongitudeOffsetsAreTakenModulo360) {
    for (const char* method : {"classic", "exact"}) {
        const Processed p =
            Process({"forward", "--lo", "180", "--method", method}, "a,-179,30\nb,181,30\n");
        const Processed q = Process({"forward", "--lo", "0", "--method", method}, "c,1,30\n");
        ASSERT_EQ(p.rows.size(), 2u) << p.err;
        ASSERT_EQ(q.rows.size(), 1u) << q.err;
        for (const Row& row : {p.rows[1], q.rows[0]}) {
            EXPECT_EQ(row[3], p.rows[0][3]) << method;
            EXPECT_EQ(row[4], p.rows[0][4]) << method;
        }
    }
}

// Eastings that carry the zone number of --lo's own 3° or 6° zone are read without it, and
// counted; the number of another zone is refused.
TEST(ProcessPoints, EastingsWithTheMeridiansOwnZoneNumberAreReadAndCounted) {
    const std::string input =
        "a,3380000,512345.678\nb,3380000,39512345.678\nc,3380000,20512345.678\n"
        "d,3380000,38512345.678\n";
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"inverse", "--lo", "117"},
             {"zone", "--lo", "117", "--ls", "120"},
             {"zone", "--lo", "117", "--ls", "114", "--method", "exact"}}) {
        const Processed p = Process(args, input);
        EXPECT_EQ(p.counts.rejected, 1u) << p.err;
        EXPECT_EQ(p.counts.zoneNumbersTakenOff, 2u) << args[0];
        ASSERT_EQ(p.rows.size(), 3u) << p.err;
        for (std::size_t i : {1, 2}) {
            EXPECT_EQ(p.rows[i][3], p.rows[0][3]) << args[0] << ' ' << i;
            EXPECT_EQ(p.rows[i][4], p.rows[0][4]) << args[0] << ' ' << i;
        }
        EXPECT_NE(p.err.find("pts.csv:4: Y"), std::string::npos) << p.err;
        EXPECT_NE(p.err.find("carries a zone number (38 in front"), std::string::npos) << p.err;
    }
    EXPECT_EQ(SummaryText({3, 1, 2}),
              "3 points, 1 rejected, 2 eastings with the zone number of the central meridian "
              "taken off");
}

// γ and k are the core's at the point; the zone column is the zone of the point's longitude.
TEST(ProcessPoints, ConvergenceScaleAndZoneColumns) {
    const Processed f = Process({"forward", "--zone", "6", "--method", "exact", "--ellipsoid",
                                 "wgs84", "--k0", "0.9996", "--convergence", "--scale"},
                                "P,119.3,40.15\n");
    EXPECT_NE(f.out.find("name,L,B,X,Y,zone,gamma,k\r\n"), std::string::npos) << f.out;
    ASSERT_EQ(f.rows.size(), 1u);
    ASSERT_EQ(f.rows[0].size(), 8u);
    const GridPoint g = GaussKruger(Method::Exact, Wgs84(), 0.9996)
                            .Forward(40.25, 119.5, 117, Extras::ConvergenceAndScale);
    EXPECT_EQ(f.rows[0][5], "20");
    EXPECT_NEAR(DecodePackedAngle(ParseNumber(f.rows[0][6])), g.Convergence, 0.005 / 3600);
    EXPECT_EQ(f.rows[0][6].size(), std::string("1.354321").size());
    EXPECT_NEAR(ParseNumber(f.rows[0][7]), g.Scale, 0.51e-10);
    EXPECT_EQ(f.rows[0][7].size(), std::string("0.9996123456").size());

    // Classic inverse: γ and k at the point it computed.
    const Processed i = Process({"inverse", "--lo", "117", "--scale", "--convergence", "--full"},
                                "P,3380000,612345.678\n");
    ASSERT_EQ(i.rows.size(), 1u);
    const GeoPoint q = GaussKruger(Method::Classic).Inverse(3380000, 612345.678, 117);
    const GridPoint at =
        GaussKruger(Method::Exact).Forward(q.B, q.L, 117, Extras::ConvergenceAndScale);
    EXPECT_EQ(i.rows[0][5], ShortestText(DegreesToPacked(at.Convergence)));
    EXPECT_EQ(i.rows[0][6], ShortestText(at.Scale));
}

// Zone transformation with --zone: a point of 6 deg zone 21 computed in zone 20 (its overlap)
// goes back to zone 21 by itself, or to the zone --ls names; either is the forward in that zone.
TEST(ProcessPoints, ZoneModeReadsTheZoneNumberAndCarriesToTheTargetZone) {
    const std::vector<std::string_view> exact = {"--method", "exact", "--ellipsoid", "xian80"};
    auto run = [&](std::vector<std::string_view> args, const std::string& input) {
        args.insert(args.end(), exact.begin(), exact.end());
        const Processed p = Process(args, input);
        EXPECT_EQ(p.counts.rejected, 0u) << p.err;
        return p.rows.empty() ? Row() : p.rows[0];
    };
    const Row in20 = run({"forward", "--lo", "117"}, "P,120.1,35\n");
    const std::string prefixed = "P," + in20[3] + ",20" + in20[4] + "\n";
    const Row own = run({"zone", "--zone", "6"}, prefixed);
    const Row in21 = run({"forward", "--zone", "6"}, "P,120.1,35\n");
    EXPECT_EQ(own[5], "21");
    EXPECT_EQ(in21[5], "21");
    EXPECT_NEAR(ParseNumber(own[3]), ParseNumber(in21[3]), 0.00011);
    EXPECT_NEAR(ParseNumber(own[4]), ParseNumber(in21[4]), 0.00011);
    const Row back = run({"zone", "--zone", "6", "--ls", "117", "--zone-prefix"},
                         "P," + own[3] + ",21" + own[4] + "\n");
    EXPECT_EQ(back.size(), 5u);  // no zone column: the number is in front
    EXPECT_NEAR(ParseNumber(back[3]), ParseNumber(in20[3]), 0.00011);
    EXPECT_NEAR(ParseNumber(back[4]), 20e6 + ParseNumber(in20[4]), 0.00011);

    // Either side of 0°: 3° zone 0 and zone 120, both written as 120, stay where they are.
    for (const char* L : {"0.3", "-0.3"}) {
        const Row f =
            run({"forward", "--zone", "3", "--zone-prefix"}, "P," + std::string(L) + ",35\n");
        ASSERT_EQ(f.size(), 5u);
        EXPECT_EQ(f[4].substr(0, 3), "120") << L;
        const Row z =
            run({"zone", "--zone", "3", "--zone-prefix"}, "P," + f[3] + "," + f[4] + "\n");
        ASSERT_EQ(z.size(), 5u);
        EXPECT_NEAR(ParseNumber(z[3]), ParseNumber(f[3]), 0.00011) << L;
        EXPECT_NEAR(ParseNumber(z[4]), ParseNumber(f[4]), 0.00011) << L;
    }
}

TEST(ProcessPoints, WarningsListTheFirstTenLinesOfAKindThenCount) {
    std::string input;
    for (int i = 0; i < 12; ++i) input += "P" + std::to_string(i) + ",116.75,30.3030\n";
    input += "Q,116.3045,30.3075\n";
    const Processed p = Process({"forward", "--lo", "117"}, input);
    EXPECT_EQ(p.counts.points, 13u);
    EXPECT_EQ(p.counts.rejected, 0u);
    EXPECT_EQ(p.err.substr(0, p.err.find('\n')),
              "pts.csv:1: warning: L 116.75 has 75 minutes: packed degrees are "
              "degrees.minutes-seconds; is it decimal degrees?");
    EXPECT_EQ(std::count(p.err.begin(), p.err.end(), '\n'), 11);
    EXPECT_EQ(p.err.find("pts.csv:11:"), std::string::npos);
    EXPECT_NE(p.err.find("quorvel-batch: warning: 3 more packed angles with 60 or more minutes "
                         "or seconds\n"),
              std::string::npos)
        << p.err;

    // Classic results more than 1 cm off: each named with its size, then the count and the
    // worst; points off by more than 1 m refused.
    const Processed far = Process({"inverse", "--lo", "117"},
                                  "a,3380000,500000\nb,3380000,850000\nc,3380000,900000\n"
                                  "d,9501750,1420000\n");
    EXPECT_EQ(far.err,
              "pts.csv:2: warning: the classic series are 43 mm off the exact transverse "
              "Mercator here, more than 1 cm (--method exact is accurate to 5 nm)\n"
              "pts.csv:3: warning: the classic series are 73 mm off the exact transverse "
              "Mercator here, more than 1 cm (--method exact is accurate to 5 nm)\n"
              "pts.csv:4: X \"9501750\", Y \"1420000\": the point lies 61°33′55″ from the "
              "central meridian 117, beyond 35 degrees, where the classic series cannot be "
              "checked against the exact transverse Mercator and --method exact has no result "
              "either\n"
              "quorvel-batch: warning: 2 points were computed more than 1 cm off the exact "
              "transverse Mercator, the worst 73 mm (line 3): --method exact computes them to "
              "5 nm\n");
    EXPECT_EQ(far.counts.rejected, 1u);

    // Zone: the target meridian counts too; a point 180° from it has no exact counterpart.
    const Processed zone =
        Process({"zone", "--lo", "117", "--ls", "297"}, "a,3380000,500000\nA,3380000,612345.678\n");
    EXPECT_NE(zone.err.find("pts.csv:2: X1 \"3380000\", Y1 \"612345.678\": the point lies "
                            "178°49′46″ from the target meridian 297, beyond 35 degrees"),
              std::string::npos)
        << zone.err;
    EXPECT_EQ(zone.counts.rejected, 2u);
    const Processed near = Process({"zone", "--lo", "117", "--ls", "126"}, "a,3380000,400000\n");
    EXPECT_NE(near.err.find("pts.csv:1: warning: the classic series are "), std::string::npos)
        << near.err;
}

TEST(ProcessPoints, FieldFilesAsTheyCome) {
    // Spreadsheet rows with trailing empty fields; extra fields passed through with the
    // header's names.
    Processed p = Process({"forward", "--lo", "117", "--header"},
                          "name,L,B,H,code,,\nP1,116.3045,30.3030,12.5,\"a, b\",,\n"
                          "P2,116.3045,30.3030,,,,\n");
    EXPECT_EQ(p.err, "");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,L,B,X,Y,H,code");
    EXPECT_EQ(p.rows,
              (std::vector<Row>{
                  {"P1", "116.3045", "30.3030", "3376626.6403", "453203.4506", "12.5", "a, b"},
                  {"P2", "116.3045", "30.3030", "3376626.6403", "453203.4506", "", ""}}));

    // name,code,Y,X,H picked by --fields; semicolons; names fieldN without a header line.
    p = Process({"inverse", "--lo", "117", "--fields", "1,4,3"},
                "K1;GPS;612345.678;3380000;35.2\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,X,Y,L,B,field2,field5");
    EXPECT_EQ(p.rows, (std::vector<Row>{{"K1", "3380000", "612345.678", "118.1014280635",
                                         "30.3203887185", "GPS", "35.2"}}));
    // Fields dropped are neither passed through nor named, with or without a header.
    p = Process({"inverse", "--lo", "117", "--fields", "1,4,3", "--drop-fields", "2", "--header"},
                "点名,编码,Y,X,H\nK1,GPS,612345.678,3380000,35.2\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,X,Y,L,B,H");
    EXPECT_EQ(p.rows, (std::vector<Row>{{"K1", "3380000", "612345.678", "118.1014280635",
                                         "30.3203887185", "35.2"}}));
    p = Process({"inverse", "--lo", "117", "--fields", "1,4,3", "--drop-fields", "5,2"},
                "K1,GPS,612345.678,3380000,35.2,x\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,X,Y,L,B,field6");
    p = Process({"inverse", "--lo", "117", "--fields", "1,4,3"}, "K1,GPS,612345.678\n");
    EXPECT_EQ(p.err,
              "pts.csv:1: expected at least 4 fields (name, X, Y in fields 1,4,3), found 3\n");

    // Decimal commas, only when asked; full-width digits as typed in full-width mode.
    p = Process({"forward", "--lo", "117", "--decimal-comma"}, "P1;116,3045;30,3030\n");
    ASSERT_EQ(p.rows.size(), 1u) << p.err;
    EXPECT_EQ(p.rows[0][3], "3376626.6403");
    p = Process({"forward", "--lo", "117"}, "P1;116,3045;30,3030\n");
    EXPECT_EQ(p.counts.rejected, 1u);
    p = Process({"forward", "--lo", "117"}, "点１\u3000１１６．３０４５\u3000３０．３０３０\n");
    ASSERT_EQ(p.rows.size(), 1u) << p.err;
    EXPECT_EQ(p.rows[0][4], "453203.4506");

    // A header line that reads as a point is skipped, with a warning.
    p = Process({"forward", "--lo", "117", "--header"}, "P0,117,30\nP1,117,30\n");
    EXPECT_EQ(p.err,
              "pts.csv:1: warning: this line, skipped by --header, reads as a point; leave "
              "--header out if the file has no header line\n");

    // A byte order mark for Excel.
    p = Process({"forward", "--lo", "117", "--bom"}, "");
    EXPECT_EQ(p.out, "\xEF\xBB\xBFname,L,B,X,Y\r\n");

    // For Excel, names and texts passed through that would run as formulas do not; without
    // --bom they come out as they came.
    const std::string formulas = "name,L,B,=H\n@P1,+116.3045,30.3030,-1\n-P2,117,30,=2+5\n";
    p = Process({"forward", "--lo", "117", "--header", "--bom"}, formulas);
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "\xEF\xBB\xBFname,L,B,X,Y,'=H");
    ASSERT_EQ(p.rows.size(), 2u) << p.err;
    EXPECT_EQ(p.rows[0][0], "'@P1");
    EXPECT_EQ(p.rows[0][1], "+116.3045");
    EXPECT_EQ(p.rows[0][5], "-1");
    EXPECT_EQ(p.rows[1][0], "'-P2");
    EXPECT_EQ(p.rows[1][5], "'=2+5");
    p = Process({"forward", "--lo", "117", "--header"}, formulas);
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,L,B,X,Y,=H");
    EXPECT_EQ(p.rows[1][0], "-P2");
    EXPECT_EQ(p.rows[1][5], "=2+5");
}

TEST(ProcessPoints, EveryRowHasTheHeadersColumnsAndNoFieldIsDroppedUnsaid) {
    // The first point line sets the columns (a broken line before it does not); a longer line
    // is refused, naming both counts; empty surplus fields go; a shorter line is filled.
    Processed p = Process({"forward", "--lo", "117"},
                          "P0,117\nP1,117,30,h\nP2,117,30,h,x,y\nP3,117,30,h,\"\"\nP4,117,30\n");
    EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,L,B,X,Y,field4");
    EXPECT_EQ(p.err,
              "pts.csv:1: expected at least 3 fields (name, L, B), found 2\n"
              "pts.csv:3: 6 fields, but the output has columns for the 4 of line 2: field 5 "
              "\"x\" would be lost; give line 2 as many fields (empty ones will do), or quote a "
              "field that holds a separator\n");
    ASSERT_EQ(p.rows.size(), 3u);
    for (const Row& row : p.rows) EXPECT_EQ(row.size(), 6u) << row[0];
    EXPECT_EQ(p.rows[2][5], "");

    // The header line sets them even when it is the shorter one.
    p = Process({"forward", "--lo", "117", "--header"}, "name,L,B\nP1,117,30,h\n");
    EXPECT_EQ(p.out, "name,L,B,X,Y\r\n");
    EXPECT_NE(p.err.find("pts.csv:2: 4 fields, but the output has columns for the 3 of line 1 "
                         "(the header)"),
              std::string::npos)
        << p.err;
}

TEST(ProcessPoints, ColumnsComeFromTheFirstLineThatGivesAPointNotARejectedOneBeforeIt) {
    // A typo in line 1 (a letter O, a value beyond the meridian's reach, a sixth field with
    // the typo) rejects line 1 alone, for its value; the five fields of the others are written.
    for (const char* first :
         {"P0,116.3O45,30.3030", "P0,160.3045,30.3030", "P0,116.3O45,30.3030,GPS,12.5,x"}) {
        const std::string input =
            std::string(first) + "\nP1,116.3045,30.3030,GPS,12.5\nP2,116.3045,30.3030,,13\n";
        for (int threads : {1, 3}) {
            const Processed p =
                Process({"forward", "--lo", "117"}, input, false, 1 << 20, threads, 24);
            EXPECT_EQ(p.out.substr(0, p.out.find("\r\n")), "name,L,B,X,Y,field4,field5");
            EXPECT_EQ(p.counts.rejected, 1u) << first;
            EXPECT_EQ(p.err.rfind("pts.csv:1: ", 0), 0u) << p.err;
            EXPECT_EQ(p.err.find("would be lost"), std::string::npos) << p.err;
            ASSERT_EQ(p.rows.size(), 2u) << first << p.err;
            EXPECT_EQ(p.rows[0][6], "12.5");
            EXPECT_EQ(p.rows[1][6], "13");
        }
    }
}

TEST(ProcessPoints, AnOverlongLineIsRejectedWithItsNumber) {
    const std::string input =
        "a,117,30\n" + std::string(LineReader::kMaxLine + 1, 'x') + "\nb,117,30\n";
    const Processed p = Process({"forward", "--lo", "117"}, input, false, 4096);
    EXPECT_EQ(p.err, "pts.csv:2: line longer than 65536 bytes\n");
    EXPECT_EQ(p.rows.size(), 2u);
}

TEST(ProcessPoints, HeaderOptionSkipsTheFirstLineThatIsNotACommentOnly) {
    const std::string input = "# exported 2026-12-08\n\nname,L,B\nP1,116.3045,30.3030\n";
    Processed p = Process({"forward", "--lo", "117", "--header"}, input);
    EXPECT_EQ(p.err, "");
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0][0], "P1");

    // Without the option the header is a line like any other, and is refused.
    p = Process({"forward", "--lo", "117"}, input);
    EXPECT_EQ(p.err, "pts.csv:3: L: \"L\" is not a number\n");
    EXPECT_EQ(p.rows.size(), 1u);

    // The header line is skipped even when it holds numbers (with a warning); only one line is
    // skipped.
    p = Process({"forward", "--lo", "117", "--header"}, "P0,117,30\nP1,117,30\n");
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0][0], "P1");
}

TEST(ProcessPoints, NamesAndValuesComeOutAsTypedWithCsvQuotingWhereNeeded) {
    const Processed p = Process({"inverse", "--lo", "117"},
                                "\"Shi, \"\"North\"\" gate\"\t3380000 \t 612345.678\n"
                                "\" padded \",\" 3.38E6 \",+612345.678\n"
                                "点名 3380000 500000\n");
    ASSERT_EQ(p.rows.size(), 3u);
    EXPECT_EQ(p.rows[0][0], "Shi, \"North\" gate");
    EXPECT_EQ(p.rows[0][1], "3380000");
    EXPECT_EQ(p.rows[1][0], " padded ");
    EXPECT_EQ(p.rows[1][1], "3.38E6");  // values are trimmed, names kept
    EXPECT_EQ(p.rows[1][2], "+612345.678");
    EXPECT_EQ(p.rows[1][3], p.rows[0][3]);
    EXPECT_EQ(p.rows[1][4], p.rows[0][4]);
    EXPECT_EQ(p.rows[2][0], "点名");
    EXPECT_NE(p.out.find("\"Shi, \"\"North\"\" gate\",3380000,"), std::string::npos);
    EXPECT_NE(p.out.find("\" padded \",3.38E6,"), std::string::npos);
}

TEST(ProcessPoints, FullWritesTheUnroundedDoublesThatParseBack) {
    const Processed shown = Process({"inverse", "--lo", "117"}, "a,3380000,612345.678\n");
    const Processed full = Process({"inverse", "--lo", "117", "--full"}, "a,3380000,612345.678\n");
    ASSERT_EQ(full.rows.size(), 1u);
    const double lp = quorvel::testing::Exact(full.rows[0][3]);
    const double bp = quorvel::testing::Exact(full.rows[0][4]);
    EXPECT_EQ(ShortestText(lp), full.rows[0][3]);
    EXPECT_EQ(FormatFixed(RoundHalfEven(lp, 10), "0.0000000000"), shown.rows[0][3]);
    EXPECT_EQ(FormatFixed(RoundHalfEven(bp, 10), "0.0000000000"), shown.rows[0][4]);
    EXPECT_NE(full.rows[0][3], shown.rows[0][3]);

    // Plain decimals in every column, the added ones too, however round or small the value.
    const Processed plain =
        Process({"forward", "--lo", "117", "--full", "--convergence", "--scale", "--compare"},
                "a,117,0\nb,117.0000001,0.0000001\n");
    ASSERT_EQ(plain.rows.size(), 2u);
    EXPECT_EQ(plain.rows[0][4], "500000");
    EXPECT_EQ(plain.rows[0][5], "0");
    for (const Row& row : plain.rows) {
        for (std::size_t c = 3; c < row.size(); ++c) {
            EXPECT_EQ(row[c].find_first_of("eE"), std::string::npos) << row[0] << ' ' << row[c];
        }
    }
    const RowResult b = ComputeRow(Computation::Forward, EllipsoidConstants::Load(), {117, 0},
                                   "117.0000001", "0.0000001");
    EXPECT_EQ(quorvel::testing::Exact(plain.rows[1][3]), b.first);
    EXPECT_EQ(quorvel::testing::Exact(plain.rows[1][4]), b.second);
}

TEST(ProcessPoints, CollectsTheReportRowsOnlyWhenAsked) {
    Processed p =
        Process({"forward", "--lo", "117"}, "P1,116.3045,30.3030\nbad\nP2,117,30\n", true);
    ASSERT_EQ(p.report.rows.size(), 2u);
    EXPECT_EQ(p.report.rows[0][0], ValueCell("116.3045"));
    EXPECT_EQ(p.report.rows[0][1], ValueCell("30.3030"));
    EXPECT_TRUE(p.report.rows[0][2].IsNumber());
    EXPECT_EQ(FormatFixed(RoundHalfEven(p.report.rows[0][2].Number(), 4), "0.0000"), p.rows[0][3]);
    EXPECT_EQ(p.report.rows[1][3].Number(), 500000);

    p = Process({"forward", "--lo", "117"}, "P1,116.3045,30.3030\n", false);
    EXPECT_TRUE(p.report.rows.empty());
}

TEST(ProcessPoints, WorkerThreadsKeepRowsMessagesAndReportInInputOrder) {
    std::string input = "# header follows after comments that fill whole chunks\n";
    for (int i = 0; i < 40; ++i) input += "# padding padding padding\n";
    input += "name,L,B\n";
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 7) {
            case 3:
                input += "P" + n + ",abc," + n + "\n";
                break;
            case 5:
                input += "\"P " + n + "\"\t117." + n + "\t30\n";
                break;
            case 6:
                input += std::string(i == 6 ? LineReader::kMaxLine + 1 : 0, 'x') + "\n";
                break;
            default:
                input += "P" + n + ",116." + std::to_string(i % 60) + ",30." + n + "\n";
        }
    }
    const std::vector<std::string_view> args = {"forward", "--lo", "117", "--header"};
    const Processed one = Process(args, input, true, 1 << 20, 1);
    EXPECT_EQ(one.counts.rejected, 429u + 1u);  // the i % 7 == 3 lines and the overlong one
    EXPECT_EQ(one.err.substr(0, one.err.find('\n')), "pts.csv:46: L: \"abc\" is not a number");
    for (int threads : {2, 3, 8}) {
        for (std::size_t chunkBytes : {1u, 100u, 4096u}) {
            const Processed many = Process(args, input, true, 4093, threads, chunkBytes);
            EXPECT_EQ(many.out, one.out) << threads << ' ' << chunkBytes;
            EXPECT_EQ(many.err, one.err) << threads << ' ' << chunkBytes;
            EXPECT_EQ(many.counts.points, one.counts.points);
            EXPECT_EQ(many.counts.rejected, one.counts.rejected);
            EXPECT_EQ(many.report.rows, one.report.rows) << threads << ' ' << chunkBytes;
        }
    }
}

// The same points typed into the window's batch procedures, answering every confirmation with
// Enter: the texts the window shows, without their leading blank.
class WindowBatch {
  public:
    WindowBatch() { Command1_Click(state_); }

    std::vector<std::array<std::string, 2>> Run(Computation mode, const std::vector<Row>& points,
                                                const std::string& lo, const std::string& ls) {
        for (const Row& p : points) prompt_.Answer({p[0], "", p[1], "", p[2], ""});
        if (mode == Computation::Zone) {
            prompt_.Answer({lo, "", ls, ""});
        } else {
            prompt_.Answer({lo});
        }
        for (std::size_t i = 0; i < points.size(); ++i) prompt_.Answer({""});
        state_.PointCount = static_cast<std::int16_t>(points.size());
        TextBox first = TextBox::ForwardX, second = TextBox::ForwardY;
        switch (mode) {
            case Computation::Forward:
                batches_.ForwardPass();
                break;
            case Computation::Inverse:
                batches_.InversePass();
                first = TextBox::InverseL;
                second = TextBox::InverseB;
                break;
            case Computation::Zone:
                batches_.ZoneChangePass();
                first = TextBox::ZoneX2;
                second = TextBox::ZoneY2;
                break;
        }
        EXPECT_EQ(prompt_.Unanswered(), 0u);
        const std::vector<std::string> a = panel_.History(first), b = panel_.History(second);
        EXPECT_EQ(a.size(), points.size());
        EXPECT_EQ(b.size(), points.size());
        std::vector<std::array<std::string, 2>> shown;
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            EXPECT_EQ(a[i].substr(0, 1), " ");
            shown.push_back({a[i].substr(1), b[i].substr(1)});
        }
        return shown;
    }

  private:
    BatchState state_;
    quorvel::testing::ScriptedPrompt prompt_;
    quorvel::testing::RecordingPanel panel_;
    Batches batches_{state_, prompt_, panel_};
};

void ExpectSameAsWindow(Computation mode, const std::vector<Row>& points, const std::string& lo,
                        const std::string& ls = "") {
    std::string input;
    for (const Row& p : points) input += p[0] + "," + p[1] + "," + p[2] + "\n";
    std::vector<std::string_view> args = {ColumnsOf(mode).mode, "--lo", lo};
    if (mode == Computation::Zone) args.insert(args.end(), {"--ls", ls});
    const Processed cli = Process(args, input);
    ASSERT_EQ(cli.rows.size(), points.size()) << cli.err;

    const auto window = WindowBatch().Run(mode, points, lo, ls);
    ASSERT_EQ(window.size(), points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(cli.rows[i][3], window[i][0]) << points[i][0];
        EXPECT_EQ(cli.rows[i][4], window[i][1]) << points[i][0];
    }
}

// Fixture points of one central meridian (and one target meridian for zone), as typed.
std::vector<Row> FixturePoints(const std::string& file, const std::string& a, const std::string& b,
                               const std::string& lo, const std::string& ls = "") {
    std::vector<Row> points;
    for (const auto& row : quorvel::testing::ReadFixture(file)) {
        if (row.at("Lo_text") != lo || (!ls.empty() && row.at("Ls_text") != ls)) continue;
        points.push_back({"id" + row.at("id"), row.at(a), row.at(b)});
    }
    return points;
}

TEST(SameAsTheWindow, ForwardPoints) {
    const std::vector<Row> points = FixturePoints("forward.csv", "L_text", "B_text", "117");
    ASSERT_GT(points.size(), 30u);
    ExpectSameAsWindow(Computation::Forward, points, "117");
    ExpectSameAsWindow(Computation::Forward,
                       {{"a", "+116.3045", " 30.3030"},
                        {"b", "1.163045E2", "30.303"},
                        {"c", "117.35", "0.29"},
                        {"d", "116.3045", "-30.3030"}},  // the window refuses L 233° from Lo
                       "117.0");
}

TEST(SameAsTheWindow, InversePoints) {
    const std::vector<Row> points = FixturePoints("inverse.csv", "X_text", "Y_text", "117");
    ASSERT_GT(points.size(), 10u);
    ExpectSameAsWindow(Computation::Inverse, points, "117");
    ExpectSameAsWindow(Computation::Inverse,
                       {{"a", "3.38e6", "612345.678"}, {"b", "-3380000", "387654.322"}}, "117.3");
}

TEST(SameAsTheWindow, ZonePoints) {
    const std::vector<Row> points = FixturePoints("zone.csv", "X1_text", "Y1_text", "117", "120");
    ASSERT_GT(points.size(), 5u);
    ExpectSameAsWindow(Computation::Zone, points, "117", "120");
    ExpectSameAsWindow(Computation::Zone,
                       {{"1", "3380000", "612345.678"}, {"2", "3380000", "387654.322"}}, "117",
                       "118.3");
}

}  // namespace
}  // namespace quorvel::cli
