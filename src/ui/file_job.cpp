#include "ui/file_job.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <thread>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/zones.h"
#include "engine/projection/zone_band.h"
#include "engine/reading/point_input.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace quorvel {
namespace {

class KeptDiagnostics : public engine::DiagnosticSink {
  public:
    explicit KeptDiagnostics(std::vector<engine::Diagnostic>& kept) : kept_(kept) {}
    void Take(const engine::Diagnostic& d) override { kept_.push_back(d); }

  private:
    std::vector<engine::Diagnostic>& kept_;
};

std::string ShellQuote(const std::string& arg) {
    const bool plain = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_./=,+:@%", c);
    });
    if (plain) return arg;
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::size_t FileJobResult::WarningCount() const {
    return static_cast<std::size_t>(
        std::count_if(diagnostics.begin(), diagnostics.end(),
                      [](const engine::Diagnostic& d) { return d.IsWarning(); }));
}

std::string ShellCommand(const std::vector<std::string>& args) {
    std::string line = "quorvel-batch";
    for (const std::string& a : args) line += ' ' + ShellQuote(a);
    return line;
}

std::string CommandFor(const engine::Job& job, const std::string& path, const std::string& sheet) {
    std::vector<std::string> args = engine::JobArguments(job);
    if (!sheet.empty()) args.insert(args.end(), {"--sheet", sheet});
    args.emplace_back("--");
    args.push_back(path);
    return ShellCommand(args);
}

FileJob::FileJob(engine::Job job, std::string path, std::string projectionLabel)
    : result_(std::make_unique<FileJobResult>()) {
    job.bom = true;  // the CSV kept is the CSV exported, mark and all
    result_->job = job;
    result_->rows = engine::RowStore(job);
    result_->path = std::move(path);
    result_->commandLine = CommandFor(job, result_->path);
    result_->projectionLabel = std::move(projectionLabel);
}

FileJob::FileJob(engine::TransformJob job, std::string path, std::string commandLine,
                 std::string commandNote)
    : result_(std::make_unique<FileJobResult>()) {
    job.writing.bom = true;  // as the window exports its CSV
    result_->rows = engine::RowStore(job);
    result_->path = std::move(path);
    result_->commandLine = std::move(commandLine);
    result_->commandNote = std::move(commandNote);
}

void FileJob::SetSheet(const std::string& sheet) {
    FileJobResult& r = *result_;
    r.sheet = sheet;
    // A transform's command line is its dialog's, which names the sheet itself.
    if (!r.transform()) r.commandLine = CommandFor(r.job, r.path, sheet);
}

void FileJob::Compute(engine::ByteSource& source) {
    FileJobResult& r = *result_;
    KeptDiagnostics kept(r.diagnostics);
    if (const engine::TransformJob* transform = r.transform()) {
        engine::RowSink* sinks[] = {&r.rows};
        const engine::TransformOutcome outcome =
            engine::RunTransform(*transform, source, r.path, sinks, kept);
        // The input and the parameters do not belong together: no row was kept.
        if (outcome.refusal) {
            r.error = ShownMessage(outcome.refusal->words);
        } else {
            r.counts = outcome.counts;
        }
        return;
    }
    r.report = std::make_unique<engine::ReportSpool>(
        platform::Utf8Path(std::filesystem::temp_directory_path()));
    engine::ReportSink points(r.job, *r.report);
    engine::RowSink* sinks[] = {&r.rows, &points};
    r.counts = engine::RunJob(r.job, source, sinks, kept);
}

void FileJob::Run(const Progress& progress) {
    FileJobResult& r = *result_;
    // Read as quorvel-batch reads it: converted to UTF-8 first when it is in another encoding.
    const std::string& encoding = r.transform() ? r.transform()->reading.encoding : r.job.encoding;
    engine::PointInput input;
    if (const std::string why = input.Open({r.path, encoding, r.sheet}, -1); !why.empty()) {
        r.error = why;
        return;
    }
    input.Watch(progress);
    try {
        engine::ByteSource& source = input.Source();
        if (input.ReadsUtf8Mark()) r.diagnostics.push_back(engine::Utf8Mark(encoding, r.path));
        Compute(source);
    } catch (const engine::InputCancelled&) {
        r.cancelled = true;
    } catch (const engine::IoError& e) {
        r.error = ShownMessage(e.what());
    } catch (const std::bad_alloc&) {
        r.error = Tr("out of memory");
    }
}

