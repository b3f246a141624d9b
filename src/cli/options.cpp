#include "cli/options.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "cli/arguments.h"
#include "cli/datum_options.h"
#include "core/atomic_file.h"
#include "core/ellipsoid.h"
#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel::cli {

using namespace engine;

namespace {

// The field numbers (from 1, at most 1000) of a comma-separated list, up to the first part that
// is not one; `complete` says whether every part was.
std::vector<std::size_t> ReadFieldNumbers(std::string_view text, bool& complete) {
    std::vector<std::size_t> numbers;
    complete = false;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view part = rest.substr(0, comma);
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || value < 1 ||
            value > 1000) {
            return numbers;
        }
        numbers.push_back(value);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    complete = true;
    return numbers;
}

// "1,4,3": three different field numbers from 1.
}  // namespace

std::array<std::size_t, 3> ReadFields(std::string_view text) {
    bool complete = false;
    const std::vector<std::size_t> numbers = ReadFieldNumbers(text, complete);
    if (!complete || numbers.size() != 3) {
        throw UsageError(Fill(Tr("--fields: {0} must be three field numbers from 1, such as 1,4,3"),
                              {Quoted(text)}));
    }
    const std::array<std::size_t, 3> fields{numbers[0] - 1, numbers[1] - 1, numbers[2] - 1};
    if (fields[0] == fields[1] || fields[0] == fields[2] || fields[1] == fields[2]) {
        throw UsageError(Fill(Tr("--fields: {0} names a field twice"), {Quoted(text)}));
    }
    return fields;
}

