// quorvel-batch's GIS and CAD files read back by GDAL: what each format holds of the rows, and
// what it refuses rather than writes wrong.
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/batch_runner.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

class GisFormats : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-gis-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        GDALAllRegister();
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the program in `dir` on `input`; its exit status, standard error in `err`.
    int Run(const std::vector<std::string>& args, const std::string& input) {
        WriteFile(dir / "in.csv", input);
        const Outcome o = RunBatch(args, dir, dir / "in.csv", dir / "out.csv", dir / "err.txt");
        err = o.err;
        return o.status;
    }

    // The features of a dataset's first layer: each field "name=value", fields set only.
    std::vector<std::vector<std::string>> Features(const std::string& file) {
        std::vector<std::vector<std::string>> features;
        GDALDatasetH ds =
            GDALOpenEx((dir / file).c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        if (ds == nullptr) {
            ADD_FAILURE() << "GDAL cannot open " << file;
            return features;
        }
        OGRLayerH l = GDALDatasetGetLayer(ds, 0);
        while (OGRFeatureH f = OGR_L_GetNextFeature(l)) {
            std::vector<std::string>& fields = features.emplace_back();
            for (int k = 0; k < OGR_F_GetFieldCount(f); ++k) {
                if (!OGR_F_IsFieldSetAndNotNull(f, k)) continue;
                OGRFieldDefnH d = OGR_F_GetFieldDefnRef(f, k);
                fields.push_back(std::string(OGR_Fld_GetNameRef(d)) + "=" +
                                 OGR_F_GetFieldAsString(f, k) + ":" +
                                 OGR_GetFieldTypeName(OGR_Fld_GetType(d)));
            }
            OGR_F_Destroy(f);
        }
        GDALClose(ds);
        return features;
    }

    fs::path dir;
    std::string err;
};

