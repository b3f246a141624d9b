#include "cli/datum_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "cli/arguments.h"
#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/run/diagnostics.h"

namespace quorvel::cli {

using namespace engine;
namespace {

// Options that take a value, of both kinds of command: the mode is the first argument that is
// neither an option nor such a value.
constexpr std::string_view kValued[] = {"--lo",
                                        "--ls",
                                        "-o",
                                        "--report",
                                        "--fields",
                                        "--encoding",
                                        "--sheet",
                                        "--method",
                                        "--k0",
                                        "--zone",
                                        "--ellipsoid",
                                        "--false-easting",
                                        "--model",
                                        "--from",
                                        "--to",
                                        "--convention",
                                        "-p",
                                        "--check",
                                        "--outlier-factor",
                                        "--height-model"};

bool IsDatumMode(std::string_view a) {
    return a == "fit" || a == "transform" || a == "height-fit";
}

// "1,4,3,6,5": distinct field numbers from 1.
std::vector<std::size_t> ReadFieldList(std::string_view text) {
    std::vector<std::size_t> fields;
    std::string_view rest = text;
    for (;;) {
        const std::size_t comma = rest.find(',');
        const std::string_view part = rest.substr(0, comma);
        std::size_t value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || value < 1 ||
            value > 1000 || fields.size() == 9) {
            throw UsageError(Fill(Tr("--fields: {0} must be field numbers from 1: the name's, "
                                     "then each coordinate's, such as 1,3,2,5,4"),
                                  {Quoted(text)}));
        }
        if (std::find(fields.begin(), fields.end(), value) != fields.end()) {
            throw UsageError(Fill(Tr("--fields: {0} names a field twice"), {Quoted(text)}));
        }
        fields.push_back(value);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return fields;
}

CoordinateSystem ReadSystem(std::string_view option, std::string_view text) {
    try {
        return ParseCoordinateSystem(text);
    } catch (const Error& e) {
        throw UsageError(Fill(Tr("{0}: {1}"), {option, e.detail()}));
    }
}

// Names split at commas (ASCII or full-width), blanks around them dropped.
void AddNames(std::string_view text, std::vector<std::string>& names) {
    while (true) {
        std::size_t cut = text.find(',');
        std::size_t width = 1;
        const std::size_t wide = text.find("\xEF\xBC\x8C");  // ，
        if (wide < cut) cut = wide, width = 3;
        std::string_view name = text.substr(0, cut);
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (name.empty()) throw UsageError(Fill(Tr("--check: {0} holds an empty name"), {text}));
        names.emplace_back(name);
        if (cut == std::string_view::npos) return;
        text.remove_prefix(cut + width);
    }
}

}  // namespace

bool IsDatumCommand(std::span<const std::string_view> args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--") return i + 1 < args.size() && IsDatumMode(args[i + 1]);
        if (a.size() > 1 && a.front() == '-') {
            if (std::find(std::begin(kValued), std::end(kValued), a) != std::end(kValued)) ++i;
            continue;
        }
        return IsDatumMode(a);
    }
    return false;
}

