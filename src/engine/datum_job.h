#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/coordinate_system.h"
#include "core/datum_fit.h"
#include "engine/job.h"

namespace quorvel::engine {

// quorvel-batch's datum commands: `fit` fits the parameters of a datum transformation to common
// points (core/datum_fit.h), `transform` applies a parameter file's (core/parameter_file.h).
enum class DatumCommand { Fit, Transform };

// Everything that decides what a datum command computes and writes.
struct DatumJob {
    DatumCommand command = DatumCommand::Fit;
    // fit: the two systems, required. transform: the parameter file's, which these, when
    // given, must match.
    std::optional<CoordinateSystem> from, to;
    // fit: --model, --convention, --heights, --outlier-factor, --drop-outliers.
    FitOptions fit;
    bool heightsGiven = false;        // --heights typed (transform: checked against the file)
    std::vector<std::string> checks;  // --check: names of check points
    bool skipBadLines = false;        // --skip-bad-lines: fit without the lines that do not read
    std::string parameterFile;        // -p: fit writes it, transform reads it
    // Reading: the 1-based fields of the name and of each coordinate (empty: in order from 1),
    // as --fields typed them; checked against the coordinates once the systems are known.
    std::vector<std::size_t> fields;
    bool decimalComma = false;
    std::string encoding;  // iconv name; empty: UTF-8
    bool header = false;
    // Writing.
    bool full = false;
    bool bom = false;
};

// A datum command line: the job, and where its files come from and go to.
struct DatumOptions : DatumJob {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::string input = "-";
    std::string output;
    bool quiet = false;
    int threads = 0;  // as Options::threads
    std::size_t chunkBytes = 64 * 1024;
};

// Whether the arguments after the program name name `fit` or `transform` as their mode.
bool IsDatumCommand(std::span<const std::string_view> args);

// Reads the arguments of `fit` or `transform`. Throws UsageError.
DatumOptions ParseDatumArguments(std::span<const std::string_view> args);

// The part of --help about fit and transform, in English.
std::string DatumHelpText();

// The input's layout: the name, then the coordinates of the source system, and for fit those
// of the target; every other field passes through.
struct DatumLayout {
    std::vector<std::size_t> fields;  // 0-based: the name's, then each coordinate's
    std::vector<std::string> names;   // the coordinates' column names: X1, Y1, H1, X2, ...
    std::vector<bool> angles;         // typed as packed degrees (geodetic L, B)
    std::size_t sourceCount = 0;      // coordinates of the source; the rest are the target's

    std::size_t Needed() const;  // the fewest fields a point line may have
};

// The layout of `job` with these systems. Throws UsageError for --fields that do not fit it.
DatumLayout MakeLayout(const DatumJob& job, const CoordinateSystem& from,
                       const CoordinateSystem* to, bool heights);

// What a datum run has to say about a line or about the whole run. Rejections drop the line;
// warnings leave it.
enum class DatumProblem {
    // Rejections of a line.
    LineTooLong,      // count: the limit in bytes
    InvalidUtf8,      // count: the 1-based byte
    UnclosedQuote,    // field: the 1-based input field
    TextAfterQuote,   // field
    QuoteInUnquoted,  // field
    TooFewFields,     // count: the fields found
    SurplusFields,    // as Problem::SurplusFields
    EmptyValue,       // field: the coordinate (1-based, after the name)
    NotANumber,       // field, text
    OutOfRange,       // field, text
    WrongKind,        // text: the values as typed; value: their distance from the Earth's
                      // centre in metres for geocentric; count: 1 when Y seems to carry a zone
                      // number, 2 when it lacks the one its system has
    OtherZone,        // text: the values as typed; count: the point's zone, field: the zone of
                      // the 4-parameter file
    NotConverted,     // text: the values as typed, text2: why (the core's words)
    // Warnings about a line.
    PackedExcess,        // field, text; count minutes or seconds (`seconds`) of 60 or more
    HeaderReadsAsPoint,  // the line skipped by --header
    // Warnings about the whole run (line 0).
    MorePackedExcess,  // count: beyond the lines listed
};

struct DatumDiagnostic {
    DatumProblem problem = DatumProblem::NotANumber;
    std::uint64_t line = 0;
    std::size_t field = 0;
    std::string text;
    std::string text2;
    double value = 0;
    std::uint64_t count = 0;
    bool seconds = false;
    std::uint64_t otherLine = 0;
    bool header = false;

    bool IsWarning() const { return problem >= DatumProblem::PackedExcess; }
    bool OfRun() const { return problem >= DatumProblem::MorePackedExcess; }
};

// The words of a diagnostic, without its line, in the language of the messages. `system` is the
// source system as the run reads it (for WrongKind).
std::string Describe(const DatumDiagnostic& d, const DatumLayout& layout,
                     const CoordinateSystem& system);

}  // namespace quorvel::engine
