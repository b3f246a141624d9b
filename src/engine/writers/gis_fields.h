#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/writers/gdal_writer.h"
#include "engine/writers/output_format.h"

namespace quorvel::engine {

struct Job;

// The name each column gets in `format`: a Shapefile's names hold 10 bytes; no two names may
// differ by letter case alone; a GeoPackage keeps fid and geom for itself. `renamed` gets
// "old → new" for each column written under another name. Linear in the columns, however many
// share a name.
std::vector<std::string> FieldNames(const std::vector<std::string>& columns, OutputFormat format,
                                    std::vector<std::string>& renamed);

// The fields of a layer of `job`'s rows named `names`: the name and the passed-through columns
// texts, the typed values, results and added columns numbers, `zone` an integer. A Shapefile's
// numbers have the decimals the CSV writes (with --full, 11: any double reads back).
std::vector<GdalField> LayerFields(const Job& job, const std::vector<std::string>& names);

// A Shapefile holds a typed value to its field's decimals: refuses, as IoError naming the line
// and the column, one that would not read back as the number typed.
void CheckShapefileNumber(double value, const GdalField& field, std::uint64_t line,
                          std::string_view column, std::string_view typed);

}  // namespace quorvel::engine