namespace {

// "2,6": field numbers from 1 that are not among `fields`, in ascending order. The first part
// that fails says why.
std::vector<std::size_t> ReadDropped(std::string_view text,
                                     const std::array<std::size_t, 3>& fields) {
    bool complete = false;
    std::vector<std::size_t> dropped = ReadFieldNumbers(text, complete);
    for (std::size_t& field : dropped) {
        if (std::find(fields.begin(), fields.end(), field - 1) != fields.end()) {
            throw UsageError(Fill(Tr("--drop-fields: field {0} is the name or one of the values "
                                     "(--fields)"),
                                  {std::to_string(field)}));
        }
        --field;
    }
    if (!complete) {
        throw UsageError(Fill(Tr("--drop-fields: {0} must be field numbers from 1, such as 2,6"),
                              {Quoted(text)}));
    }
    std::sort(dropped.begin(), dropped.end());
    if (std::adjacent_find(dropped.begin(), dropped.end()) != dropped.end()) {
        throw UsageError(Fill(Tr("--drop-fields: {0} names a field twice"), {Quoted(text)}));
    }
    return dropped;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    text = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

}  // namespace

double ReadNumber(std::string_view option, std::string_view text) {
    if (const std::optional<double> v = TryParseNumber(text)) return *v;
    throw UsageError(
        Fill(Tr("{0}: {1}"), {option, Fill(Tr("{0} is not a number"), {Quoted(text)})}));
}

namespace {

Ellipsoid ReadEllipsoid(std::string_view text) {
    try {
        return ParseEllipsoid(text);
    } catch (const Error&) {
        if (text.find(',') != std::string_view::npos) {
            throw UsageError(Fill(Tr("--ellipsoid: {0} is no Earth ellipsoid: A from 6000000 to "
                                     "7000000 m, RF (the inverse flattening) from 250 to 350"),
                                  {Quoted(text)}));
        }
        throw UsageError(Fill(Tr("--ellipsoid: {0} is not {1} or A,RF"),
                              {Quoted(text), EllipsoidKeys(Tr(", "))}));
    }
}

}  // namespace

void ReadGeodesy(Options& o, const std::optional<std::string>& ellipsoid,
                 const std::optional<std::string>& method, const std::optional<std::string>& k0,
                 const std::optional<std::string>& falseEasting,
                 const std::optional<std::string>& zone) {
    Geodesy& g = o.geodesy;
    if (ellipsoid) g.ellipsoid = ReadEllipsoid(*ellipsoid);
    if (method) {
        try {
            g.method = ParseMethod(*method);
        } catch (const InvalidParameterError&) {
            throw UsageError(Fill(Tr("--method: {0} is not classic or exact"), {Quoted(*method)}));
        }
    }
    if (k0) {
        g.k0 = ReadNumber("--k0", *k0);
        if (!(g.k0 >= 0.9 && g.k0 <= 1.1)) {
            throw UsageError(Fill(Tr("--k0: {0} is not between 0.9 and 1.1"), {Quoted(*k0)}));
        }
    }
    if (falseEasting) {
        g.falseEasting = ReadNumber("--false-easting", *falseEasting);
        if (!(std::fabs(g.falseEasting) <= 1e9)) {
            throw UsageError(
                Fill(Tr("--false-easting: {0} is beyond 1000000000 m"), {Quoted(*falseEasting)}));
        }
    }
    if (zone) {
        if (*zone == "3") {
            g.zone = ZoneWidth::Three;
        } else if (*zone == "6") {
            g.zone = ZoneWidth::Six;
        } else {
            throw UsageError(Fill(Tr("--zone: {0} is not 3 or 6"), {Quoted(*zone)}));
        }
    }
    ThrowIfRefused(CheckJob(o));
}

std::string EllipsoidList() {
    std::string list;
    for (const EllipsoidEntry& e : EllipsoidCatalogue()) list += std::string(e.key) + '\n';
    return list;
}

namespace {

// The command line as typed: the values of options, the flags, and the mode and file.
struct Typed {
    std::optional<std::string> lo, ls, output, report, fields, dropped, encoding, datEncoding,
        sheet;
    std::optional<std::string> ellipsoid, method, k0, falseEasting, zone, format, parameters;
    std::optional<std::string> projectionHeight, distortionLimit, heightField;
    bool full = false, header = false, decimalComma = false, bom = false, quiet = false;
    std::vector<std::string_view> positional;
};

// Whether --help, --version or --list-ellipsoids comes before any "--": then nothing else is
// read.
bool ReadHelpOrVersion(std::span<const std::string_view> args, Options& o) {
    // --list-ellipsoids is for the shell's completion; not in --help.
    const std::optional<std::string_view> action =
        FindBeforeEnd(args, {"--help", "-h", "--version", "--list-ellipsoids"});
    if (!action) return false;
    o.action = *action == "--version"           ? Options::Action::Version
               : *action == "--list-ellipsoids" ? Options::Action::ListEllipsoids
                                                : Options::Action::Help;
    return true;
}

// Sorts the arguments into options and positional ones; the flags of the projection's columns
// go straight into `g`.
Typed ReadCommandLine(std::span<const std::string_view> args, Geodesy& g) {
    Typed t;
    ArgumentReader r(args);
    while (r.Next()) {
        if (r.Valued("--lo", t.lo) || r.Valued("--ls", t.ls) || r.Valued("-o", t.output) ||
            r.Valued("--report", t.report) || r.Valued("--fields", t.fields) ||
            r.Valued("--drop-fields", t.dropped) || r.Valued("--encoding", t.encoding) ||
            r.Valued("--sheet", t.sheet) || r.Valued("--ellipsoid", t.ellipsoid) ||
            r.Valued("--method", t.method) || r.Valued("--k0", t.k0) ||
            r.Valued("--false-easting", t.falseEasting) || r.Valued("--zone", t.zone) ||
            r.Valued("--format", t.format) || r.Valued("-p", t.parameters) ||
            r.Valued("--dat-encoding", t.datEncoding) ||
            r.Valued("--projection-height", t.projectionHeight) ||
            r.Valued("--distortion-limit", t.distortionLimit) ||
            r.Valued("--height-field", t.heightField)) {
            continue;
        }
        const std::string_view a = r.Option();
        r.Flag(a == "--full"            ? &t.full
               : a == "--header"        ? &t.header
               : a == "--decimal-comma" ? &t.decimalComma
               : a == "--bom"           ? &t.bom
               : a == "--quiet"         ? &t.quiet
               : a == "--zone-prefix"   ? &g.zonePrefix
               : a == "--convergence"   ? &g.convergence
               : a == "--scale"         ? &g.scale
               : a == "--compare"       ? &g.compare
               : a == "--distortion"    ? &g.distortion
                                        : nullptr);
    }
    t.positional = r.Positional();
    return t;
}

// The mode, then at most one input file.
void ReadPositional(const std::vector<std::string_view>& positional, Options& o) {
    if (positional.empty()) {
        throw UsageError(Tr("no mode given: forward, inverse, zone, fit or transform"));
    }
    const std::string_view mode = positional[0];
    if (mode == "forward") {
        o.mode = Computation::Forward;
    } else if (mode == "inverse") {
        o.mode = Computation::Inverse;
    } else if (mode == "zone") {
        o.mode = Computation::Zone;
    } else {
        throw UsageError(Fill(Tr("unknown mode {0}: use forward, inverse, zone, fit or transform"),
                              {Quoted(mode)}));
    }
    ReadInputFile(positional, o.input);
}

// --dat-encoding: utf-8, or gb18030 as without it.
bool ReadDatEncoding(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "utf-8" || lower == "utf8") return true;
    if (lower == "gb18030") return false;
    throw UsageError(Fill(Tr("--dat-encoding: {0} is not utf-8 or gb18030"), {Quoted(text)}));
}

// --format and -p: what the format can hold, and where it goes.
void ReadFormat(const Typed& t, Options& o) {
    // As the window's export does: the format the ending of -o names, without --format.
    o.format = FormatOfPath(o.output);
    if (t.format) ThrowIfRefused(ParseFormat(*t.format, o.format));
    if (t.datEncoding) {
        o.datUtf8 = ReadDatEncoding(*t.datEncoding);
        if (o.format != OutputFormat::Dat) {
            throw UsageError(
                Tr("--dat-encoding belongs to the CASS file: leave it out or write "
                   "--format dat"));
        }
    }
    if (t.parameters) {
        if (t.parameters->empty()) throw UsageError(Tr("-p needs a file name"));
        o.parameters = *t.parameters;
    }
    if (std::optional<JobRefusal> r = CheckFormat(o, t.parameters.has_value())) {
        // Named by the ending of -o: say so, with or without the usage text as the check says.
        if (!t.format) {
            r->words = Fill(Tr("-o {0} ends in .{1}, which names the format: {2}"),
                            {Quoted(o.output), FormatName(o.format), r->words});
        }
        ThrowIfRefused(r);
    }
    if (WritesThroughGdal(o.format) && o.output.empty()) {
        throw UsageError(Fill(Tr("--format {0} writes files of its own, not standard output: "
                                 "give -o FILE"),
                              {FormatName(o.format)}));
    }
    if (o.format == OutputFormat::Shp && FormatOfPath(o.output) != OutputFormat::Shp) {
        throw UsageError(
            Tr("--format shp: -o must name a .shp file, beside which its .shx, "
               ".dbf, .prj and .cpg are written"));
    }
    if (const std::optional<std::string> ending = ForeignEnding(o.format, o.output)) {
        throw UsageError(Fill(Tr("-o {0}: .{1} is the ending of another format, not of --format "
                                 "{2}: end the name in .{2}"),
                              {Quoted(o.output), *ending, FormatName(o.format)}));
    }
    // The output would replace the parameter file the run reads.
    if (t.parameters && !o.output.empty() && SamePath(o.output, *t.parameters)) {
        throw UsageError(Tr("-o and -p name the same file"));
    }
}

// --report: its kind from the name, allowed only for the window's computation.
void ReadReport(const std::string& report, const std::optional<std::string>& output,
                bool pdfReports, Options& o) {
    const Geodesy& g = o.geodesy;
    if (EndsWithNoCase(report, ".txt")) {
        o.reportKind = ReportKind::Text;
    } else if (EndsWithNoCase(report, ".pdf")) {
        if (!pdfReports) {
            throw UsageError(
                Tr("this build of quorvel-batch writes no PDF reports (built without Qt); use "
                   "a .txt report"));
        }
        o.reportKind = ReportKind::Pdf;
    } else {
        throw UsageError(Fill(Tr("--report: {0} must end in .pdf or .txt"), {Quoted(report)}));
    }
    if (g.zone || g.method != Method::Classic || !IsKrassovsky(g.ellipsoid) || g.k0 != 1 ||
        g.falseEasting != FalseEasting) {
        throw UsageError(
            Tr("--report prints the window's report, which knows only the classic method on "
               "Krassovsky with k0 1, false easting 500000 and --lo"));
    }
    if (output && SamePath(*output, report)) {
        throw UsageError(Tr("-o and --report name the same file"));
    }
    o.report = report;
}

// --distortion-limit and --height-field, checked with the job and --projection-height.
void ReadSurface(const Typed& t, Options& o) {
    Geodesy& g = o.geodesy;
    if (t.distortionLimit) {
        if (!g.distortion) throw UsageError(Tr("--distortion-limit belongs to --distortion"));
        g.distortionLimit = ReadNumber("--distortion-limit", *t.distortionLimit);
    }
    if (t.heightField) {
        if (!g.distortion) throw UsageError(Tr("--height-field belongs to --distortion"));
        bool complete = false;
        const std::vector<std::size_t> n = ReadFieldNumbers(*t.heightField, complete);
        if (!complete || n.size() != 1) {
            throw UsageError(Fill(Tr("--height-field: {0} must be one field number from 1"),
                                  {Quoted(*t.heightField)}));
        }
        o.heightField = n[0] - 1;
        if (std::binary_search(o.dropped.begin(), o.dropped.end(), *o.heightField)) {
            throw UsageError(Fill(Tr("--height-field: field {0} is among --drop-fields"),
                                  {std::to_string(n[0])}));
        }
    }
    if (g.distortion && !o.heightField && !o.header) {
        throw UsageError(
            Tr("--distortion takes each point's height from the column the header names H or "
               "高程 (give --header) or from --height-field N"));
    }
    ThrowIfRefused(CheckJob(o));
}

}  // namespace

