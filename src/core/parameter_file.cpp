#include "core/parameter_file.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"

namespace quorvel {
namespace {

// A parameter's key and where DatumParameters keeps it.
struct Field {
    const char* key;
    double DatumParameters::*member;
};

const std::vector<Field>& Fields(DatumModel model) {
    static const std::vector<Field> seven = {
        {"dx", &DatumParameters::dx}, {"dy", &DatumParameters::dy}, {"dz", &DatumParameters::dz},
        {"rx", &DatumParameters::rx}, {"ry", &DatumParameters::ry}, {"rz", &DatumParameters::rz},
        {"ds", &DatumParameters::ds}};
    static const std::vector<Field> four = {{"dx", &DatumParameters::dx},
                                            {"dy", &DatumParameters::dy},
                                            {"rotation", &DatumParameters::rotation},
                                            {"scale", &DatumParameters::scale}};
    static const std::vector<Field> three(seven.begin(), seven.begin() + 3);
    return model == DatumModel::Seven ? seven : model == DatumModel::Four ? four : three;
}

const char* Unit(const std::string& key) {
    if (key[0] == 'r') return "″";
    if (key == "ds" || key == "scale") return " ppm";
    return " m";
}

const char* const kKeys[] = {"model",    "convention", "from",    "to",     "heights", "dx",
                             "dy",       "dz",         "rx",      "ry",     "rz",      "ds",
                             "rotation", "scale",      "sigma0",  "points", "proj",    "fromzone",
                             "tozone",   "centrel",    "centreb", "radius"};
const char* const kHeightKeys[] = {"height_model", "height_x0", "height_y0",     "height_scale",
                                   "height_a0",    "height_a1", "height_a2",     "height_a3",
                                   "height_a4",    "height_a5", "height_radius", "height_sigma0",
                                   "height_points"};

struct Entry {
    std::string value;
    int line = 0;
};

// The file's own text as a message quotes it: a control byte or a NUL neither reaches the
// terminal nor cuts the message, and a line of megabytes is not repeated whole.
std::string Shown(std::string_view text) {
    return EscapedText(text, 60);
}

[[noreturn]] void Fail(int line, const std::string& what) {
    throw ParameterFileError(
        EscapedText(line > 0 ? Fill(Tr("line {0}: {1}"), {std::to_string(line), what}) : what));
}

std::map<std::string, Entry> Entries(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::map<std::string, Entry> entries;
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // a file saved on Windows
        const std::string_view l = TrimBlanks(raw);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (l.empty() || l.front() == '#') continue;
        const std::size_t eq = l.find('=');
        if (eq == std::string_view::npos) {
            Fail(line, Fill(Tr("expected \"key = value\", found \"{0}\""), {Shown(l)}));
        }
        const std::string key = AsciiLower(TrimBlanks(l.substr(0, eq)));
        bool known = false;
        for (const char* k : kKeys) known = known || key == k;
        for (const char* k : kHeightKeys) known = known || key == k;
        if (!known) {
            Fail(line, Fill(Tr("unknown key \"{0}\": the keys are model convention from to heights "
                               "dx dy dz rx ry rz ds rotation scale sigma0 points proj fromZone "
                               "toZone centreL centreB radius height_model height_x0 height_y0 "
                               "height_scale height_a0 … height_a5 height_radius height_sigma0 "
                               "height_points"),
                            {Shown(key)}));
        }
        if (entries.count(key)) {
            Fail(line, Fill(Tr("key \"{0}\" given twice (first on line {1})"),
                            {Shown(key), std::to_string(entries[key].line)}));
        }
        entries[key] = {std::string(TrimBlanks(l.substr(eq + 1))), line};
    }
    return entries;
}

// The entry of `key` (lower case); a missing one is named as `shown`, else as `key`.
const Entry& Require(const std::map<std::string, Entry>& entries, const std::string& key,
                     const char* shown = nullptr) {
    const auto it = entries.find(key);
    if (it == entries.end()) Fail(0, Fill(Tr("key \"{0}\" missing"), {shown ? shown : key}));
    return it->second;
}

double Number(const Entry& e, const std::string& key) {
    const std::optional<double> v = TryParseNumber(e.value);
    if (!v || !std::isfinite(*v)) {
        Fail(e.line, Fill(Tr("the value \"{1}\" of {0} is not a number"), {key, Shown(e.value)}));
    }
    return *v;
}

// A scale typed as a factor (1.0000027161) where the file takes ppm: a plain decimal from 0.999
// to 1.001, not 1, with 6 decimals or more. As ppm it would be known to 1e-6 ppm (1e-12), which
// no fit resolves; as a factor it is a scale within the ±1000 ppm limit.
void CheckNotFactor(const Entry& e, const std::string& key, double value) {
    const std::string_view text = TrimBlanks(e.value);
    const std::size_t point = text.find('.');
    if (value == 1 || std::abs(value - 1) > 1e-3 || point == std::string_view::npos ||
        text.find_first_not_of("+-0123456789.") != std::string_view::npos) {
        return;
    }
    const std::size_t decimals = text.size() - point - 1;
    if (decimals < 6) return;
    char ppm[40];
    std::snprintf(ppm, sizeof ppm, "%.*f", static_cast<int>(decimals - 6), (value - 1) * 1e6);
    Fail(e.line, Fill(Tr("{0} = {1} looks like a scale factor, but the file takes ppm: as a factor "
                         "it is {2} ppm; write {0} = {2} (or {1}e0 if {1} ppm is meant)"),
                      {key, text, ppm}));
}

template <typename T, typename Parse>
T Parsed(const Entry& e, Parse parse) {
    try {
        return parse(e.value);
    } catch (const Error& error) {
        Fail(e.line, error.detail());
    }
}

void ReadParameters(const std::map<std::string, Entry>& entries, ParameterFile& f) {
    DatumParameters& p = f.parameters;
    const std::vector<Field>& fields = Fields(p.model);
    for (const char* key : {"dx", "dy", "dz", "rx", "ry", "rz", "ds", "rotation", "scale"}) {
        const auto it = entries.find(key);
        bool used = false;
        for (const Field& field : fields) used = used || key == std::string(field.key);
        if (it != entries.end() && !used) {
            Fail(it->second.line, Fill(Tr("key \"{0}\" does not belong to the {1}-parameter model"),
                                       {key, ModelName(p.model)}));
        }
    }
    for (const Field& field : fields) {
        const Entry& e = Require(entries, field.key);
        p.*field.member = Number(e, field.key);
        if (field.member == &DatumParameters::ds || field.member == &DatumParameters::scale) {
            CheckNotFactor(e, field.key, p.*field.member);
        }
    }
}

// A zone key: a whole number of the side's zones, on a zoned side only.
int Zone(const Entry& e, const std::string& key, const CoordinateSystem& side) {
    const double n = Number(e, key);
    if (!side.zoneWidth) {
        Fail(e.line, Fill(Tr("{0}: the system {1} has no zones"), {key, SystemText(side)}));
    }
    const int zones = 360 / static_cast<int>(*side.zoneWidth);
    if (!(n >= 0 && n <= zones && n == std::floor(n))) {
        Fail(e.line, Fill(Tr("the value \"{0}\" of {1} is not a zone number from 1 to {2}"),
                          {Shown(e.value), key, std::to_string(zones)}));
    }
    return static_cast<int>(n);
}

// centreL, centreB and radius: all three or none.
void ReadArea(const std::map<std::string, Entry>& entries, ParameterFile& f) {
    const bool any =
        entries.count("centrel") || entries.count("centreb") || entries.count("radius");
    if (!any) return;
    CommonArea a;
    const Entry& l = Require(entries, "centrel", "centreL");
    const Entry& b = Require(entries, "centreb", "centreB");
    const Entry& r = Require(entries, "radius");
    a.l = Number(l, "centreL");
    a.b = Number(b, "centreB");
    a.radius = Number(r, "radius");
    if (!(a.l >= -180 && a.l <= 360)) Fail(l.line, Tr("centreL is not a longitude"));
    if (!(a.b >= -90 && a.b <= 90)) Fail(b.line, Tr("centreB is not a latitude"));
    if (!(a.radius >= 0 && a.radius <= 2e7)) Fail(r.line, Tr("radius is not a distance in metres"));
    f.area = a;
}

void ReadOptional(const std::map<std::string, Entry>& entries, ParameterFile& f) {
    if (const auto it = entries.find("sigma0"); it != entries.end()) {
        f.sigma0 = Number(it->second, "sigma0");
        if (f.sigma0 < 0) Fail(it->second.line, Tr("sigma0 cannot be negative"));
    }
    if (const auto it = entries.find("points"); it != entries.end()) {
        const double n = Number(it->second, "points");
        if (!(n >= 0 && n <= 1e9 && n == std::floor(n))) {
            Fail(it->second.line, Fill(Tr("the value \"{0}\" of points is not a number of points"),
                                       {Shown(it->second.value)}));
        }
        f.points = static_cast<int>(n);
    }
    if (const auto it = entries.find("proj"); it != entries.end()) f.proj = it->second.value;
    if (const auto it = entries.find("fromzone"); it != entries.end()) {
        f.fromZone = Zone(it->second, "fromZone", f.from);
    }
    if (const auto it = entries.find("tozone"); it != entries.end()) {
        f.toZone = Zone(it->second, "toZone", f.to);
    }
    ReadArea(entries, f);
}

// What the proj pipeline takes or gives on one side, in its order and units.
std::string PipelineSide(const CoordinateSystem& s) {
    switch (s.kind) {
        case SystemKind::Plane:
            return s.zoneWidth ? Tr("plane X, Y (northing first, Y with the zone number) and H "
                                    "in metres")
                               : Tr("plane X, Y (northing first) and H in metres");
        case SystemKind::Geodetic:
            return Tr(
                "L, B in decimal degrees (not the packed degrees of Quorvel's files) and H "
                "in metres");
        case SystemKind::Geocentric:
            break;
    }
    return Tr("geocentric X, Y, Z in metres");
}

// A scale that would read as a factor is written with an exponent, which reads as ppm.
std::string ParameterText(const std::string& key, double value) {
    std::string text = ShortestText(value);
    if ((key == "ds" || key == "scale") && value != 1 && std::abs(value - 1) <= 1e-3 &&
        text.find('e') == std::string::npos) {
        text += "e0";
    }
    return text;
}

// A count of points: a whole number, from 0.
int PointCount(const Entry& e, const std::string& key) {
    const double n = Number(e, key);
    if (!(n >= 0 && n <= 1e9 && n == std::floor(n))) {
        Fail(e.line,
             Fill(Tr("the value \"{0}\" of {1} is not a number of points"), {Shown(e.value), key}));
    }
    return static_cast<int>(n);
}

// The height model's keys, when the file has one.
void ReadHeight(const std::map<std::string, Entry>& entries, ParameterFile& f) {
    const auto kind = entries.find("height_model");
    if (kind == entries.end()) {
        for (const char* key : kHeightKeys) {
            if (const auto it = entries.find(key); it != entries.end()) {
                Fail(it->second.line,
                     Fill(Tr("key \"{0}\" belongs to a height model, and the file has no "
                             "height_model"),
                          {key}));
            }
        }
        return;
    }
    HeightModel m;
    m.kind = Parsed<HeightModelKind>(kind->second, ParseHeightModel);
    m.x0 = Number(Require(entries, "height_x0"), "height_x0");
    m.y0 = Number(Require(entries, "height_y0"), "height_y0");
    const Entry& scale = Require(entries, "height_scale");
    m.scale = Number(scale, "height_scale");
    if (!(m.scale > 0)) Fail(scale.line, Tr("height_scale must be above 0"));
    const int terms = HeightTermCount(m.kind);
    for (int k = 0; k < 6; ++k) {
        const std::string key = "height_a" + std::to_string(k);
        const auto it = entries.find(key);
        if (k < terms) {
            m.a[k] = Number(Require(entries, key), key);
        } else if (it != entries.end()) {
            Fail(it->second.line, Fill(Tr("key \"{0}\" does not belong to the {1} height model"),
                                       {key, HeightModelName(m.kind)}));
        }
    }
    if (const auto it = entries.find("height_radius"); it != entries.end()) {
        m.radius = Number(it->second, "height_radius");
        if (!(m.radius >= 0 && m.radius <= 2e7)) {
            Fail(it->second.line, Tr("height_radius is not a distance in metres"));
        }
    }
    if (const auto it = entries.find("height_sigma0"); it != entries.end()) {
        f.heightSigma0 = Number(it->second, "height_sigma0");
        if (f.heightSigma0 < 0) Fail(it->second.line, Tr("height_sigma0 cannot be negative"));
    }
    if (const auto it = entries.find("height_points"); it != entries.end()) {
        f.heightPoints = PointCount(it->second, "height_points");
    }
    f.height = m;
}

// A file of a height model alone: no datum key but sigma0 and points, which are the height's.
void ReadHeightAlone(const std::map<std::string, Entry>& entries, ParameterFile& f) {
    f.datum = false;
    for (const auto& [key, entry] : entries) {
        if (key.rfind("height_", 0) == 0 || key == "sigma0" || key == "points") continue;
        Fail(entry.line, Fill(Tr("key \"{0}\" belongs to a datum transformation, and the file "
                                 "has no model: add model and the transformation's keys, or "
                                 "leave the key out"),
                              {key}));
    }
    ReadHeight(entries, f);
    for (const char* key : {"sigma0", "points"}) {
        const auto it = entries.find(key);
        if (it == entries.end()) continue;
        if (entries.count("height_" + std::string(key))) {
            Fail(it->second.line, Fill(Tr("{0} and height_{0} both given: a file of a height "
                                          "model alone takes {0}"),
                                       {key}));
        }
        if (key[0] == 's') {
            f.heightSigma0 = Number(it->second, key);
            if (f.heightSigma0 < 0) Fail(it->second.line, Tr("sigma0 cannot be negative"));
        } else {
            f.heightPoints = PointCount(it->second, key);
        }
    }
}

std::string HeightText(const ParameterFile& f, const std::array<double, 6>* se) {
    const HeightModel& m = *f.height;
    std::string out = "# " +
                      Tr("height anomaly ζ = h − H (ellipsoidal minus normal height) over the "
                         "target's plane X, Y: u = (X − height_x0) / height_scale, v = (Y − "
                         "height_y0) / height_scale, ζ = a0 + a1·u + a2·v + a3·u² + a4·u·v + "
                         "a5·v² (metres); H = h − ζ") +
                      "\n";
    out += "height_model = " + std::string(HeightModelName(m.kind)) + "\n";
    out += "height_x0 = " + ShortestText(m.x0) + "\nheight_y0 = " + ShortestText(m.y0) +
           "\nheight_scale = " + ShortestText(m.scale) + "\n";
    for (int k = 0; k < HeightTermCount(m.kind); ++k) {
        const std::string key = "height_a" + std::to_string(k);
        if (se) {
            out += "# " + Fill(Tr("{0} standard error {1}"), {key, ShortestText((*se)[k]) + " m"}) +
                   "\n";
        }
        out += key + " = " + ShortestText(m.a[k]) + "\n";
    }
    if (m.radius >= 0) out += "height_radius = " + ShortestText(m.radius) + "\n";
    const std::string prefix = f.datum ? "height_" : "";
    if (!std::isnan(f.heightSigma0)) {
        out += prefix + "sigma0 = " + ShortestText(f.heightSigma0) + "\n";
    }
    if (f.heightPoints >= 0) out += prefix + "points = " + std::to_string(f.heightPoints) + "\n";
    return out;
}

}  // namespace

