#include "ui/file_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

#include "core/constants.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/projection.h"
#include "core/zones.h"

namespace quorvel {
namespace {

class Cancelled : public engine::IoError {
  public:
    Cancelled() : engine::IoError("cancelled") {}
};

// The file as the engine reads it, counting what it has read and stopping on Cancel.
class WatchedSource : public engine::ByteSource {
  public:
    WatchedSource(int fd, std::string name, std::atomic<bool>& cancel,
                  std::atomic<std::uint64_t>& bytes)
        : file_(fd, std::move(name)), cancel_(cancel), bytes_(bytes) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (cancel_) throw Cancelled();
        const std::size_t got = file_.Read(buffer, size);
        bytes_ += got;
        return got;
    }

  private:
    engine::FdSource file_;
    std::atomic<bool>& cancel_;
    std::atomic<std::uint64_t>& bytes_;
};

// The engine's messages name the input as "NAME:LINE: reason" (the name given is empty), its
// warnings "NAME:LINE: warning: ..." or "quorvel-batch: warning: ...".
std::vector<RejectedLine> ReadMessages(const std::string& text) {
    constexpr std::string_view kWarning = "warning: ";
    constexpr std::string_view kProgram = "quorvel-batch: ";
    std::vector<RejectedLine> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view message = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        RejectedLine entry;
        if (message.starts_with(':')) {
            const char* begin = message.data() + 1;
            const char* end = message.data() + message.size();
            const auto [ptr, ec] = std::from_chars(begin, end, entry.line);
            if (ec == std::errc() && ptr != begin && end - ptr >= 2 && ptr[0] == ':' &&
                ptr[1] == ' ') {
                message = std::string_view(ptr + 2, static_cast<std::size_t>(end - ptr - 2));
            } else {
                entry.line = 0;
            }
        } else if (message.starts_with(kProgram)) {
            message.remove_prefix(kProgram.size());
        }
        if (message.starts_with(kWarning)) {
            entry.warning = true;
            message.remove_prefix(kWarning.size());
        }
        entry.reason = message;
        lines.push_back(std::move(entry));
    }
    return lines;
}

std::string ShellQuote(const std::string& arg) {
    const bool plain = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_./=,+:@%", c);
    });
    if (plain) return arg;
    std::string out = "'";
    for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Fields `first` and `first + 1` of a record; split in place when no quote comes before them,
// as for nearly every row.
bool TwoFields(std::string_view record, std::size_t first, std::vector<std::string>& scratch,
               std::string_view& a, std::string_view& b) {
    constexpr auto npos = std::string_view::npos;
    // An unquoted field holds no comma: the engine quotes every field that has one.
    const auto unquotedAt = [record](std::size_t at) {
        return at >= record.size() || record[at] != '"';
    };
    std::size_t at = 0;
    bool plain = true;
    for (std::size_t k = 0; k < first && plain; ++k) {
        const std::size_t comma = record.find(',', at);
        plain = unquotedAt(at) && comma != npos;
        at = comma + 1;
    }
    if (plain && unquotedAt(at)) {
        const std::size_t comma = record.find(',', at);
        if (comma != npos && unquotedAt(comma + 1)) {
            a = record.substr(at, comma - at);
            b = record.substr(comma + 1, record.find(',', comma + 1) - (comma + 1));
            return true;
        }
    }
    SplitCsvRecord(record, scratch);
    if (scratch.size() < first + 2) return false;
    a = scratch[first];
    b = scratch[first + 1];
    return true;
}

// A number for the map, where a pixel is far coarser than the last bit: the plain ASCII form
// directly, anything else (full-width digits, blanks) as the engine reads it.
std::optional<double> MapNumber(std::string_view text) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size()) return v;
    return TryParseNumber(text);
}

