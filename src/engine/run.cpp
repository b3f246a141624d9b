#include "engine/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

#include "core/constants.h"
#include "core/number_text.h"
#include "engine/atomic_file.h"
#include "engine/line_parser.h"
#include "engine/ordered_pool.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::engine {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The name of an input field (1-based) in messages.
std::string FieldName(const Options& o, std::size_t field) {
    for (std::size_t k = 0; k < o.fields.size(); ++k) {
        if (o.fields[k] + 1 == field) return std::string(ColumnsOf(o.mode).header[k]);
    }
    return "field " + std::to_string(field);
}

void DescribeLineError(const ParsedLine& p, const Options& o, std::string& msg) {
    switch (p.status) {
        case LineStatus::InvalidUtf8:
            if (!o.encoding.empty()) {
                msg += "not " + o.encoding + " text";
            } else {
                msg += "not UTF-8 text (byte " + std::to_string(p.errorColumn) +
                       "); save the file as UTF-8, or use --encoding gb18030 for a file saved "
                       "by a Chinese Windows program";
            }
            break;
        case LineStatus::UnclosedQuote:
            msg += FieldName(o, p.errorField) + ": the quote is not closed on this line";
            break;
        case LineStatus::TextAfterQuote:
            msg += FieldName(o, p.errorField) + ": text after the closing quote";
            break;
        case LineStatus::QuoteInUnquoted:
            msg += FieldName(o, p.errorField) +
                   ": a quote inside an unquoted field (quote the whole field and double the "
                   "quote)";
            break;
        case LineStatus::Fields:
        case LineStatus::Skip:
            break;
    }
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::size_t cut = std::min(text.size(), kShown);
    // Do not cut a UTF-8 sequence in two.
    while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::string out = "\"";
    for (std::size_t i = 0; i < cut; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (cut < text.size()) out += "...";
    out += "\"";
    return out;
}

namespace {

// Kinds of warnings; each is listed for its first kListedWarnings lines, then counted.
enum Warning { kPackedExcess, kFarFromMeridian, kWarningKinds };
constexpr std::size_t kListedWarnings = 10;

// A message of a chunk: a rejected line (kind -1, always shown) or a warning.
struct Note {
    int kind = -1;
    std::string text;
};

// Points far from the central meridian: how many, and the farthest.
struct FarPoints {
    std::size_t count = 0;
    double largest = 0;
    std::size_t line = 0;

    void Add(double offset, std::size_t at, std::size_t points = 1) {
        count += points;
        if (offset > largest) {
            largest = offset;
            line = at;
        }
    }
};

// Lines travel to the workers in chunks; each comes back with its output, its messages and the
// points for the report, to be written in input order.
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

    std::string out;
    std::vector<Note> notes;
    std::array<std::size_t, kWarningKinds> listed{};    // warnings of a kind among the notes
    std::array<std::size_t, kWarningKinds> unlisted{};  // and beyond them
    std::string scratch;
    RunCounts counts;
    FarPoints far;
    std::string report;  // ReportSpool records
    std::size_t reportRows = 0;
};

struct ChunkContext {
    const Options& options;
    EllipsoidConstants constants;
    const Projector* projector;  // none for the window's computation
    std::string_view inputName;
    bool collectRows;
};

std::string& BeginNote(Chunk& chunk, int kind, std::string_view inputName, std::size_t line) {
    if (kind >= 0 && chunk.listed[static_cast<std::size_t>(kind)]++ >= kListedWarnings) {
        // Never shown: only the first of the whole run are, and those come first in a chunk.
        ++chunk.unlisted[static_cast<std::size_t>(kind)];
        chunk.scratch.clear();
        return chunk.scratch;
    }
    Note& note = chunk.notes.emplace_back();
    note.kind = kind;
    note.text.append(inputName);
    note.text += ':';
    note.text += std::to_string(line);
    note.text += kind < 0 ? ": " : ": warning: ";
    return note.text;
}

std::string MetresText(double metres) {
    if (!(std::fabs(metres) < 1e15)) return ShortestText(std::fabs(metres));
    char text[400];
    return std::string(
        text,
        std::to_chars(text, text + sizeof text, std::fabs(metres), std::chars_format::fixed).ptr);
}

std::string FalseEastingText(double fe) {
    return (fe < 0 ? "-" : "") + MetresText(fe);
}

// Why a value is refused: its text and the limit it passes.
void DescribeLimit(const RowResult& r, std::string_view text, const Options& o, std::string& msg) {
    msg += QuoteForMessage(text);
    switch (r.limit) {
        case Limit::Latitude:
            msg += " is beyond the pole: |B| is at most 90 degrees";
            break;
        case Limit::MeridianOffset:
            msg += " lies " + DegreesText(r.value) + " from the central meridian " +
                   (o.geodesy.zone ? std::string("of its zone") : o.loText);
            msg += o.geodesy.method == Method::Exact ? ": at most 35 degrees with --method exact"
                                                     : ": at most 45 degrees";
            break;
        case Limit::Northing:
            msg += " is beyond the pole: |X| is at most 10002000 m";
            break;
        case Limit::EastingOffset: {
            const double fe = o.geodesy.falseEasting;
            msg += " is " + MetresText(r.value) + " m from the central meridian: |Y - " +
                   FalseEastingText(fe) + "| must be below 1000000 m";
            if (r.value >= kMaxEastingOffset && r.value + fe < 1e9) {
                msg += "; the easting looks like it carries a zone number (" +
                       std::to_string(static_cast<long long>((r.value + fe) / 1e6)) +
                       " in front of " + FalseEastingText(fe) +
                       "); give it without, with the zone's central meridian";
            }
            break;
        }
        case Limit::Longitude:
            msg += " is beyond -360 to 360 degrees of longitude, where --zone finds no zone";
            break;
        case Limit::ZoneNumber:
            msg += " carries no zone number of a " +
                   std::to_string(static_cast<int>(*o.geodesy.zone)) + " deg zone in front (" +
                   (*o.geodesy.zone == ZoneWidth::Three ? "1 to 120" : "1 to 60") +
                   ", as 20500000 for zone 20), which --zone needs";
            break;
        case Limit::None:
            break;
    }
}

// The value text as the core reads it: with --decimal-comma, a comma is the point.
std::string_view DecimalText(std::string_view text, bool decimalComma, std::string& buffer) {
    if (!decimalComma || text.find(',') == std::string_view::npos) return text;
    buffer.assign(text);
    for (char& c : buffer) {
        if (c == ',') c = '.';
    }
    return buffer;
}

// Compiled twice, so that the window's computation (kProjected false) carries nothing of the
// other settings.
template <bool kProjected>
void ProcessChunkAs(const ChunkContext& ctx, Chunk& chunk) {
    const Options& o = ctx.options;
    const Computation mode = o.mode;
    const ModeColumns& columns = ColumnsOf(mode);
    const std::size_t needed = FieldsNeeded(o);
    const std::size_t nameAt = o.fields[0], firstAt = o.fields[1], secondAt = o.fields[2];
    StringSink sink;
    sink.text.swap(chunk.out);
    sink.text.clear();
    OutputBuffer out(sink, 1 << 16);
    ParsedLine parsed;
    std::string firstBuffer, secondBuffer;
    RowExtras extras;
    RunCounts& counts = chunk.counts;

    for (std::size_t i = 0; i < chunk.lines.size(); ++i) {
        const Chunk::Line& at = chunk.lines[i];
        const std::size_t number = chunk.firstLine + i;
        auto reject = [&]() -> std::string& {
            ++counts.rejected;
            return BeginNote(chunk, -1, ctx.inputName, number);
        };
        if (at.tooLong) {
            reject() += "line longer than " + std::to_string(LineReader::kMaxLine) + " bytes";
            continue;
        }
        if (i == chunk.header) continue;
        ParseLine(std::string_view(chunk.text).substr(at.offset, at.size), parsed, o.decimalComma);
        if (parsed.status == LineStatus::Skip) continue;
        if (parsed.status != LineStatus::Fields) {
            DescribeLineError(parsed, o, reject());
            continue;
        }
        // Spreadsheets end rows with empty fields up to the widest row.
        std::size_t count = parsed.count;
        while (count > needed && parsed.fields[count - 1].empty() && !parsed.quoted[count - 1]) {
            --count;
        }
        if (count < needed) {
            std::string& msg = reject();
            msg += "expected at least " + std::to_string(needed) + " fields (";
            for (std::size_t k = 0; k < 3; ++k) {
                if (k > 0) msg += ", ";
                msg += columns.header[k];
            }
            if (needed != kPointFields || o.fields[0] != 0 || o.fields[1] != 1) {
                msg += " in fields " + std::to_string(nameAt + 1) + "," +
                       std::to_string(firstAt + 1) + "," + std::to_string(secondAt + 1);
            }
            msg += "), found " + std::to_string(parsed.count);
            continue;
        }

        const std::string_view name = parsed.fields[nameAt];
        const std::string_view first = TrimBlanks(parsed.fields[firstAt]);
        const std::string_view second = TrimBlanks(parsed.fields[secondAt]);
        const std::string_view firstNumber = DecimalText(first, o.decimalComma, firstBuffer);
        const std::string_view secondNumber = DecimalText(second, o.decimalComma, secondBuffer);
        const RowResult r =
            kProjected
                ? ctx.projector->Compute(mode, o.meridians, firstNumber, secondNumber, extras)
                : ComputeRow(mode, ctx.constants, o.meridians, firstNumber, secondNumber);
        if (r.status != RowStatus::Ok) {
            std::string& msg = reject();
            if (r.status == RowStatus::NoFiniteResult) {
                msg += columns.header[1];
                msg += ' ';
                msg += QuoteForMessage(first);
                msg += ", ";
                msg += columns.header[2];
                msg += ' ';
                msg += QuoteForMessage(second);
                msg += ": no finite result (the point lies outside the projection's range)";
            } else {
                const std::string_view value = r.field == 1 ? first : second;
                msg += columns.header[static_cast<std::size_t>(r.field)];
                msg += ": ";
                if (r.status == RowStatus::BeyondLimit) {
                    DescribeLimit(r, value, o, msg);
                } else if (value.empty()) {
                    msg += "empty, not a number";
                } else {
                    msg += QuoteForMessage(value);
                    msg +=
                        r.status == RowStatus::OutOfRange ? " is out of range" : " is not a number";
                }
            }
            continue;
        }

        if (mode == Computation::Forward) {
            for (int k = 1; k <= 2; ++k) {
                const std::string_view text = k == 1 ? firstNumber : secondNumber;
                const std::string excess = PackedExcess(text);
                if (excess.empty()) continue;
                std::string& msg = BeginNote(chunk, kPackedExcess, ctx.inputName, number);
                msg += columns.header[static_cast<std::size_t>(k)];
                msg += ' ';
                msg.append(text);
                msg += " has " + excess +
                       ": packed degrees are degrees.minutes-seconds; is it decimal degrees?";
            }
        }
        if (r.offset > kAccurateOffset && (!kProjected || o.geodesy.method == Method::Classic)) {
            chunk.far.Add(r.offset, number);
            std::string& msg = BeginNote(chunk, kFarFromMeridian, ctx.inputName, number);
            msg += "the point lies " + DegreesText(r.offset) +
                   " from the central meridian, beyond 3°30′, where the inverse series lose "
                   "centimetre accuracy";
        }

        std::size_t extra = 0;
        for (std::size_t f = 0; f < count; ++f) extra += parsed.fields[f].size();
        char* p = out.Reserve(2 * (extra + count) + 6 + 2 * kMaxResultText + kCsvLineEnd.size() +
                              (kProjected ? kMaxExtrasText : 0));
        p = WriteCsvField(p, name);
        *p++ = ',';
        // Texts that read as numbers need no quotes, unless a decimal comma is in them.
        if (o.decimalComma) {
            p = WriteCsvField(p, first);
            *p++ = ',';
            p = WriteCsvField(p, second);
        } else {
            p = std::copy(first.begin(), first.end(), p);
            *p++ = ',';
            p = std::copy(second.begin(), second.end(), p);
        }
        *p++ = ',';
        p = WriteResult(p, mode, r.first, o.full);
        *p++ = ',';
        p = WriteResult(p, mode, r.second, o.full);
        if constexpr (kProjected) p = WriteExtras(p, o.geodesy, mode, extras, o.full);
        for (std::size_t f = 0; f < count; ++f) {
            if (f == nameAt || f == firstAt || f == secondAt) continue;
            *p++ = ',';
            p = WriteCsvField(p, parsed.fields[f]);
        }
        *p++ = '\r';
        *p++ = '\n';
        out.Commit(p);
        out.MaybeFlush();
        ++counts.points;
        if (ctx.collectRows) {
            ReportSpool::Encode(chunk.report, firstNumber, secondNumber, r.first, r.second);
            ++chunk.reportRows;
        }
    }
    out.Flush();
    chunk.out.swap(sink.text);
}

void ProcessChunk(const ChunkContext& ctx, Chunk& chunk) {
    if (ctx.projector != nullptr) {
        ProcessChunkAs<true>(ctx, chunk);
    } else {
        ProcessChunkAs<false>(ctx, chunk);
    }
}

int WorkerCount(int requested) {
    if (requested > 0) return requested == 1 ? 0 : std::min(requested, 16);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : static_cast<int>(std::min(cores, 4u));
}

// The output's header: the mode's five columns, then a name for every field passed through,
// from the input's header line when there is one, else "fieldN" for input field N.
std::string HeaderLine(const Options& o, const ParsedLine* first, bool firstIsHeader) {
    const ModeColumns& columns = ColumnsOf(o.mode);
    std::string line;
    for (std::size_t i = 0; i < columns.header.size(); ++i) {
        if (i > 0) line += ',';
        line += columns.header[i];
    }
    line += ExtraColumns(o.geodesy, o.mode);
    if (first != nullptr && first->status == LineStatus::Fields) {
        std::size_t count = first->count;
        while (count > FieldsNeeded(o) && first->fields[count - 1].empty()) --count;
        for (std::size_t f = 0; f < count; ++f) {
            if (f == o.fields[0] || f == o.fields[1] || f == o.fields[2]) continue;
            line += ',';
            const std::string_view name = first->fields[f];
            if (firstIsHeader && !name.empty()) {
                AppendCsvField(line, name);
            } else {
                line += "field" + std::to_string(f + 1);
            }
        }
    }
    line += kCsvLineEnd;
    return line;
}

// Whether a line skipped as the header would have been a point: its two values read as numbers.
bool ReadsAsPoint(const Options& o, const ParsedLine& p) {
    if (p.status != LineStatus::Fields || p.count < FieldsNeeded(o)) return false;
    std::string a, b;
    return TryParseNumber(DecimalText(p.fields[o.fields[1]], o.decimalComma, a)) &&
           TryParseNumber(DecimalText(p.fields[o.fields[2]], o.decimalComma, b));
}

}  // namespace

