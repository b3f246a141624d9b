#include "engine/run/process.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "core/krassovsky_constants.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/projection_surface.h"
#include "engine/reading/line_parser.h"
#include "engine/run/ordered_pool.h"
#include "engine/writers/dat_sink.h"

namespace quorvel::engine {
namespace {

// The projection of quorvel-batch's modes and 从文件计算 as a run's operation: the window's
// computation (no projector) or one of the other settings.
class ProjectionOperation : public RowOperation {
  public:
    explicit ProjectionOperation(const Job& job)
        : job_(job), constants_(EllipsoidConstants::Load()) {
        if (!job.geodesy.IsDefault()) projector_.emplace(job.geodesy);
        if (job.heightField) heightField_ = *job.heightField;
        const std::size_t known =
            std::max(FieldsNeeded(job), job.dropped.empty() ? 0 : job.dropped.back() + 1);
        std::vector<char> notPassed(known, 0);
        for (std::size_t f = 0; f < notPassed.size(); ++f) notPassed[f] = !PassedThrough(job, f);
        SetFields(FieldsNeeded(job), std::move(notPassed));
    }

    std::vector<std::string> Columns(std::span<const std::string_view> passed,
                                     bool namedByHeader) const override {
        if (namedByHeader && job_.geodesy.distortion && !job_.heightField) FindHeights(passed);
        return OutputColumns(job_, passed, namedByHeader);
    }
    bool ReadsAsPoint(const ParsedLine& p) const override;
    bool GivesPoint(const ParsedLine& p, std::size_t kept) const override;
    bool Compute(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                 LineScratch& scratch) const override {
        // Compiled twice, so that the window's computation carries nothing of the others.
        return projector_ ? ComputeAs<true>(p, number, row, report, scratch)
                          : ComputeAs<false>(p, number, row, report, scratch);
    }

  private:
    template <bool kProjected>
    bool ComputeAs(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                   LineScratch& scratch) const;
    RowResult Of(std::string_view first, std::string_view second, RowExtras& extras) const {
        return projector_ ? projector_->Compute(job_.mode, job_.meridians, first, second, extras)
                          : ComputeRow(job_.mode, constants_, job_.meridians, first, second);
    }
    void Warn(LineReport& report, const RowResult& r, std::uint64_t line, std::string_view first,
              std::string_view second) const;
    // The header's column named H or 高程 among the fields passed through.
    void FindHeights(std::span<const std::string_view> passed) const;
    // The row's distortion from its height, tallied; left NaN without one.
    void Distort(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                 LineScratch& scratch) const;

