#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

#include "cli/atomic_file.h"
#include "cli/line_parser.h"
#include "cli/ordered_pool.h"
#include "core/constants.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::cli {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Messages for rejected lines, collected per chunk of lines and written out in input order.
class MessageLog {
  public:
    MessageLog(std::string& text, std::string_view inputName) : text_(text), name_(inputName) {}

    std::string& Begin(std::size_t line) {
        text_ += name_;
        text_ += ':';
        text_ += std::to_string(line);
        text_ += ": ";
        return text_;
    }
    void End() { text_ += '\n'; }

  private:
    std::string& text_;
    std::string_view name_;
};

std::string FieldName(Mode mode, std::size_t field) {
    if (field >= 1 && field <= kPointFields) return std::string(ColumnsOf(mode).header[field - 1]);
    return "field " + std::to_string(field);
}

void DescribeLineError(const ParsedLine& p, Mode mode, std::string& msg) {
    switch (p.status) {
        case LineStatus::InvalidUtf8:
            msg += "not UTF-8 text (byte " + std::to_string(p.errorColumn) +
                   "); save the file as UTF-8";
            break;
        case LineStatus::UnclosedQuote:
            msg += FieldName(mode, p.errorField) + ": the quote is not closed on this line";
            break;
        case LineStatus::TextAfterQuote:
            msg += FieldName(mode, p.errorField) + ": text after the closing quote";
            break;
        case LineStatus::QuoteInUnquoted:
            msg += FieldName(mode, p.errorField) +
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
    std::string messages;
    RunCounts counts;
    std::vector<std::array<ValueCell, 4>> rows;
};

struct ChunkContext {
    const Options& options;
    EllipsoidConstants constants;
    std::string_view inputName;
    bool collectRows;
};

void ProcessChunk(const ChunkContext& ctx, Chunk& chunk) {
    const Mode mode = ctx.options.mode;
    const ModeColumns& columns = ColumnsOf(mode);
    StringSink sink;
    sink.text.swap(chunk.out);
    sink.text.clear();
    OutputBuffer out(sink, 1 << 16);
    MessageLog log(chunk.messages, ctx.inputName);
    ParsedLine parsed;
    RunCounts& counts = chunk.counts;

    for (std::size_t i = 0; i < chunk.lines.size(); ++i) {
        const Chunk::Line& at = chunk.lines[i];
        const std::size_t number = chunk.firstLine + i;
        if (at.tooLong) {
            log.Begin(number) +=
                "line longer than " + std::to_string(LineReader::kMaxLine) + " bytes";
            log.End();
            ++counts.rejected;
            continue;
        }
        if (i == chunk.header) continue;
        ParseLine(std::string_view(chunk.text).substr(at.offset, at.size), parsed);
        if (parsed.status == LineStatus::Skip) continue;
        if (parsed.status != LineStatus::Fields) {
            DescribeLineError(parsed, mode, log.Begin(number));
            log.End();
            ++counts.rejected;
            continue;
        }
        if (parsed.count != kPointFields) {
            std::string& msg = log.Begin(number);
            msg += "expected 3 fields (";
            msg += columns.header[0];
            msg += ", ";
            msg += columns.header[1];
            msg += ", ";
            msg += columns.header[2];
            msg += "), found " + std::to_string(parsed.count);
            log.End();
            ++counts.rejected;
            continue;
        }

        const std::string_view name = parsed.fields[0];
        const std::string_view first = TrimBlanks(parsed.fields[1]);
        const std::string_view second = TrimBlanks(parsed.fields[2]);
        const RowResult r = ComputeRow(mode, ctx.constants, ctx.options.meridians, first, second);
        if (r.status != RowStatus::Ok) {
            std::string& msg = log.Begin(number);
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
                if (value.empty()) {
                    msg += "empty, not a number";
                } else {
                    msg += QuoteForMessage(value);
                    msg +=
                        r.status == RowStatus::OutOfRange ? " is out of range" : " is not a number";
                }
            }
            log.End();
            ++counts.rejected;
            continue;
        }

        char* p = out.Reserve(2 * (name.size() + first.size() + second.size()) + 6 +
                              2 * kMaxResultText + kCsvLineEnd.size());
        p = WriteCsvField(p, name);
        *p++ = ',';
        p = WriteCsvField(p, first);
        *p++ = ',';
        p = WriteCsvField(p, second);
        *p++ = ',';
        p = WriteResult(p, mode, r.first, ctx.options.full);
        *p++ = ',';
        p = WriteResult(p, mode, r.second, ctx.options.full);
        *p++ = '\r';
        *p++ = '\n';
        out.Commit(p);
        out.MaybeFlush();
        ++counts.points;
        if (ctx.collectRows) {
            chunk.rows.push_back({ValueCell(std::string(first)), ValueCell(std::string(second)),
                                  ValueCell(r.first), ValueCell(r.second)});
        }
    }
    out.Flush();
    chunk.out.swap(sink.text);
}

