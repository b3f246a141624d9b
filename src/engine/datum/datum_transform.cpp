#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/datum.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/datum_points.h"
#include "engine/datum/height_fit.h"
#include "engine/datum/transform_checks.h"

namespace quorvel::engine {
namespace {

// The first point's refusal of the whole run, thrown by Vet, which may run on a worker thread,
// to leave the run loop; RunTransform catches it and returns it as a value. Never leaves this
// file.
class FirstPointRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A datum transform as a run's operation: each point's source values checked against the
// parameter file's systems, converted, and tallied when it lies far outside the file's area.
class TransformOperation : public DatumPointOperation {
  public:
    TransformOperation(const TransformJob& job, DatumLayout layout, std::string_view inputName)
        : DatumPointOperation(std::move(layout), job.reading.decimalComma, TransformHead(job)),
          job_(job),
          transform_(job.parameters.from, job.parameters.to, job.parameters.parameters),
          checks_(job.parameters, transform_),
          inputName_(inputName),
          targetCount_(job.parameters.datum ? static_cast<std::uint8_t>(TypedCount(
                                                  job.parameters.to, job.parameters.heights))
                                            : 0),
          targetAngles_(job.parameters.to.kind == SystemKind::Geodetic) {}

    bool Vets() const override { return job_.parameters.datum; }
    bool Vet(const ParsedLine& line, std::size_t columns, std::uint64_t number) const override;
    bool Compute(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                 LineScratch& scratch) const override;
    Problem WorstProblem() const override { return Problem::FarPoints; }

  private:
    // Whether a line with fields lacks the H the parameter file's points carry: one field
    // short, or a text where H belongs.
    bool LacksHeight(const ParsedLine& p, const Diagnostic& d) const;
    // The file's height model applied to the line's height at the target's plane X, Y: false
    // with `d` said for a point too far outside the height common points' area.
    bool ApplyHeight(const DatumValues& v, const Triple& target, Row& row, Diagnostic& d) const;
    // The source point converted, or false with `d` said when it is refused.
    bool Convert(const DatumValues& v, Triple& result, Diagnostic& d) const;
    std::string Refused(std::uint64_t line, const Diagnostic& d) const {
        return Fill(Tr("{0}:{1}: {2}: is {3} the parameter file for this input?"),
                    {inputName_, std::to_string(line), Describe(d, job_), job_.parameterName});
    }

    const TransformJob& job_;
    DatumTransform transform_;
    PointChecks checks_;
    std::string inputName_;
    std::uint8_t targetCount_;
    bool targetAngles_;
};

bool TransformOperation::LacksHeight(const ParsedLine& p, const Diagnostic& d) const {
    if (job_.parameters.from.kind == SystemKind::Geocentric || layout().sourceCount != 3) {
        return false;
    }
    return (d.problem == Problem::TooFewFields && p.count + 1 == layout().Needed()) ||
           (d.problem == Problem::NotANumber && d.field == 3);
}

bool TransformOperation::ApplyHeight(const DatumValues& v, const Triple& target, Row& row,
                                     Diagnostic& d) const {
    const HeightModel& m = *job_.parameters.height;
    const double height = v.values[layout().names.size() - 1];
    row.extras.height1 = height;
    row.height = v.typed[layout().names.size() - 1];
    row.extras.height2 = std::numeric_limits<double>::quiet_NaN();
    if (std::isnan(height)) return true;
    if (const double outside = m.Outside(target[0], target[1]); outside > 0) {
        d.problem = Problem::NotConverted;
        d.text2 = Fill(Tr("{0} km from the centre of the height common points, farther outside "
                          "their area ({1} km around the centre) than its size: the height "
                          "model holds where it was fitted; no height is computed"),
                       {RoundedText(outside / 1000, 1), RoundedText(m.radius / 1000, 1)});
        return false;
    }
    const double zeta = m.Anomaly(target[0], target[1]);
    row.extras.height2 = job_.toEllipsoidal ? height + zeta : height - zeta;
    return true;
}

bool TransformOperation::Convert(const DatumValues& v, Triple& result, Diagnostic& d) const {
    const Triple source = v.Side(0, layout().sourceCount);
    if (!job_.parameters.datum) {
        result = source;  // a height model alone: the points are in its system already
        return true;
    }
    if (checks_.Refused(source, d)) return false;
    try {
        result = transform_.Apply(source);
    } catch (const Error& e) {
        d.problem = Problem::NotConverted;
        d.text2 = e.detail();
        return false;
    }
    return true;
}

// The first line that reads as a point decides whether the input and the parameter file belong
// together: if its values cannot be coordinates of the source system, if it lacks the file's
// H, if the file cannot convert it or moves it farther than two datums lie apart, the run is
// refused before anything is written. False while no line has read as a point.
bool TransformOperation::Vet(const ParsedLine& p, std::size_t columns, std::uint64_t number) const {
    DatumValues v;
    Diagnostic d;
    if (p.status != LineStatus::Fields) return false;
    if (!ReadAt(p, columns, v, d)) {
        if (!LacksHeight(p, d)) return false;
        throw FirstPointRefused(
            Fill(Tr("{0}: no H: the parameter file {1} was made with heights (heights "
                    "= yes), and each point needs H after its two values: is it the "
                    "parameter file for this input?"),
                 {inputName_ + ":" + std::to_string(number), job_.parameterName}));
    }
    d.text = TypedValues(v);
    Triple result;
    if (!Convert(v, result, d)) throw FirstPointRefused(Refused(number, d));
    const double shift = checks_.Shift(v.Side(0, layout().sourceCount), result);
    if (shift <= kMaxPointShift) return true;
    throw FirstPointRefused(
        MovedTooFar(inputName_ + ":" + std::to_string(number), d.text, shift, job_.parameterName));
}

bool TransformOperation::Compute(const ParsedLine& p, std::uint64_t number, Row& row,
                                 LineReport& report, LineScratch& scratch) const {
    DatumValues v;
    Diagnostic d;
    Triple result;
    const bool read = ReadValues(p, v, d, scratch.a);
    // The values named only for a point refused: a text for every point would cost its time.
    const bool converted = read && Convert(v, result, d) &&
                           (!job_.parameters.height || ApplyHeight(v, result, row, d));
    if (read && !converted) d.text = TypedValues(v);
    if (!converted) {
        Diagnostic& rejected = report.Reject(d.problem, number);
        d.line = number;
        rejected = std::move(d);
        return false;
    }
    WarnOfExcess(v, number, report);
    row.name = p.fields[layout().fields[0]];
    if (const double outside =
            job_.parameters.datum ? checks_.Outside(v.Side(0, layout().sourceCount)) : 0;
        outside > 0) {
        report.Tally(outside, number, row.name);
    }
    row.values = static_cast<std::uint8_t>(layout().sourceCount);
    row.first = v.typed[0];
    row.second = v.typed[1];
    row.third = row.values > 2 ? v.typed[2] : std::string_view();
    row.results = targetCount_;
    double* results[] = {&row.result1, &row.result2, &row.result3};
    // A height model alone writes no coordinates but keeps the points' own, for a drawing or a
    // map of them.
    const std::size_t kept = job_.parameters.datum ? targetCount_ : 2;
    for (std::size_t k = 0; k < 3; ++k) {
        *results[k] = k >= kept                ? 0
                      : targetAngles_ && k < 2 ? DegreesToPacked(result[k])
                                               : result[k];
    }
    return true;
}

char* WriteNumber(char* out, double value, int decimals, bool full) {
    return full ? WriteFullText(out, value) : WriteRoundedText(out, value, decimals);
}

}  // namespace

void TransformCsvSink::Begin(const std::vector<std::string>& given) {
    std::string line = job_.writing.bom ? "\xEF\xBB\xBF" : "";
    // A height model's column as read and the one computed, after the coordinates.
    std::vector<std::string> columns = given;
    if (job_.parameters.height) {
        const std::vector<std::string> read = HeightColumns(job_);
        const auto at = columns.begin() + static_cast<std::ptrdiff_t>(TransformHead(job_).size());
        columns.insert(at, {read[0], read[0] == "h" ? "H" : "h"});
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, columns[i], job_.writing.bom);
    }
    line += kCsvLineEnd;
    out_.Append(line);
}

