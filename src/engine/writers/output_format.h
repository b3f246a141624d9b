#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ellipsoid.h"
#include "engine/run/refusal.h"

namespace quorvel::engine {

struct Job;

// What a run writes its rows as:
//   csv   the CSV with a header line (the default)
//   dat   the CASS coordinate file: name,code,Y,X,H a line, plane results only
//   dxf   a drawing: a POINT and the name as text per point, a layer per computation (and zone)
//   gpkg  a GeoPackage point layer (one per zone), every column an attribute, the CRS set
//   shp   a Shapefile point layer with its .shx, .dbf, .prj and .cpg
//   kml   placemarks at WGS 84 longitude and latitude
enum class OutputFormat { Csv, Dat, Dxf, Gpkg, Shp, Kml };

// "csv", "dat", ...: the name --format takes and the file ending.
std::string_view FormatName(OutputFormat format);
// Reads a format name in any letter case into `format`; a refusal names --format.
[[nodiscard]] std::optional<JobRefusal> ParseFormat(std::string_view text, OutputFormat& format);
// The format a file name's ending asks for, as the window's save dialog offers them; CSV for
// any other ending.
OutputFormat FormatOfPath(std::string_view path);
// The ending of `path` (lower case, without the dot) when it belongs to a format other than
// `format`: another of ours, KML compressed (kmz), a Shapefile's other files, a drawing (dwg), a
// PDF; none for `format`'s own ending (also .txt for csv and dat), for any other, or none.
std::optional<std::string> ForeignEnding(OutputFormat format, std::string_view path);
// Whether the format is written through GDAL into files of its own: never to standard output.
bool WritesThroughGdal(OutputFormat format);

// Every file the output `target` consists of: the target itself, and for a Shapefile its
// .shx, .dbf, .prj and .cpg beside it.
std::vector<std::string> OutputFiles(OutputFormat format, const std::string& target);

// The geodetic datum a job's ellipsoid stands for: the catalogue's krassovsky is Beijing 1954,
// xian80 Xi'an 1980; cgcs2000 and wgs84 their datums. An ellipsoid typed as numbers names none.
enum class Datum { None, Beijing1954, Xian1980, Cgcs2000, Wgs84 };
Datum DatumOf(const Ellipsoid& ellipsoid);
// "Beijing 1954", ...; for None the ellipsoid's name.
std::string DatumName(Datum datum, const Ellipsoid& ellipsoid);

// Refuses what the format cannot hold (without the usage; a mistyped combination: with it): the
// CASS file and the drawing hold plane coordinates, which the inverse does not compute; KML holds
// WGS 84, which only CGCS2000 and WGS 84 give without a datum transformation (`parameters`: one is
// given). A build without the GDAL module (Windows) refuses every format it writes.
[[nodiscard]] std::optional<JobRefusal> CheckFormat(const Job& job, bool parameters);

}  // namespace quorvel::engine
