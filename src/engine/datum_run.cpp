#include "engine/datum_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "core/atomic_file.h"
#include "core/datum.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/parameter_file.h"
#include "engine/datum_fit_notes.h"
#include "engine/datum_job.h"
#include "engine/line_parser.h"
#include "engine/ordered_pool.h"
#include "engine/run.h"
#include "engine/transform_checks.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::engine {
namespace {

constexpr std::size_t kListedWarnings = 10;
constexpr std::size_t kMaxValues = 6;

// ---- Lines into points ----

// The input fields the output has columns for: set by the header line, or else by the first
// line that reads as a point; a later line with more is refused rather than cut.
struct PassColumns {
    std::size_t count = 0;
    std::size_t line = 0;
    bool header = false;
};

// A point line's texts and values: the coordinates as typed and as numbers (packed angles
// decoded), the fields passed through.
struct PointText {
    std::string_view name;
    std::array<std::string_view, kMaxValues> typed{};
    std::array<double, kMaxValues> values{};
    std::vector<std::string_view> passed;
};

struct LineContext {
    const DatumLayout& layout;
    bool decimalComma = false;
    const std::string& encoding;
};

// Why a line did not read as fields; false for a line that did (or is to be skipped).
bool LineRejected(const LineContext& c, const ParsedLine& p, DatumDiagnostic& d) {
    switch (p.status) {
        case LineStatus::InvalidUtf8:
            d.problem = DatumProblem::InvalidUtf8;
            d.count = p.errorColumn;
            d.text = c.encoding;
            return true;
        case LineStatus::UnclosedQuote:
            d.problem = DatumProblem::UnclosedQuote;
            break;
        case LineStatus::TextAfterQuote:
            d.problem = DatumProblem::TextAfterQuote;
            break;
        case LineStatus::QuoteInUnquoted:
            d.problem = DatumProblem::QuoteInUnquoted;
            break;
        case LineStatus::Fields:
        case LineStatus::Skip:
            return false;
    }
    d.field = p.errorField;
    return true;
}

// The fields of a line that count for the columns: trailing empty ones down to those needed
// do not.
std::size_t KeptFields(const DatumLayout& layout, const ParsedLine& p) {
    if (p.status != LineStatus::Fields) return 0;
    std::size_t count = p.count;
    while (count > layout.Needed() && p.fields[count - 1].empty()) --count;
    return count;
}

// Reads a line that has fields into `out`; false with `d` set when it is rejected.
bool ReadPoint(const LineContext& c, const ParsedLine& p, const PassColumns& columns,
               PointText& out, DatumDiagnostic& d, std::string& buffer) {
    const DatumLayout& layout = c.layout;
    const std::size_t needed = layout.Needed();
    std::size_t count = p.count;
    while (count > needed && p.fields[count - 1].empty() && !p.quoted[count - 1]) --count;
    if (count < needed) {
        d.problem = DatumProblem::TooFewFields;
        d.count = p.count;
        return false;
    }
    const std::size_t width = std::max(columns.count, needed);
    while (count > width && p.fields[count - 1].empty()) --count;
    if (count > width) {
        d.problem = DatumProblem::SurplusFields;
        d.count = count;
        d.field = width;
        d.otherLine = columns.line;
        d.header = columns.header;
        d.text = p.fields[width];
        return false;
    }
    out.name = p.fields[layout.fields[0]];
    for (std::size_t k = 0; k < layout.names.size(); ++k) {
        const std::string_view typed = TrimBlanks(p.fields[layout.fields[k + 1]]);
        out.typed[k] = typed;
        const std::optional<double> v = TryParseNumber(DecimalText(typed, c.decimalComma, buffer));
        if (!v) {
            d.field = k + 1;
            d.text = typed;
            d.problem = typed.empty() ? DatumProblem::EmptyValue : DatumProblem::NotANumber;
            try {
                ParseNumber(DecimalText(typed, c.decimalComma, buffer));
            } catch (const OverflowError&) {
                d.problem = DatumProblem::OutOfRange;
            } catch (const Error&) {
            }
            return false;
        }
        out.values[k] = layout.angles[k] ? DecodePackedAngle(*v) : *v;
    }
    out.passed.clear();
    for (std::size_t f = 0; f < width; ++f) {
        if (std::find(layout.fields.begin(), layout.fields.end(), f) != layout.fields.end()) {
            continue;
        }
        out.passed.push_back(f < count ? p.fields[f] : std::string_view());
    }
    return true;
}

// Whether a line reads as a point at its own width: the first that does sets the columns.
bool ReadsAtItsWidth(const LineContext& c, const ParsedLine& p) {
    PointText point;
    DatumDiagnostic d;
    std::string buffer;
    return !LineRejected(c, p, d) && p.status == LineStatus::Fields &&
           ReadPoint(c, p, {KeptFields(c.layout, p), 0, false}, point, d, buffer);
}

// Whether a header line would have been a point: its coordinates read as numbers.
bool ReadsAsPoint(const LineContext& c, const ParsedLine& p) {
    if (p.status != LineStatus::Fields || p.count < c.layout.Needed()) return false;
    std::string buffer;
    for (std::size_t k = 1; k < c.layout.fields.size(); ++k) {
        const std::string_view text = TrimBlanks(p.fields[c.layout.fields[k]]);
        if (!TryParseNumber(DecimalText(text, c.decimalComma, buffer))) return false;
    }
    return true;
}

// The output's columns: `head`, then one per field passed through, named by the header line.
std::vector<std::string> Columns(std::vector<std::string> head, const DatumLayout& layout,
                                 const ParsedLine* first, std::size_t fields, bool header) {
    for (std::size_t f = 0; f < fields; ++f) {
        if (std::find(layout.fields.begin(), layout.fields.end(), f) != layout.fields.end()) {
            continue;
        }
        const std::string_view name =
            header && first != nullptr && f < first->count ? first->fields[f] : "";
        head.push_back(name.empty() ? "field" + std::to_string(f + 1) : std::string(name));
    }
    return head;
}

Triple Side(const PointText& p, std::size_t from, std::size_t count) {
    Triple t{0, 0, 0};
    for (std::size_t k = 0; k < count; ++k) t[k] = p.values[from + k];
    return t;
}

void WriteHeader(OutputBuffer& out, const std::vector<std::string>& columns, bool bom) {
    std::string line = bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, columns[i], bom);
    }
    line += kCsvLineEnd;
    out.Append(line);
}

