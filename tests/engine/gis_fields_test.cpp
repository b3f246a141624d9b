// What the GIS and CAD formats are told before GDAL sees a row: field names, field types and
// decimals, coordinate system names, the texts a format cannot keep, -o's ending; and the zone
// change whose easting cannot carry its zone number.
#include "engine/writers/gis_fields.h"

#include <gtest/gtest.h>

#include <set>

#include "core/errors.h"
#include "engine/projection/points.h"
#include "engine/run/job.h"
#include "engine/writers/gis_output.h"
#include "engine/writers/gis_texts.h"
#include "engine/writers/output_format.h"

namespace quorvel::engine {
namespace {

std::vector<std::string> Names(const std::vector<std::string>& columns, OutputFormat format) {
    std::vector<std::string> renamed;
    return FieldNames(columns, format, renamed);
}

TEST(FieldNames, DuplicatesNumberedAsBeforeHoweverMany) {
    std::vector<std::string> columns{"name", "L", "B", "X", "Y"};
    columns.insert(columns.end(), 3000, "a");
    columns.insert(columns.end(), {"A_3", "a_2999"});
    const std::vector<std::string> names = Names(columns, OutputFormat::Gpkg);
    EXPECT_EQ(names[5], "a");
    EXPECT_EQ(names[6], "a_2");
    EXPECT_EQ(names[5 + 2999], "a_3000");
    // Taken already, whatever the letter case: the next free number.
    EXPECT_EQ(names[3005], "A_3_2");
    EXPECT_EQ(names[3006], "a_2999_2");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    // A Shapefile's 10 bytes: names alike in them share the numbers, each name its own text.
    const std::vector<std::string> shp =
        Names({"measurement_1", "measurement_2", "measurement_3", "measureme", "fid", "geom"},
              OutputFormat::Shp);
    EXPECT_EQ(shp, (std::vector<std::string>{"measuremen", "measurem_2", "measurem_3", "measureme",
                                             "fid", "geom"}));
    EXPECT_EQ(Names({"fid", "geom", "FID"}, OutputFormat::Gpkg),
              (std::vector<std::string>{"fid_2", "geom_2", "FID_3"}));
    // GDAL cuts a name at a NUL, and writes KML's into XML attributes as they are.
    const std::string nul("a\0b", 3);
    EXPECT_EQ(Names({nul, "a_b"}, OutputFormat::Gpkg), (std::vector<std::string>{"a_b", "a_b_2"}));
    std::vector<std::string> renamed;
    EXPECT_EQ(FieldNames({"a<b&\"c'>", "高程"}, OutputFormat::Kml, renamed),
              (std::vector<std::string>{"a_b__c__", "高程"}));
    EXPECT_EQ(renamed, std::vector<std::string>{"a<b&\"c'> → a_b__c__"});
    EXPECT_EQ(Names({"a<b"}, OutputFormat::Gpkg), std::vector<std::string>{"a<b"});
}

// A .dbf reads numbers back as they are written: with the CSV's decimals, zone an integer.
TEST(LayerFields, ShapefileNumbersHaveTheDecimalsOfTheCsv) {
    Job job;
    job.mode = Computation::Forward;
    job.format = OutputFormat::Shp;
    job.geodesy.zone = ZoneWidth::Three;
    job.geodesy.convergence = job.geodesy.scale = job.geodesy.compare = true;
    const std::vector<std::string> names{"name",  "L", "B",  "X",  "Y", "zone",
                                         "gamma", "k", "dX", "dY", "H"};
    std::vector<GdalField> f = LayerFields(job, names);
    const std::vector<int> decimals{0, 10, 10, 4, 4, 0, 6, 10, 3, 3, 0};
    for (std::size_t c = 0; c < names.size(); ++c) EXPECT_EQ(f[c].precision, decimals[c]) << c;
    EXPECT_EQ(f[5].type, GdalField::Type::Integer32);
    EXPECT_LT(f[5].width, 10);  // wider, GDAL reads the field back as Real
    EXPECT_EQ(f[10].type, GdalField::Type::Text);
    job.mode = Computation::Inverse;
    job.geodesy.zone.reset();
    f = LayerFields(job, {"name", "X", "Y", "L", "B"});
    EXPECT_EQ(f[1].precision, 4);
    EXPECT_EQ(f[3].precision, 10);
    job.full = true;  // any double reads back
    EXPECT_EQ(LayerFields(job, {"name", "X", "Y", "L", "B"})[1].precision, 11);
    // KML's schema knows int, which it writes for no 64-bit integer.
    job.format = OutputFormat::Kml;
    job.mode = Computation::Zone;
    job.geodesy.zone = ZoneWidth::Six;
    EXPECT_EQ(LayerFields(job, {"name", "X1", "Y1", "X2", "Y2", "zone"})[5].type,
              GdalField::Type::Integer32);

    GdalField four{"X", GdalField::Type::Real, 24, 4};
    EXPECT_NO_THROW(CheckShapefileNumber(3376626.6403, four, 1, "X", "3376626.6403"));
    EXPECT_NO_THROW(CheckShapefileNumber(3.38e6, four, 1, "X", "3.38E6"));
    EXPECT_THROW(CheckShapefileNumber(3376626.64035, four, 7, "X", "3376626.64035"), IoError);
}

// No two systems written out share a name, nor has one the name of an EPSG system it is not.
TEST(LayerCrs, NamesSayWhatTheSystemIs) {
    Job job;
    job.geodesy.ellipsoid = Cgcs2000();
    job.geodesy.method = Method::Exact;
    job.geodesy.zone = ZoneWidth::Six;
    job.geodesy.zonePrefix = true;
    job.geodesy.falseEasting = 0;
    GdalCrs crs = LayerCrs(job, 20);
    EXPECT_EQ(crs.epsg, 0);
    EXPECT_EQ(crs.falseEasting, 20e6);
    EXPECT_EQ(crs.name, "CGCS2000 / Gauss-Kruger CM 117E, zone 20 in front, FE 20000000");
    std::set<std::string> names;
    for (double fe : {500000.0, 0.0, 250000.0}) {
        for (double k0 : {1.0, 0.9996}) {
            for (double lo : {117.5, -75.0}) {
                Job j;
                j.geodesy.falseEasting = fe;
                j.geodesy.k0 = k0;
                j.meridians.lo = lo;
                names.insert(LayerCrs(j, -1).name);
            }
        }
    }
    EXPECT_EQ(names.size(), 12u);
    EXPECT_TRUE(names.contains("Beijing 1954 / Gauss-Kruger CM 75W, FE 0, k0 0.9996"));
}

TEST(CheckGisText, RefusesWhatTheFormatWouldCutOrGarble) {
    const auto refused = [](std::string_view text, OutputFormat f) {
        try {
            CheckGisText(text, f, 12, "name");
        } catch (const IoError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    const std::string nul("x\0y", 3);
    for (OutputFormat f :
         {OutputFormat::Dxf, OutputFormat::Gpkg, OutputFormat::Shp, OutputFormat::Kml}) {
        EXPECT_NE(refused(nul, f).find("line 12: the name \"x\\x00y\" holds a NUL character"),
                  std::string::npos);
        EXPECT_EQ(refused("山顶 P1\t\n", f), "");
    }
    EXPECT_NE(refused("r\rs", OutputFormat::Dxf).find("holds a carriage return"),
              std::string::npos);
    EXPECT_EQ(refused("r\rs", OutputFormat::Gpkg), "");
    // Beyond the basic plane: a drawing's \U+ escape holds four digits.
    EXPECT_NE(refused("e𠮷", OutputFormat::Dxf).find("U+20BB7"), std::string::npos);
    EXPECT_NE(refused("😀", OutputFormat::Dxf).find("U+1F600"), std::string::npos);
    EXPECT_EQ(refused("e𠮷😀", OutputFormat::Kml), "");
    EXPECT_EQ(refused("\xEF\xBF\xBF", OutputFormat::Dxf), "");  // U+FFFF
    // XML holds no control characters but tab, line feed and carriage return.
    EXPECT_NE(refused("a\x01", OutputFormat::Kml).find("the control character U+0001"),
              std::string::npos);
    EXPECT_EQ(refused("a\x01", OutputFormat::Gpkg), "");
}

TEST(ForeignEnding, AnEndingOfAnotherFormat) {
    EXPECT_EQ(ForeignEnding(OutputFormat::Gpkg, "x.shp"), "shp");
    EXPECT_EQ(ForeignEnding(OutputFormat::Kml, "d/x.KMZ"), "kmz");
    EXPECT_EQ(ForeignEnding(OutputFormat::Csv, "x.dbf"), "dbf");
    EXPECT_EQ(ForeignEnding(OutputFormat::Kml, "x.kml"), std::nullopt);
    EXPECT_EQ(ForeignEnding(OutputFormat::Csv, "x.txt"), std::nullopt);
    EXPECT_EQ(ForeignEnding(OutputFormat::Dat, "a.shp/x"), std::nullopt);
    EXPECT_EQ(ForeignEnding(OutputFormat::Csv, ""), std::nullopt);
}

// With the zone number in front, an easting reads back as its zone only within 500 km of the
// zone's meridian: a zone change to a distant meridian farther out is refused, on both sides.
TEST(Projector, ZoneChangeWhoseEastingWouldReadAsAnotherZoneIsRefused) {
    Geodesy g;
    g.zone = ZoneWidth::Three;
    g.zonePrefix = true;
    const auto change = [&](int target, const char* Y, bool prefix) {
        g.targetZone = target;
        g.zonePrefix = prefix;
        RowExtras x;
        return Projector(g).Compute(Computation::Zone, {}, "4595204.4788", Y, x);
    };
    RowResult r = change(40, "38481828.8502", true);
    EXPECT_EQ(r.status, RowStatus::BeyondLimit);
    EXPECT_EQ(r.limit, Limit::PrefixedEasting);
    EXPECT_NEAR(r.value, -519351.1196, 1e-3);
    EXPECT_NEAR(r.offset, 39980648.8804, 1e-3);
    r = change(38, "40500000", true);
    EXPECT_EQ(r.limit, Limit::PrefixedEasting);
    EXPECT_GT(r.value, 500000);
    // In a zone column of its own the easting says what it is.
    r = change(40, "38481828.8502", false);
    EXPECT_EQ(r.status, RowStatus::Ok);
    EXPECT_NEAR(r.second, -19351.1196, 1e-3);
    // Nearer, the number in front reads back.
    r = change(39, "38481828.8502", true);
    EXPECT_EQ(r.status, RowStatus::Ok);
    EXPECT_EQ(std::floor(r.second / 1e6), 39);
}

}  // namespace
}  // namespace quorvel::engine
