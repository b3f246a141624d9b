// A transform's results exported from the results window in the GIS formats, read back with GDAL.
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "core/parameter_file.h"
#include "engine/reading/text_io.h"
#include "ui/export_formats.h"
#include "ui/file_job.h"
#include "ui/results_window.h"

using namespace quorvel;

namespace {

// Three points in 3° zone 39 (central meridian 117°) with heights and a code passed through.
constexpr const char* kPoints =
    "name,X,Y,H,code\n"
    "P1,3380000.1234,39500000.5678,50.25,JD\n"
    "P2,3381200.5,39498700.25,61.5,JD\n"
    "P3,3379500,39502100.75,48,SJ\n";

std::unique_ptr<FileJobResult> Transform(const QString& points, const std::string& to) {
    engine::TransformJob job;
    job.parameters = ReadParameterFile("model = 3\nfrom = plane:krassovsky:zone3\nto = " + to +
                                       "\nheights = yes\ndx = 12.5\ndy = -130.25\ndz = -48\n");
    job.parameterName = "p.txt";
    job.reading.header = true;
    FileJob run(job, points.toStdString(), "quorvel-batch transform");
    run.Run();
    std::unique_ptr<FileJobResult> result = run.TakeResult();
    return result;
}

// The CSV's records past the header (the window's CSV, a byte order mark first).
std::vector<std::vector<std::string>> CsvRecords(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    std::vector<std::vector<std::string>> records;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty()) continue;
        std::vector<std::string> r;
        for (const QByteArray& field : lines[i].trimmed().split(','))
            r.push_back(field.toStdString());
        records.push_back(r);
    }
    return records;
}

struct Feature {
    double x = 0, y = 0;
    std::vector<std::pair<std::string, std::string>> fields;  // name, value as text
};

// Every point of every layer of `path`; `epsg` the first layer's EPSG code (0: none named),
// `srs` its WKT.
std::vector<Feature> ReadBack(const QString& path, std::string* epsg = nullptr,
                              std::string* srs = nullptr) {
    std::vector<Feature> features;
    GDALDatasetH ds =
        GDALOpenEx(path.toUtf8().constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    if (ds == nullptr) return features;
    for (int i = 0; i < GDALDatasetGetLayerCount(ds); ++i) {
        OGRLayerH layer = GDALDatasetGetLayer(ds, i);
        if (OGRSpatialReferenceH ref = OGR_L_GetSpatialRef(layer); ref != nullptr && i == 0) {
            if (epsg != nullptr) {
                const char* code = OSRGetAuthorityCode(ref, nullptr);
                *epsg = code != nullptr ? code : "";
            }
            if (srs != nullptr) {
                char* wkt = nullptr;
                OSRExportToWkt(ref, &wkt);
                *srs = wkt;
                CPLFree(wkt);
            }
        }
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            Feature out;
            OGRGeometryH g = OGR_F_GetGeometryRef(f);
            out.x = OGR_G_GetX(g, 0);
            out.y = OGR_G_GetY(g, 0);
            for (int k = 0; k < OGR_F_GetFieldCount(f); ++k) {
                out.fields.emplace_back(OGR_Fld_GetNameRef(OGR_F_GetFieldDefnRef(f, k)),
                                        OGR_F_GetFieldAsString(f, k));
            }
            features.push_back(out);
            OGR_F_Destroy(f);
        }
    }
    GDALClose(ds);
    return features;
}

std::string Field(const Feature& f, const std::string& name) {
    for (const auto& [n, v] : f.fields)
        if (n == name) return v;
    return "(none)";
}

}  // namespace

class TransformExportTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString points_;

  private slots:
    void initTestCase() {
        GDALAllRegister();
        points_ = dir_.filePath(QStringLiteral("points.csv"));
        QFile f(points_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kPoints);
    }

    // DXF, GeoPackage and Shapefile hold the CSV's X2, Y2 (rounded to its 4 decimals) in the
    // target's zone system, EPSG's CGCS2000 3° zone 39 with the zone in front; the attributes
    // are the CSV's columns.
    void planeTargetInEveryFormat() {
        const auto result = Transform(points_, "plane:cgcs2000:zone3");
        QVERIFY2(result->error.empty(), result->error.c_str());
        QStringList offered;
        for (const ExportFormat& f : ExportFormats(*result))
            offered << QString::fromUtf8(engine::FormatName(f.format).data());
        QCOMPARE(offered.join(u' '), QStringLiteral("csv dat dxf gpkg shp kml"));
        QString error;
        QStringList warnings;
        const QString csv = dir_.filePath(QStringLiteral("out.csv"));
        QVERIFY2(ResultsWindow::WriteResults(*result, csv, &error, &warnings), qPrintable(error));
        const auto records = CsvRecords(csv);
        QCOMPARE(records.size(), std::size_t{3});
        for (const char* ending : {"dxf", "gpkg", "shp"}) {
            const QString path = dir_.filePath(QStringLiteral("out.") + QLatin1String(ending));
            QVERIFY2(ResultsWindow::WriteResults(*result, path, &error, &warnings),
                     qPrintable(error));
            std::string epsg, srs;
            const std::vector<Feature> read = ReadBack(path, &epsg, &srs);
            const bool dxf = std::string(ending) == "dxf";
            QCOMPARE(read.size(), dxf ? std::size_t{6} : std::size_t{3});  // point and label
            if (std::string(ending) == "gpkg") QCOMPARE(epsg, std::string("4527"));
            if (std::string(ending) == "shp") {
                QVERIFY2(srs.find("CGCS2000") != std::string::npos &&
                             srs.find("39500000") != std::string::npos,
                         srs.c_str());
            }
            // A drawing's second entity of each point is its name, beside it.
            for (std::size_t i = 0; i < read.size(); i += dxf ? 2 : 1) {
                const auto& r = records[dxf ? i / 2 : i];
                QVERIFY2(std::abs(read[i].x - std::stod(r[5])) <= 5.001e-5, ending);
                QVERIFY2(std::abs(read[i].y - std::stod(r[4])) <= 5.001e-5, ending);
                if (dxf) continue;
                QCOMPARE(Field(read[i], "name"), r[0]);
                QCOMPARE(std::stod(Field(read[i], "X1")), std::stod(r[1]));
                QCOMPARE(std::stod(Field(read[i], "Y1")), std::stod(r[2]));
                QCOMPARE(Field(read[i], "H1"), r[3]);
                QCOMPARE(std::stod(Field(read[i], "Y2")), std::stod(r[5]));
                QCOMPARE(Field(read[i], "H2"), r[6]);
                QCOMPARE(Field(read[i], "code"), r[7]);
            }
        }
    }

    // KML: each point's WGS 84 L, B as PROJ takes the CSV's X2, Y2 from EPSG:4527 to EPSG:4490.
    void planeTargetOnCgcs2000ToKml() {
        const auto result = Transform(points_, "plane:cgcs2000:zone3");
        QString error;
        QStringList warnings;
        const QString csv = dir_.filePath(QStringLiteral("kml.csv"));
        const QString kml = dir_.filePath(QStringLiteral("out.kml"));
        QVERIFY2(ResultsWindow::WriteResults(*result, csv, &error, &warnings), qPrintable(error));
        QVERIFY2(ResultsWindow::WriteResults(*result, kml, &error, &warnings), qPrintable(error));
        const auto records = CsvRecords(csv);
        const std::vector<Feature> read = ReadBack(kml);
        QCOMPARE(read.size(), records.size());
        OGRSpatialReferenceH plane = OSRNewSpatialReference(nullptr);
        OGRSpatialReferenceH geographic = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(plane, 4527);
        OSRImportFromEPSG(geographic, 4490);
        OSRSetAxisMappingStrategy(plane, OAMS_TRADITIONAL_GIS_ORDER);
        OSRSetAxisMappingStrategy(geographic, OAMS_TRADITIONAL_GIS_ORDER);
        OGRCoordinateTransformationH t = OCTNewCoordinateTransformation(plane, geographic);
        for (std::size_t i = 0; i < read.size(); ++i) {
            double x = std::stod(records[i][5]), y = std::stod(records[i][4]);
            QVERIFY(OCTTransform(t, 1, &x, &y, nullptr));
            // 5e-5 m of the CSV's rounding is some 5e-10°.
            QVERIFY2(std::abs(read[i].x - x) < 1e-8, qPrintable(QString::number(read[i].x - x)));
            QVERIFY2(std::abs(read[i].y - y) < 1e-8, qPrintable(QString::number(read[i].y - y)));
        }
        OCTDestroyCoordinateTransformation(t);
        OSRDestroySpatialReference(plane);
        OSRDestroySpatialReference(geographic);
    }

    // What a target cannot be written in is refused in the existing words, and no file is
    // left: geocentric in any GIS format, Beijing 1954 as KML, geodetic but as KML.
    void targetsRefuseWhatTheyCannotHold() {
        struct Case {
            const char* to;
            const char* ending;
            const char* offered;
        };
        const Case cases[] = {
            {"geocentric:cgcs2000", "gpkg", ".csv"},
            {"geocentric:cgcs2000", "kml", ".csv"},
            {"plane:krassovsky:zone3", "kml", ".csv .dat .dxf .gpkg .shp"},
            {"geodetic:cgcs2000", "shp", ".csv .kml"},
            {"geodetic:cgcs2000", "dxf", ".csv .kml"},
        };
        for (const Case& c : cases) {
            const auto result = Transform(points_, c.to);
            QVERIFY2(result->error.empty(), result->error.c_str());
            const QString path =
                dir_.filePath(QStringLiteral("refused.") + QLatin1String(c.ending));
            QString error;
            QStringList warnings;
            QVERIFY2(!ResultsWindow::WriteResults(*result, path, &error, &warnings), c.to);
            QVERIFY2(
                error.contains(QStringLiteral("cannot be written as ") + QLatin1String(c.ending)) &&
                    error.endsWith(QLatin1String(c.offered)),
                qPrintable(error));
            QVERIFY(!QFile::exists(path));
        }
        // A geodetic target's KML holds its L, B as they are.
        const auto result = Transform(points_, "geodetic:cgcs2000");
        const QString csv = dir_.filePath(QStringLiteral("geodetic.csv"));
        const QString kml = dir_.filePath(QStringLiteral("geodetic.kml"));
        QString error;
        QStringList warnings;
        QVERIFY2(ResultsWindow::WriteResults(*result, csv, &error, &warnings), qPrintable(error));
        QVERIFY2(ResultsWindow::WriteResults(*result, kml, &error, &warnings), qPrintable(error));
        const auto records = CsvRecords(csv);
        const std::vector<Feature> read = ReadBack(kml);
        QCOMPARE(read.size(), records.size());
        const auto degrees = [](const std::string& packed) {
            const double p = std::stod(packed);
            const double d = std::floor(p), m = std::floor((p - d) * 100 + 1e-9);
            return d + m / 60 + ((p - d) * 100 - m) * 100 / 3600;
        };
        for (std::size_t i = 0; i < read.size(); ++i) {
            QVERIFY(std::abs(read[i].x - degrees(records[i][4])) < 1e-8);
            QVERIFY(std::abs(read[i].y - degrees(records[i][5])) < 1e-8);
        }
    }
};

QTEST_MAIN(TransformExportTest)
#include "transform_export_test.moc"
