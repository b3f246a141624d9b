#include "cli/command.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/command_files.h"
#include "cli/datum_command.h"
#include "cli/datum_options.h"
#include "cli/measure_command.h"
#include "cli/plan_command.h"
#include "cli/sheet_command.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/reading/point_input.h"
#include "engine/writers/gis_output.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::cli {

using namespace engine;

RunCounts ProcessPoints(const Options& options, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportSpool* report) {
    return ProcessPoints(static_cast<const Job&>(options), in, inputName, out, err, report,
                         RunTuning{options.threads, options.chunkBytes});
}

namespace {

void ShowUsageError(std::ostream& err, std::string_view message) {
    err << "quorvel-batch: " << ShownMessage(message) << '\n' << UsageText();
    err.flush();
}

// A run that cannot start for a reason other than its command line: no usage text.
void ShowError(std::ostream& err, std::string_view message) {
    err << "quorvel-batch: " << ShownMessage(message) << '\n';
    err.flush();
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

namespace {

using Input = PointInput;

// Opens the input file; false, with the error shown, when it cannot be read.
bool OpenInput(const Options& options, const Environment& env, Input& input) {
    const std::string why =
        input.Open({options.input, options.encoding, options.sheet}, env.stdinFd);
    if (!why.empty()) ShowError(env.err, why);
    return why.empty();
}

// False, with the error shown, when -o or --report names the input file.
bool WritesBesideTheInput(const Options& options, const Environment& env, const Input& input) {
    const std::string shownInput = options.input == "-" ? Tr("standard input") : options.input;
    const auto replacesInput = [&](std::string_view option, const std::string& path) {
        if (path.empty() || !IsInputFile(path, input.Info())) return false;
        ShowError(env.err, Fill(Tr("{0} {1} is the input file {2}: it would be replaced; "
                                   "write to another file"),
                                {option, path, shownInput}));
        return true;
    };
    for (const std::string& path : OutputFiles(options.format, options.output)) {
        if (replacesInput("-o", path)) return false;
    }
    return !replacesInput("--report", options.report);
}

// The report of the spooled points into its file, as text or through the PDF writer.
void WriteReport(const Options& options, ReportSpool& spool, AtomicFile& file,
                 const PdfWriter& writePdf) {
    ReportLines lines(options, spool);
    if (options.reportKind == ReportKind::Text) {
        FdSink reportSink(file.fd(), options.report, true);
        OutputBuffer text(reportSink);
        std::string page;
        ReportLine line;
        while (lines.Next(line)) {
            page.clear();
            AppendReportLineText(line, page);
            text.Append(page);
            text.MaybeFlush();
        }
        text.Flush();
    } else {
        std::string why;
        if (!writePdf(lines, file.fd(), why)) {
            throw IoError(Fill(Tr("cannot write the report {0}: {1}"), {options.report, why}));
        }
    }
}

// --help, --version or --list-ellipsoids.
void ShowAction(Options::Action action, std::ostream& out) {
    if (action == Options::Action::Help) out << HelpText();
    if (action == Options::Action::Version) out << "quorvel-batch " << QUORVEL_VERSION << '\n';
    if (action == Options::Action::ListEllipsoids) out << EllipsoidList();
    out.flush();
}

// The output (a CSV or CASS file, or GDAL's files) and the report complete on disk before either
// replaces what was there, and both or neither.
void PublishBoth(std::optional<AtomicFile>& outputFile, GisOutput* gisOutput,
                 std::optional<AtomicFile>& reportFile) {
    PublishTogether(outputFile ? &*outputFile : nullptr, gisOutput,
                    reportFile ? &*reportFile : nullptr);
}

}  // namespace

namespace {

// Where a run writes: its output (a CSV or CASS file, or GDAL's files; none for standard
// output), its report and the spool the report's points wait in.
struct Outputs {
    std::optional<AtomicFile> file;
    std::unique_ptr<GisOutput> gis;  // --format dxf, gpkg, shp, kml
    std::optional<AtomicFile> report;
    std::optional<ReportSpool> spool;
};

// The temporary files, before any work, so that an unwritable folder stops the run first; false,
// with the error shown, when one cannot be made.
bool OpenOutputs(const Options& options, const Environment& env, Outputs& o) {
    try {
        if (WritesThroughGdal(options.format)) {
            std::optional<ParameterFile> parameters;
            if (!options.parameters.empty()) parameters = ReadParameters(options.parameters);
            o.gis = std::make_unique<GisOutput>(
                options, options.output, parameters, options.parameters,
                [&err = env.err](const std::string& warning) {
                    err << "quorvel-batch: " << Tr("warning: ") << ShownMessage(warning) << '\n';
                });
        } else if (!options.output.empty()) {
            o.file.emplace(options.output, /*allowDirect=*/true);
        }
        if (options.reportKind != ReportKind::None) {
            o.report.emplace(options.report);
            o.spool.emplace(FolderOf(o.report->Target()));
        }
    } catch (const IoError& e) {
        ShowError(env.err, e.what());
        return false;
    }
    return true;
}

// The points of the input through the job into the outputs, which are then put in place.
// Throws IoError.
RunCounts RunInto(const Options& options, const Environment& env, Input& input, Outputs& o,
                  const PdfWriter& writePdf) {
    ByteSource& source = input.Source();
    if (input.ReadsUtf8Mark()) {
        env.err << "quorvel-batch: " << DescribeMarked(Utf8Mark(options, input.Name()), options)
                << '\n';
    }
    ReportSpool* spool = o.spool ? &*o.spool : nullptr;
    RunCounts counts;
    if (o.gis) {
        counts = ProcessPoints(options, source, input.Name(), o.gis->Rows(), env.err, spool,
                               RunTuning{options.threads, options.chunkBytes});
    } else {
        FdSink sink(o.file ? o.file->fd() : env.stdoutFd,
                    o.file ? options.output : Tr("standard output"), o.file.has_value());
        OutputBuffer out(sink);
        counts = ProcessPoints(options, source, input.Name(), out, env.err, spool);
    }
    if (o.report) WriteReport(options, *o.spool, *o.report, writePdf);
    PublishBoth(o.file, o.gis.get(), o.report);
    return counts;
}

}  // namespace

int RunCommand(std::span<const std::string_view> args, const Environment& env) {
    if (IsDatumCommand(args)) return RunDatumCommand(args, env);
    if (IsPlanCommand(args)) return RunPlanCommand(args, env);
    if (IsSheetCommand(args)) return RunSheetCommand(args, env);
    if (IsMeasureCommand(args)) return RunMeasureCommand(args, env);
    Options options;
    try {
        options = ParseArguments(args, env.pdfReports);
    } catch (const JobRefused& e) {
        ShowError(env.err, e.what());
        return 2;
    } catch (const UsageError& e) {
        ShowUsageError(env.err, e.what());
        return 2;
    }
    if (const char* threads = std::getenv("QUORVEL_BATCH_THREADS")) {
        options.threads = std::max(0, std::atoi(threads));
    }
    if (options.action != Options::Action::Run) {
        ShowAction(options.action, env.out);
        return 0;
    }

    PdfWriter writePdf;
    if (options.reportKind == ReportKind::Pdf) {
        std::string why = Tr("no PDF writer");
        if (env.loadPdfWriter) writePdf = env.loadPdfWriter(why);
        if (!writePdf) {
            ShowError(env.err, why);
            return 2;
        }
    }

    Input input;
    if (!OpenInput(options, env, input) || !WritesBesideTheInput(options, env, input)) return 2;
    for (const Diagnostic& w : options.warnings) {
        env.err << "quorvel-batch: " << DescribeMarked(w, options) << '\n';
    }
    Outputs outputs;
    if (!OpenOutputs(options, env, outputs)) return 2;
    RunCounts counts;
    try {
        counts = RunInto(options, env, input, outputs, writePdf);
    } catch (const IoError& e) {
        ShowError(env.err, e.what());
        return 2;
    }
    if (!options.quiet) {
        env.err << SummaryText(counts) << '\n';
        if (options.geodesy.distortion) {
            env.err << DistortionSummary(counts.distortion, options.geodesy.distortionLimit)
                    << '\n';
        }
    }
    env.err.flush();
    return counts.rejected > 0 ? 1 : 0;
}

}  // namespace quorvel::cli
