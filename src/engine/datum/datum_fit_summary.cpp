#include "engine/datum/datum_fit_summary.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/number_text.h"
#include "engine/datum/height_fit.h"
#include "engine/run/diagnostics.h"

namespace quorvel::engine {
namespace {

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

}  // namespace

void WriteResiduals(OutputBuffer& out, const FitJob& o, const FitOutcome& input) {
    const FitResult& r = input.result;
    const std::vector<std::string> names = ResidualNames(o.to, o.fit);
    std::vector<std::string> head = {"name", "use"};
    head.insert(head.end(), names.begin(), names.end());
    head.insert(head.end(), {"plane", "flag"});
    // The height model's use, residual and flag of each point it was fitted to or checked on.
    std::vector<const PointResidual*> height(r.points.size(), nullptr);
    if (input.height) {
        head.insert(head.end(), {"heightUse", "vHeight", "heightFlag"});
        for (std::size_t j = 0; j < input.heightIndex.size(); ++j) {
            height[input.heightIndex[j]] = &input.height->points[j];
        }
    }
    head.insert(head.end(), input.columns.begin(), input.columns.end());
    WriteHeader(out, head, o.writing.bom);
    const std::string flag = ">" + ShortestText(o.fit.outlierFactor) + "σ0";
    std::string line;
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        const PointResidual& p = r.points[i];
        line.clear();
        AppendCsvField(line, p.name, o.writing.bom);
        line += ',';
        line += PointUseName(p.use);
        for (std::size_t c = 0; c < names.size(); ++c)
            line += ',' + Millimetres(p.v[c], o.writing.full);
        line += ',' + Millimetres(p.plane, o.writing.full) + ',' + (p.flagged ? flag : "");
        if (input.height && height[i]) {
            line += ',' + std::string(PointUseName(height[i]->use)) + ',' +
                    Millimetres(height[i]->v[2], o.writing.full) + ',' +
                    (height[i]->flagged ? flag : "");
        } else if (input.height) {
            line += ",,,";
        }
        for (const std::string& field : input.passed[i]) {
            line += ',';
            AppendCsvField(line, field, o.writing.bom);
        }
        line += kCsvLineEnd;
        out.Append(line);
        out.MaybeFlush();
    }
    out.Flush();
}

void PrintFitSummary(std::ostream& err, const FitJob& o, const FitResult& r, std::size_t rejected) {
    const DatumParameters& p = r.parameters;
    const DatumParameters& se = r.standardErrors;
    const std::string from = SystemText(o.from), to = SystemText(o.to);
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
        (o.from.kind != SystemKind::Geocentric || o.to.kind != SystemKind::Geocentric)) {
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
        const std::vector<std::string> names = ResidualNames(o.to, o.fit);
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

std::string FitParameterText(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                             const FitResult& r, const HeightFitResult* height) {
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
    if (height) AddHeightModel(*height, f);
    const auto* heightErrors = height && height->redundancy > 0 ? &height->standardErrors : nullptr;
    return WriteParameterFile(f, r.redundancy > 0 ? &r.standardErrors : nullptr, heightErrors) +
           note;
}

}  // namespace quorvel::engine
