#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/datum/datum_operation.h"
#include "engine/run/process.h"
#include "engine/run/row_store.h"
#include "engine/writers/report_spool.h"

namespace quorvel {

// The points of a run placed for the map: longitude and latitude in decimal degrees for the
// forward and inverse computations, easting and northing in metres for the zone change.
struct MapData {
    bool geographic = true;
    double meridian = 0;       // decimal degrees (geographic) or the easting of the meridian
    std::vector<double> x, y;  // NaN where a row gives no point
    std::vector<std::uint8_t> outside;  // more than 3° from the central meridian
    // With the distortion column: the length distortion beyond the job's limit.
    std::vector<std::uint8_t> distorted;
    // For the zone change: the band's edges (meridian ± 3°) as (easting, northing) polylines.
    std::vector<std::pair<double, double>> westEdge, eastEdge;
};

// A file run by the engine: 从文件计算's projection (`job`), or 坐标转换's datum transform, whose
// job the rows keep (transform()).
struct FileJobResult {
    engine::Job job;
    std::string path;
    std::string sheet;            // a workbook's sheet; empty: its first
    std::string commandLine;      // the quorvel-batch command that writes the same CSV
    std::string commandNote;      // said after it: where its parameter file comes from
    std::string projectionLabel;  // "CGCS2000, 精确" for the report; empty for the default
    engine::RowStore rows{engine::Job()};
    std::vector<engine::Diagnostic> diagnostics;
    engine::RunCounts counts;
    // The points for the printed report, as the engine keeps them for --report: on disk, in a
    // file without a name that goes with the program.
    std::unique_ptr<engine::ReportSpool> report;
    bool cancelled = false;
    std::string error;  // a read that failed or a refused transform: nothing else is valid

    std::size_t WarningCount() const;
    const engine::TransformJob* transform() const { return rows.transform(); }
};

// A file computed by quorvel-batch's engine with a job, as the command line computes it, so the
// window and quorvel-batch read a file alike. Run() works in the calling thread.
class FileJob {
  public:
    // The job is run with a byte order mark, as the window exports its CSV.
    FileJob(engine::Job job, std::string path, std::string projectionLabel = {});
    // A datum transform, read as its DatumReading says; `commandLine` the equivalent command.
    FileJob(engine::TransformJob job, std::string path, std::string commandLine,
            std::string commandNote = {});

    // `progress` is told the bytes read so far; returning false cancels the run.
    using Progress = std::function<bool(std::uint64_t read, std::uint64_t total)>;
    void Run(const Progress& progress = {});
    std::unique_ptr<FileJobResult> TakeResult() { return std::move(result_); }
    // Reads the workbook's sheet `sheet` (empty: its first); a projection's command line says
    // so, a transform's is given with it.
    void SetSheet(const std::string& sheet);

  private:
    void Compute(engine::ByteSource& source);

    std::unique_ptr<FileJobResult> result_;
};

// Places the computed points for the map; several threads read a million rows. A transform's
// points are the target system's: plane easting and northing in metres, geodetic (and
// geocentric, on its ellipsoid) longitude and latitude; no meridian or band.
MapData BuildMapData(const FileJobResult& result);

// "quorvel-batch inverse --lo=117 --bom -- FILE" with the arguments quoted for a shell.
std::string ShellCommand(const std::vector<std::string>& args);
// The quorvel-batch command that computes `path` (its sheet `sheet`, when a workbook's is named)
// as `job` does.
std::string CommandFor(const engine::Job& job, const std::string& path,
                       const std::string& sheet = {});

}  // namespace quorvel