char* WriteNumber(char* out, double value, int decimals, bool full) {
    return full ? WriteFullText(out, value) : WriteRoundedText(out, value, decimals);
}

// Prints the diagnostics of a run as quorvel-batch prints its others.
class DiagnosticPrinter {
  public:
    DiagnosticPrinter(std::ostream& err, std::string inputName, const DatumLayout& layout,
                      const CoordinateSystem& system)
        : err_(err), inputName_(std::move(inputName)), layout_(layout), system_(system) {}

    void Print(const DatumDiagnostic& d) {
        if (d.OfRun()) {
            err_ << "quorvel-batch: " << Tr("warning: ");
        } else {
            err_ << inputName_ << ':' << d.line << ": " << (d.IsWarning() ? Tr("warning: ") : "");
        }
        err_ << Describe(d, layout_, system_) << '\n';
    }

    // The packed-angle warnings of a run: the first ones listed, the others counted.
    void Excess(const DatumDiagnostic& d) {
        if (excess_++ < kListedWarnings) Print(d);
    }
    void CountExcess(std::size_t unlisted) { excess_ += unlisted; }
    const std::string& inputName() const { return inputName_; }
    void End() {
        if (excess_ <= kListedWarnings) return;
        DatumDiagnostic d;
        d.problem = DatumProblem::MorePackedExcess;
        d.count = excess_ - kListedWarnings;
        Print(d);
    }

  private:
    std::ostream& err_;
    std::string inputName_;
    const DatumLayout& layout_;
    const CoordinateSystem& system_;
    std::size_t excess_ = 0;
};

// The packed-angle warnings of a point read, in `d` one at a time.
template <typename Warn>
void CheckPackedExcess(const DatumLayout& layout, const PointText& p, std::uint64_t line,
                       Warn warn) {
    for (std::size_t k = 0; k < layout.names.size(); ++k) {
        if (!layout.angles[k]) continue;
        const std::optional<PackedExcessValue> excess = FindPackedExcess(p.typed[k]);
        if (!excess) continue;
        DatumDiagnostic d;
        d.problem = DatumProblem::PackedExcess;
        d.line = line;
        d.field = k + 1;
        d.text = p.typed[k];
        d.count = static_cast<std::uint64_t>(excess->amount);
        d.seconds = excess->seconds;
        warn(d);
    }
}

// ---- Reading every line, for fit ----

// The lines of a whole input, read one after another: every point, or the diagnostic of a line.
class InputLines {
  public:
    InputLines(ByteSource& in, const LineContext& c, bool header)
        : reader_(in), c_(c), header_(header) {}

    enum class Got { Point, Rejected, Warning, End };
    Got Next(PointText& point, DatumDiagnostic& d) {
        std::string_view line;
        for (;;) {
            const LineReader::Result got = reader_.Next(line);
            if (got == LineReader::Result::End) return Got::End;
            d = {};
            d.line = reader_.LineNumber();
            if (got == LineReader::Result::TooLong) {
                d.problem = DatumProblem::LineTooLong;
                d.count = LineReader::kMaxLine;
                return Got::Rejected;
            }
            ParseLine(line, parsed_, c_.decimalComma);
            if (parsed_.status == LineStatus::Skip) continue;
            if (first_) {
                first_ = false;
                if (header_) {
                    Set(KeptFields(c_.layout, parsed_), true);
                    if (ReadsAsPoint(c_, parsed_)) {
                        d.problem = DatumProblem::HeaderReadsAsPoint;
                        return Got::Warning;
                    }
                    continue;
                }
            }
            if (LineRejected(c_, parsed_, d)) return Got::Rejected;
            if (set_) {
                if (!ReadPoint(c_, parsed_, columns_, point, d, buffer_)) return Got::Rejected;
                return Got::Point;
            }
            // The first line that reads sets the columns: a typo in one before it must not
            // refuse every later line as too wide.
            const std::size_t kept = KeptFields(c_.layout, parsed_);
            if (!ReadPoint(c_, parsed_, {kept, 0, false}, point, d, buffer_)) return Got::Rejected;
            Set(kept, false);
            return Got::Point;
        }
    }

    // The output's columns after `head`.
    std::vector<std::string> Columns(std::vector<std::string> head) const {
        return engine::Columns(std::move(head), c_.layout, set_ ? &named_ : nullptr,
                               set_ ? columns_.count : c_.layout.Needed(), columns_.header);
    }

