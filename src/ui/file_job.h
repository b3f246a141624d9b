#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/options.h"
#include "engine/report_spool.h"
#include "engine/run.h"
#include "ui/csv_store.h"

namespace quorvel {

// The points of a run placed for the map: longitude and latitude in decimal degrees for the
// forward and inverse computations, easting and northing in metres for the zone change.
struct MapData {
    bool geographic = true;
    double meridian = 0;       // decimal degrees (geographic) or the easting of the meridian
    std::vector<double> x, y;  // NaN where a row gives no point
    std::vector<std::uint8_t> outside;  // more than 3° from the central meridian
    // For the zone change: the band's edges (meridian ± 3°) as (easting, northing) polylines.
    std::vector<std::pair<double, double>> westEdge, eastEdge;
};

// A rejected input line as the engine reported it, or one of its warnings (results and
// counts stand; line 0 for a warning about the whole run).
struct RejectedLine {
    std::uint64_t line = 0;
    std::string reason;
    bool warning = false;
};

struct FileJobResult {
    engine::Options options;
    std::string path;
    std::string commandLine;      // the quorvel-batch command that writes the same CSV
    bool zoneEach = false;        // each point on the meridian of its own zone (--zone)
    bool zonePrefix = false;      // eastings with the zone number in front (--zone-prefix)
    std::string projectionLabel;  // "CGCS2000, 精确" for the report; empty for the default
    CsvStore store;
    std::vector<RejectedLine> rejected;
    engine::RunCounts counts;
    // The points for the printed report, as the engine keeps them for --report: on disk, in a
    // file without a name that goes with the program.
    std::unique_ptr<engine::ReportSpool> report;
    bool cancelled = false;
    std::string error;  // a read that failed: nothing else is valid
};

// A file computed by quorvel-batch's engine: `args` are quorvel-batch's arguments (mode,
// options, the file), so the window and the command line read a file alike. Run() works in the
// calling thread; the progress and Cancel() may be used from any other.
class FileJob {
  public:
    // Throws engine::UsageError for arguments quorvel-batch would refuse.
    explicit FileJob(std::vector<std::string> args);

    void Run();
    void Cancel() { cancel_ = true; }
    bool Done() const { return done_; }
    std::uint64_t BytesRead() const { return bytesRead_; }
    std::uint64_t TotalBytes() const { return totalBytes_; }
    // The ellipsoid and method for the report's heading, when not the default.
    void SetProjectionLabel(std::string label) { result_->projectionLabel = std::move(label); }
    // Where the report's points wait; the system's temporary folder unless set before Run().
    void SetSpoolFolder(std::string folder) { spoolFolder_ = std::move(folder); }
    // Valid once Done().
    std::unique_ptr<FileJobResult> TakeResult() { return std::move(result_); }

  private:
    std::unique_ptr<FileJobResult> result_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> done_{false};
    std::atomic<std::uint64_t> bytesRead_{0};
    std::uint64_t totalBytes_ = 0;
    std::string spoolFolder_;
};

// Places the computed points for the map; several threads read a million rows.
MapData BuildMapData(const FileJobResult& result);

// "quorvel-batch inverse --lo=117 --bom -- FILE" with the arguments quoted for a shell.
std::string ShellCommand(const std::vector<std::string>& args);

}  // namespace quorvel