ParameterFile ReadParameterFile(std::string_view text) {
    const std::map<std::string, Entry> entries = Entries(text);
    ParameterFile f;
    if (!entries.count("model") && entries.count("height_model")) {
        ReadHeightAlone(entries, f);
        return f;
    }
    DatumParameters& p = f.parameters;
    p.model = Parsed<DatumModel>(Require(entries, "model"), ParseModel);
    const auto convention = entries.find("convention");
    if (convention != entries.end()) {
        p.convention = Parsed<RotationConvention>(convention->second, ParseConvention);
    } else if (p.model == DatumModel::Seven) {
        Require(entries, "convention");
    }
    f.from = Parsed<CoordinateSystem>(Require(entries, "from"), ParseCoordinateSystem);
    f.to = Parsed<CoordinateSystem>(Require(entries, "to"), ParseCoordinateSystem);
    const Entry& heights = Require(entries, "heights");
    const std::string h = AsciiLower(heights.value);
    if (h != "yes" && h != "no")
        Fail(heights.line,
             Fill(Tr("heights must be yes or no, not \"{0}\""), {Shown(heights.value)}));
    f.heights = h == "yes";
    if (f.heights && p.model == DatumModel::Four) {
        Fail(heights.line, Tr("the 4-parameter model carries no heights: write heights = no (H "
                              "can pass through as an extra column) or use the 7- or 3-parameter "
                              "model"));
    }
    ReadParameters(entries, f);
    ReadOptional(entries, f);
    ReadHeight(entries, f);
    if (f.height && f.to.kind != SystemKind::Plane) {
        Fail(Require(entries, "height_model").line,
             Tr("the height model is fitted over the target's plane X, Y: to must be a plane "
                "system"));
    }
    if (p.model == DatumModel::Four &&
        (f.from.kind != SystemKind::Plane || f.to.kind != SystemKind::Plane)) {
        Fail(0, Tr("the 4-parameter model needs plane systems for from and to"));
    }
    try {
        CheckModelLimits(p, &f.from);
    } catch (const Error& e) {
        RethrowWithContext(e, Tr("parameter file"));
    }
    return f;
}

