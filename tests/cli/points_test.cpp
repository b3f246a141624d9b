#include "cli/points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/number_text.h"
#include "core/packed_angle.h"
#include "csv_fixture.h"

namespace quorvel::cli {
namespace {

using quorvel::testing::Exact;
using quorvel::testing::ReadFixture;

const EllipsoidConstants kC = EllipsoidConstants::Load();

std::string Shown(Mode mode, double v, bool full = false) {
    std::string out;
    AppendResult(out, mode, v, full);
    return out;
}

// The core's own display text, which the fast path must reproduce.
std::string CoreText(double v, int decimals) {
    return FormatFixed(RoundHalfEven(v, decimals), Pattern{decimals, true});
}

TEST(ComputeRow, ForwardReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("forward.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))), 0};
        const RowResult r = ComputeRow(Mode::Forward, kC, m, row.at("L_text"), row.at("B_text"));
        ASSERT_EQ(r.status, RowStatus::Ok) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("X"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("Y"))) << row.at("id");
        EXPECT_EQ(Shown(Mode::Forward, r.first), row.at("X_text")) << row.at("id");
        EXPECT_EQ(Shown(Mode::Forward, r.second), row.at("Y_text")) << row.at("id");
        EXPECT_EQ(Exact(Shown(Mode::Forward, r.first, true)), r.first) << row.at("id");
    }
}

TEST(ComputeRow, InverseReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("inverse.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))), 0};
        const RowResult r = ComputeRow(Mode::Inverse, kC, m, row.at("X_text"), row.at("Y_text"));
        ASSERT_EQ(r.status, RowStatus::Ok) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("LP"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("BP"))) << row.at("id");
        EXPECT_EQ(Shown(Mode::Inverse, r.first), row.at("LP_text")) << row.at("id");
        EXPECT_EQ(Shown(Mode::Inverse, r.second), row.at("BP_text")) << row.at("id");
        EXPECT_EQ(Exact(Shown(Mode::Inverse, r.second, true)), r.second) << row.at("id");
    }
}

TEST(ComputeRow, ZoneReferenceVectorsBitForBitAndAsShown) {
    for (const auto& row : ReadFixture("zone.csv")) {
        const Meridians m{DecodePackedAngle(ParseNumber(row.at("Lo_text"))),
                          DecodePackedAngle(ParseNumber(row.at("Ls_text")))};
        const RowResult r = ComputeRow(Mode::Zone, kC, m, row.at("X1_text"), row.at("Y1_text"));
        ASSERT_EQ(r.status, RowStatus::Ok) << row.at("id");
        EXPECT_EQ(r.first, Exact(row.at("X2"))) << row.at("id");
        EXPECT_EQ(r.second, Exact(row.at("Y2"))) << row.at("id");
        EXPECT_EQ(Shown(Mode::Zone, r.first), row.at("X2_text")) << row.at("id");
        EXPECT_EQ(Shown(Mode::Zone, r.second), row.at("Y2_text")) << row.at("id");
    }
}

TEST(ComputeRow, NamesTheFirstValueThatIsNotANumber) {
    const Meridians m{117, 120};
    for (Mode mode : {Mode::Forward, Mode::Inverse, Mode::Zone}) {
        RowResult r = ComputeRow(mode, kC, m, "abc", "30");
        EXPECT_EQ(r.status, RowStatus::NotANumber);
        EXPECT_EQ(r.field, 1);
        r = ComputeRow(mode, kC, m, "117", "");
        EXPECT_EQ(r.status, RowStatus::NotANumber);
        EXPECT_EQ(r.field, 2);
        r = ComputeRow(mode, kC, m, "x", "y");
        EXPECT_EQ(r.field, 1);
        r = ComputeRow(mode, kC, m, "117", "1e999");
        EXPECT_EQ(r.status, RowStatus::OutOfRange);
        EXPECT_EQ(r.field, 2);
        for (const char* text : {"inf", "nan", "0x10", "1,5", "１２"}) {
            EXPECT_EQ(ComputeRow(mode, kC, m, text, "1").status, RowStatus::NotANumber) << text;
        }
    }
}

TEST(ComputeRow, APointWithoutAFiniteResultIsRefusedNotWritten) {
    const Meridians m{117, 120};
    EXPECT_EQ(ComputeRow(Mode::Inverse, kC, m, "3380000", "1e300").status,
              RowStatus::NoFiniteResult);
    EXPECT_EQ(ComputeRow(Mode::Zone, kC, m, "3380000", "1e300").status, RowStatus::NoFiniteResult);
    EXPECT_EQ(ComputeRow(Mode::Forward, kC, m, "1e300", "30").status, RowStatus::NoFiniteResult);
}

