// Height models in parameter files: alone and beside a datum's parameters, read back, refused.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/errors.h"
#include "core/parameter_file.h"

namespace quorvel {
namespace {

HeightModel Quadratic() {
    HeightModel m;
    m.kind = HeightModelKind::Quadratic;
    m.x0 = 3380123.4567, m.y0 = 39501234.125, m.scale = 6543.21;
    m.a = {12.3456789, 0.123, -0.0456, 0.0078, -0.0009, 0.00012};
    m.radius = 10234.5;
    return m;
}

TEST(HeightParameterFile, AHeightModelAloneReadsBack) {
    ParameterFile f;
    f.datum = false;
    f.height = Quadratic();
    f.heightSigma0 = 0.0123;
    f.heightPoints = 14;
    const std::array<double, 6> se = {0.004, 0.005, 0.006, 0.007, 0.008, 0.009};
    const std::string text = WriteParameterFile(f, nullptr, &se);
    EXPECT_NE(text.find("height_model = quadratic\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nsigma0 = 0.0123\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ζ = h − H"), std::string::npos) << text;
    EXPECT_EQ(text.find("model = 7"), std::string::npos) << text;
    const ParameterFile r = ReadParameterFile(text);
    EXPECT_FALSE(r.datum);
    ASSERT_TRUE(r.height);
    EXPECT_EQ(*r.height, *f.height);
    EXPECT_EQ(r.heightSigma0, 0.0123);
    EXPECT_EQ(r.heightPoints, 14);
}

TEST(HeightParameterFile, ADatumAndAHeightModelReadBackTogether) {
    ParameterFile f;
    f.from = ParseCoordinateSystem("plane:krassovsky:zone3");
    f.to = ParseCoordinateSystem("plane:cgcs2000:zone3");
    f.parameters.model = DatumModel::Four;
    f.parameters.dx = 120, f.parameters.dy = 1347, f.parameters.rotation = 0.5;
    f.parameters.scale = -37;
    f.sigma0 = 0.008;
    f.height = Quadratic();
    f.height->kind = HeightModelKind::Plane;
    f.height->a = {12.5, 0.1, -0.2, 0, 0, 0};
    f.height->radius = -1;
    f.heightSigma0 = 0.011;
    const std::string text = WriteParameterFile(f);
    EXPECT_NE(text.find("height_sigma0 = 0.011\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("height_a3"), std::string::npos) << text;
    EXPECT_EQ(text.find("height_radius"), std::string::npos) << text;
    const ParameterFile r = ReadParameterFile(text);
    EXPECT_TRUE(r.datum);
    EXPECT_EQ(r.parameters, f.parameters);
    EXPECT_EQ(r.sigma0, 0.008);
    ASSERT_TRUE(r.height);
    EXPECT_EQ(*r.height, *f.height);
    EXPECT_EQ(r.heightSigma0, 0.011);
    const ParameterFile none = ReadParameterFile(text.substr(0, text.find("# 高程异常")));
    EXPECT_FALSE(none.height);
}

TEST(HeightParameterFile, RefusesWhatDoesNotRead) {
    const std::string plane =
        "height_model = plane\nheight_x0 = 3380000\nheight_y0 = 500000\nheight_scale = 5000\n"
        "height_a0 = 12\nheight_a1 = 0.1\nheight_a2 = 0.2\n";
    const std::string datum =
        "model = 3\nfrom = geodetic:krassovsky\nto = plane:cgcs2000:117\nheights = no\n"
        "dx = 1\ndy = 2\ndz = 3\n";
    struct Bad {
        std::string text;
        const char* words;
    };
    const Bad cases[] = {
        {plane + "height_a3 = 0\n", "第 8 行：键“height_a3”不属于 plane 高程模型"},
        {"height_model = plane\nheight_x0 = 1\nheight_y0 = 2\nheight_scale = 3\nheight_a0 = 1\n",
         "缺少键“height_a1”"},
        {"height_model = cubic\n", "第 1 行：未知的高程模型“cubic”"},
        {plane + "height_scale2 = 1\n", "未知的键“height_scale2”"},
        {datum + "height_a0 = 1\n", "第 8 行：键“height_a0”属于高程模型，而文件没有 height_model"},
        {plane + "dx = 1\n", "第 8 行：键“dx”属于坐标转换，而文件没有 model"},
        {plane + "to = plane:cgcs2000:117\n", "键“to”属于坐标转换"},
        {plane + "sigma0 = 0.01\nheight_sigma0 = 0.01\n", "sigma0 与 height_sigma0 同时给出"},
        {plane + "points = 3.5\n", "points 的值“3.5”不是点数"},
        {plane + "sigma0 = -1\n", "sigma0 不能为负"},
        {"height_model = fixed\nheight_x0 = 1\nheight_y0 = 2\nheight_scale = 0\nheight_a0 = 1\n",
         "第 4 行：height_scale 必须大于 0"},
        {plane + "height_radius = -5\n", "height_radius 不是以米为单位的距离"},
        {datum + plane + "height_sigma0 = -0.1\n", "height_sigma0 不能为负"},
        {"# nothing\n", "缺少键“model”"},
    };
    for (const Bad& b : cases) {
        try {
            ReadParameterFile(b.text);
            ADD_FAILURE() << b.text << "read";
        } catch (const ParameterFileError& e) {
            EXPECT_NE(e.detail().find(b.words), std::string::npos) << e.detail();
        }
    }
    const ParameterFile both = ReadParameterFile(datum + plane + "height_points = 5\n");
    EXPECT_TRUE(both.datum);
    EXPECT_EQ(both.heightPoints, 5);
    EXPECT_EQ(both.height->a[2], 0.2);
}

}  // namespace
}  // namespace quorvel