  private:
    void Set(std::size_t kept, bool header) {
        set_ = true;
        columns_ = {std::max(kept, c_.layout.Needed()), reader_.LineNumber(), header};
        named_.count = parsed_.count;
        named_.storage.assign(parsed_.fields.begin(), parsed_.fields.begin() + parsed_.count);
        named_.fields.assign(named_.storage.begin(), named_.storage.end());
    }

    LineReader reader_;
    const LineContext& c_;
    ParsedLine parsed_;
    ParsedLine named_;  // the line that set the columns, its fields kept
    PassColumns columns_;
    bool header_ = false;
    bool first_ = true;
    bool set_ = false;
    std::string buffer_;
};

// ---- fit ----

struct FitInput {
    std::vector<CommonPoint> points;
    std::vector<std::vector<std::string>> passed;
    std::vector<std::string> columns;  // of the fields passed through
    std::size_t rejected = 0;
    std::uint64_t firstRejected = 0;  // the line
};

const char* ModelWords(DatumModel model) {
    return model == DatumModel::Seven  ? TR_NOOP("7-parameter Bursa-Wolf")
           : model == DatumModel::Four ? TR_NOOP("4-parameter plane similarity")
                                       : TR_NOOP("3-parameter translation");
}

// The residuals' column names.
std::vector<std::string> ResidualNames(const CoordinateSystem& to, const FitOptions& fit) {
    if (fit.model == DatumModel::Four) return {"vX", "vY"};
    switch (to.kind) {
        case SystemKind::Plane:
            return fit.heights ? std::vector<std::string>{"vX", "vY", "vH"}
                               : std::vector<std::string>{"vX", "vY"};
        case SystemKind::Geodetic:
            return fit.heights ? std::vector<std::string>{"vE", "vN", "vH"}
                               : std::vector<std::string>{"vE", "vN"};
        case SystemKind::Geocentric:
            break;
    }
    return {"vX", "vY", "vZ"};
}

std::string Millimetres(double metres, bool full) {
    char text[kMaxRoundedText];
    return std::string(text, WriteNumber(text, metres * 1000, 1, full));
}

void WriteResiduals(OutputBuffer& out, const DatumOptions& o, const FitInput& input,
                    const FitResult& r) {
    const std::vector<std::string> names = ResidualNames(*o.to, o.fit);
    std::vector<std::string> head = {"name", "use"};
    head.insert(head.end(), names.begin(), names.end());
    head.insert(head.end(), {"plane", "flag"});
    head.insert(head.end(), input.columns.begin(), input.columns.end());
    WriteHeader(out, head, o.bom);
    const std::string flag = ">" + ShortestText(o.fit.outlierFactor) + "σ0";
    std::string line;
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        const PointResidual& p = r.points[i];
        line.clear();
        AppendCsvField(line, p.name, o.bom);
        line += ',';
        line += PointUseName(p.use);
        for (std::size_t c = 0; c < names.size(); ++c) line += ',' + Millimetres(p.v[c], o.full);
        line += ',' + Millimetres(p.plane, o.full) + ',' + (p.flagged ? flag : "");
        for (const std::string& field : input.passed[i]) {
            line += ',';
            AppendCsvField(line, field, o.bom);
        }
        line += kCsvLineEnd;
        out.Append(line);
        out.MaybeFlush();
    }
    out.Flush();
}

std::string Fixed(double v, int decimals) {
    return std::isnan(v) ? "-" : RoundedText(v, decimals);
}

// The model's parameters with their standard errors, in the order the summary lists them.
struct ParameterLine {
    const char* key;
    double value, error;
    const char* unit;
};
std::vector<ParameterLine> ParameterLines(const DatumParameters& p, const DatumParameters& se) {
    std::vector<ParameterLine> lines = {{"dx", p.dx, se.dx, " m"}, {"dy", p.dy, se.dy, " m"}};
    if (p.model == DatumModel::Four) {
        lines.push_back({"rotation", p.rotation, se.rotation, "″"});
        lines.push_back({"scale", p.scale, se.scale, " ppm"});
    } else {
        lines.push_back({"dz", p.dz, se.dz, " m"});
    }
    if (p.model == DatumModel::Seven) {
        lines.push_back({"rx", p.rx, se.rx, "″"});
        lines.push_back({"ry", p.ry, se.ry, "″"});
        lines.push_back({"rz", p.rz, se.rz, "″"});
        lines.push_back({"ds", p.ds, se.ds, " ppm"});
    }
    return lines;
}

