#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/height_model.h"
#include "engine/datum/datum_operation.h"

namespace quorvel::engine {

// Height fitting (高程拟合) as typed jobs: `height-fit` fits a height model to points already in
// the target system (name, X, Y, h, H), `fit --height-model` beside a datum fit, h and H after
// the datum's coordinates, over the target's typed X, Y (core/height_model.h).

// A fit of a height model alone.
struct HeightFitJob {
    HeightFitOptions fit;
    std::vector<std::string> checks;  // names of the points kept aside as check points
    bool skipBadLines = false;
    DatumReading reading;
    DatumWriting writing;
};

// The height columns a fit reads after its coordinates: h and H with --height-model, else none.
std::vector<std::string> HeightColumns(const FitJob& job);
// The height column a transform reads after its coordinates: h, or H with toEllipsoidal; none
// without a height model in the file.
std::vector<std::string> HeightColumns(const TransformJob& job);

// height-fit's layout: name, X, Y, h, H; `fields` as --fields types them (empty: in order).
std::optional<JobRefusal> HeightFitLayout(std::span<const std::size_t> fields, DatumLayout& layout);

// Reads the common points of `in` with `layout` into `outcome` (points, passed, columns, counts,
// heights), marking the check points. Returns the refusal of a line that does not read without
// `skipBadLines`, or of a check point no point is named.
std::optional<JobRefusal> ReadCommonPoints(const DatumLayout& layout, const DatumReading& reading,
                                           bool skipBadLines,
                                           const std::vector<std::string>& checks, ByteSource& in,
                                           std::string_view inputName, DiagnosticSink& diagnostics,
                                           const RunTuning& tuning, FitOutcome& outcome);

// The height common points of the points read: X, Y the target's (`fromTarget`) or the source's
// typed values. A point with one height and not the other is refused, named; one with neither
// is left out when `skipNeither` (a datum common point only), else refused.
std::optional<JobRefusal> CollectHeightPoints(const FitOutcome& read, bool fromTarget,
                                              bool skipNeither, std::vector<HeightPoint>& points,
                                              std::vector<std::size_t>& index);

// Reads the points of `in` and fits the height model: outcome.height, or outcome.refusal (the
// refusals of ReadCommonPoints and CollectHeightPoints, and of a fit the points cannot make).
// The points' source is their X, Y. @exception IoError when reading fails.
FitOutcome RunHeightFit(const HeightFitJob& job, ByteSource& in, std::string_view inputName,
                        DiagnosticSink& diagnostics, const RunTuning& tuning = {});

// The height model of a fit with --height-model, after the datum's: outcome.height, or the
// refusal.
std::optional<JobRefusal> FitHeightModel(const FitJob& job, FitOutcome& outcome);

// height-fit's CSV: name, use, vH in millimetres, flag, the fields passed through.
void WriteHeightResiduals(OutputBuffer& out, const DatumWriting& writing, double factor,
                          const FitOutcome& outcome);

// The height model's summary: the model, its terms with their standard errors, σ0, the counts
// with the `rejected` lines, the check points' RMS, the rounds of dropping.
void PrintHeightSummary(std::ostream& err, const HeightFitResult& r, std::size_t rejected);

// The flagged points and dropping stopped short, as warnings marked as the height model's.
void WarnOfHeightFit(std::ostream& err, const HeightFitResult& r, const HeightFitOptions& o);

// The parameter file of a height model alone, as height-fit -p writes it.
std::string HeightParameterText(const HeightFitResult& r);

// The parameter file's height keys of a fit, into `f`.
void AddHeightModel(const HeightFitResult& r, ParameterFile& f);

// The words of a height-fit diagnostic, without its line and "warning: ".
std::string Describe(const Diagnostic& d, const HeightFitJob& job);

}  // namespace quorvel::engine
