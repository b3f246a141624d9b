#include "cli/datum_command.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>

#include "cli/command_files.h"
#include "cli/command_line.h"
#include "cli/datum_options.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/parameter_file.h"
#include "engine/datum/datum_fit_notes.h"
#include "engine/datum/datum_fit_summary.h"
#include "engine/datum/height_fit.h"
#include "engine/datum/transform_checks.h"
#include "engine/reading/point_input.h"
#include "engine/run/process.h"
#include "engine/run/run.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::cli {

using namespace engine;
namespace {

// transform's parameter file, read and checked against what the command line says of the
// input (--from, --to, --heights); a proj line that does not give the file's parameters'
// results is warned of on `err`. Returns why the file is refused, if it is.
std::optional<JobRefusal> LoadParameters(const DatumOptions& o, std::ostream& err,
                                         ParameterFile& f) {
    std::string text;
    if (auto refusal = ReadParameterText(o.parameterFile, text)) return refusal;
    try {
        f = ReadParameterFile(text);
    } catch (const Error& e) {
        return Refuse(Fill(Tr("{0}: {1}"), {o.parameterFile, e.what()}), false);
    }
    if (o.toEllipsoidal && !f.height) {
        return Refuse(Fill(Tr("--to-ellipsoidal: the parameter file {0} holds no height model "
                              "(height_model)"),
                           {o.parameterFile}),
                      false);
    }
    if (!f.datum) {
        for (const auto& [given, option] :
             {std::pair{o.from.has_value(), "--from"}, std::pair{o.to.has_value(), "--to"},
              std::pair{o.heightsGiven, "--heights"}}) {
            if (!given) continue;
            return Refuse(Fill(Tr("{0}: the parameter file {1} holds a height model alone, no "
                                  "datum transformation"),
                               {option, o.parameterFile}),
                          false);
        }
        return std::nullopt;
    }
    for (const auto& [given, file, option] :
         {std::tuple{&o.from, &f.from, "--from"}, std::tuple{&o.to, &f.to, "--to"}}) {
        if (*given && !SameSystem(**given, *file)) {
            return Refuse(Fill(Tr("{0} {1} does not match {2}, the system of the parameter file "
                                  "{3}: is it the parameter file for this input?"),
                               {option, SystemText(**given), SystemText(*file), o.parameterFile}),
                          false);
        }
    }
    if (o.heightsGiven && !f.heights) {
        return Refuse(Fill(Tr("--heights: the parameter file {0} was made without heights "
                              "(heights = no)"),
                           {o.parameterFile}),
                      false);
    }
    if (!ProjLineMatches(f)) {
        err << "quorvel-batch: " << Tr("warning: ")
            << Fill(Tr("the proj line of {0} does not give this file's parameters' results: it "
                       "was edited; PROJ users would get other coordinates"),
                    {o.parameterFile})
            << '\n';
    }
    return std::nullopt;
}

// Said of a transformation through geocentric coordinates; the plane similarity has no heights.
std::string HeightsNote(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                        DatumModel model) {
    if (heights || model == DatumModel::Four ||
        (from.kind == SystemKind::Geocentric && to.kind == SystemKind::Geocentric)) {
        return {};
    }
    return Tr("without heights: H = 0 on both sides (the two-dimensional practice)");
}

// ---- The command ----

std::optional<JobRefusal> OpenInput(const DatumOptions& o, const Environment& env, PointInput& in) {
    const std::string why = in.Open({o.input, o.encoding, o.sheet}, env.stdinFd);
    if (!why.empty()) return Refuse(why, false);
    return std::nullopt;
}

// -o, and fit's -p, must not name the input file, which they would replace.
std::optional<JobRefusal> CheckNotInput(const DatumOptions& o, const PointInput& in) {
    const std::string shownInput = o.input == "-" ? Tr("standard input") : o.input;
    const std::pair<std::string_view, const std::string*> written[] = {
        {"-o", &o.output},
        {"-p", o.command != DatumCommand::Transform ? &o.parameterFile : nullptr}};
    for (const auto& [option, path] : written) {
        if (path == nullptr || path->empty() || !IsInputFile(*path, in.Info())) continue;
        return Refuse(Fill(Tr("{0} {1} is the input file {2}: it would be replaced; write to "
                              "another file"),
                           {option, *path, shownInput}),
                      false);
    }
    return std::nullopt;
}

DatumReading ReadingOf(const DatumOptions& o) {
    return {o.fields, o.decimalComma, o.encoding, o.header};
}

FitJob FitJobOf(const DatumOptions& o) {
    return {*o.from,      *o.to,           o.fit,         o.checks, o.skipBadLines,
            ReadingOf(o), {o.full, o.bom}, o.heightModel, o.height};
}

HeightFitJob HeightFitJobOf(const DatumOptions& o) {
    return {o.height, o.checks, o.skipBadLines, ReadingOf(o), {o.full, o.bom}};
}

// Writes `text` into the parameter file.
void WriteParameters(const DatumOptions& o, AtomicFile& parameterFile, const std::string& text) {
    FdSink file(parameterFile.fd(), o.parameterFile);
    OutputBuffer buffer(file);
    buffer.Append(text);
    buffer.Flush();
}

// The diagnostics printed as they come, but the warning of the points far from the common
// points' area, which follows the summary.
class TransformPrinter : public DiagnosticSink {
  public:
    TransformPrinter(const TransformJob& job, std::ostream& err, std::string_view inputName)
        : printed_([&job](const Diagnostic& d) { return Describe(d, job); }, err, inputName) {}
    void Take(const Diagnostic& d) override {
        if (d.problem == Problem::FarPoints) {
            far_ = d;
        } else {
            printed_.Take(d);
        }
    }
    void End() {
        if (far_) printed_.Take(*far_);
    }