void PrintFitSummary(std::ostream& err, const DatumOptions& o, const FitResult& r,
                     std::size_t rejected) {
    const DatumParameters& p = r.parameters;
    const DatumParameters& se = r.standardErrors;
    const std::string from = SystemText(*o.from), to = SystemText(*o.to);
    const std::string model = Tr(ModelWords(p.model));
    if (p.model == DatumModel::Seven) {
        const std::string convention = p.convention == RotationConvention::CoordinateFrame
                                           ? Tr("coordinate frame")
                                           : Tr("position vector");
        err << Fill(Tr("{0} ({1}) from {2} to {3}"), {model, convention, from, to}) << '\n';
    } else {
        err << Fill(Tr("{0} from {1} to {2}"), {model, from, to}) << '\n';
    }
    // The plane similarity has no heights to speak of.
    if (p.model != DatumModel::Four &&
        (o.from->kind != SystemKind::Geocentric || o.to->kind != SystemKind::Geocentric)) {
        err << (o.fit.heights ? Tr("with heights")
                              : Tr("without heights: only east and north are observed, the "
                                   "heights are free (the two-dimensional practice)"))
            << '\n';
    }
    for (const ParameterLine& l : ParameterLines(p, se)) {
        err << "  "
            << Fill(Tr("{0} = {1}{3}, standard error {2}{3}"),
                    {l.key, Fixed(l.value, 4), Fixed(l.error, 4), l.unit})
            << '\n';
    }
    if (r.redundancy > 0) {
        err << Fill(Tr("σ0 = {0} mm (standard error of unit weight), redundancy {1}"),
                    {Fixed(r.sigma0 * 1000, 1), std::to_string(r.redundancy)})
            << '\n';
    } else {
        err << Tr("σ0 undefined: as many observations as unknowns, no redundancy") << '\n';
    }
    const std::size_t n = r.points.size();
    err << Fill(TrN("{0} common point: {1} fitted, {2} checked, {3} dropped; {4} rejected",
                    "{0} common points: {1} fitted, {2} checked, {3} dropped; {4} rejected", n),
                {std::to_string(n), std::to_string(r.used), std::to_string(r.checked),
                 std::to_string(r.dropped), std::to_string(rejected)})
        << '\n';
    if (r.checked > 0) {
        const std::vector<std::string> names = ResidualNames(*o.to, o.fit);
        std::string rms;
        for (std::size_t c = 0; c < names.size(); ++c) {
            rms += names[c] + " " + Fixed(r.checkRms[c] * 1000, 1) + " mm" + Tr(", ");
        }
        rms += Fill(Tr("plane {0} mm"), {Fixed(r.checkPlaneRms * 1000, 1)});
        err << Fill(Tr("check points, RMS: {0}"), {rms}) << '\n';
    }
    for (int round = 1; round <= r.dropped; ++round) {
        for (const PointResidual& q : r.points) {
            if (q.droppedInRound == round) {
                err << Fill(Tr("dropped in round {0}: {1}"),
                            {std::to_string(round), EscapedText(q.name, 60)})
                    << '\n';
            }
        }
    }
}

FitInput ReadCommonPoints(const DatumOptions& o, const DatumLayout& layout, ByteSource& in,
                          DiagnosticPrinter& printer) {
    const LineContext c{layout, o.decimalComma, o.encoding};
    InputLines lines(in, c, o.header);
    FitInput input;
    PointText point;
    DatumDiagnostic d;
    for (;;) {
        const InputLines::Got got = lines.Next(point, d);
        if (got == InputLines::Got::End) break;
        if (got == InputLines::Got::Warning) {
            printer.Print(d);
            continue;
        }
        if (got == InputLines::Got::Rejected) {
            printer.Print(d);
            if (input.rejected++ == 0) input.firstRejected = d.line;
            continue;
        }
        CheckPackedExcess(layout, point, d.line,
                          [&](const DatumDiagnostic& w) { printer.Excess(w); });
        CommonPoint& p = input.points.emplace_back();
        p.name = std::string(point.name);
        p.source = Side(point, 0, layout.sourceCount);
        p.target = Side(point, layout.sourceCount, layout.names.size() - layout.sourceCount);
        input.passed.emplace_back(point.passed.begin(), point.passed.end());
    }
    printer.End();
    if (input.rejected > 0 && !o.skipBadLines) {
        throw Refusal(BadLineRefusalText(printer.inputName(), input.firstRejected, input.rejected));
    }
    input.columns = lines.Columns({});
    for (const std::string& name : o.checks) {
        const auto it = std::find_if(input.points.begin(), input.points.end(),
                                     [&](const CommonPoint& p) { return p.name == name; });
        if (it == input.points.end()) {
            throw Refusal(
                Fill(Tr("--check: no common point is named {0}"), {QuoteForMessage(name)}));
        }
        it->check = true;
    }
    return input;
}

std::string ParameterText(const DatumOptions& o, const FitResult& r) {
    return FitParameterText(*o.from, *o.to, o.fit.heights, r);
}

}  // namespace

std::string FitParameterText(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                             const FitResult& r) {
    ParameterFile f;
    f.from = from;
    f.to = to;
    f.heights = heights;
    f.parameters = r.parameters;
    f.sigma0 = r.sigma0;
    f.points = r.used;
    f.fromZone = from.zoneWidth ? r.fromZone : -1;
    f.toZone = to.zoneWidth ? r.toZone : -1;
    f.area = r.area;
    std::string note;
    try {
        f.proj = ProjPipeline(f.from, f.to, f.parameters, r.fromZone, r.toZone);
    } catch (const InvalidParameterError&) {
        note = "# " +
               Tr("no proj: the common points lie in more than one zone, and a PROJ pipeline "
                  "serves one zone") +
               "\n";
    }
    return WriteParameterFile(f, r.redundancy > 0 ? &r.standardErrors : nullptr) + note;
}

