#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "core/coordinate_system.h"
#include "core/datum_fit.h"
#include "engine/datum/datum_operation.h"
#include "engine/run/job.h"

namespace quorvel::cli {

// quorvel-batch's datum commands: `fit` fits the parameters of a datum transformation to common
// points (core/datum_fit.h), `transform` applies a parameter file's (core/parameter_file.h).
// `height-fit` fits a height model alone (core/height_model.h).
enum class DatumCommand { Fit, Transform, HeightFit };

// Everything that decides what a datum command computes and writes.
struct DatumJob {
    DatumCommand command = DatumCommand::Fit;
    // fit: the two systems, required. transform: the parameter file's, which these, when
    // given, must match.
    std::optional<CoordinateSystem> from, to;
    // fit: --model, --convention, --heights, --outlier-factor, --drop-outliers.
    FitOptions fit;
    bool heightsGiven = false;  // --heights typed (transform: checked against the file)
    // height-fit's --model, and fit's --height-model (heightModel set; none chosen: by the
    // number of points); K and dropping are fit's.
    HeightFitOptions height;
    bool heightModel = false;
    bool toEllipsoidal = false;       // transform --to-ellipsoidal: H gives h
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
    std::string sheet;  // --sheet: a workbook's sheet; empty: its first
    std::string output;
    bool quiet = false;
    int threads = 0;  // as Options::threads
    std::size_t chunkBytes = 64 * 1024;
};

// Whether the arguments after the program name name `fit`, `transform` or `height-fit` as their
// mode.
bool IsDatumCommand(std::span<const std::string_view> args);

// Reads the arguments of `fit` or `transform`. Throws UsageError.
DatumOptions ParseDatumArguments(std::span<const std::string_view> args);

// The part of --help about fit and transform, in English.
std::string DatumHelpText();

}  // namespace quorvel::cli