namespace {

// A datum command line as typed.
struct DatumTyped {
    std::optional<std::string> model, from, to, convention, parameters, factor, output, fields,
        encoding, sheet, heightModel;
    bool heights = false, drop = false, header = false, decimalComma = false, bom = false,
         full = false, quiet = false, skipBad = false, toEllipsoidal = false;
    std::vector<std::string> checks;
    std::vector<std::string_view> positional;
};

DatumTyped ReadDatumCommandLine(std::span<const std::string_view> args) {
    DatumTyped t;
    ArgumentReader r(args);
    while (r.Next()) {
        if (r.Valued("--model", t.model) || r.Valued("--from", t.from) || r.Valued("--to", t.to) ||
            r.Valued("--convention", t.convention) || r.Valued("-p", t.parameters) ||
            r.Valued("--outlier-factor", t.factor) || r.Valued("-o", t.output) ||
            r.Valued("--fields", t.fields) || r.Valued("--encoding", t.encoding) ||
            r.Valued("--sheet", t.sheet) || r.Valued("--height-model", t.heightModel)) {
            continue;
        }
        if (const std::optional<std::string_view> v = r.Value("--check")) {
            AddNames(*v, t.checks);
            continue;
        }
        const std::string_view a = r.Option();
        r.Flag(a == "--heights"          ? &t.heights
               : a == "--drop-outliers"  ? &t.drop
               : a == "--header"         ? &t.header
               : a == "--decimal-comma"  ? &t.decimalComma
               : a == "--bom"            ? &t.bom
               : a == "--full"           ? &t.full
               : a == "--quiet"          ? &t.quiet
               : a == "--skip-bad-lines" ? &t.skipBad
               : a == "--to-ellipsoidal" ? &t.toEllipsoidal
                                         : nullptr);
    }
    t.positional = r.Positional();
    return t;
}

// transform takes the model and its parameters from the parameter file, which it needs.
void CheckTransformOptions(const DatumTyped& t) {
    const std::pair<bool, const char*> fitOnly[] = {{t.model.has_value(), "--model"},
                                                    {t.convention.has_value(), "--convention"},
                                                    {t.factor.has_value(), "--outlier-factor"},
                                                    {t.drop, "--drop-outliers"},
                                                    {!t.checks.empty(), "--check"}};
    for (const auto& [given, name] : fitOnly) {
        if (given) {
            throw UsageError(Fill(Tr("{0} is an option of fit; transform takes the model "
                                     "and its parameters from the parameter file (-p)"),
                                  {name}));
        }
    }
    if (t.heightModel) {
        throw UsageError(
            Tr("--height-model is an option of fit; transform takes the height "
               "model from the parameter file (-p)"));
    }
    if (!t.parameters) throw UsageError(Tr("transform needs the parameter file: -p PARAMS"));
}

// What fit and height-fit share: the outlier rule.
void ReadOutlierOptions(const DatumTyped& t, DatumOptions& o) {
    if (t.factor) {
        const std::optional<double> k = TryParseNumber(*t.factor);
        if (!k || !(*k >= kMinOutlierFactor && *k <= kMaxOutlierFactor)) {
            throw UsageError(Fill(Tr("--outlier-factor: {0} is not a number from 2 to 100: below "
                                     "2 good points are flagged as a matter of course, and "
                                     "dropping them means nothing"),
                                  {Quoted(*t.factor)}));
        }
        o.fit.outlierFactor = *k;
    }
    o.fit.dropOutliers = t.drop;
    o.height.outlierFactor = o.fit.outlierFactor;
    o.height.dropOutliers = o.fit.dropOutliers;
}

// A height model's name: fixed, plane, quadratic, or (fit's --height-model) auto.
std::optional<HeightModelKind> ReadHeightModel(std::string_view option, std::string_view text,
                                               bool automatic) {
    if (automatic && AsciiLower(TrimBlanks(text)) == "auto") return std::nullopt;
    try {
        return ParseHeightModel(text);
    } catch (const Error& e) {
        throw UsageError(Fill(Tr("{0}: {1}"), {option, e.detail()}));
    }
}

// height-fit: the points are in one system already, and the model is a height model.
void ReadHeightFitOptions(const DatumTyped& t, DatumOptions& o) {
    const std::pair<bool, const char*> others[] = {{t.from.has_value(), "--from"},
                                                   {t.to.has_value(), "--to"},
                                                   {t.convention.has_value(), "--convention"},
                                                   {t.heights, "--heights"},
                                                   {t.heightModel.has_value(), "--height-model"},
                                                   {t.toEllipsoidal, "--to-ellipsoidal"}};
    for (const auto& [given, name] : others) {
        if (given) {
            throw UsageError(Fill(Tr("{0} is no option of height-fit, whose points are in one "
                                     "system: name, X, Y, h, H"),
                                  {name}));
        }
    }
    if (t.model) o.height.kind = ReadHeightModel("--model", *t.model, false);
    ReadOutlierOptions(t, o);
}

// fit's systems, model and outlier rule.
void ReadFitOptions(const DatumTyped& t, DatumOptions& o) {
    if (!o.from || !o.to) {
        throw UsageError(
            Tr("fit needs the systems of both sides: --from SYSTEM --to SYSTEM, "
               "such as plane:krassovsky:117"));
    }
    try {
        if (t.model) o.fit.model = ParseModel(*t.model);
        if (t.convention) o.fit.convention = ParseConvention(*t.convention);
    } catch (const Error& e) {
        throw UsageError(Fill(Tr("{0}: {1}"), {t.model ? "--model" : "--convention", e.detail()}));
    }
    if (o.fit.model == DatumModel::Four &&
        (o.from->kind != SystemKind::Plane || o.to->kind != SystemKind::Plane)) {
        throw UsageError(
            Tr("--model 4 fits plane coordinates: --from and --to must both be "
               "plane systems"));
    }
    if (o.fit.model == DatumModel::Four && o.fit.heights) {
        throw UsageError(
            Tr("the 4-parameter model carries no heights: leave out --heights (H can "
               "pass through as an extra column) or use the 7- or 3-parameter "
               "model"));
    }
    ReadOutlierOptions(t, o);
    if (t.toEllipsoidal) {
        throw UsageError(
            Tr("--to-ellipsoidal is an option of transform, which applies a "
               "height model"));
    }
    if (t.heightModel) {
        if (o.to->kind != SystemKind::Plane) {
            throw UsageError(
                Tr("--height-model fits the height anomaly over the target's plane "
                   "X, Y: --to must be a plane system"));
        }
        o.heightModel = true;
        o.height.kind = ReadHeightModel("--height-model", *t.heightModel, true);
    }
}

// -p and -o, which must differ: fit writes both, and transform's output would replace the
// parameter file it reads.
void ReadFiles(const DatumTyped& t, DatumOptions& o) {
    if (t.parameters) {
        if (t.parameters->empty()) throw UsageError(Tr("-p needs a file name"));
        o.parameterFile = *t.parameters;
    }
    if (t.output) {
        o.output = ReadOutputFile(*t.output);
        const bool toFile = o.command != DatumCommand::Transform || !o.output.empty();
        if (toFile && t.parameters && SamePath(*t.output, *t.parameters)) {
            throw UsageError(Tr("-o and -p name the same file"));
        }
    }
}

// The mode, refused as quorvel-batch refuses a missing or unknown one: the caller may not have
// asked IsDatumCommand first.
DatumCommand ReadDatumMode(const std::vector<std::string_view>& positional) {
    if (positional.empty()) {
        throw UsageError(Tr("no mode given: forward, inverse, zone, fit or transform"));
    }
    if (positional[0] == "fit") return DatumCommand::Fit;
    if (positional[0] == "transform") return DatumCommand::Transform;
    if (positional[0] == "height-fit") return DatumCommand::HeightFit;
    throw UsageError(Fill(Tr("unknown mode {0}: use forward, inverse, zone, fit or transform"),
                          {Quoted(positional[0])}));
}

}  // namespace