TEST(ComputeRow, AcceptsTheNumberFormsTheWindowAccepts) {
    const Meridians m{117, 0};
    const RowResult plain = ComputeRow(Mode::Inverse, kC, m, "3380000", "612345.678");
    for (auto [x, y] : {std::pair{"3.38E6", "612345.678"},
                        {" 3380000 ", "+612345.678"},
                        {"3380000.", "6.12345678e5"}}) {
        const RowResult r = ComputeRow(Mode::Inverse, kC, m, x, y);
        ASSERT_EQ(r.status, RowStatus::Ok) << x << ' ' << y;
        EXPECT_EQ(r.first, plain.first);
        EXPECT_EQ(r.second, plain.second);
    }
}

TEST(AppendRoundedFast, MatchesTheCoreOnTiesCarriesSignsAndZeros) {
    const double cases[] = {0.0,
                            -0.0,
                            0.00005,
                            0.00015,
                            0.00025,
                            -0.00005,
                            -0.00015,
                            2.675,
                            1.00005,
                            0.99995,
                            9.99995,
                            -9.99995,
                            999999.99995,
                            3380000.12345,
                            3380000.12355,
                            453203.4506491546,
                            -1465.4865798990359,
                            1e-20,
                            -1e-20,
                            5e-5,
                            4.9999999999e-5,
                            1e15,
                            123456789012.34567,
                            118.10142806347972,
                            117.2059999999999,
                            29.59599999964,
                            0.5e-10,
                            1.5e-10,
                            -2.5e-10,
                            std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max()};
    for (double v : cases) {
        for (int decimals : {0, 4, 10}) {
            std::string fast;
            if (AppendRoundedFast(fast, v, decimals)) {
                EXPECT_EQ(fast, CoreText(v, decimals)) << v << " at " << decimals;
            } else {
                EXPECT_TRUE(fast.empty());
            }
            std::string out;
            AppendResult(out, decimals == 10 ? Mode::Inverse : Mode::Forward, v, false);
            if (decimals != 0) {
                EXPECT_EQ(out, CoreText(v, decimals)) << v;
            }
        }
    }
}

TEST(AppendRoundedFast, LeavesValuesBeyondFifteenDigitsToTheCore) {
    std::string out;
    EXPECT_FALSE(AppendRoundedFast(out, 123456789012.34567, 4));
    EXPECT_FALSE(AppendRoundedFast(out, std::numeric_limits<double>::infinity(), 4));
    EXPECT_FALSE(AppendRoundedFast(out, std::nan(""), 4));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(AppendRoundedFast(out, 12345678901.2345, 4));
}

TEST(AppendRoundedFast, MatchesTheCoreOnRandomValuesOfEveryMagnitude) {
    std::mt19937_64 rng(20261208);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::uniform_real_distribution<double> metres(-1e7, 1e7), degrees(-180, 180);
    std::size_t fast = 0;
    for (int i = 0; i < 200000; ++i) {
        double v;
        switch (i % 4) {
            case 0: {
                const std::uint64_t b = bits(rng);
                std::memcpy(&v, &b, sizeof v);
                if (!std::isfinite(v)) continue;
                break;
            }
            case 1:
                v = metres(rng);
                break;
            case 2:
                v = degrees(rng);
                break;
            default:
                // Exact ties at the fifth decimal.
                v = std::round(metres(rng) * 1e4) / 1e4 + 0.00005;
                break;
        }
        for (int decimals : {4, 10}) {
            std::string out;
            if (AppendRoundedFast(out, v, decimals)) {
                ++fast;
                ASSERT_EQ(out, CoreText(v, decimals)) << v << " at " << decimals;
            }
        }
    }
    EXPECT_GT(fast, 200000u);  // the fast path is the common one
}

TEST(ColumnsOf, HeadersInTheWindowsOrder) {
    EXPECT_EQ(ColumnsOf(Mode::Forward).header,
              (std::array<std::string_view, 5>{"name", "L", "B", "X", "Y"}));
    EXPECT_EQ(ColumnsOf(Mode::Inverse).header,
              (std::array<std::string_view, 5>{"name", "X", "Y", "L", "B"}));
    EXPECT_EQ(ColumnsOf(Mode::Zone).header,
              (std::array<std::string_view, 5>{"name", "X1", "Y1", "X2", "Y2"}));
}

}  // namespace
}  // namespace quorvel::cli
