#include "ui/export_formats.h"

#include "engine/writers/transform_gis.h"
#include "print/qt_messages.h"

namespace quorvel {

std::vector<ExportFormat> ExportFormats(const engine::Job& job) {
    using engine::OutputFormat;
    std::vector<ExportFormat> formats;
    for (OutputFormat f : {OutputFormat::Csv, OutputFormat::Dat, OutputFormat::Dxf,
                           OutputFormat::Gpkg, OutputFormat::Shp, OutputFormat::Kml}) {
        engine::Job j = job;
        j.format = f;
        j.bom = false;  // the window adds the CSV's mark itself
        // Writable as the job is, or with a parameter file (which only KML takes).
        for (const bool parameters : {false, true}) {
            if (!engine::CheckFormat(j, parameters)) {
                formats.push_back({f, parameters});
                break;
            }
        }
    }
    return formats;
}

std::vector<ExportFormat> ExportFormats(const FileJobResult& result) {
    const engine::TransformJob* transform = result.transform();
    if (transform == nullptr) return ExportFormats(result.job);
    std::vector<ExportFormat> formats = {{engine::OutputFormat::Csv}};
    if (transform->parameters.to.kind == SystemKind::Plane)
        formats.push_back({engine::OutputFormat::Dat});
    // The window asks for no parameter file for a transform's KML: its target is the datum.
    for (engine::OutputFormat f : {engine::OutputFormat::Dxf, engine::OutputFormat::Gpkg,
                                   engine::OutputFormat::Shp, engine::OutputFormat::Kml}) {
        const std::optional<engine::Job> job = engine::GisJobOf(*transform, f);
        if (job && !engine::CheckFormat(*job, false)) formats.push_back({f});
    }
    return formats;
}

QString ExportFilter(engine::OutputFormat format) {
    switch (format) {
        case engine::OutputFormat::Csv:
            return QStringLiteral("CSV 文件 (*.csv)");
        case engine::OutputFormat::Dat:
            return QStringLiteral("CASS 坐标数据文件 (*.dat)");
        case engine::OutputFormat::Dxf:
            return QStringLiteral("DXF 图形 (*.dxf)");
        case engine::OutputFormat::Gpkg:
            return QStringLiteral("GeoPackage (*.gpkg)");
        case engine::OutputFormat::Shp:
            return QStringLiteral("Shapefile (*.shp)");
        case engine::OutputFormat::Kml:
            return QStringLiteral("KML，WGS 84 (*.kml)");
    }
    return {};
}

QString DatumNameInWindow(const Ellipsoid& ellipsoid) {
    switch (engine::DatumOf(ellipsoid)) {
        case engine::Datum::Beijing1954:
            return QtMessage(Tr("Beijing 1954"));
        case engine::Datum::Xian1980:
            return QtMessage(Tr("Xi'an 1980"));
        case engine::Datum::Cgcs2000:
            return QStringLiteral("CGCS2000");
        case engine::Datum::Wgs84:
            return QStringLiteral("WGS 84");
        case engine::Datum::None:
            break;
    }
    return QString::fromStdString(ellipsoid.name);
}

QString ParametersProblem(const ParameterFile& parameters, const QString& path,
                          const Ellipsoid& points) {
    if (!parameters.datum) {
        return QtMessage(Tr("The parameter file {0} holds a height model alone, no datum "
                            "transformation: choose one from {1} to CGCS2000 or WGS 84."),
                         {path, DatumNameInWindow(points)});
    }
    const Ellipsoid& from = parameters.from.ellipsoid;
    if (from.a != points.a || from.f != points.f) {
        return QtMessage(Tr("The parameter file {0} transforms from {1}, and the points are on "
                            "{2}: choose one from {2} to CGCS2000 or WGS 84."),
                         {path, DatumNameInWindow(from), DatumNameInWindow(points)});
    }
    const engine::Datum to = engine::DatumOf(parameters.to.ellipsoid);
    if (to != engine::Datum::Cgcs2000 && to != engine::Datum::Wgs84) {
        return QtMessage(Tr("The parameter file {0} transforms to {1}: KML needs one to "
                            "CGCS2000 or WGS 84."),
                         {path, DatumNameInWindow(parameters.to.ellipsoid)});
    }
    return {};
}

}  // namespace quorvel