    const Job& job_;
    EllipsoidConstants constants_;
    std::optional<Projector> projector_;  // none for the window's computation
    // The field of the heights for --distortion. Set from the header before any point is
    // computed: the run reads the header on its own thread before it hands out a line after it.
    mutable std::size_t heightField_ = SIZE_MAX;
};

void ProjectionOperation::FindHeights(std::span<const std::string_view> passed) const {
    std::size_t field = 0;
    for (const std::string_view name : passed) {
        while (!Passed(field)) ++field;
        const std::string_view trimmed = TrimBlanks(name);
        if (trimmed == "H" || trimmed == "高程") {
            heightField_ = field;
            return;
        }
        ++field;
    }
}

void ProjectionOperation::Distort(const ParsedLine& p, std::uint64_t number, Row& row,
                                  LineReport& report, LineScratch& scratch) const {
    const Geodesy& g = job_.geodesy;
    std::optional<double> H;
    if (heightField_ < p.count) {
        H = TryParseNumber(
            DecimalText(TrimBlanks(p.fields[heightField_]), job_.decimalComma, scratch.c));
    }
    RowExtras& x = row.extras;
    if (!H || !std::isfinite(*H) || !std::isfinite(x.scale) || !std::isfinite(x.latitude)) {
        ++report.counts.distortion.withoutHeight;
        return;
    }
    x.distortion = LengthDistortion(g.ellipsoid, x.latitude, x.scale, g.projectionHeight, *H);
    report.counts.distortion.Add(x.distortion, std::fabs(x.distortion) > g.distortionLimit, number,
                                 row.name);
}

void RejectPoint(LineReport& report, const RowResult& r, std::uint64_t line, std::string_view first,
                 std::string_view second) {
    if (r.status == RowStatus::NoFiniteResult || r.status == RowStatus::Inaccurate) {
        Diagnostic& d = report.Reject(
            r.status == RowStatus::Inaccurate ? Problem::SeriesOff : Problem::NoFiniteResult, line);
        d.text = first;
        d.text2 = second;
        d.value = r.miss;
        d.offset = r.offset;
        d.fromTarget = r.fromTarget;
        return;
    }
    const std::string_view value = r.field == 1 ? first : second;
    Problem problem = r.status == RowStatus::BeyondLimit  ? Problem::BeyondLimit
                      : value.empty()                     ? Problem::EmptyValue
                      : r.status == RowStatus::OutOfRange ? Problem::OutOfRange
                                                          : Problem::NotANumber;
    Diagnostic& d = report.Reject(problem, line);
    d.field = static_cast<std::size_t>(r.field);
    d.text = value;
    d.text2 = r.field == 1 ? second : first;
    d.limit = r.limit;
    d.value = r.value;
    d.offset = r.offset;
}

void ProjectionOperation::Warn(LineReport& report, const RowResult& r, std::uint64_t line,
                               std::string_view first, std::string_view second) const {
    if (job_.mode == Computation::Forward && r.mayExceed60) {
        for (std::size_t k = 1; k <= 2; ++k) {
            const std::string_view text = k == 1 ? first : second;
            const std::optional<PackedExcessValue> excess = FindPackedExcess(text);
            if (!excess) continue;
            if (Diagnostic* d = report.Warn(Problem::PackedExcess, line)) {
                d->field = k;
                d->text = text;
                d->count = static_cast<std::uint64_t>(excess->amount);
                d->seconds = excess->seconds;
            }
        }
    }
    if (r.miss > kClassicWarnMiss) {
        report.Tally(r.miss, line, {});
        if (Diagnostic* d = report.Warn(Problem::SeriesMiss, line)) d->value = r.miss;
    }
}

template <bool kProjected>
bool ProjectionOperation::ComputeAs(const ParsedLine& p, std::uint64_t number, Row& row,
                                    LineReport& report, LineScratch& scratch) const {
    const auto [nameAt, firstAt, secondAt] = job_.fields;
    const std::string_view first = TrimBlanks(p.fields[firstAt]);
    const std::string_view second = TrimBlanks(p.fields[secondAt]);
    const std::string_view firstNumber = DecimalText(first, job_.decimalComma, scratch.a);
    const std::string_view secondNumber = DecimalText(second, job_.decimalComma, scratch.b);
    const RowResult r =
        kProjected
            ? projector_->Compute(job_.mode, job_.meridians, firstNumber, secondNumber, row.extras)
            : ComputeRow(job_.mode, constants_, job_.meridians, firstNumber, secondNumber);
    if (r.status != RowStatus::Ok) {
        RejectPoint(report, r, number, first, second);
        return false;
    }
    Warn(report, r, number, firstNumber, secondNumber);
    row.name = p.fields[nameAt];
    row.first = first;
    row.second = second;
    row.result1 = r.first;
    row.result2 = r.second;
    if (kProjected && job_.geodesy.distortion) Distort(p, number, row, report, scratch);
    if (r.zoneNumberTakenOff) ++report.counts.zoneNumbersTakenOff;
    return true;
}

// Whether a line gives a point, as Compute would compute it: the first that does sets the
// columns, so that a rejected line before it does not decide how wide the others may be.
bool ProjectionOperation::GivesPoint(const ParsedLine& p, std::size_t) const {
    if (p.status != LineStatus::Fields || p.count < Needed()) return false;
    std::string a, b;
    const std::string_view first =
        DecimalText(TrimBlanks(p.fields[job_.fields[1]]), job_.decimalComma, a);
    const std::string_view second =
        DecimalText(TrimBlanks(p.fields[job_.fields[2]]), job_.decimalComma, b);
    RowExtras extras;
    return Of(first, second, extras).status == RowStatus::Ok;
}

// Whether a line skipped as the header would have been a point: its two values read as numbers.
bool ProjectionOperation::ReadsAsPoint(const ParsedLine& p) const {
    if (p.status != LineStatus::Fields || p.count < Needed()) return false;
    std::string a, b;
    return TryParseNumber(DecimalText(p.fields[job_.fields[1]], job_.decimalComma, a)) &&
           TryParseNumber(DecimalText(p.fields[job_.fields[2]], job_.decimalComma, b));
}

}  // namespace

std::string_view DecimalTextWithComma(std::string_view text, std::string& buffer) {
    if (text.find(',') == std::string_view::npos) return text;
    buffer.assign(text);
    for (char& c : buffer) {
        if (c == ',') c = '.';
    }
    return buffer;
}

RunCounts RunJob(const Job& job, ByteSource& in, std::span<RowSink* const> sinks,
                 DiagnosticSink& diagnostics, const RunTuning& tuning) {
    const ProjectionOperation op(job);
    return RunRows(op, {job.header, job.decimalComma}, in, sinks, diagnostics, tuning);
}

std::size_t CsvRecordSize(const Row& row) {
    std::size_t size = row.name.size() + row.first.size() + row.second.size() + 3;
    for (std::string_view field : row.passed) size += field.size() + 1;
    return 2 * size + 6 + 2 * kMaxResultText + kMaxExtrasText + kCsvLineEnd.size();
}

char* WriteCsvRecord(char* p, const Job& job, const Row& row) {
    p = WriteCsvField(p, row.name, job.bom);
    *p++ = ',';
    // Texts that read as numbers need no quotes, unless a decimal comma is in them.
    if (job.decimalComma) {
        p = WriteCsvField(p, row.first);
        *p++ = ',';
        p = WriteCsvField(p, row.second);
    } else {
        p = std::copy(row.first.begin(), row.first.end(), p);
        *p++ = ',';
        p = std::copy(row.second.begin(), row.second.end(), p);
    }
    *p++ = ',';
    p = WriteResult(p, job.mode, row.result1, job.full);
    *p++ = ',';
    p = WriteResult(p, job.mode, row.result2, job.full);
    p = WriteExtras(p, job.geodesy, job.mode, row.extras, job.full);
    for (std::string_view field : row.passed) {
        *p++ = ',';
        p = WriteCsvField(p, field, job.bom);
    }
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void CsvSink::Begin(const std::vector<std::string>& columns) {
    std::string line = job_.bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, columns[i], job_.bom);
    }
    line += kCsvLineEnd;
    out_.Append(line);
}

