// Systems as typed and parameter files: what reads, what reads back unchanged, what is refused
// with which words.
#include "core/parameter_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/errors.h"

namespace quorvel {
namespace {

TEST(CoordinateSystem, ReadsAndWritesBack) {
    const CoordinateSystem z = ParseCoordinateSystem(" Plane : CGCS2000 : Zone3 ");
    EXPECT_TRUE(z.HasZones());
    EXPECT_EQ(SystemText(z), "plane:cgcs2000:Zone3");
    const CoordinateSystem m = ParseCoordinateSystem("plane:6378245,298.3:117.3");
    EXPECT_EQ(m.centralMeridian, 117.5);  // packed degrees: 117°30′
    EXPECT_TRUE(IsKrassovsky(m.ellipsoid));
    for (const char* text : {"plane:6378245,298.3:117.3", "geodetic:xian80", "geocentric:wgs84",
                             "plane:krassovsky:zone6", "plane:cgcs2000:-75.3"}) {
        EXPECT_EQ(SystemText(ParseCoordinateSystem(text)), text);
    }
    struct Bad {
        const char *text, *words;
    };
    for (const Bad& b :
         {Bad{"cgcs2000", "种类"}, Bad{"sphere:cgcs2000", "sphere"},
          Bad{"plane:cgcs2000", "中央子午线"}, Bad{"geodetic:cgcs2000:117", "只有 plane"},
          Bad{"plane:bessel:117", "bessel"}, Bad{"plane:cgcs2000:zone9", "zone9"},
          Bad{"plane:cgcs2000:400", "400"}}) {
        try {
            ParseCoordinateSystem(b.text);
            ADD_FAILURE() << b.text << " read";
        } catch (const InvalidParameterError& e) {
            EXPECT_NE(e.detail().find(b.words), std::string::npos) << e.what();
        }
    }
}

ParameterFile Sample() {
    ParameterFile f;
    f.from = ParseCoordinateSystem("plane:6378245,298.3:117.3");
    f.to = ParseCoordinateSystem("plane:cgcs2000:zone3");
    f.heights = true;
    f.parameters.convention = RotationConvention::PositionVector;
    f.parameters.dx = -1.0 / 3, f.parameters.dy = 1234.5678901234567, f.parameters.dz = 1e-17;
    f.parameters.rx = 0.1 + 0.2, f.parameters.ry = -2.0 / 7, f.parameters.rz = 5e-324;
    f.parameters.ds = 4.2700000000000005;
    f.sigma0 = 0.012345678901234567;
    f.points = 28;
    f.toZone = 39;
    f.area = CommonArea{117.30000000000001, -1.0 / 3, 12345.678};
    f.proj = ProjPipeline(f.from, f.to, f.parameters, -1, 39);
    return f;
}

void ExpectSame(const ParameterFile& a, const ParameterFile& b) {
    EXPECT_EQ(SystemText(a.from), SystemText(b.from));
    EXPECT_EQ(SystemText(a.to), SystemText(b.to));
    EXPECT_EQ(a.heights, b.heights);
    EXPECT_EQ(a.parameters, b.parameters);
    EXPECT_TRUE(a.sigma0 == b.sigma0 || (std::isnan(a.sigma0) && std::isnan(b.sigma0)));
    EXPECT_EQ(a.points, b.points);
    EXPECT_EQ(a.proj, b.proj);
    EXPECT_EQ(a.fromZone, b.fromZone);
    EXPECT_EQ(a.toZone, b.toZone);
    EXPECT_EQ(a.area, b.area);
}

TEST(ParameterFile, ReadsBackWhatItWrites) {
    const ParameterFile seven = Sample();
    DatumParameters se = seven.parameters;
    const std::string text = WriteParameterFile(seven, &se);
    ExpectSame(ReadParameterFile(text), seven);
    EXPECT_NE(text.find("convention = position-vector\n"), std::string::npos) << text;
    EXPECT_NE(text.find("proj = +proj=pipeline +step +proj=axisswap"), std::string::npos) << text;

    ParameterFile four;
    four.from = four.to = ParseCoordinateSystem("plane:xian80:111");
    four.parameters.model = DatumModel::Four;
    four.parameters.dx = 12.25, four.parameters.rotation = -30.5, four.parameters.scale = 0.1;
    ExpectSame(ReadParameterFile(WriteParameterFile(four)), four);

    // A scale in ppm that would read as a factor is written so that it reads as ppm.
    for (double scale : {1.0000027161234567, 0.99999, 1.001}) {
        four.parameters.scale = scale;
        const std::string t = WriteParameterFile(four);
        ExpectSame(ReadParameterFile(t), four);
        EXPECT_NE(t.find("e0\n"), std::string::npos) << t;
    }
}

// The comment before proj says what the pipeline takes and gives, each side in its order and
// units: geodetic L, B in decimal degrees, not Quorvel's packed degrees (in Chinese here).
TEST(ParameterFile, SaysWhatTheProjLineTakesAndGives) {
    ParameterFile f;
    f.from = ParseCoordinateSystem("geodetic:krassovsky");
    f.to = ParseCoordinateSystem("plane:cgcs2000:zone6");
    f.parameters.model = DatumModel::Three;
    f.proj = ProjPipeline(f.from, f.to, f.parameters, -1, 20);
    std::string text = WriteParameterFile(f);
    EXPECT_NE(text.find("# proj，供 cct 使用：输入十进制度的 L、B（不是 Quorvel 文件所用的度.分秒）"
                        "与以米为单位的 H；输出平面坐标 X、Y（先北坐标，Y 带带号）与 H，单位米\n"
                        "proj = "),
              std::string::npos)
        << text;
    f.to = ParseCoordinateSystem("geocentric:cgcs2000");
    f.proj = ProjPipeline(f.from, f.to, f.parameters);
    text = WriteParameterFile(f);
    EXPECT_NE(text.find("；输出地心坐标 X、Y、Z，单位米\nproj = "), std::string::npos) << text;
    f.proj.clear();
    EXPECT_EQ(WriteParameterFile(f).find("# proj"), std::string::npos);
}

// As a bureau's parameters are typed by hand: a byte order mark, CR LF, comments, keys in
// capitals, no proj, sigma0 or points.
TEST(ParameterFile, ReadsAHandWrittenFile) {
    const ParameterFile f = ReadParameterFile(
        "\xEF\xBB\xBF# 北京54 → 2000，某省发布\r\n\r\nMODEL = 7\r\nconvention = "
        "coordinate_frame\r\n"
        "from = plane:krassovsky:zone3\r\nto = plane:cgcs2000:zone3\r\nheights = NO\r\n"
        "dx = -32.4\r\ndy = 118.7\r\ndz = 61.2\r\nrx = 1.83\r\nry = -0.94\r\nrz = 2.71\r\nds = "
        "4.27");
    EXPECT_EQ(f.parameters.convention, RotationConvention::CoordinateFrame);
    EXPECT_FALSE(f.heights);
    EXPECT_EQ(f.parameters.rz, 2.71);
    EXPECT_TRUE(std::isnan(f.sigma0));
    EXPECT_EQ(f.points, -1);
    EXPECT_TRUE(f.proj.empty());
}

TEST(ParameterFile, RefusesWhatDoesNotRead) {
    const std::string head =
        "model = 7\nconvention = coordinate-frame\nfrom = plane:krassovsky:117\n"
        "to = plane:cgcs2000:117\nheights = no\n";
    const std::string seven = "dx = 1\ndy = 2\ndz = 3\nrx = 0.1\nry = 0.2\nrz = 0.3\nds = 1\n";
    const std::string zoned =
        "model = 7\nconvention = coordinate-frame\nfrom = plane:krassovsky:zone6\n"
        "to = plane:cgcs2000:zone6\nheights = no\n";
    const std::string four = "model = 4\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\n";
    const std::string fourValues = "dx = 1\ndy = 2\nrotation = 3\nscale = 4\n";
    struct Bad {
        std::string text;
        ErrorKind kind;
        const char* words;
    };
    const Bad cases[] = {
        {head + seven + "dk = 1\n", ErrorKind::ParameterFile, "第 13 行：未知的键“dk”"},
        {head + "dx = 1\ndy = 2\ndz = 3\nrx = 0.1\nry = 0.2\nds = 1\n", ErrorKind::ParameterFile,
         "缺少键“rz”"},
        {head + seven + "sigma0 = 1 cm\n", ErrorKind::ParameterFile, "sigma0 的值“1 cm”不是数"},
        {head + seven + "dx = 2\n", ErrorKind::ParameterFile, "重复（先见于第 6 行）"},
        {head + seven + "rotation = 1\n", ErrorKind::ParameterFile, "不属于 7 参数模型"},
        {head + seven + "points\n", ErrorKind::ParameterFile, "第 13 行：应为“键 = 值”"},
        {"model = 4\nfrom = geodetic:krassovsky\nto = plane:cgcs2000:117\nheights = no\n"
         "dx = 1\ndy = 2\nrotation = 3\nscale = 4\n",
         ErrorKind::ParameterFile, "四参数模型"},
        {"model = 7\nfrom = plane:krassovsky:117\nto = plane:cgcs2000:117\nheights = no\n" + seven,
         ErrorKind::ParameterFile, "缺少键“convention”"},
        {head + "dx = 1\ndy = 2\ndz = 3\nrx = 80\nry = 0\nrz = 50\nds = 1\n",
         ErrorKind::OutOfDomain, "92.2″"},
        {head + seven + "fromZone = 39\n", ErrorKind::ParameterFile,
         "第 13 行：fromZone：坐标系 plane:krassovsky:117 不分带"},
        {zoned + seven + "toZone = 61\n", ErrorKind::ParameterFile,
         "第 13 行：toZone 的值“61”不是 1 至 60 的带号"},
        {zoned + seven + "fromZone = 20.5\n", ErrorKind::ParameterFile, "不是 1 至 60 的带号"},
        {head + seven + "centreL = 117\nradius = 3000\n", ErrorKind::ParameterFile,
         "缺少键“centreB”"},
        {head + seven + "centreL = 117\ncentreB = 91\nradius = 3000\n", ErrorKind::ParameterFile,
         "第 14 行：centreB 不是纬度"},
        {four + "heights = yes\n" + fourValues, ErrorKind::ParameterFile,
         "第 4 行：四参数模型不含高程"},
        {four + "heights = no\n" + "dx = 1\ndy = 2\nrotation = 92.3\nscale = 4\n",
         ErrorKind::OutOfDomain, "旋转角 92.3″ 超过 ±92.2″"},
        {four + "heights = no\n" + "dx = 1\ndy = 2\nrotation = 3\nscale = 1000.5\n",
         ErrorKind::OutOfDomain, "尺度 1000.5 ppm 超过 ±1000 ppm"},
        {four + "heights = no\n" + "dx = 15600\ndy = 2\nrotation = 3\nscale = 4\n",
         ErrorKind::OutOfDomain, "平移量 15600 m 超过 15542 m"},
        {head + "dx = 1\ndy = 2\ndz = 3\nrx = 0.1\nry = 0.2\nrz = 0.3\nds = 0.999997\n",
         ErrorKind::ParameterFile,
         "ds = 0.999997 看来是尺度因子，而参数文件中的尺度以 ppm 为单位：作为因子它是 -3 ppm"},
        {four + "heights = no\n" + "dx = 1\ndy = 2\nrotation = 3\nscale = 1.0000027161\n",
         ErrorKind::ParameterFile, "第 8 行：scale = 1.0000027161 看来是尺度因子"},
    };
    for (const Bad& b : cases) {
        try {
            ReadParameterFile(b.text);
            ADD_FAILURE() << b.words << ": read";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), b.kind) << e.what();
            EXPECT_NE(e.detail().find(b.words), std::string::npos) << e.what();
        }
    }
}