// Packed degrees to degrees, close enough for the map (the exact decoding reads the digits of
// the shortest text, several times slower and no different on the screen).
std::optional<double> PackedDegrees(std::string_view text) {
    const std::optional<double> packed = MapNumber(text);
    if (!packed || !std::isfinite(*packed)) return std::nullopt;
    const double a = std::abs(*packed);
    const double degrees = std::trunc(a);
    const double minutes = std::trunc((a - degrees) * 100 + 1e-9);
    const double seconds = ((a - degrees) * 100 - minutes) * 100;
    return std::copysign(degrees + minutes / 60 + seconds / 3600, *packed);
}

}  // namespace

std::string ShellCommand(const std::vector<std::string>& args) {
    std::string line = "quorvel-batch";
    for (const std::string& a : args) line += ' ' + ShellQuote(a);
    return line;
}

FileJob::FileJob(std::vector<std::string> args) : result_(std::make_unique<FileJobResult>()) {
    std::vector<std::string_view> views(args.begin(), args.end());
    result_->options = engine::ParseArguments(views, /*pdfReports=*/false);
    result_->path = result_->options.input;
    const auto end = std::find(args.begin(), args.end(), "--");
    for (auto a = args.begin(); a != end; ++a) {
        if (*a == "--zone" || a->starts_with("--zone=")) result_->zoneEach = true;
        if (*a == "--zone-prefix") result_->zonePrefix = true;
    }
    // The export carries a byte order mark: the command that writes the same bytes asks for one.
    if (std::find(args.begin(), end, "--bom") == end) args.insert(end, "--bom");
    result_->commandLine = ShellCommand(args);
    struct stat st {};
    if (::stat(result_->path.c_str(), &st) == 0)
        totalBytes_ = static_cast<std::uint64_t>(st.st_size);
}

void FileJob::Run() {
    FileJobResult& r = *result_;
    const int fd = ::open(r.path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        r.error =
            "无法读取 " + r.path + "：" +
            (fd >= 0 && S_ISDIR(st.st_mode) ? std::string("这是文件夹") : std::strerror(errno));
        if (fd >= 0) ::close(fd);
        done_ = true;
        return;
    }
    std::ostringstream messages;
    try {
        for (const std::string& w : r.options.warnings) messages << "warning: " << w << '\n';
        WatchedSource file(fd, r.path, cancel_, bytesRead_);
        // Read as quorvel-batch reads it: converted to UTF-8 first when it is in another encoding.
        std::optional<engine::DecodingSource> decoded;
        if (!r.options.encoding.empty()) decoded.emplace(file, r.options.encoding);
        if (decoded && decoded->ReadsUtf8()) {
            messages << "warning: the file " << engine::Utf8MarkWarning(r.options.encoding) << '\n';
        }
        engine::ByteSource& source = decoded ? static_cast<engine::ByteSource&>(*decoded) : file;
        engine::OutputBuffer out(r.store);
        r.report = std::make_unique<engine::ReportSpool>(
            spoolFolder_.empty() ? std::filesystem::temp_directory_path().string() : spoolFolder_);
        r.counts = engine::ProcessPoints(r.options, source, "", out, messages, r.report.get());
        r.rejected = ReadMessages(messages.str());
    } catch (const Cancelled&) {
        r.cancelled = true;
    } catch (const engine::IoError& e) {
        r.error = e.what();
    } catch (const std::bad_alloc&) {
        r.error = "内存不足";
    }
    ::close(fd);
    done_ = true;
}

