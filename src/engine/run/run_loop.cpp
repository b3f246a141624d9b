#include "engine/run/run_loop.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <thread>

#include "engine/run/ordered_pool.h"

namespace quorvel::engine {

void WorstPoints::Add(double value, std::uint64_t at, std::string_view pointName,
                      std::size_t points) {
    count += points;
    if (value > largest) {
        largest = value;
        line = at;
        name = pointName;
    }
}

void DistortionTally::Add(double value, bool isBeyond, std::uint64_t at,
                          std::string_view pointName) {
    if (measured++ == 0 || std::fabs(value) > std::fabs(worst)) {
        worst = value;
        line = at;
        name = pointName;
    }
    if (isBeyond) ++beyond;
}

void DistortionTally::Add(const DistortionTally& later) {
    if (later.measured > 0 && (measured == 0 || std::fabs(later.worst) > std::fabs(worst))) {
        worst = later.worst;
        line = later.line;
        name = later.name;
    }
    measured += later.measured;
    beyond += later.beyond;
    withoutHeight += later.withoutHeight;
}

LineReport::Kind LineReport::KindOf(Problem problem) {
    return problem == Problem::PackedExcess ? kPackedExcess
           : problem == Problem::SeriesMiss ? kSeriesMiss
                                            : kKinds;
}

Diagnostic& LineReport::Reject(Problem problem, std::uint64_t line) {
    ++counts.rejected;
    Diagnostic& d = diagnostics.emplace_back();
    d.problem = problem;
    d.line = line;
    return d;
}

// Only the first of the whole run are shown, and those come first in a chunk.
Diagnostic* LineReport::Warn(Problem problem, std::uint64_t line) {
    const auto k = static_cast<std::size_t>(KindOf(problem));
    if (listed[k]++ >= kListed) {
        ++unlisted[k];
        return nullptr;
    }
    Diagnostic& d = diagnostics.emplace_back();
    d.problem = problem;
    d.line = line;
    return &d;
}

std::vector<std::string> ColumnsAfter(std::vector<std::string> head, const RowOperation& op,
                                      std::span<const std::string_view> passed,
                                      bool namedByHeader) {
    std::size_t field = 0;
    for (std::string_view name : passed) {
        while (!op.Passed(field)) ++field;
        ++field;
        head.push_back(namedByHeader && !name.empty() ? std::string(name)
                                                      : "field" + std::to_string(field));
    }
    return head;
}

std::size_t KeptFields(std::size_t needed, const ParsedLine& p) {
    if (p.status != LineStatus::Fields) return 0;
    std::size_t count = p.count;
    while (count > needed && p.fields[count - 1].empty()) --count;
    return count;
}

bool FieldsFit(const ParsedLine& parsed, std::size_t needed, const Columns& columns,
               std::uint64_t number, std::size_t& count, std::size_t& width, Diagnostic& d) {
    count = parsed.count;
    while (count > needed && parsed.fields[count - 1].empty() && !parsed.quoted[count - 1]) {
        --count;
    }
    if (count < needed) {
        d.problem = Problem::TooFewFields;
        d.count = parsed.count;
        return false;
    }
    const bool beforeColumns = columns.count == 0 || number < columns.line;
    width = beforeColumns ? count : std::max(columns.count, needed);
    while (count > width && parsed.fields[count - 1].empty()) --count;
    if (count > width) {
        d.problem = Problem::SurplusFields;
        d.count = count;
        d.field = width;
        d.otherLine = columns.line;
        d.header = columns.header;
        d.text = parsed.fields[width];
        return false;
    }
    return true;
}

namespace {

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
    bool headerReadsAsPoint = false;
    Columns columns;  // known before any line here is computed

    RowBlock rows;
    std::vector<std::string> encoded;  // one per sink
    LineReport report;

