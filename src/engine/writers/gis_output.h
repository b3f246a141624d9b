#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/parameter_file.h"
#include "engine/run/row_store.h"
#include "engine/run/rows.h"
#include "engine/writers/gdal_writer.h"

namespace quorvel::engine {

// Warnings of an output, each a sentence (a renamed column, a word of GDAL's).
using OutputWarning = std::function<void(const std::string&)>;

// The coordinate system of a layer of plane results in `zone` (with --zone; else -1), or of
// the inverse's geodetic results: the EPSG code of Beijing 1954, Xi'an 1980 and CGCS2000
// Gauss-Krüger 3° and 6° zones (with the zone number in front of the easting or without) and of
// their geographic systems; else transverse Mercator written out on the datum (Beijing 1954
// with a central meridian of 117.5°), or on the bare ellipsoid for one of no known datum.
GdalCrs LayerCrs(const Job& job, int zone);

// Reads a parameter file for --format kml. Throws IoError naming the file.
ParameterFile ReadParameters(const std::string& path);

// An output in a format written through GDAL (dxf, gpkg, shp, kml) into `target`. GDAL writes
// into a folder of its own beside the target, whose files are renamed over the target (for a
// Shapefile, its five files) all or none, as AtomicFile does for one; nothing is left behind
// on failure or on SIGINT, SIGTERM, SIGHUP and SIGPIPE. KML from a datum other than CGCS2000
// and WGS 84 goes through `parameters` (named `parametersName` in messages), which must
// transform from the job's ellipsoid to CGCS2000 or WGS 84. Throws IoError when the files
// cannot be made or GDAL cannot be loaded; the caller checks the format first (CheckFormat: a
// format it refuses here is std::invalid_argument).
class GisOutput {
  public:
    GisOutput(const Job& job, const std::string& target,
              const std::optional<ParameterFile>& parameters, const std::string& parametersName,
              OutputWarning warn);
    ~GisOutput();
    GisOutput(const GisOutput&) = delete;
    GisOutput& operator=(const GisOutput&) = delete;

    // Where the rows go; End() completes the dataset.
    RowSink& Rows();

    // As AtomicFile's: every file complete on disk, then in place, then settled or undone.
    void Finish();
    void Publish();
    void Settle();
    void Undo();

  private:
    class Sink;
    std::vector<std::unique_ptr<AtomicFile>> files_;
    std::string stage_;                // the folder GDAL writes into
    std::vector<std::string> staged_;  // GDAL's file of each of files_
    std::vector<bool> absent_;         // files GDAL did not write
    std::vector<std::unique_ptr<RemovedOnSignal>> removed_;
    std::unique_ptr<GdalWriter> writer_;
    std::unique_ptr<Sink> sink_;
    std::size_t published_ = 0;
};

// Writes the rows of `rows` as `job` (its format) says into `target`, all or nothing, as the
// window exports them: CSV and the CASS file straight, the others through GisOutput (KML with
// `parameters`, named `parametersName`, as -p gives them). Throws IoError; the caller checks the
// format first (CheckFormat: a format it refuses here is std::invalid_argument).
void WriteRows(const RowStore& rows, const Job& job, const std::string& target,
               const OutputWarning& warn,
               const std::optional<ParameterFile>& parameters = std::nullopt,
               const std::string& parametersName = {});

}  // namespace quorvel::engine