namespace {

// Each row's point, in as many threads as pay: forward the typed L and B, inverse the computed
// L and B (degrees), zone the computed X2 and Y2; `outside` beyond 3° of the one meridian.
void PlacePoints(const FileJobResult& result, MapData& map) {
    const engine::RowStore& rows = result.rows;
    const engine::Job& job = result.job;
    const std::size_t count = rows.size();
    const bool zone = job.mode == Computation::Zone;
    const auto place = [&](std::size_t begin, std::size_t end) {
        std::vector<std::string_view> passed;
        std::string first, second;
        for (std::size_t i = begin; i < end; ++i) {
            if (job.geodesy.distortion) {
                const double d = rows.At(i, passed).extras.distortion;
                map.distorted[i] = std::abs(d) > job.geodesy.distortionLimit;
            }
            if (zone) {
                // The zone number in front of the easting moves no point within its zone.
                const double east = rows.Result2(i);
                map.x[i] = job.geodesy.zonePrefix
                               ? WithoutZonePrefix(east, job.geodesy.falseEasting)
                               : east;
                map.y[i] = rows.Result1(i);
                continue;
            }
            double l = rows.Result1(i), b = rows.Result2(i);
            if (job.mode == Computation::Forward) {
                const engine::Row row = rows.At(i, passed);
                const auto typedL =
                    TryParseNumber(engine::DecimalText(row.first, job.decimalComma, first));
                const auto typedB =
                    TryParseNumber(engine::DecimalText(row.second, job.decimalComma, second));
                if (!typedL || !typedB) continue;
                l = *typedL;
                b = *typedB;
            }
            // A longitude whole turns away is drawn beside the meridian: −179° next to 180°.
            const double x = DecodePackedAngle(l);
            map.x[i] =
                std::isnan(map.meridian) ? x : map.meridian + MeridianOffset(x, map.meridian);
            map.y[i] = DecodePackedAngle(b);
            map.outside[i] = std::abs(map.x[i] - map.meridian) > 3;
        }
    };
    const std::size_t threads =
        count < 50000 ? 1 : std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(place, count * t / threads, count * (t + 1) / threads);
    place(0, count / threads);
    for (std::thread& t : pool) t.join();
}

// The zone change's band, Ls ± 3° in the job's own projection over the northings the points
// span (and half a degree more), and the points outside it.
void AddZoneBand(const engine::Job& job, MapData& map) {
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (double north : map.y) {
        if (!std::isfinite(north)) continue;
        low = std::min(low, north);
        high = std::max(high, north);
    }
    if (!(low <= high)) return;
    std::optional<engine::ZoneBand> made;
    try {
        made.emplace(job.geodesy, job.meridians.ls, low, high);
    } catch (const InvalidParameterError&) {
        return;  // settings the core refused computed no point: nothing to draw
    }
    const engine::ZoneBand& band = *made;
    map.westEdge = band.WestEdge();
    map.eastEdge = band.EastEdge();
    for (std::size_t i = 0; i < map.x.size(); ++i)
        map.outside[i] = band.Outside(map.x[i], map.y[i]);
}

}  // namespace

namespace {

// A transform's points in its target system, one thread: a transform is seldom of millions.
MapData TransformMap(const engine::RowStore& rows) {
    const CoordinateSystem& to = rows.transform()->parameters.to;
    MapData map;
    const std::size_t count = rows.size();
    map.x.assign(count, NAN);
    map.y.assign(count, NAN);
    map.outside.assign(count, 0);
    map.distorted.assign(count, 0);
    map.geographic = to.kind != SystemKind::Plane;
    map.meridian = NAN;
    const GeographicLib::Geocentric earth(to.ellipsoid.a, to.ellipsoid.f);
    for (std::size_t i = 0; i < count; ++i) {
        const double a = rows.Result1(i), b = rows.Result2(i);
        if (to.kind == SystemKind::Plane) {
            // The zone number in front of the easting moves no point within its zone.
            map.x[i] = to.HasZones() ? WithoutZonePrefix(b, 500000) : b;
            map.y[i] = a;
        } else if (to.kind == SystemKind::Geodetic) {
            map.x[i] = DecodePackedAngle(a);
            map.y[i] = DecodePackedAngle(b);
        } else {
            double lat = 0, lon = 0, h = 0;
            earth.Reverse(a, b, rows.Result3(i), lat, lon, h);
            map.x[i] = lon;
            map.y[i] = lat;
        }
    }
    return map;
}

}  // namespace

MapData BuildMapData(const FileJobResult& result) {
    if (result.transform()) return TransformMap(result.rows);
    const engine::Job& job = result.job;
    MapData map;
    const std::size_t count = result.rows.size();
    map.x.assign(count, NAN);
    map.y.assign(count, NAN);
    map.outside.assign(count, 0);
    map.distorted.assign(count, 0);
    const bool zone = job.mode == Computation::Zone;
    const bool zoneEach = job.geodesy.zone.has_value();
    map.geographic = !zone;
    // With a zone for each point there is no one meridian to draw or measure from.
    map.meridian = zoneEach ? NAN : zone ? job.geodesy.falseEasting : job.meridians.lo;
    PlacePoints(result, map);
    if (zone && !zoneEach) AddZoneBand(job, map);
    return map;
}

}  // namespace quorvel