int WorkerCount(int requested) {
    if (requested > 0) return requested == 1 ? 0 : std::min(requested, 16);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : static_cast<int>(std::min(cores, 4u));
}

}  // namespace

RunCounts ProcessPoints(const Options& options, ByteSource& in, std::string_view inputName,
                        OutputBuffer& out, std::ostream& err, ReportData* report) {
    const ModeColumns& columns = ColumnsOf(options.mode);
    for (std::size_t i = 0; i < columns.header.size(); ++i) {
        if (i > 0) out.Append(",");
        out.Append(columns.header[i]);
    }
    out.Append(kCsvLineEnd);

    const ChunkContext ctx{options, EllipsoidConstants::Load(), inputName, report != nullptr};
    const int workers = WorkerCount(options.threads);
    OrderedPool<Chunk> pool(workers, [&ctx](Chunk& c) { ProcessChunk(ctx, c); });
    // Chunks read ahead while the oldest is written: enough to keep every worker busy, few
    // enough to keep memory small.
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    RunCounts counts;
    auto emit = [&](std::unique_ptr<Chunk> c) {
        out.Append(c->out);
        out.MaybeFlush();
        if (!c->messages.empty()) {
            err << c->messages;
            err.flush();
        }
        counts.points += c->counts.points;
        counts.rejected += c->counts.rejected;
        if (report != nullptr) {
            for (auto& row : c->rows) report->rows.push_back(std::move(row));
        }
    };

    LineReader reader(in);
    ParsedLine parsed;
    bool headerPending = options.header;
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
        // The header is the first line that is not empty or a comment, wherever it falls.
        if (headerPending && !at.tooLong) {
            ParseLine(line, parsed);
            if (parsed.status != LineStatus::Skip) {
                chunk->header = chunk->lines.size() - 1;
                headerPending = false;
            }
        }
        if (chunk->text.size() >= options.chunkBytes || chunk->lines.size() >= 8192) {
            if (pool.InFlight() >= window) emit(pool.TakeNext());
            pool.Submit(std::move(chunk));
        }
    }
    if (chunk) pool.Submit(std::move(chunk));
    while (std::unique_ptr<Chunk> c = pool.TakeNext()) emit(std::move(c));
    out.Flush();
    return counts;
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

}  // namespace

ReportInput ToReportInput(const ReportData& data) {
    ReportInput input;
    input.mode = static_cast<int>(data.mode);
    input.pointCount = static_cast<int>(data.rows.size());
    input.centralMeridian = ValueCell(data.loText);
    if (data.mode == Mode::Zone) input.targetMeridian = ValueCell(data.lsText);
    input.rows = data.rows;
    return input;
}

std::string RenderTextReport(const ReportData& data) {
    return RenderReportText(BuildReport(ToReportInput(data)));
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
    if (options.input != "-") {
        inputName = options.input;
        input.fd = ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (input.fd < 0 || ::fstat(input.fd, &st) != 0) {
            ShowUsageError(env.err, "cannot read " + options.input + ": " + std::strerror(errno));
            return 2;
        }
        if (S_ISDIR(st.st_mode)) {
            ShowUsageError(env.err, "cannot read " + options.input + ": it is a folder");
            return 2;
        }
        inFd = input.fd;
    }

    // Temporary files first, so that an unwritable folder stops the run before any work.
    std::optional<AtomicFile> outputFile, reportFile;
    try {
        if (!options.output.empty()) outputFile.emplace(options.output, /*allowDirect=*/true);
        if (options.reportKind != ReportKind::None) reportFile.emplace(options.report);
    } catch (const IoError& e) {
        ShowUsageError(env.err, e.what());
        return 2;
    }

    RunCounts counts;
    try {
        FdSource source(inFd, inputName);
        FdSink sink(outputFile ? outputFile->fd() : env.stdoutFd,
                    outputFile ? options.output : std::string("standard output"));
        OutputBuffer out(sink);
        ReportData report;
        report.mode = options.mode;
        report.loText = options.loText;
        report.lsText = options.lsText;
        counts =
            ProcessPoints(options, source, inputName, out, env.err, reportFile ? &report : nullptr);

        if (options.reportKind == ReportKind::Text) {
            const std::string page = RenderTextReport(report);
            FdSink(reportFile->fd(), options.report).Write(page.data(), page.size());
        } else if (options.reportKind == ReportKind::Pdf) {
            std::string why;
            if (!writePdf(report, reportFile->TempPath(), why)) {
                throw IoError("cannot write the report " + options.report + ": " + why);
            }
        }
        if (outputFile) outputFile->Commit();
        if (reportFile) reportFile->Commit();
    } catch (const IoError& e) {
        env.err << "quorvel-batch: " << e.what() << '\n';
        env.err.flush();
        return 2;
    }

    env.err << counts.points << " points, " << counts.rejected << " rejected\n";
    env.err.flush();
    return counts.rejected > 0 ? 1 : 0;
}

}  // namespace quorvel::cli