DatumOptions ParseDatumArguments(std::span<const std::string_view> args) {
    DatumOptions o;
    if (const auto action = FindBeforeEnd(args, {"--help", "-h", "--version"})) {
        o.action =
            *action == "--version" ? DatumOptions::Action::Version : DatumOptions::Action::Help;
        return o;
    }
    const DatumTyped t = ReadDatumCommandLine(args);
    o.command = ReadDatumMode(t.positional);
    ReadInputFile(t.positional, o.input);
    if (t.from) o.from = ReadSystem("--from", *t.from);
    if (t.to) o.to = ReadSystem("--to", *t.to);
    o.heightsGiven = t.heights;
    o.fit.heights = t.heights;
    o.checks = t.checks;
    o.skipBadLines = t.skipBad;
    o.toEllipsoidal = t.toEllipsoidal;
    if (o.command == DatumCommand::Transform) {
        CheckTransformOptions(t);
    } else if (o.command == DatumCommand::HeightFit) {
        ReadHeightFitOptions(t, o);
    } else {
        ReadFitOptions(t, o);
    }
    ReadFiles(t, o);
    if (t.fields) o.fields = ReadFieldList(*t.fields);
    if (t.encoding) o.encoding = ReadEncoding(*t.encoding);
    if (t.sheet) o.sheet = ReadSheet(*t.sheet);
    o.header = t.header;
    o.decimalComma = t.decimalComma;
    o.bom = t.bom;
    o.full = t.full;
    o.quiet = t.quiet;
    return o;
}