    // Empties the chunk for the next lines, keeping what its buffers hold room for: fresh
    // megabytes for every chunk would cost a page fault each 4 KB.
    void Clear() {
        text.clear();
        lines.clear();
        header = std::string::npos;
        headerReadsAsPoint = false;
        columns = {};
        report.diagnostics.clear();
        report.listed = {};
        report.unlisted = {};
        report.counts = {};
        report.worst = {};
    }
};

void RejectLine(LineReport& report, const ParsedLine& p, std::uint64_t line) {
    switch (p.status) {
        case LineStatus::InvalidUtf8:
            report.Reject(Problem::InvalidUtf8, line).count = p.errorColumn;
            break;
        case LineStatus::UnclosedQuote:
            report.Reject(Problem::UnclosedQuote, line).field = p.errorField;
            break;
        case LineStatus::TextAfterQuote:
            report.Reject(Problem::TextAfterQuote, line).field = p.errorField;
            break;
        case LineStatus::QuoteInUnquoted:
            report.Reject(Problem::QuoteInUnquoted, line).field = p.errorField;
            break;
        case LineStatus::Fields:
        case LineStatus::Skip:
            break;
    }
}

struct ChunkContext {
    const RowOperation& op;
    const LineReading& reading;
    std::span<RowSink* const> sinks;
};

// Whether line `i` of the chunk is one to compute, said in the report when it is rejected.
bool LineReads(const ChunkContext& ctx, Chunk& chunk, std::size_t i, ParsedLine& parsed) {
    const Chunk::Line& at = chunk.lines[i];
    const std::uint64_t number = chunk.firstLine + i;
    if (at.tooLong) {
        chunk.report.Reject(Problem::LineTooLong, number).count = LineReader::kMaxLine;
        return false;
    }
    if (i == chunk.header) {
        if (chunk.headerReadsAsPoint) {
            chunk.report.diagnostics.push_back({});
            chunk.report.diagnostics.back().problem = Problem::HeaderReadsAsPoint;
            chunk.report.diagnostics.back().line = number;
        }
        return false;
    }
    ParseLine(std::string_view(chunk.text).substr(at.offset, at.size), parsed,
              ctx.reading.decimalComma);
    if (parsed.status == LineStatus::Skip) return false;
    if (parsed.status != LineStatus::Fields) {
        RejectLine(chunk.report, parsed, number);
        return false;
    }
    return true;
}

void ComputeChunk(const ChunkContext& ctx, Chunk& chunk) {
    const RowOperation& op = ctx.op;
    ParsedLine parsed;
    LineScratch scratch;
    std::vector<std::string_view> passed;
    Row row;
    Diagnostic refused;
    chunk.rows.Reset(chunk.text.size(), chunk.text);
    for (std::size_t i = 0; i < chunk.lines.size(); ++i) {
        if (!LineReads(ctx, chunk, i, parsed)) continue;
        const std::uint64_t number = chunk.firstLine + i;
        std::size_t count = 0, width = 0;
        if (!FieldsFit(parsed, op.Needed(), chunk.columns, number, count, width, refused)) {
            refused.line = number;
            ++chunk.report.counts.rejected;
            chunk.report.diagnostics.push_back(std::move(refused));
            refused = {};
            continue;
        }
        if (!op.Compute(parsed, number, row, chunk.report, scratch)) continue;
        // Every row as wide as the header: fields missing at the end come out empty.
        passed.clear();
        for (std::size_t f = 0; f < width; ++f) {
            if (op.Passed(f)) passed.push_back(f < count ? parsed.fields[f] : std::string_view());
        }
        row.line = number;
        chunk.rows.Add(row, passed);
        ++chunk.report.counts.points;
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

// The output's columns when the first `fields` input fields of `first` name them.
std::vector<std::string> ColumnsOf(const RowOperation& op, const ParsedLine& first,
                                   std::size_t fields, bool isHeader) {
    std::vector<std::string_view> passed;
    for (std::size_t f = 0; f < fields; ++f) {
        if (!op.Passed(f)) continue;
        passed.push_back(f < first.count ? first.fields[f] : std::string_view());
    }
    return op.Columns(passed, isHeader);
}

// What the run hands on, in input order.
class Emitter {
  public:
    Emitter(const RowOperation& op, std::span<RowSink* const> sinks, DiagnosticSink& diagnostics)
        : op_(op), sinks_(sinks), diagnostics_(diagnostics) {}

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
        const LineReport& r = c.report;
        for (const Diagnostic& d : r.diagnostics) {
            const auto kind = static_cast<std::size_t>(LineReport::KindOf(d.problem));
            if (kind == LineReport::kKinds || warned_[kind]++ < LineReport::kListed) {
                diagnostics_.Take(d);
            }
        }
        for (std::size_t k = 0; k < LineReport::kKinds; ++k) warned_[k] += r.unlisted[k];
        counts_.points += r.counts.points;
        counts_.rejected += r.counts.rejected;
        counts_.zoneNumbersTakenOff += r.counts.zoneNumbersTakenOff;
        counts_.distortion.Add(r.counts.distortion);
        if (r.worst.count > 0)
            worst_.Add(r.worst.largest, r.worst.line, r.worst.name, r.worst.count);
    }

    RunCounts End() {
        Begin(plain_);
        for (RowSink* sink : sinks_) sink->End();
        if (warned_[LineReport::kPackedExcess] > LineReport::kListed) {
            Diagnostic d;
            d.problem = Problem::MorePackedExcess;
            d.count = warned_[LineReport::kPackedExcess] - LineReport::kListed;
            diagnostics_.Take(d);
        }
        if (worst_.count > 0) {
            Diagnostic d;
            d.problem = op_.WorstProblem();
            d.count = worst_.count;
            d.value = worst_.largest;
            d.line = worst_.line;
            d.text = worst_.name;
            diagnostics_.Take(d);
        }
        return counts_;
    }

  private:
    const RowOperation& op_;
    std::span<RowSink* const> sinks_;
    DiagnosticSink& diagnostics_;
    bool begun_ = false;
    std::vector<std::string> plain_;
    std::array<std::size_t, LineReport::kKinds> warned_{};
    RunCounts counts_;
    WorstPoints worst_;
};

// Watches the first lines for what sets the output's columns: the first line that is not empty
// or a comment, wherever it falls, is the header with LineReading::header and names the columns
// passed through; that line, or else the first line that gives a point, sets how many there
// are. The lines after the header go to the operation's Vet until it has decided.
class ColumnsWatch {
  public:
    ColumnsWatch(const RowOperation& op, const LineReading& reading, Emitter& emitter)
        : op_(op), reading_(reading), emitter_(emitter), vetPending_(op.Vets()) {}

    const Columns& columns() const { return columns_; }

    // Line `number`, the last of `chunk`; true when it is the header line to skip.
    bool See(std::string_view line, std::uint64_t number, Chunk& chunk) {
        if (!pending_ && !vetPending_) return false;
        ParseLine(line, parsed_, reading_.decimalComma);
        if (parsed_.status == LineStatus::Skip) return false;
        const bool isHeader = firstPending_ && reading_.header;
        if (pending_) {
            if (isHeader) chunk.headerReadsAsPoint = op_.ReadsAsPoint(parsed_);
            SetColumns(isHeader, number);
        }
        firstPending_ = false;
        if (!isHeader && vetPending_) vetPending_ = !op_.Vet(parsed_, columns_.count, number);
        return isHeader;
    }

  private:
    void SetColumns(bool isHeader, std::uint64_t number) {
        const std::size_t kept = KeptFields(op_.Needed(), parsed_);
        if (parsed_.status == LineStatus::Fields && (isHeader || op_.GivesPoint(parsed_, kept))) {
            columns_ = {std::max(kept, op_.Needed()), number, isHeader};
            pending_ = false;
            emitter_.Begin(ColumnsOf(op_, parsed_, columns_.count, isHeader));
        } else if (firstPending_) {
            emitter_.SetPlainColumns(ColumnsOf(op_, parsed_, kept, isHeader));
        }
    }

    const RowOperation& op_;
    const LineReading& reading_;
    Emitter& emitter_;
    ParsedLine parsed_;
    Columns columns_;
    bool firstPending_ = true;  // no line but empty ones and comments yet
    bool pending_ = true;       // no line has set the columns
    bool vetPending_;           // the operation has not decided on the input yet
};

}  // namespace

RunCounts RunRows(const RowOperation& op, const LineReading& reading, ByteSource& in,
                  std::span<RowSink* const> sinks, DiagnosticSink& diagnostics,
                  const RunTuning& tuning) {
    const ChunkContext ctx{op, reading, sinks};
    const int workers = WorkerCount(tuning.threads);
    OrderedPool<Chunk> pool(workers, [&ctx](Chunk& c) { ComputeChunk(ctx, c); });
    // Chunks read ahead while the oldest is handed on: enough to keep every worker busy, few
    // enough to keep memory small.
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    Emitter emitter(op, sinks, diagnostics);
    emitter.SetPlainColumns(op.Columns({}, false));
    ColumnsWatch watch(op, reading, emitter);

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
        if (!at.tooLong && watch.See(line, reader.LineNumber(), *chunk)) {
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

}  // namespace quorvel::engine
