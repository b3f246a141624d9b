#include "cli/sheet_command.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command_files.h"
#include "cli/command_line.h"
#include "cli/options.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "engine/reading/point_input.h"
#include "engine/run/process.h"
#include "engine/run/run.h"
#include "engine/sheet/sheet_run.h"

namespace quorvel::cli {

using namespace engine;

namespace {

// sheet's valued options, which the mode is looked for past.
constexpr std::string_view kSheetValued[] = {
    "--scale",         "--lo",     "--zone",     "--ellipsoid", "--method", "--k0",
    "--false-easting", "--fields", "--encoding", "--sheet",     "-o",       "--format"};
// Those forward reads as it does for its own points: the projection, the reading, -o.
constexpr std::string_view kForwardValued[] = {
    "--lo",     "--zone",     "--ellipsoid", "--method", "--k0",    "--false-easting",
    "--fields", "--encoding", "--sheet",     "-o",       "--format"};
constexpr std::string_view kForwardFlags[] = {"--header", "--decimal-comma", "--full", "--bom",
                                              "--quiet"};

struct SheetOptions {
    SheetJob job;
    bool scaleGiven = false;
    bool corners = false;
    bool quiet = false;
    std::string input = "-";
    std::string output;  // empty: standard output
    std::vector<std::string> numbers;
    std::vector<Diagnostic> warnings;
    Options forward;  // the reading and projection, as forward reads them
};

void ReadScale(const std::optional<std::string>& scale, SheetOptions& o) {
    if (!scale) return;
    const std::optional<SheetScale> s = ParseSheetScale(*scale);
    if (!s) {
        throw UsageError(Fill(Tr("--scale: {0} is no scale of the map sheets: 1:1000000, "
                                 "1:500000, 1:250000, 1:100000, 1:50000, 1:25000, 1:10000, "
                                 "1:5000, 1:2000, 1:1000 or 1:500"),
                              {Quoted(*scale)}));
    }
    o.job.scale = *s;
    o.scaleGiven = true;
}

// The options sheet shares with forward, read by forward's own reading so that they mean and
// refuse the same; without --lo or --zone no projection, and none of its settings.
void ReadShared(const std::vector<std::pair<std::string_view, std::string>>& valued,
                const std::vector<std::string_view>& flags, SheetOptions& o) {
    std::vector<std::string> args = {"forward"};
    bool projected = false, projection = false;
    for (const auto& [name, value] : valued) {
        args.insert(args.end(), {std::string(name), value});
        projected = projected || name == "--lo" || name == "--zone";
        projection = projection || name == "--ellipsoid" || name == "--method" || name == "--k0" ||
                     name == "--false-easting";
    }
    for (const std::string_view f : flags) args.emplace_back(f);
    if (!projected) {
        if (projection) {
            throw UsageError(
                Tr("sheet: --ellipsoid, --method, --k0 and --false-easting set the "
                   "projection of the corners' X, Y: give --lo or --zone with them"));
        }
        args.insert(args.end(), {"--lo", "0"});
    }
    const std::vector<std::string_view> views(args.begin(), args.end());
    o.forward = ParseArguments(views, false);
    const Options& f = o.forward;
    if (f.format != OutputFormat::Csv) {
        throw JobRefused(Fill(Tr("sheet writes CSV; --format {0} is for the computed points"),
                              {FormatName(f.format)}));
    }
    o.output = f.output;
    o.quiet = f.quiet;
    o.warnings = f.warnings;
    SheetJob& job = o.job;
    job.reading = {
        {f.fields[0] + 1, f.fields[1] + 1, f.fields[2] + 1}, f.decimalComma, f.encoding, f.header};
    job.writing = {f.full, f.bom};
    if (projected) job.projection = SheetProjection{f.geodesy, std::nullopt};
    if (projected && !f.geodesy.zone) job.projection->lo = f.meridians.lo;
}

SheetOptions ReadSheetOptions(std::span<const std::string_view> args) {
    SheetOptions o;
    std::optional<std::string> scale;
    std::vector<std::optional<std::string>> values(std::size(kForwardValued));
    std::vector<std::string_view> flags;
    bool old = false, plane = false, neighbours = false;
    ArgumentReader r(args);
    while (r.Next()) {
        if (r.Valued("--scale", scale)) continue;
        bool read = false;
        for (std::size_t i = 0; i < values.size() && !read; ++i) {
            read = r.Valued(kForwardValued[i], values[i]);
        }
        if (read) continue;
        const std::string_view a = r.Option();
        const auto shared = std::find(std::begin(kForwardFlags), std::end(kForwardFlags), a);
        if (shared != std::end(kForwardFlags)) {
            if (std::find(flags.begin(), flags.end(), a) == flags.end()) flags.push_back(a);
            continue;
        }
        r.Flag(a == "--old"          ? &old
               : a == "--plane"      ? &plane
               : a == "--neighbours" ? &neighbours
               : a == "--corners"    ? &o.corners
                                     : nullptr);
    }
    std::vector<std::pair<std::string_view, std::string>> valued;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i]) valued.emplace_back(kForwardValued[i], *values[i]);
    }
    ReadShared(valued, flags, o);
    ReadScale(scale, o);
    o.job.old = old;
    o.job.plane = plane;
    o.job.neighbours = neighbours;
    const std::vector<std::string_view>& positional = r.Positional();
    if (o.corners) {
        o.numbers.assign(positional.begin() + 1, positional.end());
        if (o.numbers.empty()) throw UsageError(Tr("--corners: give one or more sheet numbers"));
        if (plane && !o.scaleGiven) {
            throw UsageError(Tr("--corners --plane: give --scale, which the number does not say"));
        }
    } else {
        ReadInputFile(positional, o.input);
        if (!o.scaleGiven) throw UsageError(Tr("sheet: give --scale 1:N, such as --scale 1:50000"));
    }
    if (o.scaleGiven || plane) ThrowIfRefused(CheckSheetJob(o.job));
    return o;
}