// At the edges of the limits: what a bureau may publish reads; a scale typed as a factor is
// told from one in ppm by its decimals; the 4-parameter translation's limit follows the size
// of the source's coordinates, the zone number in front of Y included.
// What a file holds reaches the message escaped, whole past a NUL, and bounded: a terminal
// never gets an escape sequence from it, nor a screenful of one line.
TEST(ParameterFile, ErrorsEscapeTheFilesTextAndKeepItShort) {
    const std::string head = "model = 7\nconvention = coordinate-frame\n";
    const std::string systems = "from = plane:krassovsky:117\nto = plane:cgcs2000:117\n";
    const std::string seven = "dx = 1\ndy = 2\ndz = 3\nrx = 0.1\nry = 0.2\nrz = 0.3\nds = 1\n";
    const std::string heights = head + systems + std::string("heights = y\0es\x07\n", 16) + seven;
    struct Case {
        std::string text, words, shown;
    };
    const Case cases[] = {
        {head + "from = plane:a\x1b[2J\nto = plane:cgcs2000:117\nheights = no\n" + seven,
         "第 3 行：", "a\\x1b[2J"},
        {heights, "第 5 行：heights 应为 yes 或 no，实为“y\\x00es\\x07”", "y\\x00es"},
        {head + "dk\x1b[31m = 1\n", "第 3 行：未知的键“dk\\x1b[31m”", "dk"},
        {head + std::string(600000, 'x') + "\n", "第 3 行：应为“键 = 值”", "xxx…"},
    };
    for (const Case& c : cases) {
        try {
            (void)ReadParameterFile(c.text);
            ADD_FAILURE() << c.words;
        } catch (const ParameterFileError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.words), std::string::npos) << what;
            EXPECT_NE(what.find(c.shown), std::string::npos) << what;
            EXPECT_LT(what.size(), 1000u);
            for (char ch : what) EXPECT_FALSE(ch >= 0 && ch < 0x20) << what;
        }
    }
}