namespace {

// ---- transform ----

struct Counts {
    std::size_t points = 0;
    std::size_t rejected = 0;
    FarPoints far;  // beyond the common points' area
};

// Lines travel to the workers in chunks, as in RunJob.
struct Chunk {
    struct Line {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        bool tooLong = false;
    };
    std::string text;
    std::vector<Line> lines;
    std::size_t firstLine = 0;
    std::size_t header = std::string::npos;
    PassColumns columns;

    std::string encoded;
    std::vector<DatumDiagnostic> diagnostics;  // in line order, the packed-angle ones included
    std::size_t excessListed = 0, excessUnlisted = 0;
    Counts counts;
};

struct TransformContext {
    LineContext line;
    const DatumTransform& transform;
    const CoordinateSystem& from;
    const PointChecks& checks;
    std::size_t targetCount;
    bool targetAngles;
    bool full, bom;
};

// "X1 "3380000", Y1 "612345"": the source values as typed.
std::string TypedValues(const DatumLayout& layout, const PointText& p) {
    std::string text;
    for (std::size_t k = 0; k < layout.sourceCount; ++k) {
        if (k > 0) text += Tr(", ");
        text += layout.names[k] + " " + QuoteForMessage(p.typed[k]);
    }
    return text;
}

void AppendRecord(std::string& out, const TransformContext& x, const PointText& p,
                  const Triple& result) {
    AppendCsvField(out, p.name, x.bom);
    for (std::size_t k = 0; k < x.line.layout.sourceCount; ++k) {
        out += ',';
        // Texts that read as numbers need no quotes, unless a decimal comma is in them.
        if (x.line.decimalComma) {
            AppendCsvField(out, p.typed[k]);
        } else {
            out += p.typed[k];
        }
    }
    char number[kMaxRoundedText];
    for (std::size_t k = 0; k < x.targetCount; ++k) {
        out += ',';
        out.append(number, x.targetAngles && k < 2
                               ? WriteNumber(number, DegreesToPacked(result[k]), 10, x.full)
                               : WriteNumber(number, result[k], 4, x.full));
    }
    for (std::string_view f : p.passed) {
        out += ',';
        AppendCsvField(out, f, x.bom);
    }
    out += kCsvLineEnd;
}

void TransformChunk(const TransformContext& x, Chunk& chunk) {
    const DatumLayout& layout = x.line.layout;
    ParsedLine parsed;
    PointText point;
    std::string buffer;
    chunk.encoded.clear();
    const auto reject = [&](DatumDiagnostic& d, std::size_t line) {
        d.line = line;
        chunk.diagnostics.push_back(std::move(d));
        ++chunk.counts.rejected;
    };
    for (std::size_t i = 0; i < chunk.lines.size(); ++i) {
        const Chunk::Line& at = chunk.lines[i];
        const std::size_t number = chunk.firstLine + i;
        DatumDiagnostic d;
        if (at.tooLong) {
            d.problem = DatumProblem::LineTooLong;
            d.count = LineReader::kMaxLine;
            reject(d, number);
            continue;
        }
        if (i == chunk.header) continue;
        ParseLine(std::string_view(chunk.text).substr(at.offset, at.size), parsed,
                  x.line.decimalComma);
        if (parsed.status == LineStatus::Skip) continue;
        // A line before the one that set the columns does not read: say why, not how wide.
        const PassColumns columns = number < chunk.columns.line || chunk.columns.count == 0
                                        ? PassColumns{KeptFields(layout, parsed), 0, false}
                                        : chunk.columns;
        if (LineRejected(x.line, parsed, d) ||
            !ReadPoint(x.line, parsed, columns, point, d, buffer)) {
            reject(d, number);
            continue;
        }
        const Triple source = Side(point, 0, layout.sourceCount);
        if (x.checks.Refused(source, d)) {
            d.text = TypedValues(layout, point);
            reject(d, number);
            continue;
        }
        Triple result;
        try {
            result = x.transform.Apply(source);
        } catch (const Error& e) {
            d.problem = DatumProblem::NotConverted;
            d.text = TypedValues(layout, point);
            d.text2 = e.detail();
            reject(d, number);
            continue;
        }
        CheckPackedExcess(layout, point, number, [&](const DatumDiagnostic& w) {
            if (chunk.excessListed++ < kListedWarnings) {
                chunk.diagnostics.push_back(w);
            } else {
                ++chunk.excessUnlisted;
            }
        });
        if (const double outside = x.checks.Outside(source); outside > 0) {
            chunk.counts.far.Add({1, outside, number, std::string(point.name)});
        }
        AppendRecord(chunk.encoded, x, point, result);
        ++chunk.counts.points;
    }
}

// Whether the first line with fields lacks the H the parameter file's points carry: one
// field short, or a text where H belongs.
bool LacksHeight(const TransformContext& x, const ParsedLine& parsed, const DatumDiagnostic& d) {
    const DatumLayout& layout = x.line.layout;
    if (x.from.kind == SystemKind::Geocentric || layout.sourceCount != 3) return false;
    return (d.problem == DatumProblem::TooFewFields && parsed.count + 1 == layout.Needed()) ||
           (d.problem == DatumProblem::NotANumber && d.field == 3);
}

// The first line that reads as a point decides whether the input and the parameter file belong
// together: if its values cannot be coordinates of the source system, if it lacks the file's
// H, if the file cannot convert it or moves it farther than two datums lie apart, the run is
// refused before anything is written. False while no line has read as a point.
bool CheckKind(const TransformContext& x, const ParsedLine& parsed, const PassColumns& columns,
               std::size_t line, const std::string& inputName, const std::string& parameterFile) {
    PointText point;
    DatumDiagnostic d;
    std::string buffer;
    const std::string where = inputName + ":" + std::to_string(line);
    if (LineRejected(x.line, parsed, d) || parsed.status != LineStatus::Fields) return false;
    if (!ReadPoint(x.line, parsed, columns, point, d, buffer)) {
        if (!LacksHeight(x, parsed, d)) return false;
        throw Refusal(Fill(Tr("{0}: no H: the parameter file {1} was made with heights (heights "
                              "= yes), and each point needs H after its two values: is it the "
                              "parameter file for this input?"),
                           {where, parameterFile}));
    }
    const Triple source = Side(point, 0, x.line.layout.sourceCount);
    d.text = TypedValues(x.line.layout, point);
    Triple result;
    bool refused = x.checks.Refused(source, d);
    if (!refused) {
        try {
            result = x.transform.Apply(source);
        } catch (const Error& e) {
            d.problem = DatumProblem::NotConverted;
            d.text2 = e.detail();
            refused = true;
        }
    }
    if (!refused) {
        const double shift = x.checks.Shift(source, result);
        if (shift <= kMaxPointShift) return true;
        throw Refusal(MovedTooFar(where, d.text, shift, parameterFile));
    }
    throw Refusal(
        Fill(Tr("{0}:{1}: {2}: is {3} the parameter file for this input?"),
             {inputName, std::to_string(line), Describe(d, x.line.layout, x.from), parameterFile}));
}

int WorkerCount(int requested) {
    if (requested > 0) return requested == 1 ? 0 : std::min(requested, 16);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : static_cast<int>(std::min(cores, 4u));
}

// Hands the transformed chunks on in input order: the CSV, its header first, and the
// diagnostics.
class TransformEmitter {
  public:
    TransformEmitter(OutputBuffer& out, DiagnosticPrinter& printer, bool bom,
                     std::vector<std::string> plain)
        : out_(out), printer_(printer), bom_(bom), plain_(std::move(plain)) {}