RunCounts ProcessPoints(const Options& options, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportSpool* report) {
    if (options.bom) out.Append("\xEF\xBB\xBF");
    std::optional<Projector> projector;
    if (!options.geodesy.IsDefault()) projector.emplace(options.geodesy);
    const ChunkContext ctx{options, EllipsoidConstants::Load(), projector ? &*projector : nullptr,
                           inputName, report != nullptr};
    const int workers = WorkerCount(options.threads);
    OrderedPool<Chunk> pool(workers, [&ctx](Chunk& c) { ProcessChunk(ctx, c); });
    // Chunks read ahead while the oldest is written: enough to keep every worker busy, few
    // enough to keep memory small.
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    RunCounts counts;
    FarPoints far;
    std::array<std::size_t, kWarningKinds> warned{};
    bool headerWritten = false;
    auto writeHeader = [&](const ParsedLine* first, bool isHeader) {
        if (headerWritten) return;
        out.Append(HeaderLine(options, first, isHeader));
        headerWritten = true;
    };
    auto emit = [&](std::unique_ptr<Chunk> c) {
        writeHeader(nullptr, false);
        out.Append(c->out);
        out.MaybeFlush();
        for (const Note& note : c->notes) {
            if (note.kind < 0 || warned[static_cast<std::size_t>(note.kind)]++ < kListedWarnings) {
                err << note.text << '\n';
            }
        }
        if (!c->notes.empty()) err.flush();
        for (std::size_t k = 0; k < kWarningKinds; ++k) warned[k] += c->unlisted[k];
        counts.points += c->counts.points;
        counts.rejected += c->counts.rejected;
        if (c->far.count > 0) far.Add(c->far.largest, c->far.line, c->far.count);
        if (report != nullptr) report->Append(c->report, c->reportRows);
    };

    LineReader reader(in);
    ParsedLine parsed;
    bool firstPending = true;
    std::unique_ptr<Chunk> chunk;
    std::string_view line;
    for (;;) {
        const LineReader::Result got = reader.Next(line);
        if (got == LineReader::Result::End) break;
        if (!chunk) {
            chunk = std::make_unique<Chunk>();
            chunk->firstLine = reader.LineNumber();
        }
        Chunk::Line& at = chunk->lines.emplace_back();
        at.offset = static_cast<std::uint32_t>(chunk->text.size());
        at.size = static_cast<std::uint32_t>(line.size());
        at.tooLong = got == LineReader::Result::TooLong;
        chunk->text.append(line);
        // The first line that is not empty or a comment, wherever it falls, is the header with
        // --header, and names the columns passed through.
        if (firstPending && !at.tooLong) {
            ParseLine(line, parsed, options.decimalComma);
            if (parsed.status != LineStatus::Skip) {
                firstPending = false;
                if (options.header) {
                    chunk->header = chunk->lines.size() - 1;
                    if (ReadsAsPoint(options, parsed)) {
                        err << inputName << ':' << reader.LineNumber()
                            << ": warning: this line, skipped by --header, reads as a point; "
                               "leave --header out if the file has no header line\n";
                        err.flush();
                    }
                }
                writeHeader(&parsed, options.header);
            }
        }
        if (chunk->text.size() >= options.chunkBytes || chunk->lines.size() >= 8192) {
            if (pool.InFlight() >= window) emit(pool.TakeNext());
            pool.Submit(std::move(chunk));
        }
    }
    if (chunk) pool.Submit(std::move(chunk));
    while (std::unique_ptr<Chunk> c = pool.TakeNext()) emit(std::move(c));
    writeHeader(nullptr, false);
    out.Flush();

    if (warned[kPackedExcess] > kListedWarnings) {
        err << "quorvel-batch: warning: " << warned[kPackedExcess] - kListedWarnings
            << " more packed angles with 60 or more minutes or seconds\n";
    }
    if (far.count > 0) {
        err << "quorvel-batch: warning: " << far.count
            << (far.count == 1 ? " point lies" : " points lie")
            << " more than 3°30′ from the central meridian, the farthest "
            << DegreesText(far.largest) << " (line " << far.line
            << "): there the inverse series lose centimetre accuracy\n";
    }
    err.flush();
    return counts;
}

