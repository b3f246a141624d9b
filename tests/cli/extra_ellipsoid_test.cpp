// quorvel-batch built with one more row in the ellipsoid catalogue
// (tests/extra_ellipsoid_row.inc): the row alone must reach --ellipsoid, its errors, --help and
// --list-ellipsoids.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "core/ellipsoid.h"
#include "core/errors.h"

namespace quorvel::cli {
namespace {

using namespace engine;

std::string UsageErrorOf(std::vector<std::string_view> args) {
    try {
        ParseArguments(args, false);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

TEST(ExtraEllipsoid, ReachesQuorvelBatch) {
    ASSERT_NE(FindEllipsoid("bessel"), nullptr) << "built without the extra row";

    const std::vector<std::string_view> args = {"forward", "--zone",      "6",      "--method",
                                                "exact",   "--ellipsoid", "Bessel", "points.csv"};
    const Ellipsoid e = ParseArguments(args, false).geodesy.ellipsoid;
    EXPECT_EQ(e.name, "bessel");
    EXPECT_EQ(e.a, 6377397.155);
    EXPECT_EQ(e.f, 1 / 299.1528128);
    EXPECT_NE(UsageErrorOf({"forward", "--lo", "117", "--ellipsoid", "bessel"})
                  .find("use --method exact with --ellipsoid bessel"),
              std::string::npos);
    EXPECT_EQ(
        UsageErrorOf({"forward", "--lo", "117", "--ellipsoid", "hayford"}),
        "--ellipsoid: \"hayford\" is not krassovsky, xian80, cgcs2000, wgs84, bessel or A,RF");
    try {
        ParseEllipsoid("hayford");
        ADD_FAILURE() << "hayford parsed";
    } catch (const InvalidParameterError& error) {
        EXPECT_NE(error.detail().find("wgs84, bessel or a,rf"), std::string::npos)
            << error.detail();
    }

    EXPECT_EQ(EllipsoidList(), "krassovsky\nxian80\ncgcs2000\nwgs84\nbessel\n");
    // The entry folds where a longer list has to, still within the help's 90 columns.
    EXPECT_NE(
        HelpText().find("  --ellipsoid E  krassovsky (default), xian80 (IAG-75), cgcs2000, wgs84, "
                        "bessel (Bessel\n"
                        "                 1841), or A,RF: the semi-major axis in metres and the "
                        "inverse flattening\n"
                        "  --method M "),
        std::string_view::npos)
        << HelpText();
    std::istringstream help{std::string(HelpText())};
    for (std::string line; std::getline(help, line);) EXPECT_LE(line.size(), 90u) << line;
}

}  // namespace
}  // namespace quorvel::cli
