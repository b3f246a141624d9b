#include "engine/reading/column_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::engine {
namespace {

using K = ColumnKind;
using Columns = std::vector<std::size_t>;

TEST(ReadColumnName, TheNamesSurveyorsGive) {
    const struct {
        const char* name;
        ColumnKind kind;
    } cases[] = {
        {"点名", K::Name},
        {"点号", K::Name},
        {"名称", K::Name},
        {"Name", K::Name},
        {"编码", K::Code},
        {"代码", K::Code},
        {"CODE", K::Code},
        {"X", K::X},
        {"x坐标", K::X},
        {"X坐标", K::X},
        {"北坐标", K::X},
        {"N", K::X},
        {"纵坐标", K::X},
        {"y", K::Y},
        {"Y坐标", K::Y},
        {"东坐标", K::Y},
        {"E", K::Y},
        {"横坐标", K::Y},
        {"H", K::Height},
        {"高程", K::Height},
        {"z", K::Height},
        {"L", K::L},
        {"经度", K::L},
        {"B", K::B},
        {"纬度", K::B},
        {" X ", K::X},
        {"\xE3\x80\x80高程", K::Height},
        {"X (m)", K::X},
        {"高程（米）", K::Height},
        {"备注", K::Other},
        {"XY", K::Other},
        {"", K::Other},
        {"(m)", K::Other},
        {"东", K::Other},
        {"name1", K::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadColumnName(c.name).kind, c.kind) << c.name;
        EXPECT_EQ(ReadColumnName(c.name).side, 0) << c.name;
    }
    EXPECT_EQ(ReadColumnName("X1"), (ColumnName{K::X, 1}));
    EXPECT_EQ(ReadColumnName("北坐标2"), (ColumnName{K::X, 2}));
    EXPECT_EQ(ReadColumnName("h2"), (ColumnName{K::Height, 2}));
    EXPECT_EQ(ReadColumnName("X3").kind, K::Other);
}

TEST(ComputationOfColumns, PlaneOrGeodetic) {
    const auto of = [](std::vector<std::string> names) {
        return ComputationOfColumns(ReadColumnNames(names));
    };
    EXPECT_EQ(of({"点号", "代码", "Y坐标", "X坐标", "高程"}), Computation::Inverse);
    EXPECT_EQ(of({"name", "B", "L"}), Computation::Forward);
    EXPECT_EQ(of({"name", "X", "H"}), std::nullopt);
    EXPECT_EQ(of({"name", "X", "Y", "L", "B"}), std::nullopt);
}

TEST(ColumnsOfNames, EachCoordinateItsColumn) {
    const auto columns = [](std::vector<std::string> names, std::vector<std::string> wanted) {
        return ColumnsOfNames(ReadColumnNames(names), wanted);
    };
    // The file: name, code, Y, X, height.
    EXPECT_EQ(columns({"点号", "代码", "Y坐标", "X坐标", "高程"}, ValueNames(Computation::Inverse)),
              (Columns{0, 3, 2}));
    // X and Y columns are not longitude and latitude.
    EXPECT_EQ(columns({"点号", "代码", "Y坐标", "X坐标"}, ValueNames(Computation::Forward)),
              std::nullopt);
    EXPECT_EQ(columns({"点号", "纬度", "经度"}, ValueNames(Computation::Forward)),
              (Columns{0, 2, 1}));
    // A second X passes through; without a name column the first other column is the name.
    EXPECT_EQ(columns({"N", "E", "X", "code"}, ValueNames(Computation::Zone)), (Columns{2, 0, 1}));
    EXPECT_EQ(columns({"X", "Y"}, ValueNames(Computation::Zone)), std::nullopt);
    EXPECT_EQ(columns({"备注", "X", "Y"}, {}), (Columns{0}));
}

TEST(ColumnsOfNames, CommonPointsBySide) {
    const std::vector<std::string> plane{"X1", "Y1", "H1", "X2", "Y2", "H2"};
    const auto columns = [&](std::vector<std::string> names) {
        return ColumnsOfNames(ReadColumnNames(names), plane);
    };
    EXPECT_EQ(columns({"点名", "X1", "Y1", "H1", "X2", "Y2", "H2"}),
              (Columns{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(columns({"X2", "Y2", "H2", "点名", "x1", "y1", "h1"}),
              (Columns{3, 4, 5, 6, 0, 1, 2}));
    // Without sides: the source's first, in the order they come.
    EXPECT_EQ(columns({"name", "X", "Y", "H", "X", "Y", "H"}), (Columns{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(columns({"name", "X1", "Y1", "H1", "X2", "Y2"}), std::nullopt);
    // Geodetic to plane, without heights.
    EXPECT_EQ(
        ColumnsOfNames(ReadColumnNames({"B1", "L1", "点名", "Y2", "X2"}), {"L1", "B1", "X2", "Y2"}),
        (Columns{2, 1, 0, 4, 3}));
}

}  // namespace
}  // namespace quorvel::engine