ReportLines::ReportLines(const Options& options, ReportSpool& spool)
    : mode_(options.mode), spool_(spool) {
    ReportData data;
    data.mode = options.mode;
    data.loText = options.loText;
    data.lsText = options.lsText;
    ReportInput input = ToReportInput(data);
    input.pointCount = static_cast<int>(std::min<std::size_t>(spool.Count(), INT32_MAX));
    head_ = BuildReport(input);
    if (!head_.IsEmpty() && !head_.lines.front().items.empty()) {
        title_ = head_.lines.front().items.front().text;
    }
    spool_.Rewind();
}

bool ReportLines::Next(ReportLine& line) {
    if (nextHead_ < head_.lines.size()) {
        line = head_.lines[nextHead_++];
        return true;
    }
    if (!spool_.Next(row_)) return false;
    line = BuildPointLine(static_cast<int>(mode_), ++number_, row_);
    return true;
}

namespace {

void ShowUsageError(std::ostream& err, std::string_view message) {
    err << "quorvel-batch: " << message << '\n' << UsageText();
    err.flush();
}

// Closes a descriptor this run opened.
struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// Whether `path` is the very file the input is read from: a run would replace its own input.
bool IsInputFile(const std::string& path, const struct stat& input) {
    struct stat st {};
    return S_ISREG(input.st_mode) && ::stat(path.c_str(), &st) == 0 && st.st_dev == input.st_dev &&
           st.st_ino == input.st_ino;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReportInput ToReportInput(const ReportData& data) {
    ReportInput input;
    input.mode = static_cast<int>(data.mode);
    input.pointCount = static_cast<int>(data.rows.size());
    input.centralMeridian = ValueCell(data.loText);
    if (data.mode == Computation::Zone) input.targetMeridian = ValueCell(data.lsText);
    input.rows = data.rows;
    return input;
}

std::string RenderTextReport(const ReportData& data) {
    return RenderReportText(BuildReport(ToReportInput(data)));
}

std::string SummaryText(const RunCounts& counts) {
    return std::to_string(counts.points) + (counts.points == 1 ? " point, " : " points, ") +
           std::to_string(counts.rejected) + " rejected";
}

int RunCommand(std::span<const std::string_view> args, const Environment& env) {
    Options options;
    try {
        options = ParseArguments(args, env.pdfReports);
    } catch (const UsageError& e) {
        ShowUsageError(env.err, e.what());
        return 2;
    }
    if (const char* threads = std::getenv("QUORVEL_BATCH_THREADS")) {
        options.threads = std::max(0, std::atoi(threads));
    }
    if (options.action == Options::Action::Help) {
        env.out << UsageText() << '\n' << HelpText();
        env.out.flush();
        return 0;
    }
    if (options.action == Options::Action::Version) {
        env.out << "quorvel-batch " << QUORVEL_VERSION << '\n';
        env.out.flush();
        return 0;
    }
    if (options.action == Options::Action::ListEllipsoids) {
        env.out << EllipsoidList();
        env.out.flush();
        return 0;
    }

    PdfWriter writePdf;
    if (options.reportKind == ReportKind::Pdf) {
        std::string why = "no PDF writer";
        if (env.loadPdfWriter) writePdf = env.loadPdfWriter(why);
        if (!writePdf) {
            env.err << "quorvel-batch: " << why << '\n';
            env.err.flush();
            return 2;
        }
    }

    FdCloser input;
    int inFd = env.stdinFd;
    std::string inputName = "<stdin>";
    struct stat inputStat {};
    if (options.input != "-") {
        inputName = options.input;
        input.fd = ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        if (input.fd < 0 || ::fstat(input.fd, &inputStat) != 0) {
            ShowUsageError(env.err, "cannot read " + options.input + ": " + std::strerror(errno));
            return 2;
        }
        if (S_ISDIR(inputStat.st_mode)) {
            ShowUsageError(env.err, "cannot read " + options.input + ": it is a folder");
            return 2;
        }
        inFd = input.fd;
    } else if (::fstat(inFd, &inputStat) != 0) {
        inputStat = {};
    }
    const std::string shownInput = options.input == "-" ? "standard input" : options.input;
    if (!options.output.empty() && IsInputFile(options.output, inputStat)) {
        ShowUsageError(env.err, "-o " + options.output + " is the input file " + shownInput +
                                    ": it would be replaced; write to another file");
        return 2;
    }
    if (!options.report.empty() && IsInputFile(options.report, inputStat)) {
        ShowUsageError(env.err, "--report " + options.report + " is the input file " + shownInput +
                                    ": it would be replaced; write to another file");
        return 2;
    }
    for (const std::string& w : options.warnings)
        env.err << "quorvel-batch: warning: " << w << '\n';

    // Temporary files first, so that an unwritable folder stops the run before any work.
    std::optional<AtomicFile> outputFile, reportFile;
    std::optional<ReportSpool> spool;
    try {
        if (!options.output.empty()) outputFile.emplace(options.output, /*allowDirect=*/true);
        if (options.reportKind != ReportKind::None) {
            reportFile.emplace(options.report);
            spool.emplace(FolderOf(reportFile->Target()));
        }
    } catch (const IoError& e) {
        ShowUsageError(env.err, e.what());
        return 2;
    }

    RunCounts counts;
    try {
        FdSource fdSource(inFd, inputName);
        std::optional<DecodingSource> decoded;
        if (!options.encoding.empty()) decoded.emplace(fdSource, options.encoding);
        ByteSource& source = decoded ? static_cast<ByteSource&>(*decoded) : fdSource;
        FdSink sink(outputFile ? outputFile->fd() : env.stdoutFd,
                    outputFile ? options.output : std::string("standard output"));
        OutputBuffer out(sink);
        counts = ProcessPoints(options, source, inputName, out, env.err, spool ? &*spool : nullptr);

        if (options.reportKind == ReportKind::Text) {
            ReportLines lines(options, *spool);
            FdSink reportSink(reportFile->fd(), options.report);
            OutputBuffer text(reportSink);
            std::string page;
            ReportLine line;
            while (lines.Next(line)) {
                page.clear();
                AppendReportLineText(line, page);
                text.Append(page);
                text.MaybeFlush();
            }
            text.Flush();
        } else if (options.reportKind == ReportKind::Pdf) {
            ReportLines lines(options, *spool);
            std::string why;
            if (!writePdf(lines, reportFile->fd(), why)) {
                throw IoError("cannot write the report " + options.report + ": " + why);
            }
        }
        // Both files complete on disk before either replaces what was there.
        if (outputFile) outputFile->Finish();
        if (reportFile) reportFile->Finish();
        if (outputFile) outputFile->Publish();
        try {
            if (reportFile) reportFile->Publish();
        } catch (const IoError&) {
            if (outputFile) outputFile->Undo();
            throw;
        }
        if (outputFile) outputFile->Settle();
        if (reportFile) reportFile->Settle();
    } catch (const IoError& e) {
        env.err << "quorvel-batch: " << e.what() << '\n';
        env.err.flush();
        return 2;
    }

    if (!options.quiet) env.err << SummaryText(counts) << '\n';
    env.err.flush();
    return counts.rejected > 0 ? 1 : 0;
}

}  // namespace quorvel::engine