  private:
    PrintedDiagnostics printed_;
    std::optional<Diagnostic> far_;
};

// fit: the residuals into `out`, the parameters into `parameterFile` when given, the summary
// and the warnings to `err`. `rejected` gets the lines rejected, one more if dropping stopped
// short. Returns the fit's refusal, if it is refused.
std::optional<JobRefusal> RunFitCommand(const DatumOptions& o, ByteSource& source,
                                        const std::string& inputName, OutputBuffer& out,
                                        AtomicFile* parameterFile, std::ostream& err,
                                        std::size_t& rejected) {
    const FitJob job = FitJobOf(o);
    PrintedDiagnostics printed([&job](const Diagnostic& d) { return Describe(d, job); }, err,
                               inputName);
    const FitOutcome fit = RunFit(job, source, inputName, printed, {o.threads, o.chunkBytes});
    if (fit.refusal) return fit.refusal;
    const FitResult& r = fit.result;
    WriteResiduals(out, job, fit);
    const HeightFitResult* height = fit.height ? &*fit.height : nullptr;
    if (parameterFile != nullptr) {
        WriteParameters(o, *parameterFile,
                        FitParameterText(job.from, job.to, job.fit.heights, r, height));
    }
    if (!o.quiet) PrintFitSummary(err, job, r, fit.counts.rejected);
    if (height && !o.quiet) PrintHeightSummary(err, *height, 0);
    WarnOfFit(err, job, r);
    if (height) WarnOfHeightFit(err, *height, job.height);
    rejected = fit.counts.rejected + (r.dropStopped || (height && height->dropStopped) ? 1 : 0);
    return std::nullopt;
}

// height-fit: the residuals into `out`, the model into `parameterFile` when given, the summary
// and the warnings to `err`; as RunFitCommand.
std::optional<JobRefusal> RunHeightFitCommand(const DatumOptions& o, ByteSource& source,
                                              const std::string& inputName, OutputBuffer& out,
                                              AtomicFile* parameterFile, std::ostream& err,
                                              std::size_t& rejected) {
    const HeightFitJob job = HeightFitJobOf(o);
    PrintedDiagnostics printed([&job](const Diagnostic& d) { return Describe(d, job); }, err,
                               inputName);
    const FitOutcome fit = RunHeightFit(job, source, inputName, printed, {o.threads, o.chunkBytes});
    if (fit.refusal) return fit.refusal;
    const HeightFitResult& r = *fit.height;
    WriteHeightResiduals(out, job.writing, job.fit.outlierFactor, fit);
    if (parameterFile != nullptr) WriteParameters(o, *parameterFile, HeightParameterText(r));
    if (!o.quiet) PrintHeightSummary(err, r, fit.counts.rejected);
    WarnOfHeightFit(err, r, job.fit);
    rejected = fit.counts.rejected + (r.dropStopped ? 1 : 0);
    return std::nullopt;
}

// transform: the converted points into `out`, the summary to `err`. `rejected` gets the lines
// rejected. Returns the run's refusal, if it is refused.
std::optional<JobRefusal> RunTransformCommand(const DatumOptions& o, const TransformJob& job,
                                              ByteSource& source, const std::string& inputName,
                                              OutputBuffer& out, std::ostream& err,
                                              std::size_t& rejected) {
    TransformCsvSink csv(job, out);
    RowSink* const sinks[] = {&csv};
    TransformPrinter printer(job, err, inputName);
    const TransformOutcome outcome =
        RunTransform(job, source, inputName, sinks, printer, {o.threads, o.chunkBytes});
    if (outcome.refusal) return outcome.refusal;
    const RunCounts& counts = outcome.counts;
    const ParameterFile& p = job.parameters;
    if (!o.quiet) {
        err << SummaryText(RunCounts{counts.points, counts.rejected, 0}) << '\n';
        const std::string note =
            p.datum ? HeightsNote(p.from, p.to, p.heights, p.parameters.model) : "";
        if (!note.empty()) err << note << '\n';
        if (p.height) {
            err << (job.toEllipsoidal
                        ? Tr("H: normal height as read; h: ellipsoidal height, H + ζ of the "
                             "height model")
                        : Tr("h: ellipsoidal height as read; H: normal height, h − ζ of the "
                             "height model"))
                << '\n';
        }
    }
    printer.End();
    rejected = counts.rejected;
    return std::nullopt;
}

// The parameter file of a transform, checked against the command line; a fit's systems. Either
// checked against --fields before anything is opened for writing. Returns why either is
// refused, if it is.
std::optional<JobRefusal> ReadJob(const DatumOptions& o, std::ostream& err,
                                  std::optional<TransformJob>& job) {
    if (o.command == DatumCommand::Transform) {
        job.emplace();
        if (auto refusal = LoadParameters(o, err, job->parameters)) return refusal;
        job->parameterName = o.parameterFile;
        job->reading = ReadingOf(o);
        job->writing = {o.full, o.bom};
        job->toEllipsoidal = o.toEllipsoidal;
    }
    DatumLayout layout;
    if (o.command == DatumCommand::HeightFit) return HeightFitLayout(o.fields, layout);
    if (job) {
        return MakeLayout(o.fields, job->parameters.from, nullptr, job->parameters.heights, layout,
                          HeightColumns(*job));
    }
    return MakeLayout(o.fields, *o.from, &*o.to, o.fit.heights, layout, HeightColumns(FitJobOf(o)));
}

// The refusal said as every quorvel-batch error is; exit status 2.
int Refused(const JobRefusal& refusal, const Environment& env) {
    env.err << "quorvel-batch: " << ShownMessage(refusal.words) << '\n';
    env.err.flush();
    return 2;
}

int Run(const DatumOptions& o, const Environment& env) {
    PointInput in;
    std::optional<TransformJob> transform;
    std::optional<JobRefusal> refusal = OpenInput(o, env, in);
    if (!refusal) refusal = CheckNotInput(o, in);
    if (!refusal) refusal = ReadJob(o, env.err, transform);
    if (refusal) return Refused(*refusal, env);

    std::optional<AtomicFile> outputFile, parameterFile;
    if (!o.output.empty()) outputFile.emplace(o.output, /*allowDirect=*/true);
    if (o.command != DatumCommand::Transform && !o.parameterFile.empty()) {
        parameterFile.emplace(o.parameterFile);
    }

    ByteSource& source = in.Source();
    if (in.ReadsUtf8Mark()) {
        env.err << "quorvel-batch: " << Tr("warning: ")
                << DescribeReading(Utf8Mark(o.encoding, in.Name()), {}) << '\n';
    }
    FdSink sink(outputFile ? outputFile->fd() : env.stdoutFd,
                outputFile ? o.output : Tr("standard output"), outputFile.has_value());
    OutputBuffer out(sink);

    std::size_t rejected = 0;
    AtomicFile* const parameters = parameterFile ? &*parameterFile : nullptr;
    refusal = transform
                  ? RunTransformCommand(o, *transform, source, in.Name(), out, env.err, rejected)
              : o.command == DatumCommand::HeightFit
                  ? RunHeightFitCommand(o, source, in.Name(), out, parameters, env.err, rejected)
                  : RunFitCommand(o, source, in.Name(), out, parameters, env.err, rejected);
    if (refusal) return Refused(*refusal, env);
    PublishTogether(outputFile ? &*outputFile : nullptr, nullptr,
                    parameterFile ? &*parameterFile : nullptr);
    env.err.flush();
    return rejected > 0 ? 1 : 0;
}

}  // namespace

int RunDatumCommand(std::span<const std::string_view> args, const Environment& env) {
    DatumOptions o;
    try {
        o = ParseDatumArguments(args);
    } catch (const UsageError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n' << UsageText();
        env.err.flush();
        return 2;
    }
    if (o.action == DatumOptions::Action::Help) {
        env.out << HelpText();
        env.out.flush();
        return 0;
    }
    if (o.action == DatumOptions::Action::Version) {
        env.out << "quorvel-batch " << QUORVEL_VERSION << '\n';
        env.out.flush();
        return 0;
    }
    if (const char* threads = std::getenv("QUORVEL_BATCH_THREADS")) {
        o.threads = std::max(0, std::atoi(threads));
    }
    try {
        return Run(o, env);
    } catch (const IoError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n';
    }
    env.err.flush();
    return 2;
}

}  // namespace quorvel::cli