void CsvSink::Encode(const RowBlock& rows, std::string& encoded) const {
    // Each record goes through room sized for the longest it can be: sizing the whole block
    // that way would fill megabytes with zeros for every chunk.
    thread_local std::string record;
    for (const Row& row : rows) {
        const std::size_t room = CsvRecordSize(row);
        if (record.size() < room) record.resize(room);
        const char* end = WriteCsvRecord(record.data(), job_, row);
        encoded.append(record.data(), static_cast<std::size_t>(end - record.data()));
    }
}

void CsvSink::Take(const RowBlock&, std::string_view encoded) {
    out_.Append(encoded);
    out_.MaybeFlush();
}

void CsvSink::End() {
    out_.Flush();
}

void ReportSink::Encode(const RowBlock& rows, std::string& encoded) const {
    std::string first, second;
    for (const Row& row : rows) {
        ReportSpool::Encode(encoded, DecimalText(row.first, job_.decimalComma, first),
                            DecimalText(row.second, job_.decimalComma, second), row.result1,
                            row.result2);
    }
}

void ReportSink::Take(const RowBlock& rows, std::string_view encoded) {
    spool_.Append(encoded, rows.size());
}

void PrintedDiagnostics::Take(const Diagnostic& d) {
    if (d.OfRun()) {
        err_ << "quorvel-batch: ";
    } else {
        err_ << inputName_ << ':' << d.line << ": ";
    }
    err_ << (d.IsWarning() ? Tr("warning: ") : std::string()) << describe_(d) << '\n';
}

RunCounts ProcessPoints(const Job& job, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportSpool* report,
                        const RunTuning& tuning) {
    CsvSink csv(job, out);
    DatSink dat(job, out);
    std::optional<ReportSink> points;
    std::vector<RowSink*> sinks{job.format == OutputFormat::Dat ? static_cast<RowSink*>(&dat)
                                                                : &csv};
    if (report != nullptr) sinks.push_back(&points.emplace(job, *report));
    PrintedDiagnostics printed(job, err, inputName);
    const RunCounts counts = RunJob(job, in, sinks, printed, tuning);
    err.flush();
    return counts;
}

RunCounts ProcessPoints(const Job& job, ByteSource& in, std::string_view inputName, RowSink& rows,
                        std::ostream& err, ReportSpool* report, const RunTuning& tuning) {
    std::optional<ReportSink> points;
    std::vector<RowSink*> sinks{&rows};
    if (report != nullptr) sinks.push_back(&points.emplace(job, *report));
    PrintedDiagnostics printed(job, err, inputName);
    const RunCounts counts = RunJob(job, in, sinks, printed, tuning);
    err.flush();
    return counts;
}

}  // namespace quorvel::engine