std::string WriteParameterFile(const ParameterFile& f, const DatumParameters* se,
                               const std::array<double, 6>* heightErrors) {
    if (!f.datum) {
        return "# " + Tr("Quorvel height model") + "\n" + HeightText(f, heightErrors);
    }
    const DatumParameters& p = f.parameters;
    std::string out =
        "# " +
        Fill(Tr("Quorvel datum transformation parameters ({0} parameters)"), {ModelName(p.model)}) +
        "\n";
    out += "model = " + std::string(ModelName(p.model)) + "\n";
    out += "convention = " + std::string(ConventionName(p.convention)) + "\n";
    out += "from = " + SystemText(f.from) + "\n";
    out += "to = " + SystemText(f.to) + "\n";
    out += std::string("heights = ") + (f.heights ? "yes" : "no") + "\n";
    if (f.fromZone >= 0) out += "fromZone = " + std::to_string(f.fromZone) + "\n";
    if (f.toZone >= 0) out += "toZone = " + std::to_string(f.toZone) + "\n";
    for (const Field& field : Fields(p.model)) {
        const std::string key = field.key;
        if (se) {
            out += "# " +
                   Fill(Tr("{0} standard error {1}"),
                        {key, ShortestText(se->*field.member) + Unit(key)}) +
                   "\n";
        }
        out += key + " = " + ParameterText(key, p.*field.member) + "\n";
    }
    if (!std::isnan(f.sigma0)) out += "sigma0 = " + ShortestText(f.sigma0) + "\n";
    if (f.points >= 0) out += "points = " + std::to_string(f.points) + "\n";
    if (f.area) {
        out += "# " +
               Tr("the common points' area: its centre as L, B in decimal degrees, its radius in "
                  "metres") +
               "\n";
        out += "centreL = " + ShortestText(f.area->l) + "\ncentreB = " + ShortestText(f.area->b) +
               "\nradius = " + ShortestText(f.area->radius) + "\n";
    }
    if (!f.proj.empty()) {
        out += "# " +
               Fill(Tr("proj, for cct: it takes {0}; it gives {1}"),
                    {PipelineSide(f.from), PipelineSide(f.to)}) +
               "\n";
        out += "proj = " + f.proj + "\n";
    }
    if (f.height) out += HeightText(f, heightErrors);
    return out;
}

}  // namespace quorvel
