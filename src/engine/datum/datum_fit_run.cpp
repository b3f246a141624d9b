#include <algorithm>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/datum/datum_fit_notes.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/datum_points.h"
#include "engine/datum/height_fit.h"
#include "engine/datum/transform_checks.h"
#include "engine/run/process.h"

namespace quorvel::engine {
namespace {

// The reading of a fit's common points as a run's operation. A row holds the source values as
// typed and, as its results, the target values as read (L and B packed degrees).
class CommonPointOperation : public DatumPointOperation {
  public:
    using DatumPointOperation::DatumPointOperation;

    bool Compute(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                 LineScratch& scratch) const override {
        DatumValues v;
        Diagnostic d;
        if (!ReadValues(p, v, d, scratch.a)) {
            Diagnostic& rejected = report.Reject(d.problem, number);
            d.line = number;
            rejected = std::move(d);
            return false;
        }
        WarnOfExcess(v, number, report);
        const std::size_t source = layout().sourceCount;
        row.name = p.fields[layout().fields[0]];
        row.values = static_cast<std::uint8_t>(source);
        row.first = v.typed[0];
        row.second = v.typed[1];
        row.third = source > 2 ? v.typed[2] : std::string_view();
        const std::size_t heights = layout().heightCount;
        const std::size_t target = layout().names.size() - source - heights;
        row.results = static_cast<std::uint8_t>(target);
        row.result1 = target > 0 ? v.read[source] : 0;
        row.result2 = target > 1 ? v.read[source + 1] : 0;
        row.result3 = target > 2 ? v.read[source + 2] : 0;
        if (heights > 0) row.extras.height1 = v.read[source + target];
        if (heights > 1) row.extras.height2 = v.read[source + target + 1];
        return true;
    }
};

// Collects the common points, their values as the fit takes them.
class CommonPointSink : public RowSink {
  public:
    CommonPointSink(const DatumLayout& layout, bool decimalComma, FitOutcome& outcome)
        : layout_(layout), decimalComma_(decimalComma), outcome_(outcome) {}

    void Begin(const std::vector<std::string>& columns) override {
        outcome_.columns.assign(columns.begin(), columns.end());
    }
    void Encode(const RowBlock&, std::string&) const override {}
    void Take(const RowBlock& rows, std::string_view) override {
        std::string buffer;
        for (const Row& row : rows) {
            CommonPoint& p = outcome_.points.emplace_back();
            p.name = std::string(row.name);
            const std::string_view typed[] = {row.first, row.second, row.third};
            const double read[] = {row.result1, row.result2, row.result3};
            for (std::size_t k = 0; k < row.values; ++k) {
                p.source[k] =
                    Decoded(k, *TryParseNumber(DecimalText(typed[k], decimalComma_, buffer)));
            }
            for (std::size_t k = 0; k < row.results; ++k) {
                p.target[k] = Decoded(row.values + k, read[k]);
            }
            outcome_.passed.emplace_back(row.passed.begin(), row.passed.end());
            if (layout_.heightCount > 0) {
                outcome_.heights.push_back({row.extras.height1, row.extras.height2});
            }
        }
    }

  private:
    double Decoded(std::size_t coordinate, double value) const {
        return layout_.angles[coordinate] ? DecodePackedAngle(value) : value;
    }

    const DatumLayout& layout_;
    bool decimalComma_;
    FitOutcome& outcome_;
};

// Hands the diagnostics on, keeping the line of the first rejection.
class FirstRejection : public DiagnosticSink {
  public:
    explicit FirstRejection(DiagnosticSink& next) : next_(next) {}
    void Take(const Diagnostic& d) override {
        if (!d.IsWarning() && line == 0) line = d.line;
        next_.Take(d);
    }
    std::uint64_t line = 0;

  private:
    DiagnosticSink& next_;
};

std::optional<JobRefusal> MarkChecks(const std::vector<std::string>& checks,
                                     std::vector<CommonPoint>& points) {
    for (const std::string& name : checks) {
        const auto it = std::find_if(points.begin(), points.end(),
                                     [&](const CommonPoint& p) { return p.name == name; });
        if (it == points.end()) {
            return Refuse(
                Fill(Tr("--check: no common point is named {0}"), {QuoteForMessage(name)}), false);
        }
        it->check = true;
    }
    return std::nullopt;
}

}  // namespace

std::optional<JobRefusal> ReadCommonPoints(const DatumLayout& layout, const DatumReading& reading,
                                           bool skipBadLines,
                                           const std::vector<std::string>& checks, ByteSource& in,
                                           std::string_view inputName, DiagnosticSink& diagnostics,
                                           const RunTuning& tuning, FitOutcome& outcome) {
    const CommonPointOperation op(layout, reading.decimalComma, {});
    CommonPointSink points(layout, reading.decimalComma, outcome);
    RowSink* const sinks[] = {&points};
    FirstRejection first(diagnostics);
    outcome.counts = RunRows(op, {reading.header, reading.decimalComma}, in, sinks, first, tuning);
    if (outcome.counts.rejected > 0 && !skipBadLines) {
        return Refuse(
            BadLineRefusalText(std::string(inputName), first.line, outcome.counts.rejected), false);
    }
    return MarkChecks(checks, outcome.points);
}

FitOutcome RunFit(const FitJob& job, ByteSource& in, std::string_view inputName,
                  DiagnosticSink& diagnostics, const RunTuning& tuning) {
    FitOutcome outcome;
    DatumLayout layout;
    outcome.refusal = MakeLayout(job.reading.fields, job.from, &job.to, job.fit.heights, layout,
                                 HeightColumns(job));
    if (outcome.refusal) return outcome;
    outcome.refusal = ReadCommonPoints(layout, job.reading, job.skipBadLines, job.checks, in,
                                       inputName, diagnostics, tuning, outcome);
    if (outcome.refusal) return outcome;
    try {
        outcome.result = FitDatum(job.from, job.to, outcome.points, job.fit);
    } catch (const Error& e) {
        outcome.refusal = Refuse(FitRefusalText(e, job, outcome.points, outcome.passed), false);
        return outcome;
    }
    if (job.heightModel) outcome.refusal = FitHeightModel(job, outcome);
    return outcome;
}

}  // namespace quorvel::engine