const std::string kPoints = "P1,116.3045,30.3030\nP2,117.2930,30.3030\n";
const std::vector<std::string> kCgcs = {"--ellipsoid", "cgcs2000", "--method", "exact"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// A zone change whose easting, with the zone number in front, would read as the next zone
// (9° off) is a rejected line, in every format; without the number the zone column says it.
TEST_F(GisFormats, ZoneChangeBeyondWhatTheZoneNumberInFrontHoldsIsRejected) {
    const std::string input = "A,4595204.4788,38481828.8502\nB,4595204.4788,39500000\n";
    const std::vector<std::string> args = {"zone", "--zone", "3", "--ls", "120", "--zone-prefix"};
    EXPECT_EQ(Run(args, input), 1);
    EXPECT_NE(err.find("<stdin>:1: X1 \"4595204.4788\", Y1 \"38481828.8502\": the result lies "
                       "519351.1196 m west of the central meridian of zone 40, and with the zone "
                       "number in front its easting 39980648.8804 would read as zone 39"),
              std::string::npos)
        << err;
    const std::string csv = ReadFile(dir / "out.csv");
    EXPECT_EQ(csv.find("39980648"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\nB,"), std::string::npos) << csv;
    EXPECT_EQ(Run(With(args, {"--format", "gpkg", "-o", "z.gpkg"}), input), 1) << err;
    EXPECT_EQ(Features("z.gpkg").size(), 1u);
    EXPECT_EQ(Run({"zone", "--zone", "3", "--ls", "120"}, input), 0) << err;
}

// A drawing in metres, as its coordinates are: AutoCAD scales one in inches by 25.4 on insert.
TEST_F(GisFormats, DrawingsAreInMetres) {
    ASSERT_EQ(Run({"forward", "--lo", "117", "--format", "dxf", "-o", "d.dxf"}, kPoints), 0) << err;
    const std::string dxf = ReadFile(dir / "d.dxf");
    EXPECT_NE(dxf.find("$INSUNITS\n 70\n     6\n"), std::string::npos);
    EXPECT_NE(dxf.find("$MEASUREMENT\n 70\n     1\n"), std::string::npos);
    EXPECT_EQ(Features("d.dxf").size(), 4u);
}

// A text a format would cut (NUL), break (a drawing's CR) or garble (a drawing's 𠮷) stops the
// run with its line, and the old file stays; where the format keeps it, it reads back whole.
TEST_F(GisFormats, TextsAFormatCannotKeepStopTheRunAndKeepTheOldFile) {
    struct Case {
        std::string format, input, words;
    };
    const Case cases[] = {
        {"kml", std::string("\"a\0b\",116.3045,30.3030\n", 23), "holds a NUL character"},
        {"gpkg", std::string("P,116.3045,30.3030,\"c\0d\"\n", 25), "the field4 \"c\\x00d\""},
        {"shp", std::string("\"a\0b\",116.3045,30.3030\n", 23), "holds a NUL character"},
        {"dxf", std::string("\"a\0b\",116.3045,30.3030\n", 23), "holds a NUL character"},
        {"dxf", "\"a\rb\",116.3045,30.3030\n", "holds a carriage return"},
        {"dxf", "P1,116.3045,30.3030\n山𠮷,116.3045,30.3030\n",
         "line 2: the name \"山𠮷\" holds "
         "the character U+20BB7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format + " " + c.words);
        const std::string file = "old." + c.format;
        std::ofstream(dir / file) << "old\n";
        EXPECT_EQ(
            Run(With({"forward", "--lo", "117", "--format", c.format, "-o", file}, kCgcs), c.input),
            2);
        EXPECT_NE(err.find(c.words), std::string::npos) << err;
        EXPECT_EQ(ReadFile(dir / file), "old\n");
    }
    ASSERT_EQ(Run(With({"forward", "--lo", "117", "--format", "gpkg", "-o", "k.gpkg"}, kCgcs),
                  "山𠮷😀,116.3045,30.3030\n"),
              0)
        << err;
    EXPECT_EQ(Features("k.gpkg").at(0).at(0), "name=山𠮷😀:String");
}

// zone an integer in every format; the .dbf's numbers as the CSV writes them.
TEST_F(GisFormats, ZoneIsAnIntegerAndShapefileNumbersAreTheCsvs) {
    const std::vector<std::string> args = {"forward", "--zone", "3", "--scale"};
    ASSERT_EQ(Run(With(args, {"--format", "shp", "-o", "s.shp"}), kPoints), 0) << err;
    const auto shp = Features("s.shp");
    ASSERT_EQ(shp.size(), 2u);
    EXPECT_EQ(shp[0], (std::vector<std::string>{"name=P1:String", "L=116.3045000000:Real",
                                                "B=30.3030000000:Real", "X=3376626.6403:Real",
                                                "Y=453203.4506:Real", "zone=39:Integer",
                                                "k=1.0000270031:Real"}));
    const std::string dbf = ReadFile(dir / "s.dbf");
    EXPECT_NE(dbf.find(" 3376626.6403 "), std::string::npos);
    EXPECT_EQ(dbf.find("3376626.64030"), std::string::npos);
    ASSERT_EQ(Run(With(With(args, kCgcs), {"--format", "kml", "-o", "k.kml"}), kPoints), 0) << err;
    EXPECT_NE(ReadFile(dir / "k.kml").find("<SimpleField name=\"zone\" type=\"int\">"),
              std::string::npos);
    // A typed value with more decimals than the field holds would be cut.
    EXPECT_EQ(Run({"forward", "--lo", "117", "--format", "shp", "-o", "t.shp"},
                  "P1,116.30451234567,30.3030\n"),
              2);
    EXPECT_NE(err.find("line 1: the L \"116.30451234567\" has more decimals than a Shapefile's "
                       "field holds (10): write --format gpkg"),
              std::string::npos)
        << err;
}

// -o's ending picks the format without --format, and an ending of another format is refused.
TEST_F(GisFormats, TheEndingOfOutputNamesTheFormat) {
    EXPECT_EQ(Run({"forward", "--lo", "117", "--format", "gpkg", "-o", "x.shp"}, kPoints), 2);
    EXPECT_NE(err.find("-o \"x.shp\": .shp is the ending of another format, not of --format "
                       "gpkg: end the name in .gpkg"),
              std::string::npos)
        << err;
    EXPECT_EQ(
        Run(With({"forward", "--lo", "117", "--format", "kml", "-o", "x.kmz"}, kCgcs), kPoints), 2);
    EXPECT_NE(err.find(".kmz is the ending of another format"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "x.shp") || fs::exists(dir / "x.kmz"));
    ASSERT_EQ(Run({"forward", "--lo", "117", "-o", "x.gpkg"}, kPoints), 0) << err;
    EXPECT_EQ(Features("x.gpkg").size(), 2u);
    EXPECT_EQ(Run({"inverse", "--lo", "117", "-o", "x.dat"}, kPoints), 2);
    EXPECT_NE(err.find("-o \"x.dat\" ends in .dat, which names the format: --format dat holds "
                       "plane coordinates"),
              std::string::npos)
        << err;
    ASSERT_EQ(Run({"forward", "--lo", "117", "-o", "x.txt"}, kPoints), 0) << err;
    EXPECT_EQ(ReadFile(dir / "x.txt").rfind("name,L,B,X,Y\r\n", 0), 0u);
}

// Column names go into KML's XML attributes as GDAL has them: what XML cannot hold there is
// renamed, with a warning, rather than written into a file no reader opens.
TEST_F(GisFormats, KmlColumnNamesStayValidXml) {
    ASSERT_EQ(
        Run(With({"forward", "--lo", "117", "--header", "--format", "kml", "-o", "c.kml"}, kCgcs),
            "name,L,B,\"a<b&\"\"c\"\nP1,116.3045,30.3030,x\n"),
        0);
    EXPECT_NE(err.find("written as: a<b&\"c → a_b__c"), std::string::npos) << err;
    const auto features = Features("c.kml");
    ASSERT_EQ(features.size(), 1u);
    EXPECT_EQ(features[0].back(), "a_b__c=x:String");
}

// More columns than SQLite's table holds: GDAL's refusal quotes its whole statement, cut short.
TEST_F(GisFormats, TooManyColumnsForAGeoPackageAreRefusedInAFewWords) {
    std::string header = "name,L,B", row = "P,116.3045,30.3030";
    for (int c = 0; c < 2100; ++c) {
        header += ",c" + std::to_string(c);
        row += ",x";
    }
    EXPECT_EQ(Run({"forward", "--lo", "117", "--header", "-o", "w.gpkg"}, header + "\n" + row), 2);
    EXPECT_NE(err.find("cannot write w.gpkg: "), std::string::npos) << err.substr(0, 300);
    EXPECT_LT(err.size(), 1000u);
    EXPECT_FALSE(fs::exists(dir / "w.gpkg"));
}

// GDAL's KML writer drops the spaces a text starts with; they are put back, also into a
// column GDAL writes as the placemark's description.
TEST_F(GisFormats, KmlKeepsTheSpacesATextStartsWith) {
    ASSERT_EQ(
        Run(With({"forward", "--lo", "117", "--header", "--format", "kml", "-o", "s.kml"}, kCgcs),
            "name,L,B,code,Description\n\"  P1 \",116.3045,30.3030,\"  a\",\" d\"\n"
            "P2,116.3045,30.3030,b,e\n\" \",116.3045,30.3030,\"   \",\n"),
        0)
        << err;
    const std::string kml = ReadFile(dir / "s.kml");
    for (const char* text :
         {"\t<name>  P1 </name>\n\t<description> d</description>\n",
          "<SimpleData name=\"code\">  a</SimpleData>", "\t<name>P2</name>\n\t<description>e<",
          "<SimpleData name=\"code\">b</SimpleData>", "\t<name> </name>\n",
          "<SimpleData name=\"code\">   </SimpleData>"}) {
        EXPECT_NE(kml.find(text), std::string::npos) << text << "\n" << kml;
    }
    EXPECT_EQ(Features("s.kml").at(0).at(0), "Name=  P1 :String");
}

}  // namespace
}  // namespace quorvel::cli
