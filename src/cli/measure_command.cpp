#include "cli/measure_command.h"

#include <optional>
#include <ostream>
#include <string>

#include "cli/arguments.h"
#include "cli/command_files.h"
#include "cli/command_line.h"
#include "cli/options.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "engine/measure/measure_texts.h"
#include "engine/reading/point_input.h"
#include "engine/writers/output_format.h"

namespace quorvel::cli {

using namespace engine;

namespace {

// The options with a value, which the mode is looked for past.
constexpr std::string_view kMeasureValued[] = {"--lo",
                                               "--zone",
                                               "--ellipsoid",
                                               "--method",
                                               "--k0",
                                               "--false-easting",
                                               "--fields",
                                               "--encoding",
                                               "--sheet",
                                               "-o",
                                               "--projection-height"};

struct MeasureOptions {
    MeasureJob m;
    bool area = false;
    std::string input = "-";
    std::string sheet;  // a workbook's sheet; empty: its first
    std::string output;
    bool quiet = false;
    std::vector<Diagnostic> warnings;  // about the options, shown before the run
};

struct Typed {
    std::optional<std::string> lo, zone, ellipsoid, method, k0, falseEasting, height, fields,
        encoding, sheet, output;
};

// The projection's options: only with --lo or --zone, which take the points back to L, B.
void ReadProjection(const Typed& t, Options& o, bool& projected) {
    projected = t.lo || t.zone;
    if (!projected) {
        for (const auto& [name, value] : {std::pair{"--ellipsoid", &t.ellipsoid},
                                          {"--method", &t.method},
                                          {"--k0", &t.k0},
                                          {"--false-easting", &t.falseEasting},
                                          {"--projection-height", &t.height}}) {
            if (*value) {
                throw UsageError(Fill(Tr("{0} belongs to the geodesic side, which --lo or "
                                         "--zone asks for"),
                                      {name}));
            }
        }
        return;
    }
    o.mode = Computation::Inverse;
    ReadGeodesy(o, t.ellipsoid, t.method, t.k0, t.falseEasting, t.zone);
    ThrowIfRefused(SetMeridians(o, t.lo, std::nullopt, o.warnings));
    if (t.height) o.geodesy.projectionHeight = ReadNumber("--projection-height", *t.height);
    ThrowIfRefused(CheckJob(o));
}

MeasureOptions ReadMeasureOptions(std::span<const std::string_view> args) {
    MeasureOptions mo;
    Options o;
    Typed t;
    ArgumentReader r(args);
    bool pairs = false;
    while (r.Next()) {
        if (r.Valued("--lo", t.lo) || r.Valued("--zone", t.zone) ||
            r.Valued("--ellipsoid", t.ellipsoid) || r.Valued("--method", t.method) ||
            r.Valued("--k0", t.k0) || r.Valued("--false-easting", t.falseEasting) ||
            r.Valued("--projection-height", t.height) || r.Valued("--fields", t.fields) ||
            r.Valued("--encoding", t.encoding) || r.Valued("--sheet", t.sheet) ||
            r.Valued("-o", t.output)) {
            continue;
        }
        const std::string_view a = r.Option();
        r.Flag(a == "--header"          ? &o.header
               : a == "--decimal-comma" ? &o.decimalComma
               : a == "--full"          ? &o.full
               : a == "--bom"           ? &o.bom
               : a == "--quiet"         ? &mo.quiet
               : a == "--pairs"         ? &pairs
                                        : nullptr);
    }
    mo.area = r.Positional().front() == "area";
    if (mo.area && pairs) throw UsageError(Tr("--pairs belongs to distance"));
    ReadInputFile(r.Positional(), mo.input);
    ReadProjection(t, o, mo.m.projected);
    if (t.fields) o.fields = ReadFields(*t.fields);
    if (t.encoding) o.encoding = ReadEncoding(*t.encoding);
    if (t.sheet) mo.sheet = ReadSheet(*t.sheet);
    if (t.output) mo.output = ReadOutputFile(*t.output);
    // A name that promises a layer or a drawing must not receive CSV rows.
    if (const std::optional<std::string> ending = ForeignEnding(OutputFormat::Csv, mo.output)) {
        throw UsageError(Fill(Tr("{0} writes CSV: -o {1} ends in .{2}, the ending of another "
                                 "format; end the name in .csv"),
                              {mo.area ? "area" : "distance", Quoted(mo.output), *ending}));
    }
    mo.m.job = o;
    mo.m.pairs = pairs;
    mo.warnings = o.warnings;
    return mo;
}

void ShowError(std::ostream& err, std::string_view message) {
    err << "quorvel-batch: " << ShownMessage(message) << '\n';
}

// The lines of the output into -o's file or standard output; false, with the error shown,
// when they cannot be written.
bool WriteOutput(const MeasureOptions& mo, const Environment& env, const std::string& text) {
    try {
        std::optional<AtomicFile> file;
        if (!mo.output.empty()) file.emplace(mo.output, /*allowDirect=*/true);
        FdSink sink(file ? file->fd() : env.stdoutFd, file ? mo.output : Tr("standard output"),
                    file.has_value());
        OutputBuffer out(sink);
        if (mo.m.job.bom) out.Append("\xEF\xBB\xBF");
        out.Append(text);
        out.Flush();
        if (file) PublishTogether(&*file, nullptr, nullptr);
    } catch (const IoError& e) {
        ShowError(env.err, e.what());
        return false;
    }
    return true;
}

int RunDistance(const MeasureOptions& mo, const Environment& env, const std::string& inputName,
                const std::vector<MeasurePoint>& points) {
    const Legs legs = MeasureLegs(mo.m, points);
    std::string text = LegHeader(mo.m);
    for (const Leg& leg : legs.legs) text += LegRecord(mo.m, points, leg);
    if (!WriteOutput(mo, env, text)) return 2;
    for (const Leg& leg : legs.legs) {
        if (const std::string w = LegWarning(points, leg); !w.empty()) {
            env.err << inputName << ':' << points[leg.to].line << ": " << Tr("warning: ")
                    << ShownMessage(w) << '\n';
        }
    }
    if (legs.unpaired) {
        const MeasurePoint& p = points[*legs.unpaired];
        env.err << inputName << ':' << p.line << ": "
                << ShownMessage(Fill(Tr("{0} is left without a partner: --pairs takes the "
                                        "points two by two"),
                                     {Quoted(p.name)}))
                << '\n';
    }
    if (!mo.quiet) {
        env.err << "quorvel-batch: "
                << ShownMessage(
                       Fill(Tr("{0} distances from {1} points"),
                            {std::to_string(legs.legs.size()), std::to_string(points.size())}))
                << '\n';
    }
    return legs.unpaired ? 1 : 0;
}

int RunArea(const MeasureOptions& mo, const Environment& env, const std::string& inputName,
            const std::vector<MeasurePoint>& points) {
    const PolygonMeasure p = MeasurePolygon(mo.m, points);
    if (!p.refusal.empty()) {
        if (p.line != 0) {
            env.err << inputName << ':' << p.line << ": " << ShownMessage(p.refusal) << '\n';
        } else {
            ShowError(env.err, p.refusal);
        }
        return 1;
    }
    if (!WriteOutput(mo, env, AreaCsv(mo.m, p))) return 2;
    if (!mo.quiet) {
        const std::string summary = AreaSummary(p);
        for (std::size_t at = 0, end; at < summary.size(); at = end + 1) {
            end = summary.find('\n', at);
            env.err << ShownMessage(summary.substr(at, end - at)) << '\n';
        }
    }
    return 0;
}

}  // namespace

bool IsMeasureCommand(std::span<const std::string_view> args) {
    const std::string_view mode = ModeWord(args, kMeasureValued);
    return mode == "distance" || mode == "area";
}

int RunMeasureCommand(std::span<const std::string_view> args, const Environment& env) {
    if (AnswerHelpOrVersion(args, env)) return 0;
    MeasureOptions mo;
    try {
        mo = ReadMeasureOptions(args);
    } catch (const JobRefused& e) {
        ShowError(env.err, e.what());
        return 2;
    } catch (const UsageError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n' << UsageText();
        env.err.flush();
        return 2;
    }
    PointInput input;
    if (const std::string why = input.Open({mo.input, mo.m.job.encoding, mo.sheet}, env.stdinFd);
        !why.empty()) {
        ShowError(env.err, why);
        return 2;
    }
    if (!mo.output.empty() && IsInputFile(mo.output, input.Info())) {
        ShowError(env.err, Fill(Tr("{0} {1} is the input file {2}: it would be replaced; "
                                   "write to another file"),
                                {"-o", mo.output, input.Name()}));
        return 2;
    }
    for (const Diagnostic& w : mo.warnings) {
        env.err << "quorvel-batch: " << DescribeMarked(w, mo.m.job) << '\n';
    }
    MeasurePoints read;
    try {
        ByteSource& source = input.Source();
        if (input.ReadsUtf8Mark()) {
            env.err << "quorvel-batch: "
                    << DescribeMarked(Utf8Mark(mo.m.job, input.Name()), mo.m.job) << '\n';
        }
        read = ReadMeasurePoints(mo.m, source);
    } catch (const IoError& e) {
        ShowError(env.err, e.what());
        return 2;
    }
    if (read.badLine != 0) {
        env.err << input.Name() << ':' << read.badLine << ": " << ShownMessage(read.problem)
                << '\n';
        return 2;
    }
    if (!mo.area && read.points.size() < 2) {
        ShowError(env.err, Fill(Tr("distance: the input holds {0} points; a distance needs two"),
                                {std::to_string(read.points.size())}));
        return 2;
    }
    return mo.area ? RunArea(mo, env, input.Name(), read.points)
                   : RunDistance(mo, env, input.Name(), read.points);
}

}  // namespace quorvel::cli