Options ParseArguments(std::span<const std::string_view> args, bool pdfReports) {
    Options o;
    if (ReadHelpOrVersion(args, o)) return o;
    const Typed t = ReadCommandLine(args, o.geodesy);
    ReadPositional(t.positional, o);
    ReadGeodesy(o, t.ellipsoid, t.method, t.k0, t.falseEasting, t.zone);
    ThrowIfRefused(SetMeridians(o, t.lo, t.ls, o.warnings));
    if (t.projectionHeight) {
        o.geodesy.projectionHeight = ReadNumber("--projection-height", *t.projectionHeight);
    }
    if (t.output) o.output = ReadOutputFile(*t.output);
    if (t.report) ReadReport(*t.report, t.output, pdfReports, o);
    o.full = t.full;
    o.header = t.header;
    if (t.fields) o.fields = ReadFields(*t.fields);
    if (t.dropped) o.dropped = ReadDropped(*t.dropped, o.fields);
    if (t.encoding) o.encoding = ReadEncoding(*t.encoding);
    if (t.sheet) o.sheet = ReadSheet(*t.sheet);
    o.decimalComma = t.decimalComma;
    o.bom = t.bom;
    o.quiet = t.quiet;
    ReadSurface(t, o);
    ReadFormat(t, o);
    return o;
}

}  // namespace quorvel::cli