TEST(ParameterFile, ReadsWhatLiesWithinTheLimits) {
    const std::string four = "model = 4\nheights = no\nto = plane:cgcs2000:117\n";
    const auto read = [&](const std::string& from, const std::string& values) {
        return ReadParameterFile(four + "from = " + from + "\n" + values).parameters;
    };
    EXPECT_EQ(
        read("plane:krassovsky:117", "dx = 1\ndy = 2\nrotation = -92.2\nscale = -1000\n").rotation,
        -92.2);
    // 5 decimals: plausible as ppm; 1 itself; an exponent; more than 0.001 from 1.
    for (const char* scale : {"1.00001", "1", "1.000000", "1.0000027e0", "1.0011234567"}) {
        EXPECT_EQ(read("plane:krassovsky:117",
                       std::string("dx = 1\ndy = 2\nrotation = 3\nscale = ") + scale + "\n")
                      .scale,
                  std::stod(scale))
            << scale;
    }
    EXPECT_EQ(read("plane:krassovsky:zone3", "dx = 150000\ndy = 2\nrotation = 3\nscale = 4\n").dx,
              150000);
    EXPECT_THROW(read("plane:krassovsky:117", "dx = 150000\ndy = 2\nrotation = 3\nscale = 4\n"),
                 OutOfDomainError);
    const ParameterFile zones = ReadParameterFile(
        "model = 3\nfrom = plane:krassovsky:zone3\nto = plane:cgcs2000:zone6\nheights = no\n"
        "dx = 10260\ndy = 0\ndz = 0\nfromZone = 120\ntoZone = 1\n");
    EXPECT_EQ(zones.fromZone, 120);
    EXPECT_EQ(zones.toZone, 1);
    EXPECT_FALSE(zones.area.has_value());
}

}  // namespace
}  // namespace quorvel
