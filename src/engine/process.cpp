#include "engine/process.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

#include "core/krassovsky_constants.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/dat_sink.h"
#include "engine/line_parser.h"
#include "engine/ordered_pool.h"

namespace quorvel::engine {
namespace {

// Warnings of a line that are listed for their first kListedWarnings lines, then counted.
enum Warning { kPackedExcess, kSeriesMiss, kWarningKinds };
constexpr std::size_t kListedWarnings = 10;

// Points the classic series computed more than a centimetre off: how many, and the worst.
struct MissedPoints {
    std::size_t count = 0;
    double largest = 0;
    std::size_t line = 0;

    void Add(double miss, std::size_t at, std::size_t points = 1) {
        count += points;
        if (miss > largest) {
            largest = miss;
            line = at;
        }
    }
};

// The input fields the output has columns for, set by the header line or else by the first point
// line: a later line with more fields is refused rather than cut or written ragged.
struct Columns {
    std::size_t count = 0;  // at least FieldsNeeded
    std::size_t line = 0;
    bool header = false;
};

// Lines travel to the workers in chunks; each comes back with its rows, what each sink made of
// them and its diagnostics, to be handed on in input order.
struct Chunk {
    struct Line {
        std::uint32_t offset = 0;  // a chunk holds far less than 4 GB
        std::uint32_t size = 0;
        bool tooLong = false;
    };
    std::string text;  // the lines, back to back
    std::vector<Line> lines;
    std::size_t firstLine = 0;               // the number of lines[0]
    std::size_t header = std::string::npos;  // the index of the header line to skip
    Columns columns;                         // known before any line here is computed

    RowBlock rows;
    std::vector<std::string> encoded;  // one per sink
    std::vector<Diagnostic> diagnostics;
    std::array<std::size_t, kWarningKinds> listed{};    // warnings of a kind among them
    std::array<std::size_t, kWarningKinds> unlisted{};  // and beyond them
    RunCounts counts;
    MissedPoints missed;

