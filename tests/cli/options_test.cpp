#include "cli/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/packed_angle.h"

namespace quorvel::cli {
namespace {

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
    };
    for (const Case& c : cases) {
        const std::string message = UsageErrorOf(c.args);
        EXPECT_NE(message.find(c.says), std::string::npos)
            << "got \"" << message << "\", want \"" << c.says << "\"";
    }
}

TEST(UsageText, NamesEveryModeAndOption) {
    for (std::string_view word : {"forward", "inverse", "zone", "--lo", "--ls"}) {
        EXPECT_NE(UsageText().find(word), std::string_view::npos) << word;
    }
    for (std::string_view word : {"-o FILE", "--full", "--header", "--report", "--version"}) {
        EXPECT_NE(HelpText().find(word), std::string_view::npos) << word;
    }
}

}  // namespace
}  // namespace quorvel::cli
