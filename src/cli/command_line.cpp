#include "cli/command_line.h"

#include <algorithm>

#include "cli/arguments.h"
#include "cli/datum_options.h"
#include "core/ellipsoid.h"
#include "core/messages.h"
#include "engine/writers/gdal_writer.h"

#ifndef QUORVEL_VERSION
#error "QUORVEL_VERSION must be defined by the build"
#endif

namespace quorvel::cli {

using namespace engine;
namespace {

// Shown with a usage error in the language of the messages; --help is English.
constexpr const char* kUsage = TR_NOOP(
    "usage: quorvel-batch forward --lo LO [options] [FILE]      name, L, B   -> X, Y\n"
    "       quorvel-batch inverse --lo LO [options] [FILE]      name, X, Y   -> L, B\n"
    "       quorvel-batch zone --lo LO --ls LS [options] [FILE] name, X1, Y1 -> X2, Y2\n"
    "       quorvel-batch MODE --zone 3|6 [--ls LS] [options] [FILE]\n"
    "       quorvel-batch fit --from SYSTEM --to SYSTEM [-p PARAMS] [options] [FILE]\n"
    "       quorvel-batch transform -p PARAMS [options] [FILE]\n"
    "       quorvel-batch height-fit [--model M] [-p PARAMS] [options] [FILE]  name, X, Y, h, H\n"
    "       quorvel-batch plan [--limit CM_PER_KM] [--ellipsoid E] [FILE]  name, L, B, H\n"
    "       quorvel-batch sheet --scale 1:N [--old] [--neighbours] [options] [FILE] name, L, B\n"
    "       quorvel-batch sheet --scale 1:N --plane [options] [FILE]  name, X, Y\n"
    "       quorvel-batch sheet [--scale 1:N] --corners NUMBER...\n"
    "       quorvel-batch distance [--pairs] [--lo LO|--zone 3|6] [options] [FILE]  name, X, Y\n"
    "       quorvel-batch area [--lo LO|--zone 3|6] [options] [FILE]  name, X, Y\n"
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
    "  --projection-height H0  the plane on a surface H0 metres above the ellipsoid\n"
    "                 (-10000 to 10000): the ellipsoid enlarged to a + H0, its flattening\n"
    "                 kept, then projected as usual; default 0\n"
    "  --distortion   add the column distortion: the length distortion in cm/km,\n"
    "                 k (R + H0)/(R + H) - 1, R = sqrt(MN), H the point's height from the\n"
    "                 column the header names H or 高程, or from --height-field; empty\n"
    "                 without a height. The summary names the worst and counts those beyond\n"
    "                 the limit\n"
    "  --distortion-limit L  the limit the summary counts against, cm/km; default 2.5\n"
    "  --height-field N  the input field (from 1) of the heights for --distortion\n"
    "  -o FILE        write the results to FILE (none, or -: standard output)\n";
// --format and -p, as the build writes formats through GDAL's module or not.
constexpr std::string_view kFormatHelp =
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
    "                 or WGS 84\n";
constexpr std::string_view kFormatHelpWithoutGis =
    "  --format F     csv (default); dat, the CASS coordinate file name,code,Y,X,H (code\n"
    "                 and H from the columns named code or 编码 and H or 高程, else\n"
    "                 empty; forward and zone only). Without --format, -o's ending names\n"
    "                 it (x.dat). This build cannot write dxf, gpkg, shp or kml: there is\n"
    "                 no GDAL for it\n";
constexpr std::string_view kHelpRest =
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
    "  --sheet NAME   the sheet of an Excel workbook FILE to read; default its first\n"
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
    "rejected. A FILE ending in .xlsx or .xls is an Excel workbook, read through GDAL: each\n"
    "row of the sheet is a line whose number is the row's, empty rows skipped; a number\n"
    "cell is the number stored (not as shown), a text cell its text (007 stays 007), a date\n"
    "its text, a formula its last computed value. --encoding does not apply to it.\n"
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
    "plan: the points of an area (name, L, B, H; --header, --encoding, --sheet and\n"
    "--decimal-comma as above) in; the central meridian and projection height that keep\n"
    "every point's length distortion within --limit (cm/km, default 2.5) out: the standard\n"
    "3 deg zone's meridian with H0 0 if it holds, else with a raised surface (whole 10 m,\n"
    "else 1 m), else a meridian of the area's own on whole minutes. Exit status 1 when none\n"
    "holds, with the reason.\n"
    "\n"
    "sheet: each point's map sheet (1:1000000 to 1:500, 2012 numbering, such as J50D001005)\n"
    "and its south-west and north-east corners L_sw, B_sw, L_ne, B_ne (packed degrees); a\n"
    "point on an edge belongs to the sheet north and east of it. The equator to 88 deg N,\n"
    "both sides of Greenwich; other points are rejected.\n"
    "  --scale 1:N    1:1000000, 500000, 250000, 100000, 50000, 25000, 10000, 5000, 2000,\n"
    "                 1000 or 500 (1:5万 and 1:2.5万 too)\n"
    "  --old          the old numbers (J-50-144-(64)-d), 1:1000000 to 1:5000\n"
    "  --neighbours   add the eight neighbours' numbers n, ne, e, se, s, sw, w, nw (empty\n"
    "                 beyond the equator and 88 deg N; across 180 deg they wrap)\n"
    "  --lo LO, --zone 3|6  add X, Y of the four corners (sw, se, ne, nw) on that meridian,\n"
    "                 or on the zone of the sheet's centre (and its zone column); --ellipsoid,\n"
    "                 --method, --k0 and --false-easting as for forward\n"
    "  --plane        rows name, X, Y: the rectangular sheets of 1:5000 (2 km), 1:2000\n"
    "                 (1 km), 1:1000 (500 m) and 1:500 (250 m), named by the south-west\n"
    "                 corner's X-Y in km (3542.0-452.0; whole km at 1:5000, 0.01 at 1:500)\n"
    "  --corners NUMBER...  the corners of the sheets named (new or old numbers; with\n"
    "                 --plane, X-Y at --scale) instead of a file; a number that names no\n"
    "                 sheet is refused with exit status 2, nothing written\n"
    "--header, --fields, --encoding, --decimal-comma, -o, --full, --bom and --quiet as above;\n"
    "the output is CSV.\n"
    "\n"
    "distance: points of a plane system (name, X, Y) in; a CSV from,to,distance,azimuth out\n"
    "for consecutive points (with --pairs: rows 1-2, 3-4, ...; an odd last row is reported,\n"
    "exit status 1): the plane distance (m) and grid bearing (from X, clockwise, packed\n"
    "degrees to 0.01 s, 0 <= az < 360; empty for two equal points, with a warning). With --lo\n"
    "or --zone (and --ellipsoid, --method, --k0, --false-easting, --projection-height as\n"
    "inverse takes them) each point is taken back to L, B and the columns\n"
    "geodesic_distance, geodesic_azimuth (the ellipsoid's geodesic), distance_diff_mm and\n"
    "azimuth_diff_s (plane - geodesic, mm and seconds) follow.\n"
    "area: the points of one polygon in order around it (the closing point repeated or not)\n"
    "in; one CSV row points,perimeter,area_m2,area_mu,area_ha,orientation out (1 mu = 2000/3\n"
    "m2), with --lo or --zone also ellipsoid_perimeter, ellipsoid_area_m2, _mu and _ha (the\n"
    "polygon of geodesics on the ellipsoid); the summary on standard error. Fewer than 3\n"
    "distinct points and a ring that crosses or touches itself (its two edges and where they\n"
    "meet named) are refused with exit status 1. Both read --header, --fields,\n"
    "--decimal-comma and --encoding, and write -o, --bom and --full as above; a line that\n"
    "gives no point stops them with exit status 2 and nothing written.\n"
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

}  // namespace

std::string UsageText() {
    return Tr(kUsage);
}

std::string_view ModeWord(std::span<const std::string_view> args,
                          std::span<const std::string_view> valued) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--") return i + 1 < args.size() ? args[i + 1] : std::string_view();
        if (a.size() < 2 || a.front() != '-') return a;
        for (const std::string_view v : valued) {
            if (a == v) ++i;
        }
    }
    return {};
}

bool AnswerHelpOrVersion(std::span<const std::string_view> args, const Environment& env) {
    const auto action = FindBeforeEnd(args, {"--help", "-h", "--version"});
    if (!action) return false;
    if (*action == "--version") {
        env.out << "quorvel-batch " << QUORVEL_VERSION << '\n';
    } else {
        env.out << HelpText();
    }
    env.out.flush();
    return true;
}

std::string HelpText() {
    return std::string(kUsage) + '\n' + std::string(kHelpHead) + EllipsoidHelp() +
           std::string(kHelpTail) +
           std::string(GisFormatsBuilt() ? kFormatHelp : kFormatHelpWithoutGis) +
           std::string(kHelpRest) + '\n' + DatumHelpText();
}

}  // namespace quorvel::cli