    // Empties the chunk for the next lines, keeping what its buffers hold room for: fresh
    // megabytes for every chunk would cost a page fault each 4 KB.
    void Clear() {
        text.clear();
        lines.clear();
        header = std::string::npos;
        columns = {};
        diagnostics.clear();
        listed = {};
        unlisted = {};
        counts = {};
        missed = {};
    }
};

struct ChunkContext {
    const Job& job;
    EllipsoidConstants constants;
    const Projector* projector;  // none for the window's computation
    std::span<RowSink* const> sinks;
};

Diagnostic& Reject(Chunk& chunk, Problem problem, std::size_t line) {
    ++chunk.counts.rejected;
    Diagnostic& d = chunk.diagnostics.emplace_back();
    d.problem = problem;
    d.line = line;
    return d;
}

// A warning of a line, or none once its kind has been listed enough in this chunk (only the
// first of the whole run are shown, and those come first in a chunk).
Diagnostic* Warn(Chunk& chunk, Warning kind, Problem problem, std::size_t line) {
    const auto k = static_cast<std::size_t>(kind);
    if (chunk.listed[k]++ >= kListedWarnings) {
        ++chunk.unlisted[k];
        return nullptr;
    }
    Diagnostic& d = chunk.diagnostics.emplace_back();
    d.problem = problem;
    d.line = line;
    return &d;
}

void RejectLine(Chunk& chunk, const ParsedLine& p, std::size_t line) {
    switch (p.status) {
        case LineStatus::InvalidUtf8:
            Reject(chunk, Problem::InvalidUtf8, line).count = p.errorColumn;
            break;
        case LineStatus::UnclosedQuote:
            Reject(chunk, Problem::UnclosedQuote, line).field = p.errorField;
            break;
        case LineStatus::TextAfterQuote:
            Reject(chunk, Problem::TextAfterQuote, line).field = p.errorField;
            break;
        case LineStatus::QuoteInUnquoted:
            Reject(chunk, Problem::QuoteInUnquoted, line).field = p.errorField;
            break;
        case LineStatus::Fields:
        case LineStatus::Skip:
            break;
    }
}

void RejectPoint(Chunk& chunk, const RowResult& r, std::size_t line, std::string_view first,
                 std::string_view second) {
    if (r.status == RowStatus::NoFiniteResult || r.status == RowStatus::Inaccurate) {
        Diagnostic& d = Reject(
            chunk, r.status == RowStatus::Inaccurate ? Problem::SeriesOff : Problem::NoFiniteResult,
            line);
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
    Diagnostic& d = Reject(chunk, problem, line);
    d.field = static_cast<std::size_t>(r.field);
    d.text = value;
    d.text2 = r.field == 1 ? second : first;
    d.limit = r.limit;
    d.value = r.value;
    d.offset = r.offset;
}

void WarnOfPoint(const ChunkContext& ctx, Chunk& chunk, const RowResult& r, std::size_t line,
                 std::string_view first, std::string_view second) {
    if (ctx.job.mode == Computation::Forward && r.mayExceed60) {
        for (std::size_t k = 1; k <= 2; ++k) {
            const std::string_view text = k == 1 ? first : second;
            const std::optional<PackedExcessValue> excess = FindPackedExcess(text);
            if (!excess) continue;
            if (Diagnostic* d = Warn(chunk, kPackedExcess, Problem::PackedExcess, line)) {
                d->field = k;
                d->text = text;
                d->count = static_cast<std::uint64_t>(excess->amount);
                d->seconds = excess->seconds;
            }
        }
    }
    if (r.miss > kClassicWarnMiss) {
        chunk.missed.Add(r.miss, line);
        if (Diagnostic* d = Warn(chunk, kSeriesMiss, Problem::SeriesMiss, line)) d->value = r.miss;
    }
}

// Compiled twice, so that the window's computation (kProjected false) carries nothing of the
// other settings.
// The fields of a line that count (`count`) and the row's width, or false when the line is
// rejected for its fields. Spreadsheets end rows with empty fields up to the widest row; empty
// fields beyond the columns lose nothing, any other field would. A line before the one that set
// the columns gives no point: it is rejected for its values instead.
bool FieldsFit(Chunk& chunk, const ParsedLine& parsed, std::size_t needed, std::size_t number,
               std::size_t& count, std::size_t& width) {
    count = parsed.count;
    while (count > needed && parsed.fields[count - 1].empty() && !parsed.quoted[count - 1]) {
        --count;
    }
    if (count < needed) {
        Reject(chunk, Problem::TooFewFields, number).count = parsed.count;
        return false;
    }
    const bool beforeColumns = chunk.columns.count == 0 || number < chunk.columns.line;
    width = beforeColumns ? count : std::max(chunk.columns.count, needed);
    while (count > width && parsed.fields[count - 1].empty()) --count;
    if (count > width) {
        Diagnostic& d = Reject(chunk, Problem::SurplusFields, number);
        d.count = count;
        d.field = width;
        d.otherLine = chunk.columns.line;
        d.header = chunk.columns.header;
        d.text = parsed.fields[width];
        return false;
    }
    return true;
}

template <bool kProjected>
void ComputeChunkAs(const ChunkContext& ctx, Chunk& chunk) {
    const Job& job = ctx.job;
    const std::size_t needed = FieldsNeeded(job);
    const auto [nameAt, firstAt, secondAt] = job.fields;
    ParsedLine parsed;
    std::string firstBuffer, secondBuffer;
    std::vector<std::string_view> passed;
    Row row;
    chunk.rows.Reset(chunk.text.size(), chunk.text);

    for (std::size_t i = 0; i < chunk.lines.size(); ++i) {
        const Chunk::Line& at = chunk.lines[i];
        const std::size_t number = chunk.firstLine + i;
        if (at.tooLong) {
            Reject(chunk, Problem::LineTooLong, number).count = LineReader::kMaxLine;
            continue;
        }
        if (i == chunk.header) continue;
        ParseLine(std::string_view(chunk.text).substr(at.offset, at.size), parsed,
                  job.decimalComma);
        if (parsed.status == LineStatus::Skip) continue;
        if (parsed.status != LineStatus::Fields) {
            RejectLine(chunk, parsed, number);
            continue;
        }
        std::size_t count = 0, width = 0;
        if (!FieldsFit(chunk, parsed, needed, number, count, width)) continue;

        const std::string_view first = TrimBlanks(parsed.fields[firstAt]);
        const std::string_view second = TrimBlanks(parsed.fields[secondAt]);
        const std::string_view firstNumber = DecimalText(first, job.decimalComma, firstBuffer);
        const std::string_view secondNumber = DecimalText(second, job.decimalComma, secondBuffer);
        const RowResult r =
            kProjected
                ? ctx.projector->Compute(job.mode, job.meridians, firstNumber, secondNumber,
                                         row.extras)
                : ComputeRow(job.mode, ctx.constants, job.meridians, firstNumber, secondNumber);
        if (r.status != RowStatus::Ok) {
            RejectPoint(chunk, r, number, first, second);
            continue;
        }
        WarnOfPoint(ctx, chunk, r, number, firstNumber, secondNumber);

        // Every row as wide as the header: fields missing at the end come out empty.
        passed.clear();
        for (std::size_t f = 0; f < width; ++f) {
            if (!PassedThrough(job, f)) continue;
            passed.push_back(f < count ? parsed.fields[f] : std::string_view());
        }
        row.line = number;
        row.name = parsed.fields[nameAt];
        row.first = first;
        row.second = second;
        row.result1 = r.first;
        row.result2 = r.second;
        chunk.rows.Add(row, passed);
        ++chunk.counts.points;
        if (r.zoneNumberTakenOff) ++chunk.counts.zoneNumbersTakenOff;
    }
}

void ComputeChunk(const ChunkContext& ctx, Chunk& chunk) {
    if (ctx.projector != nullptr) {
        ComputeChunkAs<true>(ctx, chunk);
    } else {
        ComputeChunkAs<false>(ctx, chunk);
    }
    chunk.encoded.resize(ctx.sinks.size());
    for (std::size_t k = 0; k < ctx.sinks.size(); ++k) {
        chunk.encoded[k].clear();
        ctx.sinks[k]->Encode(chunk.rows, chunk.encoded[k]);
    }
}

int WorkerCount(int requested) {
    if (requested > 0) return requested == 1 ? 0 : std::min(requested, 16);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : static_cast<int>(std::min(cores, 4u));
}

// The fields of a line that count for the columns: trailing empty ones down to the fields needed
// are not; none for a line that was not read as fields.
std::size_t KeptFields(const Job& job, const ParsedLine& p) {
    if (p.status != LineStatus::Fields) return 0;
    std::size_t count = p.count;
    while (count > FieldsNeeded(job) && p.fields[count - 1].empty()) --count;
    return count;
}

// Whether a line gives a point, as ComputeChunkAs would compute it: the first that does sets
// the columns, so that a rejected line before it does not decide how wide the others may be.
bool GivesPoint(const ChunkContext& ctx, const ParsedLine& p) {
    const Job& job = ctx.job;
    if (p.status != LineStatus::Fields || p.count < FieldsNeeded(job)) return false;
    std::string a, b;
    const std::string_view first =
        DecimalText(TrimBlanks(p.fields[job.fields[1]]), job.decimalComma, a);
    const std::string_view second =
        DecimalText(TrimBlanks(p.fields[job.fields[2]]), job.decimalComma, b);
    RowExtras extras;
    const RowResult r = ctx.projector != nullptr
                            ? ctx.projector->Compute(job.mode, job.meridians, first, second, extras)
                            : ComputeRow(job.mode, ctx.constants, job.meridians, first, second);
    return r.status == RowStatus::Ok;
}

// The output's columns when the first `fields` input fields of `first` name them.
std::vector<std::string> ColumnsOf(const Job& job, const ParsedLine& first, std::size_t fields,
                                   bool isHeader) {
    std::vector<std::string_view> passed;
    for (std::size_t f = 0; f < fields; ++f) {
        if (!PassedThrough(job, f)) continue;
        passed.push_back(f < first.count ? first.fields[f] : std::string_view());
    }
    return OutputColumns(job, passed, isHeader);
}

// Whether a line skipped as the header would have been a point: its two values read as numbers.
bool ReadsAsPoint(const Job& job, const ParsedLine& p) {
    if (p.status != LineStatus::Fields || p.count < FieldsNeeded(job)) return false;
    std::string a, b;
    return TryParseNumber(DecimalText(p.fields[job.fields[1]], job.decimalComma, a)) &&
           TryParseNumber(DecimalText(p.fields[job.fields[2]], job.decimalComma, b));
}

// What the run hands on, in input order.
class Emitter {
  public:
    Emitter(const Job& job, std::span<RowSink* const> sinks, DiagnosticSink& diagnostics)
        : job_(job), sinks_(sinks), diagnostics_(diagnostics) {}

    void Begin(const std::vector<std::string>& columns) {
        if (begun_) return;
        begun_ = true;
        for (RowSink* sink : sinks_) sink->Begin(columns);
    }
    // The columns when no line sets them (no point line comes out): from the first line.
    void SetPlainColumns(std::vector<std::string> columns) { plain_ = std::move(columns); }

    void Emit(const Chunk& c) {
        if (!c.rows.empty()) Begin(plain_);
        for (std::size_t k = 0; k < sinks_.size(); ++k) sinks_[k]->Take(c.rows, c.encoded[k]);
        for (const Diagnostic& d : c.diagnostics) {
            const auto kind = d.problem == Problem::PackedExcess ? kPackedExcess
                              : d.problem == Problem::SeriesMiss ? kSeriesMiss
                                                                 : kWarningKinds;
            if (kind == kWarningKinds ||
                warned_[static_cast<std::size_t>(kind)]++ < kListedWarnings) {
                diagnostics_.Take(d);
            }
        }
        for (std::size_t k = 0; k < kWarningKinds; ++k) warned_[k] += c.unlisted[k];
        counts_.points += c.counts.points;
        counts_.rejected += c.counts.rejected;
        counts_.zoneNumbersTakenOff += c.counts.zoneNumbersTakenOff;
        if (c.missed.count > 0) missed_.Add(c.missed.largest, c.missed.line, c.missed.count);
    }

    RunCounts End() {
        Begin(plain_);
        for (RowSink* sink : sinks_) sink->End();
        if (warned_[kPackedExcess] > kListedWarnings) {
            Diagnostic d;
            d.problem = Problem::MorePackedExcess;
            d.count = warned_[kPackedExcess] - kListedWarnings;
            diagnostics_.Take(d);
        }
        if (missed_.count > 0) {
            Diagnostic d;
            d.problem = Problem::SeriesMisses;
            d.count = missed_.count;
            d.value = missed_.largest;
            d.line = missed_.line;
            diagnostics_.Take(d);
        }
        return counts_;
    }

  private:
    const Job& job_;
    std::span<RowSink* const> sinks_;
    DiagnosticSink& diagnostics_;
    bool begun_ = false;
    std::vector<std::string> plain_;
    std::array<std::size_t, kWarningKinds> warned_{};
    RunCounts counts_;
    MissedPoints missed_;
};

}  // namespace

std::string_view DecimalTextWithComma(std::string_view text, std::string& buffer) {
    if (text.find(',') == std::string_view::npos) return text;
    buffer.assign(text);
    for (char& c : buffer) {
        if (c == ',') c = '.';
    }
    return buffer;
}

namespace {

// Watches the first lines for what sets the output's columns: the first line that is not empty
// or a comment, wherever it falls, is the header with --header and names the columns passed
// through; that line, or else the first line that gives a point, sets how many there are.
class ColumnsWatch {
  public:
    ColumnsWatch(const ChunkContext& ctx, Emitter& emitter, DiagnosticSink& diagnostics)
        : ctx_(ctx), job_(ctx.job), emitter_(emitter), diagnostics_(diagnostics) {}

