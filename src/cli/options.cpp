#include "cli/options.h"

#include <optional>
#include <vector>

#include "cli/atomic_file.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel::cli {
namespace {

constexpr std::string_view kUsage =
    "usage: quorvel-batch forward --lo LO [options] [FILE]      name, L, B   -> X, Y\n"
    "       quorvel-batch inverse --lo LO [options] [FILE]      name, X, Y   -> L, B\n"
    "       quorvel-batch zone --lo LO --ls LS [options] [FILE] name, X1, Y1 -> X2, Y2\n"
    "       quorvel-batch --help | --version\n";

constexpr std::string_view kHelp =
    "Gauss-Krueger computations on the Krassovsky ellipsoid for a file of points.\n"
    "\n"
    "Options:\n"
    "  --lo LO        central meridian, packed degrees (degrees.minutes-seconds: 117.3 is\n"
    "                 117 deg 30 min); for zone, the meridian before the change\n"
    "  --ls LS        zone only: the central meridian after the change\n"
    "  -o FILE        write the results to FILE instead of standard output\n"
    "  --full         results as the shortest round-trip decimal of the computed value\n"
    "  --header       the first line that is not empty or a comment is a header: skip it\n"
    "  --report FILE  also write the printed report: PDF for *.pdf, text for *.txt\n"
    "  --help         show this help\n"
    "  --version      show the version\n"
    "\n"
    "Input (FILE, or standard input when absent or \"-\"): UTF-8, one point per line: a name and\n"
    "the two values, separated by commas, tabs or blanks; a field may be double-quoted as in\n"
    "CSV. Angles are packed degrees. Empty lines and lines starting with '#' are skipped.\n"
    "\n"
    "Output: CSV with a header line; results as the window shows them (X, Y to 4 decimals,\n"
    "packed L, B to 10), rounded half to even.\n"
    "\n"
    "Exit status: 0 all points computed; 1 some lines rejected (each reported as FILE:LINE:\n"
    "on standard error); 2 usage error or failed run, no output file written.\n";

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A packed-degree meridian: read as a number, then decoded like the window's.
double ReadMeridian(std::string_view option, std::string_view text) {
    try {
        return DecodePackedAngle(ParseNumber(text));
    } catch (const OverflowError&) {
        throw UsageError(std::string(option) + ": " + Quoted(text) + " is out of range");
    } catch (const Error&) {
        throw UsageError(std::string(option) + ": " + Quoted(text) + " is not a number");
    }
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

std::string_view UsageText() {
    return kUsage;
}

std::string_view HelpText() {
    return kHelp;
}

Options ParseArguments(std::span<const std::string_view> args, bool pdfReports) {
    Options o;
    for (std::string_view a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            o.action = Options::Action::Help;
            return o;
        }
        if (a == "--version") {
            o.action = Options::Action::Version;
            return o;
        }
    }

    std::optional<std::string> lo, ls, output, report;
    bool full = false, header = false, optionsEnded = false;
    std::vector<std::string_view> positional;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (optionsEnded || a == "-" || a.empty() || a.front() != '-') {
            positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        // An option with a value, as "--lo 117", "--lo=117", "-o FILE" or "-oFILE".
        auto valued = [&](std::string_view name, std::optional<std::string>& slot) {
            std::optional<std::string_view> value;
            if (a == name) {
                if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
                value = args[++i];
            } else if (name.size() > 2 && a.starts_with(name) && a.size() > name.size() &&
                       a[name.size()] == '=') {
                value = a.substr(name.size() + 1);
            } else if (name.size() == 2 && a.starts_with(name) && a.size() > 2) {
                value = a.substr(2);
            } else {
                return false;
            }
            if (slot) throw UsageError(std::string(name) + " given twice");
            slot = std::string(*value);
            return true;
        };
        if (valued("--lo", lo) || valued("--ls", ls) || valued("-o", output) ||
            valued("--report", report)) {
            continue;
        }
        if (a == "--full" || a == "--header") {
            bool& flag = a == "--full" ? full : header;
            if (flag) throw UsageError(std::string(a) + " given twice");
            flag = true;
            continue;
        }
        throw UsageError("unknown option " + std::string(a));
    }

    if (positional.empty()) throw UsageError("no mode given: forward, inverse or zone");
    const std::string_view mode = positional[0];
    if (mode == "forward") {
        o.mode = Mode::Forward;
    } else if (mode == "inverse") {
        o.mode = Mode::Inverse;
    } else if (mode == "zone") {
        o.mode = Mode::Zone;
    } else {
        throw UsageError("unknown mode " + Quoted(mode) + ": use forward, inverse or zone");
    }
    if (positional.size() > 2) {
        throw UsageError("more than one input file: " + Quoted(positional[2]));
    }
    if (positional.size() == 2) {
        if (positional[1].empty()) throw UsageError("empty input file name");
        o.input = std::string(positional[1]);
    }

    if (!lo) throw UsageError("--lo is required");
    o.loText = *lo;
    o.meridians.lo = ReadMeridian("--lo", *lo);
    if (o.mode == Mode::Zone) {
        if (!ls) throw UsageError("zone needs --ls, the central meridian after the change");
        o.lsText = *ls;
        o.meridians.ls = ReadMeridian("--ls", *ls);
    } else if (ls) {
        throw UsageError("--ls belongs to the zone mode only");
    }

    if (output) {
        if (output->empty()) throw UsageError("-o needs a file name");
        o.output = *output;
    }
    if (report) {
        if (EndsWithNoCase(*report, ".txt")) {
            o.reportKind = ReportKind::Text;
        } else if (EndsWithNoCase(*report, ".pdf")) {
            if (!pdfReports) {
                throw UsageError(
                    "this build of quorvel-batch writes no PDF reports (built "
                    "without Qt); use a .txt report");
            }
            o.reportKind = ReportKind::Pdf;
        } else {
            throw UsageError("--report: " + Quoted(*report) + " must end in .pdf or .txt");
        }
        if (output && SamePath(*output, *report)) {
            throw UsageError("-o and --report name the same file");
        }
        o.report = *report;
    }
    o.full = full;
    o.header = header;
    return o;
}

}  // namespace quorvel::cli
