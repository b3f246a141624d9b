#include "engine/options.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "core/atomic_file.h"
#include "core/ellipsoid.h"
#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/arguments.h"
#include "engine/datum_job.h"

namespace quorvel::engine {
namespace {

// Shown with a usage error in the language of the messages; --help is English.
constexpr const char* kUsage = TR_NOOP(
    "usage: quorvel-batch forward --lo LO [options] [FILE]      name, L, B   -> X, Y\n"
    "       quorvel-batch inverse --lo LO [options] [FILE]      name, X, Y   -> L, B\n"
    "       quorvel-batch zone --lo LO --ls LS [options] [FILE] name, X1, Y1 -> X2, Y2\n"
    "       quorvel-batch MODE --zone 3|6 [--ls LS] [options] [FILE]\n"
    "       quorvel-batch fit --from SYSTEM --to SYSTEM [-p PARAMS] [options] [FILE]\n"
    "       quorvel-batch transform -p PARAMS [options] [FILE]\n"
    "       quorvel-batch --help | --version\n");

// --help, around the --ellipsoid entry that the catalogue of ellipsoids writes.
constexpr std::string_view kHelpHead =
    "Gauss-Krueger computations for a file of points: by default the classic series on the\n"
    "Krassovsky ellipsoid, exactly as the window computes them.\n"
    "\n"
    "Options:\n"
    "  --lo LO        central meridian, packed degrees (degrees.minutes-seconds: 117.3 is\n"
    "                 117 deg 30 min); for zone, the meridian before the change\n"
    "  --ls LS        zone only: the central meridian after the change\n";
constexpr std::string_view kHelpTail =
    "  --method M     classic (default): the classic series, Krassovsky only; exact:\n"
    "                 transverse Mercator to 5 nm within 35 deg of the central meridian\n"
    "  --k0 K         scale on the central meridian, 0.9 to 1.1; default 1\n"
    "  --false-easting M  added to every easting; default 500000\n"
    "  --zone 3|6     each point's central meridian from its 3 or 6 deg zone, instead of\n"
    "                 --lo: forward from L; inverse and zone from the zone number that the\n"
    "                 input easting must carry in front (20500000 is zone 20). Zone: --ls\n"
    "                 names the target zone's meridian; without --ls each point goes into\n"
    "                 the zone its longitude lies in. Forward and zone write a zone column\n"
    "  --zone-prefix  with --zone: write output eastings with the zone number in front,\n"
    "                 instead of the zone column; 3 deg zone 0 (east of 0 deg) as 120, the\n"
    "                 number of the same meridian, which inverse and zone read back. A zone\n"
    "                 change result 500 km or more from its meridian is rejected: it would\n"
    "                 read back as the next zone\n"
    "  --convergence  add the column gamma: meridian convergence, packed degrees\n"
    "  --scale        add the column k: point scale factor\n"
    "  --compare      classic only: add classic - exact in millimetres on the ground: dX, dY\n"
    "                 (forward, zone); dB, dL (inverse) as arcs of the meridian (radius\n"
    "                 M = a(1-e2)/W^3) and of the parallel (radius N cos B = a cos B/W),\n"
    "                 W = sqrt(1 - e2 sin2 B)\n"
    "  -o FILE        write the results to FILE (none, or -: standard output)\n"
    "  --format F     csv (default); dat, the CASS coordinate file name,code,Y,X,H (code\n"
    "                 and H from the columns named code or 编码 and H or 高程, else\n"
    "                 empty; forward and zone only); dxf, a drawing of the points with\n"
    "                 their names (forward and zone only); gpkg or shp, GIS point layers\n"
    "                 with every column and the coordinate system; kml, WGS 84 placemarks\n"
    "                 for Google Earth. All but csv and dat need -o. Without --format,\n"
    "                 -o's ending names it (x.gpkg); an ending of another format\n"
    "                 (--format kml -o x.kmz) is refused\n"
    "  -p PARAMS      --format kml from Beijing 1954, Xi'an 1980 or an ellipsoid of no\n"
    "                 known datum: a parameter file of the datum transformation to CGCS2000\n"
    "                 or WGS 84\n"
    "  --full         results as the shortest round-trip decimal of the computed value, in\n"
    "                 plain decimal notation (500000, not 5e+05)\n"
    "  --header       the first line that is not empty or a comment is a header: skip it\n"
    "  --report FILE  also write the printed report: PDF for *.pdf, text for *.txt\n"
    "  --fields N,A,B the input fields (from 1) of the name and the two values; default\n"
    "                 1,2,3. Every other field is passed through after the results\n"
    "  --drop-fields LIST  input fields (from 1, such as 2,6) left out of the output\n"
    "  --decimal-comma  read 116,3045 as 116.3045 (commas then never separate fields)\n"
    "  --encoding ENC input encoding: utf-8 (default), gb18030 or gbk (files saved by\n"
    "                 Chinese Windows programs, such as Excel's CSV); output is UTF-8. A\n"
    "                 file that starts with a UTF-8 byte order mark is read as UTF-8\n"
    "  --dat-encoding ENC  --format dat in gb18030 (default, as CASS on Chinese Windows\n"
    "                 reads it) or utf-8\n"
    "  --bom          start the output with a UTF-8 byte order mark, for Excel; texts that\n"
    "                 Excel would run as formulas (=, +, -, @ first) get a leading '\n"
    "  --quiet        no summary line on standard error\n"
    "  --help         show this help\n"
    "  --version      show the version\n"
    "\n"
    "Input (FILE, or standard input when absent or \"-\"): one point per line: a name and the\n"
    "two values, separated by commas, semicolons (in lines without commas), tabs or blanks; a\n"
    "field may be double-quoted as in CSV; trailing empty fields are ignored. Angles are packed\n"
    "degrees; full-width digits read as digits. Empty lines and lines starting with '#' are\n"
    "skipped. A line holds at most 65536 bytes (64 KiB). The header line (else the first\n"
    "line that gives a point) sets the fields passed through: a later line with more is\n"
    "rejected.\n"
    "\n"
    "Checks: a line is rejected when |B| > 90, a forward point lies more than 45 deg (exact:\n"
    "35) from the central meridian (L - Lo counts modulo 360: -179 lies 1 deg from 180), an\n"
    "exact inverse or zone point more than 35 deg out, |X| > 10002000 or |Y - FE| >=\n"
    "1000000 m, FE the false easting, after the zone number is taken off; with --zone, an\n"
    "easting without one. Without --zone, the zone number of --lo's own 3 or 6 deg zone (39\n"
    "or 20 for 117) is taken off and counted in the summary; that of another zone is rejected.\n"
    "Classic method: a result more than 1 m from the exact transverse Mercator, or with no\n"
    "exact point within 35 deg of the central meridian (zone: of Lo and Ls), is rejected.\n"
    "Warnings (standard error, exit status unchanged): packed angles with 60 or more minutes\n"
    "or seconds, classic results more than 1 cm from the exact transverse Mercator, a\n"
    "--header line that reads as a point.\n"
    "\n"
    "Output: CSV with a header line; results as the window shows them (X, Y to 4 decimals,\n"
    "packed L, B to 10), rounded half to even; then zone, gamma (6 decimals), k (10), the\n"
    "differences (mm, 3 decimals), each when asked for; then the fields passed through.\n"
    "--format writes the same rows, in the same order, in another format (man page).\n"
    "--report prints the window's report: only with the classic method on Krassovsky, k0 1,\n"
    "false easting 500000 and --lo.\n"
    "\n"
    "Exit status: 0 all points computed; 1 some lines rejected (each reported as FILE:LINE:\n"
    "on standard error); 2 usage error or failed run, no output file written.\n"
    "\n"
    "Messages are Chinese under a Chinese locale (LC_ALL, LC_MESSAGES or LANG zh_CN.UTF-8),\n"
    "English otherwise; this help is English.\n";

// The --ellipsoid entry: each key, with its English name where the key does not already say
// it, folded as the rest of --help is.
std::string EllipsoidHelp() {
    std::string words;
    for (const EllipsoidEntry& e : EllipsoidCatalogue()) {
        std::string said;
        for (char c : e.english) {
            if (c != ' ') said += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        words += std::string(e.key);
        if (e.classicSeries) {
            words += " (default)";
        } else if (said != e.key) {
            words += " (" + std::string(e.english) + ")";
        }
        words += ", ";
    }
    words += "or A,RF: the semi-major axis in metres and the inverse flattening";

    constexpr std::size_t kWidth = 90;  // the widest line of --help
    std::string text, line = "  --ellipsoid E ";
    std::string_view rest = words;
    while (!rest.empty()) {
        const std::string_view word = rest.substr(0, rest.find(' '));
        rest.remove_prefix(std::min(rest.size(), word.size() + 1));
        if (line.size() + 1 + word.size() > kWidth) {
            text += line + '\n';
            line.assign(16, ' ');
        }
        line += ' ';
        line += word;
    }
    return text + line + '\n';
}

// "1,4,3": three different field numbers from 1.
std::array<std::size_t, 3> ReadFields(std::string_view text) {
    std::array<std::size_t, 3> fields{};
    std::size_t n = 0;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view part = rest.substr(0, comma);
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (n == 3 || part.empty() || ec != std::errc() || end != part.data() + part.size() ||
            value < 1 || value > 1000) {
            throw UsageError(
                Fill(Tr("--fields: {0} must be three field numbers from 1, such as 1,4,3"),
                     {Quoted(text)}));
        }
        fields[n++] = value - 1;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (n != 3) {
        throw UsageError(Fill(Tr("--fields: {0} must be three field numbers from 1, such as 1,4,3"),
                              {Quoted(text)}));
    }
    if (fields[0] == fields[1] || fields[0] == fields[2] || fields[1] == fields[2]) {
        throw UsageError(Fill(Tr("--fields: {0} names a field twice"), {Quoted(text)}));
    }
    return fields;
}

// "2,6": field numbers from 1 that are not among `fields`, in ascending order.
std::vector<std::size_t> ReadDropped(std::string_view text,
                                     const std::array<std::size_t, 3>& fields) {
    std::vector<std::size_t> dropped;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view part = rest.substr(0, comma);
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || value < 1 ||
            value > 1000) {
            throw UsageError(
                Fill(Tr("--drop-fields: {0} must be field numbers from 1, such as 2,6"),
                     {Quoted(text)}));
        }
        if (std::find(fields.begin(), fields.end(), value - 1) != fields.end()) {
            throw UsageError(Fill(Tr("--drop-fields: field {0} is the name or one of the values "
                                     "(--fields)"),
                                  {std::to_string(value)}));
        }
        dropped.push_back(value - 1);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
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

// A number option: the value as a number, or a usage error.
double ReadNumber(std::string_view option, std::string_view text) {
    if (const std::optional<double> v = TryParseNumber(text)) return *v;
    throw UsageError(
        Fill(Tr("{0}: {1}"), {option, Fill(Tr("{0} is not a number"), {Quoted(text)})}));
}

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

// The settings of the projection and the columns beyond the window's, as typed.
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
    CheckJob(o);
}

}  // namespace

std::string UsageText() {
    return Tr(kUsage);
}

std::string HelpText() {
    return std::string(kUsage) + '\n' + std::string(kHelpHead) + EllipsoidHelp() +
           std::string(kHelpTail) + '\n' + DatumHelpText();
}

std::string EllipsoidList() {
    std::string list;
    for (const EllipsoidEntry& e : EllipsoidCatalogue()) list += std::string(e.key) + '\n';
    return list;
}

namespace {

// The command line as typed: the values of options, the flags, and the mode and file.
struct Typed {
    std::optional<std::string> lo, ls, output, report, fields, dropped, encoding, datEncoding;
    std::optional<std::string> ellipsoid, method, k0, falseEasting, zone, format, parameters;
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
            r.Valued("--ellipsoid", t.ellipsoid) || r.Valued("--method", t.method) ||
            r.Valued("--k0", t.k0) || r.Valued("--false-easting", t.falseEasting) ||
            r.Valued("--zone", t.zone) || r.Valued("--format", t.format) ||
            r.Valued("-p", t.parameters) || r.Valued("--dat-encoding", t.datEncoding)) {
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
    o.format = t.format ? ParseFormat(*t.format) : FormatOfPath(o.output);
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
    try {
        CheckFormat(o, t.parameters.has_value());
    } catch (const JobRefused& e) {
        // A refusal, not a mistyped command: no usage text after it.
        if (t.format) throw;
        throw JobRefused(Fill(Tr("-o {0} ends in .{1}, which names the format: {2}"),
                              {Quoted(o.output), FormatName(o.format), e.what()}));
    } catch (const UsageError& e) {
        if (t.format) throw;
        throw UsageError(Fill(Tr("-o {0} ends in .{1}, which names the format: {2}"),
                              {Quoted(o.output), FormatName(o.format), e.what()}));
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

}  // namespace

Options ParseArguments(std::span<const std::string_view> args, bool pdfReports) {
    Options o;
    if (ReadHelpOrVersion(args, o)) return o;
    const Typed t = ReadCommandLine(args, o.geodesy);
    ReadPositional(t.positional, o);
    ReadGeodesy(o, t.ellipsoid, t.method, t.k0, t.falseEasting, t.zone);
    SetMeridians(o, t.lo, t.ls, o.warnings);
    if (t.output) o.output = ReadOutputFile(*t.output);
    if (t.report) ReadReport(*t.report, t.output, pdfReports, o);
    o.full = t.full;
    o.header = t.header;
    if (t.fields) o.fields = ReadFields(*t.fields);
    if (t.dropped) o.dropped = ReadDropped(*t.dropped, o.fields);
    if (t.encoding) o.encoding = ReadEncoding(*t.encoding);
    o.decimalComma = t.decimalComma;
    o.bom = t.bom;
    o.quiet = t.quiet;
    ReadFormat(t, o);
    return o;
}

}  // namespace quorvel::engine