    const Columns& columns() const { return columns_; }

    // Line `number`, the last of `chunk`; true when it is the header line to skip.
    bool See(std::string_view line, std::size_t number) {
        if (!pending_) return false;
        ParseLine(line, parsed_, job_.decimalComma);
        if (parsed_.status == LineStatus::Skip) return false;
        const bool isHeader = firstPending_ && job_.header;
        if (isHeader && ReadsAsPoint(job_, parsed_)) {
            Diagnostic d;
            d.problem = Problem::HeaderReadsAsPoint;
            d.line = number;
            diagnostics_.Take(d);
        }
        const std::size_t kept = KeptFields(job_, parsed_);
        if (parsed_.status == LineStatus::Fields && (isHeader || GivesPoint(ctx_, parsed_))) {
            columns_ = {std::max(kept, FieldsNeeded(job_)), number, isHeader};
            pending_ = false;
            emitter_.Begin(ColumnsOf(job_, parsed_, columns_.count, isHeader));
        } else if (firstPending_) {
            emitter_.SetPlainColumns(ColumnsOf(job_, parsed_, kept, isHeader));
        }
        firstPending_ = false;
        return isHeader;
    }

  private:
    const ChunkContext& ctx_;
    const Job& job_;
    Emitter& emitter_;
    DiagnosticSink& diagnostics_;
    ParsedLine parsed_;
    Columns columns_;
    bool firstPending_ = true;  // no line but empty ones and comments yet
    bool pending_ = true;       // no line has set the columns
};

}  // namespace

RunCounts RunJob(const Job& job, ByteSource& in, std::span<RowSink* const> sinks,
                 DiagnosticSink& diagnostics, const RunTuning& tuning) {
    std::optional<Projector> projector;
    if (!job.geodesy.IsDefault()) projector.emplace(job.geodesy);
    const ChunkContext ctx{job, EllipsoidConstants::Load(), projector ? &*projector : nullptr,
                           sinks};
    const int workers = WorkerCount(tuning.threads);
    OrderedPool<Chunk> pool(workers, [&ctx](Chunk& c) { ComputeChunk(ctx, c); });
    // Chunks read ahead while the oldest is handed on: enough to keep every worker busy, few
    // enough to keep memory small.
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    Emitter emitter(job, sinks, diagnostics);
    emitter.SetPlainColumns(OutputColumns(job, {}, false));
    ColumnsWatch watch(ctx, emitter, diagnostics);

    LineReader reader(in);
    std::unique_ptr<Chunk> chunk;
    std::vector<std::unique_ptr<Chunk>> spare;  // handed on, ready for more lines
    const auto recycle = [&](std::unique_ptr<Chunk> done) {
        emitter.Emit(*done);
        done->Clear();
        spare.push_back(std::move(done));
    };
    const auto submit = [&] {
        chunk->columns = watch.columns();
        pool.Submit(std::move(chunk));
    };
    std::string_view line;
    for (;;) {
        const LineReader::Result got = reader.Next(line);
        if (got == LineReader::Result::End) break;
        if (!chunk) {
            if (spare.empty()) {
                chunk = std::make_unique<Chunk>();
            } else {
                chunk = std::move(spare.back());
                spare.pop_back();
            }
            chunk->firstLine = reader.LineNumber();
        }
        Chunk::Line& at = chunk->lines.emplace_back();
        at.offset = static_cast<std::uint32_t>(chunk->text.size());
        at.size = static_cast<std::uint32_t>(line.size());
        at.tooLong = got == LineReader::Result::TooLong;
        chunk->text.append(line);
        if (!at.tooLong && watch.See(line, reader.LineNumber())) {
            chunk->header = chunk->lines.size() - 1;
        }
        if (chunk->text.size() >= tuning.chunkBytes || chunk->lines.size() >= 8192) {
            if (pool.InFlight() >= window) recycle(pool.TakeNext());
            submit();
        }
    }
    if (chunk) submit();
    while (std::unique_ptr<Chunk> c = pool.TakeNext()) recycle(std::move(c));
    return emitter.End();
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
    err_ << DescribeMarked(d, job_) << '\n';
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