MapData BuildMapData(const FileJobResult& result) {
    const CsvStore& store = result.store;
    const engine::Options& options = result.options;
    MapData map;
    const std::size_t rows = store.RowCount();
    map.x.assign(rows, NAN);
    map.y.assign(rows, NAN);
    map.outside.assign(rows, 0);
    using Mode = decltype(engine::Options::mode);
    const bool zone = options.mode == Mode::Zone;
    map.geographic = !zone;
    // With a zone for each point there is no one meridian to draw or measure from.
    map.meridian = result.zoneEach ? NAN : zone ? FalseEasting : options.meridians.lo;
    // Forward: the typed L and B; inverse: the computed L and B; zone: the computed X2, Y2.
    const std::size_t first = options.mode == Mode::Forward ? 1 : 3;

    // A million rows are read in a few threads, each with its own range of rows.
    const auto place = [&](std::size_t begin, std::size_t end) {
        std::vector<std::string> scratch;
        for (std::size_t i = begin; i < end; ++i) {
            std::string_view a, b;
            if (!TwoFields(store.Row(i), first, scratch, a, b)) continue;
            if (zone) {
                const auto north = MapNumber(a);
                const auto east = MapNumber(b);
                if (!north || !east) continue;
                // The zone number in front of the easting moves no point within its zone.
                map.x[i] = result.zonePrefix ? std::fmod(*east, 1e6) : *east;
                map.y[i] = *north;
            } else {
                const auto l = PackedDegrees(a);
                const auto lat = PackedDegrees(b);
                if (!l || !lat) continue;
                // A longitude whole turns away is drawn beside the meridian: −179° next to 180°.
                double x = *l;
                if (const double offset = MeridianOffset(x, map.meridian);
                    offset != x - map.meridian) {
                    x = map.meridian + offset;
                }
                map.x[i] = x;
                map.y[i] = *lat;
                map.outside[i] = std::abs(x - map.meridian) > 3;
            }
        }
    };
    const std::size_t threads =
        rows < 50000 ? 1 : std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(place, rows * t / threads, rows * (t + 1) / threads);
    place(0, rows / threads);
    for (std::thread& t : pool) t.join();
    if (!zone || result.zoneEach) return map;

    double low = HUGE_VAL, high = -HUGE_VAL;
    for (double north : map.y) {
        if (!std::isfinite(north)) continue;
        low = std::min(low, north);
        high = std::max(high, north);
    }
    if (!(low <= high)) return map;

    // The band's edges, meridian ± 3°, over the latitudes the points span (and a little more).
    const EllipsoidConstants c = EllipsoidConstants::Load();
    const double ls = options.meridians.ls;
    const double south = std::clamp(FootpointLatitude(c, low) - 0.5, -89.0, 89.0);
    const double north = std::clamp(FootpointLatitude(c, high) + 0.5, -89.0, 89.0);
    std::vector<std::pair<double, double>> halfWidth;  // (northing, |y| of the edge)
    constexpr int kSteps = 64;
    for (int k = 0; k <= kSteps; ++k) {
        const double b = south + (north - south) * k / kSteps;
        const PlanePoint east = ForwardProject(c, b, ls + 3, ls);
        if (!std::isfinite(east.X) || !std::isfinite(east.AbsY)) continue;
        map.eastEdge.emplace_back(FalseEasting + east.AbsY, east.X);
        map.westEdge.emplace_back(FalseEasting - east.AbsY, east.X);
        halfWidth.emplace_back(east.X, east.AbsY);
    }
    std::sort(halfWidth.begin(), halfWidth.end());
    if (halfWidth.empty()) return map;
    for (std::size_t i = 0; i < map.x.size(); ++i) {
        const double north = map.y[i];
        if (!std::isfinite(north)) continue;
        auto at =
            std::lower_bound(halfWidth.begin(), halfWidth.end(), std::make_pair(north, -HUGE_VAL));
        double width;
        if (at == halfWidth.begin()) {
            width = at->second;
        } else if (at == halfWidth.end()) {
            width = halfWidth.back().second;
        } else {
            const auto& [x0, w0] = *(at - 1);
            const auto& [x1, w1] = *at;
            width = x1 > x0 ? w0 + (w1 - w0) * (north - x0) / (x1 - x0) : w0;
        }
        map.outside[i] = std::abs(map.x[i] - FalseEasting) > width;  // NaN: not outside
    }
    return map;
}

}  // namespace quorvel