    // The header line, unless it is written.
    void Begin(const std::vector<std::string>& columns) {
        if (!begun_) WriteHeader(out_, columns, bom_);
        begun_ = true;
    }
    // The columns of an output that no line sets.
    void SetPlainColumns(std::vector<std::string> columns) { plain_ = std::move(columns); }

    void Emit(const Chunk& c) {
        if (c.counts.points > 0) Begin(plain_);
        out_.Append(c.encoded);
        out_.MaybeFlush();
        for (const DatumDiagnostic& d : c.diagnostics) {
            if (d.problem == DatumProblem::PackedExcess) {
                printer_.Excess(d);
            } else {
                printer_.Print(d);
            }
        }
        printer_.CountExcess(c.excessUnlisted);
        counts_.points += c.counts.points;
        counts_.rejected += c.counts.rejected;
        counts_.far.Add(c.counts.far);
    }

    Counts End() {
        Begin(plain_);
        printer_.End();
        out_.Flush();
        return counts_;
    }

  private:
    OutputBuffer& out_;
    DiagnosticPrinter& printer_;
    bool bom_;
    std::vector<std::string> plain_;
    bool begun_ = false;
    Counts counts_;
};

// Watches the first lines: the first that is not empty or a comment is the header with
// --header and names the columns passed through; that line, or else the first with the fields
// of a point, sets how many there are. The first point decides whether the input and the
// parameter file belong together (CheckKind).
class TransformWatch {
  public:
    TransformWatch(const DatumOptions& o, const TransformContext& x,
                   const std::vector<std::string>& head, TransformEmitter& emitter,
                   DiagnosticPrinter& printer, const std::string& inputName)
        : o_(o), x_(x), head_(head), emitter_(emitter), printer_(printer), inputName_(inputName) {}

    const PassColumns& columns() const { return columns_; }

    // Line `number`; true when it is the header line to skip.
    bool See(std::string_view line, std::size_t number) {
        if (!columnsPending_ && !kindPending_) return false;
        ParseLine(line, parsed_, o_.decimalComma);
        if (parsed_.status == LineStatus::Skip) return false;
        const bool isHeader = firstPending_ && o_.header;
        if (columnsPending_) SetColumns(isHeader, number);
        if (!isHeader && kindPending_) {
            kindPending_ = !CheckKind(x_, parsed_, columns_, number, inputName_, o_.parameterFile);
        }
        return isHeader;
    }

  private:
    void SetColumns(bool isHeader, std::size_t number) {
        const DatumLayout& layout = x_.line.layout;
        if (isHeader && ReadsAsPoint(x_.line, parsed_)) {
            DatumDiagnostic d;
            d.problem = DatumProblem::HeaderReadsAsPoint;
            d.line = number;
            printer_.Print(d);
        }
        const std::size_t kept = KeptFields(layout, parsed_);
        if (parsed_.status == LineStatus::Fields &&
            (isHeader || (kept >= layout.Needed() && ReadsAtItsWidth(x_.line, parsed_)))) {
            columns_ = {std::max(kept, layout.Needed()), number, isHeader};
            columnsPending_ = false;
            emitter_.Begin(Columns(head_, layout, &parsed_, columns_.count, isHeader));
        } else if (firstPending_) {
            emitter_.SetPlainColumns(Columns(head_, layout, &parsed_, kept, false));
        }
        firstPending_ = false;
    }