void TransformCsvSink::Encode(const RowBlock& rows, std::string& out) const {
    const bool bom = job_.writing.bom, full = job_.writing.full;
    const bool angles = job_.parameters.to.kind == SystemKind::Geodetic;
    char number[kMaxRoundedText];
    for (const Row& row : rows) {
        AppendCsvField(out, row.name, bom);
        const std::string_view typed[] = {row.first, row.second, row.third};
        for (std::size_t k = 0; k < row.values; ++k) {
            out += ',';
            // Texts that read as numbers need no quotes, unless a decimal comma is in them.
            if (job_.reading.decimalComma) {
                AppendCsvField(out, typed[k]);
            } else {
                out += typed[k];
            }
        }
        const double results[] = {row.result1, row.result2, row.result3};
        for (std::size_t k = 0; k < row.results; ++k) {
            out += ',';
            out.append(number, angles && k < 2 ? WriteNumber(number, results[k], 10, full)
                                               : WriteNumber(number, results[k], 4, full));
        }
        if (job_.parameters.height) {
            out += ',';
            // The height as typed, as the coordinates are.
            if (job_.reading.decimalComma) {
                AppendCsvField(out, row.height);
            } else {
                out += row.height;
            }
            out += ',';
            if (!std::isnan(row.extras.height2)) {
                out.append(number, WriteNumber(number, row.extras.height2, 4, full));
            }
        }
        for (std::string_view f : row.passed) {
            out += ',';
            AppendCsvField(out, f, bom);
        }
        out += kCsvLineEnd;
    }
}

void TransformCsvSink::Take(const RowBlock&, std::string_view encoded) {
    out_.Append(encoded);
    out_.MaybeFlush();
}

void TransformCsvSink::End() {
    out_.Flush();
}

std::vector<std::string> TransformHead(const TransformJob& job) {
    const ParameterFile& p = job.parameters;
    if (!p.datum) return {"name", "X", "Y"};  // a height model alone converts no coordinates
    std::vector<std::string> head = {"name"};
    for (const std::string& name : DefaultLayout(p.from, nullptr, p.heights).names) {
        head.push_back(name);
    }
    for (const std::string& name : DefaultLayout(p.to, nullptr, p.heights).names) {
        head.push_back(name.substr(0, name.size() - 1) + "2");
    }
    return head;
}

TransformOutcome RunTransform(const TransformJob& job, ByteSource& in, std::string_view inputName,
                              std::span<RowSink* const> rows, DiagnosticSink& diagnostics,
                              const RunTuning& tuning) {
    const ParameterFile& p = job.parameters;
    TransformOutcome outcome;
    DatumLayout layout;
    outcome.refusal =
        MakeLayout(job.reading.fields, p.from, nullptr, p.heights, layout, HeightColumns(job));
    if (outcome.refusal) return outcome;
    const TransformOperation op(job, std::move(layout), inputName);
    try {
        outcome.counts = RunRows(op, {job.reading.header, job.reading.decimalComma}, in, rows,
                                 diagnostics, tuning);
    } catch (const FirstPointRefused& e) {
        outcome.refusal = Refuse(e.what(), false);
    }
    return outcome;
}

}  // namespace quorvel::engine
