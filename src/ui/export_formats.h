#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "core/parameter_file.h"
#include "engine/run/job.h"
#include "engine/writers/output_format.h"
#include "ui/file_job.h"

namespace quorvel {

// A format the results window offers for a run's results; KML from a datum other than CGCS2000
// and WGS 84 needs a parameter file to CGCS2000 or WGS 84, which the window asks for.
struct ExportFormat {
    engine::OutputFormat format;
    bool needsParameters = false;
};

// The formats `job`'s results can be written in, as engine::CheckFormat allows them, in the
// order the export dialog lists them (CSV first).
std::vector<ExportFormat> ExportFormats(const engine::Job& job);
// The formats a run's results can be written in: a projection's as above; a transform's as CSV,
// in the CASS format, DXF, GeoPackage and Shapefile when its target is a plane system, and KML
// when the target is on CGCS2000 or WGS 84 and not geocentric (engine::GisJobOf).
std::vector<ExportFormat> ExportFormats(const FileJobResult& result);
// The export dialog's filter of a format, e.g. "CSV 文件 (*.csv)".
QString ExportFilter(engine::OutputFormat format);

// A geodetic datum as window messages name it: 北京1954, 西安1980, CGCS2000, WGS 84; an
// ellipsoid of no known datum by its name.
QString DatumNameInWindow(const Ellipsoid& ellipsoid);

// Why `parameters` (read from `path`) cannot take points on `points` to KML's WGS 84: they
// start from another ellipsoid or do not end on CGCS2000 or WGS 84. Empty when they can.
QString ParametersProblem(const ParameterFile& parameters, const QString& path,
                          const Ellipsoid& points);

}  // namespace quorvel