    const DatumOptions& o_;
    const TransformContext& x_;
    const std::vector<std::string>& head_;
    TransformEmitter& emitter_;
    DiagnosticPrinter& printer_;
    const std::string& inputName_;
    ParsedLine parsed_;
    PassColumns columns_;
    bool firstPending_ = true;    // no line but empty ones and comments yet
    bool columnsPending_ = true;  // no line has set the columns
    bool kindPending_ = true;     // no line has read as a point
};

Counts TransformPoints(const DatumOptions& o, const TransformContext& x,
                       const std::vector<std::string>& head, ByteSource& in,
                       const std::string& inputName, OutputBuffer& out,
                       DiagnosticPrinter& printer) {
    const int workers = WorkerCount(o.threads);
    OrderedPool<Chunk> pool(workers, [&x](Chunk& c) { TransformChunk(x, c); });
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    TransformEmitter emitter(out, printer, o.bom, Columns(head, x.line.layout, nullptr, 0, false));
    TransformWatch watch(o, x, head, emitter, printer, inputName);

    LineReader reader(in);
    std::unique_ptr<Chunk> chunk;
    const auto submit = [&] {
        chunk->columns = watch.columns();
        pool.Submit(std::move(chunk));
    };
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
        if (!at.tooLong && watch.See(line, reader.LineNumber())) {
            chunk->header = chunk->lines.size() - 1;
        }
        if (chunk->text.size() >= o.chunkBytes || chunk->lines.size() >= 8192) {
            if (pool.InFlight() >= window) emitter.Emit(*pool.TakeNext());
            submit();
        }
    }
    if (chunk) submit();
    while (std::unique_ptr<Chunk> c = pool.TakeNext()) emitter.Emit(*c);
    return emitter.End();
}

// Said of a transformation through geocentric coordinates; the plane similarity has no heights.
std::string HeightsNote(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                        DatumModel model) {
    if (heights || model == DatumModel::Four ||
        (from.kind == SystemKind::Geocentric && to.kind == SystemKind::Geocentric)) {
        return {};
    }
    return Tr("without heights: H = 0 on both sides (the two-dimensional practice)");
}

// ---- The command ----

struct Opened {
    FdCloser input;
    int fd = 0;
    std::string name = "<stdin>";
    struct stat st {};
};

void OpenInput(const DatumOptions& o, const Environment& env, Opened& in) {
    in.fd = env.stdinFd;
    if (o.input == "-") {
        if (::fstat(in.fd, &in.st) != 0) in.st = {};
        return;
    }
    in.name = o.input;
    in.input.fd = ::open(o.input.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.input.fd < 0 || ::fstat(in.input.fd, &in.st) != 0) {
        throw Refusal(Fill(Tr("cannot read {0}: {1}"), {o.input, std::strerror(errno)}));
    }
    if (S_ISDIR(in.st.st_mode)) {
        throw Refusal(Fill(Tr("cannot read {0}: {1}"), {o.input, Tr("it is a folder")}));
    }
    in.fd = in.input.fd;
}

// -o, and fit's -p, must not name the input file, which they would replace.
void CheckNotInput(const DatumOptions& o, const Opened& in) {
    const std::string shownInput = o.input == "-" ? Tr("standard input") : o.input;
    const std::pair<std::string_view, const std::string*> written[] = {
        {"-o", &o.output}, {"-p", o.command == DatumCommand::Fit ? &o.parameterFile : nullptr}};
    for (const auto& [option, path] : written) {
        if (path == nullptr || path->empty() || !IsInputFile(*path, in.st)) continue;
        throw Refusal(Fill(Tr("{0} {1} is the input file {2}: it would be replaced; write to "
                              "another file"),
                           {option, *path, shownInput}));
    }
}

// The systems a run reads and writes, fit's from the command line, transform's from the
// parameter file, and the input's layout.
struct Systems {
    std::optional<DatumTransform> transform;
    std::optional<PointChecks> checks;
    std::optional<CommonArea> area;
    CoordinateSystem from, to;
    bool heights = false;
    DatumLayout layout;
};

void ReadSystems(const DatumOptions& o, Systems& s, std::ostream& err) {
    s.heights = o.fit.heights;
    if (o.command == DatumCommand::Transform) {
        const ParameterFile parameters = LoadParameters(o, err);
        s.from = parameters.from;
        s.to = parameters.to;
        s.heights = parameters.heights;
        s.area = parameters.area;
        s.transform.emplace(s.from, s.to, parameters.parameters);
        s.checks.emplace(parameters, *s.transform);
    } else {
        s.from = *o.from;
        s.to = *o.to;
    }
    try {
        s.layout =
            MakeLayout(o, s.from, o.command == DatumCommand::Fit ? &s.to : nullptr, s.heights);
    } catch (const UsageError& e) {
        throw Refusal(e.what());
    }
}

