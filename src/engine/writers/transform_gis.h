#pragma once

#include <optional>
#include <string>

#include "engine/datum/datum_operation.h"
#include "engine/run/job.h"
#include "engine/run/row_store.h"
#include "engine/writers/gis_output.h"
#include "engine/writers/output_format.h"

namespace quorvel::engine {

// A transform's rows through the projection's GIS writers: the projection job that places the
// target system's points as GisOutput places a computation's, with its coordinate system and
// fields. A plane target is written as plane results (DXF, GeoPackage, Shapefile, and KML
// through the exact inverse); a geodetic one as the inverse's L, B (KML only). None for a
// geocentric target or a format the target cannot be written in; the caller still checks the
// job (CheckFormat: KML of a datum other than CGCS2000 and WGS 84).
std::optional<Job> GisJobOf(const TransformJob& transform, OutputFormat format);

// Writes a transform's `rows` in `format` (which GisJobOf and CheckFormat allow) into `target`,
// all or nothing: the name, the typed source values and the target's coordinates as numbers, the
// heights (H1, H2, or geocentric Z1) as the CSV writes them, then the fields passed through.
// Throws IoError; a format refused here is std::invalid_argument.
void WriteTransformGis(const RowStore& rows, const TransformJob& transform, OutputFormat format,
                       const std::string& target, const OutputWarning& warn);

}  // namespace quorvel::engine