std::string DatumHelpText() {
    return "Datum transformations (坐标转换), such as Beijing 1954 or Xi'an 1980 to CGCS2000:\n"
           "  fit --from SYSTEM --to SYSTEM [-p PARAMS] [options] [FILE]\n"
           "                 fits the parameters to common points (重合点) by least squares.\n"
           "                 Input: name, the source coordinates, the target coordinates.\n"
           "                 Output: per point its use (fit, check, dropped), the residuals\n"
           "                 target - transformed source in mm, the plane residual and a flag\n"
           "                 where a residual exceeds K sigma0; the parameters, their standard\n"
           "                 errors and sigma0 on standard error; -p writes the parameter file\n"
           "  transform -p PARAMS [options] [FILE]\n"
           "                 converts points (name, the source coordinates) with a parameter\n"
           "                 file; output: name, the typed values, the converted ones. With a\n"
           "                 height model in the file, h follows the coordinates (empty: no\n"
           "                 height) and the output adds h and H = h - zeta\n"
           "  height-fit [--model fixed|plane|quadratic] [-p PARAMS] [options] [FILE]\n"
           "                 fits a height model (高程拟合) to points in one plane system: name,\n"
           "                 X, Y, h (ellipsoidal height), H (normal height). The model is the\n"
           "                 height anomaly zeta = h - H over X, Y, centred on the fitted\n"
           "                 points and scaled by their spread: fixed (1 point or more, the\n"
           "                 mean), plane (3 or more), quadratic (6 or more); without --model\n"
           "                 by the number of fitted points: 1-2 fixed, 3-6 plane, 7 or more\n"
           "                 quadratic. Output: name, use, vH (mm), flag; -p writes the model\n"
           "  SYSTEM         KIND:ELLIPSOID[:WHERE[:H0]]: KIND plane (X north, Y east),\n"
           "                 geodetic (L, B in packed degrees) or geocentric (X, Y, Z);\n"
           "                 ELLIPSOID as --ellipsoid; WHERE, plane only: the central meridian\n"
           "                 (packed degrees) or zone3/zone6, the zone number then in front of\n"
           "                 Y; H0, plane only: the projection height in metres, as\n"
           "                 --projection-height. Plane coordinates are projected by the exact\n"
           "                 method, k0 1, false easting 500000\n"
           "  --model 7|4|3  7 (default): Bursa-Wolf through geocentric coordinates, dx dy dz\n"
           "                 (m), rx ry rz (arc-seconds), ds (ppm), PROJ's helmert without\n"
           "                 +exact; 4: plane similarity on plane X, Y, dx dy (m), rotation\n"
           "                 (arc-seconds), scale (ppm), no heights; 3: geocentric translation\n"
           "  --convention C coordinate-frame (default: the form of China's national rules for\n"
           "                 CGCS2000, EPSG 9607) or position-vector (EPSG 9606, +towgs84)\n"
           "  --heights      H after the two values of a plane or geodetic side; without it\n"
           "                 H = 0 on both sides and the fit is two-dimensional: only each\n"
           "                 point's east and north residuals are observations\n"
           "  --height-model fixed|plane|quadratic|auto  fit: a height model beside the\n"
           "                 datum, h and H after the coordinates, over the target's plane X, Y\n"
           "                 (--to plane); a point with neither height is a datum point only;\n"
           "                 the parameter file then holds both\n"
           "  --to-ellipsoidal  transform: H follows the coordinates and h = H + zeta is added\n"
           "  --check N,N    check points (检核点): left out of the fit, their residuals and RMS\n"
           "                 listed\n"
           "  --drop-outliers  fit again without the worst flagged point until none is flagged,\n"
           "                 stopping (exit status 1) before it drops more than a third\n"
           "  --outlier-factor K  flag residuals beyond K times their standard error, about\n"
           "                 K sigma0; from 2 to 100, default 3, the rule of the national\n"
           "                 transformation code\n"
           "  --skip-bad-lines  fit without the lines that do not read (exit status 1); without\n"
           "                 it such a line refuses the fit\n"
           "  -p PARAMS      fit: write the parameter file (key = value lines, with the PROJ\n"
           "                 pipeline that gives the same results in cct); transform: read it\n"
           "  -o, --header, --fields, --decimal-comma, --encoding, --sheet, --bom, --full,\n"
           "                 --quiet as above; --fields lists the name's field, then each\n"
           "                 coordinate's\n"
           "  Refused (exit status 2): a common point line that does not read, fewer common\n"
           "  points than the model needs, points that cannot fix it (one place, one line),\n"
           "  duplicate names, a point whose two sides lie kilometres apart, a zoned point\n"
           "  outside its zone or of the other width, rotations, scale or translations beyond\n"
           "  their limits, a parameter file that does not read or does not match the input\n"
           "  (checked on its first point: the system's kind and zone number, the 4-parameter\n"
           "  file's zone, H, a shift of more than 1 km). transform warns of points farther\n"
           "  outside the common points' area than the area's size. A height fit is refused\n"
           "  for a point with h and no H (or the reverse), named, an anomaly beyond +-150 m\n"
           "  (a height in the wrong column or unit), too few points, points on one line\n"
           "  (plane, quadratic) or on one curve (quadratic); transform rejects a point with\n"
           "  a height farther outside the height common points' area than the area's size.\n";
}

}  // namespace quorvel::cli