int Refused(const std::string& words, const Environment& env) {
    env.err << "quorvel-batch: " << ShownMessage(words) << '\n';
    env.err.flush();
    return 2;
}

// The warnings about the options (a packed --lo with 60 minutes or more), before the run.
void WarnOfOptions(const SheetOptions& o, const Environment& env) {
    for (const Diagnostic& w : o.warnings) {
        env.err << "quorvel-batch: " << DescribeMarked(w, o.forward) << '\n';
    }
}

// --corners: one row a number, all of them or, for a number that names no sheet, none.
int RunCorners(const SheetOptions& o, const Environment& env) {
    WarnOfOptions(o, env);
    SheetCells cells(o.job);
    std::vector<std::vector<std::string>> rows;
    for (const std::string& number : o.numbers) {
        TypedSheet sheet;
        if (auto refusal = ReadTypedSheet(o.job, o.scaleGiven, number, sheet)) {
            return Refused(refusal->words, env);
        }
        std::vector<std::string>& row = rows.emplace_back();
        std::string why;
        if (sheet.plane) {
            cells.Plane(*sheet.plane, row);
        } else if (!cells.Geographic(*sheet.geographic, row, why)) {
            return Refused(why, env);
        }
    }
    std::optional<AtomicFile> file;
    if (!o.output.empty()) file.emplace(o.output, /*allowDirect=*/true);
    FdSink sink(file ? file->fd() : env.stdoutFd, file ? o.output : Tr("standard output"),
                file.has_value());
    OutputBuffer out(sink);
    SheetCsvSink csv(o.job, out);
    csv.Begin(SheetColumns(o.job));
    for (const std::vector<std::string>& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += (i > 0 ? "," : "") + row[i];
        out.Append(line + std::string(kCsvLineEnd));
    }
    csv.End();
    PublishTogether(file ? &*file : nullptr, nullptr, nullptr);
    return 0;
}

int RunFile(const SheetOptions& o, const Environment& env) {
    PointInput in;
    if (const std::string why =
            in.Open({o.input, o.job.reading.encoding, o.forward.sheet}, env.stdinFd);
        !why.empty()) {
        return Refused(why, env);
    }
    if (!o.output.empty() && IsInputFile(o.output, in.Info())) {
        return Refused(Fill(Tr("{0} {1} is the input file {2}: it would be replaced; write to "
                               "another file"),
                            {"-o", o.output, o.input == "-" ? Tr("standard input") : o.input}),
                       env);
    }
    WarnOfOptions(o, env);
    std::optional<AtomicFile> file;
    if (!o.output.empty()) file.emplace(o.output, /*allowDirect=*/true);
    ByteSource* source = nullptr;
    try {
        source = &in.Source();
    } catch (const IoError& e) {
        return Refused(e.what(), env);
    }
    if (in.ReadsUtf8Mark()) {
        env.err << "quorvel-batch: " << Tr("warning: ")
                << DescribeReading(Utf8Mark(o.job.reading.encoding, in.Name()), {}) << '\n';
    }
    FdSink sink(file ? file->fd() : env.stdoutFd, file ? o.output : Tr("standard output"),
                file.has_value());
    OutputBuffer out(sink);
    SheetCsvSink csv(o.job, out);
    RowSink* const sinks[] = {&csv};
    const SheetJob& job = o.job;
    PrintedDiagnostics printed([&job](const Diagnostic& d) { return Describe(d, job); }, env.err,
                               in.Name());
    int threads = o.forward.threads;
    if (const char* t = std::getenv("QUORVEL_BATCH_THREADS")) threads = std::max(0, std::atoi(t));
    const RunCounts counts =
        RunSheets(job, *source, sinks, printed, {threads, o.forward.chunkBytes});
    PublishTogether(file ? &*file : nullptr, nullptr, nullptr);
    if (!o.quiet) env.err << SummaryText(counts) << '\n';
    env.err.flush();
    return counts.rejected > 0 ? 1 : 0;
}

}  // namespace

bool IsSheetCommand(std::span<const std::string_view> args) {
    return ModeWord(args, kSheetValued) == "sheet";
}

int RunSheetCommand(std::span<const std::string_view> args, const Environment& env) {
    if (AnswerHelpOrVersion(args, env)) return 0;
    SheetOptions o;
    try {
        o = ReadSheetOptions(args);
    } catch (const JobRefused& e) {
        return Refused(e.what(), env);
    } catch (const UsageError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n' << UsageText();
        env.err.flush();
        return 2;
    }
    try {
        return o.corners ? RunCorners(o, env) : RunFile(o, env);
    } catch (const IoError& e) {
        return Refused(e.what(), env);
    } catch (const Error& e) {  // a projection the core refuses, which the options let through
        return Refused(e.what(), env);
    }
}

}  // namespace quorvel::cli
