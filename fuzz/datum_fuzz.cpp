// Datum transformations: parameter files, the arguments of fit and transform, and whole runs of
// both over any lines. The input: a control byte, then a parameter file (also read as the words
// of a command line) up to a NUL byte, then the points.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/datum_options.h"
#include "core/errors.h"
#include "core/parameter_file.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/transform_checks.h"

namespace {

using namespace quorvel;
using namespace quorvel::engine;
using namespace quorvel::cli;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

constexpr std::string_view kParameters =
    "model = 4\nconvention = coordinate-frame\nfrom = plane:krassovsky:zone3\n"
    "to = plane:cgcs2000:zone3\nheights = no\nfromZone = 39\ntoZone = 39\n"
    "dx = 119.74\ndy = 1347.77\nrotation = 0.507\nscale = -37.49\ncentreL = 117.02\n"
    "centreB = 40.02\nradius = 23354\n";

// Rows in input order, every one as wide as its systems, every diagnostic worded.
struct Checked : RowSink, DiagnosticSink {
    std::uint64_t last = 0;
    std::size_t rows = 0;
    void Begin(const std::vector<std::string>& columns) override {
        Check(columns.size() >= 5, "the columns name the systems' values");
    }
    void Encode(const RowBlock&, std::string&) const override {}
    void Take(const RowBlock& block, std::string_view) override {
        for (const Row& row : block) {
            Check(row.line > last, "rows in input order");
            Check(row.values >= 2 && row.values <= 3 && row.results >= 2 && row.results <= 3,
                  "two or three values and results");
            last = row.line;
            ++rows;
        }
    }
    void Take(const Diagnostic& d) override { words.push_back(d); }
    std::vector<Diagnostic> words;
};

// The words of a command line: the text split at blanks and line ends.
void ReadArguments(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\n') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    std::vector<std::string_view> args(words.begin(), words.end());
    try {
        if (IsDatumCommand(args)) ParseDatumArguments(args);
    } catch (const UsageError&) {
    }
}

void Transform(const ParameterFile& file, const std::string& points, std::uint8_t control) {
    TransformJob job;
    job.parameters = file;
    job.reading.header = control & 1;
    job.reading.decimalComma = control & 2;
    Checked checked;
    RowSink* const sinks[] = {&checked};
    StringSource in(points, 1 + control % 5);
    try {
        const TransformOutcome outcome =
            RunTransform(job, in, "in", sinks, checked, {(control & 4) ? 2 : 1, 32});
        if (outcome.refusal) {
            Check(checked.rows == 0, "a refused transform hands on no row");
            return;
        }
        Check(outcome.counts.points == checked.rows, "every point converted is a row");
        for (const Diagnostic& d : checked.words) Describe(d, job);
    } catch (const Error&) {
    }
}

void Fit(const std::string& points, std::uint8_t control) {
    FitJob job;
    job.from = ParseCoordinateSystem("plane:krassovsky:zone3");
    job.to = ParseCoordinateSystem("plane:cgcs2000:zone3");
    job.fit.model = (control & 8) ? DatumModel::Four : DatumModel::Seven;
    job.skipBadLines = true;
    job.reading.header = control & 1;
    Checked checked;
    StringSource in(points, 1 + control % 3);
    const FitOutcome fit = RunFit(job, in, "in", checked, {(control & 4) ? 2 : 1, 32});
    if (fit.refusal) return;
    Check(fit.points.size() == fit.counts.points, "every point read is fitted or checked");
    for (const Diagnostic& d : checked.words) Describe(d, job);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = rest.find('\0');
    const std::string_view text = cut == std::string_view::npos ? "" : rest.substr(0, cut);
    const std::string points(cut == std::string_view::npos ? rest : rest.substr(cut + 1));

    ReadArguments(text);
    ParameterFile file = ReadParameterFile(kParameters);
    try {
        file = ReadParameterFile(text);
    } catch (const Error&) {
    }
    Transform(file, points, control);
    Fit(points, control);
    return 0;
}