// fit: the residuals into `out`, the parameters into `parameterFile` when given, the summary
// and the warnings to `err`. Returns the lines rejected, one more if dropping stopped short.
std::size_t RunFit(const DatumOptions& o, const Systems& s, ByteSource& source, OutputBuffer& out,
                   DiagnosticPrinter& printer, AtomicFile* parameterFile, std::ostream& err) {
    const FitInput input = ReadCommonPoints(o, s.layout, source, printer);
    FitResult r;
    try {
        r = FitDatum(s.from, s.to, input.points, o.fit);
    } catch (const Error& e) {
        throw Refusal(FitRefusalText(e, o, input.points, input.passed));
    }
    WriteResiduals(out, o, input, r);
    if (parameterFile != nullptr) {
        FdSink file(parameterFile->fd(), o.parameterFile);
        OutputBuffer text(file);
        text.Append(ParameterText(o, r));
        text.Flush();
    }
    if (!o.quiet) PrintFitSummary(err, o, r, input.rejected);
    WarnOfFit(err, o, r);
    return input.rejected + (r.dropStopped ? 1 : 0);
}

// transform: the converted points into `out`, the summary to `err`. Returns the lines rejected.
std::size_t RunTransform(const DatumOptions& o, const Systems& s, ByteSource& source,
                         const std::string& inputName, OutputBuffer& out,
                         DiagnosticPrinter& printer, std::ostream& err) {
    std::vector<std::string> head = {"name"};
    head.insert(head.end(), s.layout.names.begin(), s.layout.names.end());
    for (const std::string& name : MakeLayout({}, s.to, nullptr, s.heights).names) {
        head.push_back(name.substr(0, name.size() - 1) + "2");
    }
    const TransformContext x{{s.layout, o.decimalComma, o.encoding},
                             *s.transform,
                             s.from,
                             *s.checks,
                             static_cast<std::size_t>(TypedCount(s.to, s.heights)),
                             s.to.kind == SystemKind::Geodetic,
                             o.full,
                             o.bom};
    const Counts counts = TransformPoints(o, x, head, source, inputName, out, printer);
    if (!o.quiet) {
        err << SummaryText(RunCounts{counts.points, counts.rejected, 0}) << '\n';
        const std::string note =
            HeightsNote(s.from, s.to, s.heights, s.transform->parameters().model);
        if (!note.empty()) err << note << '\n';
    }
    if (counts.far.count > 0 && s.area) {
        err << "quorvel-batch: " << Tr("warning: ") << FarPointsWarning(counts.far, *s.area)
            << '\n';
    }
    return counts.rejected;
}

// Both files complete on disk before either replaces what was there, and both or neither.
void PublishBoth(std::optional<AtomicFile>& outputFile, std::optional<AtomicFile>& parameterFile) {
    if (outputFile) outputFile->Finish();
    if (parameterFile) parameterFile->Finish();
    const SignalsDeferred whole;  // never the one file replaced without the other
    if (outputFile) outputFile->Publish();
    try {
        if (parameterFile) parameterFile->Publish();
    } catch (const IoError&) {
        if (outputFile) outputFile->Undo();
        throw;
    }
    if (outputFile) outputFile->Settle();
    if (parameterFile) parameterFile->Settle();
}

int Run(const DatumOptions& o, const Environment& env) {
    Opened in;
    OpenInput(o, env, in);
    CheckNotInput(o, in);
    Systems s;
    ReadSystems(o, s, env.err);

    std::optional<AtomicFile> outputFile, parameterFile;
    if (!o.output.empty()) outputFile.emplace(o.output, /*allowDirect=*/true);
    if (o.command == DatumCommand::Fit && !o.parameterFile.empty()) {
        parameterFile.emplace(o.parameterFile);
    }

    FdSource fdSource(in.fd, in.name);
    std::optional<DecodingSource> decoded;
    if (!o.encoding.empty()) decoded.emplace(fdSource, o.encoding);
    if (decoded && decoded->ReadsUtf8()) {
        Job job;
        job.encoding = o.encoding;
        env.err << "quorvel-batch: " << Tr("warning: ") << Describe(Utf8Mark(job, in.name), job)
                << '\n';
    }
    ByteSource& source = decoded ? static_cast<ByteSource&>(*decoded) : fdSource;
    FdSink sink(outputFile ? outputFile->fd() : env.stdoutFd,
                outputFile ? o.output : Tr("standard output"), outputFile.has_value());
    OutputBuffer out(sink);
    DiagnosticPrinter printer(env.err, in.name, s.layout, s.from);

    const std::size_t rejected =
        o.command == DatumCommand::Fit
            ? RunFit(o, s, source, out, printer, parameterFile ? &*parameterFile : nullptr, env.err)
            : RunTransform(o, s, source, in.name, out, printer, env.err);
    PublishBoth(outputFile, parameterFile);
    env.err.flush();
    return rejected > 0 ? 1 : 0;
}

}  // namespace

int RunDatumCommand(std::span<const std::string_view> args, const Environment& env) {
    DatumOptions o;
    try {
        o = ParseDatumArguments(args);
    } catch (const UsageError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n' << UsageText();
        env.err.flush();
        return 2;
    }
    if (o.action == DatumOptions::Action::Help) {
        env.out << HelpText();
        env.out.flush();
        return 0;
    }
    if (o.action == DatumOptions::Action::Version) {
        env.out << "quorvel-batch " << QUORVEL_VERSION << '\n';
        env.out.flush();
        return 0;
    }
    if (const char* threads = std::getenv("QUORVEL_BATCH_THREADS")) {
        o.threads = std::max(0, std::atoi(threads));
    }
    try {
        return Run(o, env);
    } catch (const Refusal& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n';
    } catch (const IoError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n';
    }
    env.err.flush();
    return 2;
}

}  // namespace quorvel::engine
