#include "engine/datum/height_fit.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/datum/datum_fit_notes.h"
#include "engine/run/diagnostics.h"

namespace quorvel::engine {
namespace {

const char* ModelWords(HeightModelKind kind) {
    return kind == HeightModelKind::Fixed   ? TR_NOOP("fixed offset")
           : kind == HeightModelKind::Plane ? TR_NOOP("plane")
                                            : TR_NOOP("quadratic surface");
}

std::string Millimetres(double metres, bool full) {
    if (std::isnan(metres)) return "";
    char text[kMaxRoundedText];
    return std::string(
        text, full ? WriteFullText(text, metres * 1000) : WriteRoundedText(text, metres * 1000, 1));
}

std::string Fixed(double v, int decimals) {
    return std::isnan(v) ? "-" : RoundedText(v, decimals);
}

std::string Names(const std::vector<std::string>& names) {
    return BoundedList(names);
}

}  // namespace

std::vector<std::string> HeightColumns(const FitJob& job) {
    if (!job.heightModel) return {};
    return {"h", "H"};
}

std::vector<std::string> HeightColumns(const TransformJob& job) {
    if (!job.parameters.height) return {};
    return {job.toEllipsoidal ? "H" : "h"};
}

std::optional<JobRefusal> HeightFitLayout(std::span<const std::size_t> fields,
                                          DatumLayout& layout) {
    const CoordinateSystem plane;
    if (!fields.empty() && fields.size() != 5) {
        std::string typed;
        for (std::size_t f : fields) typed += (typed.empty() ? "" : ",") + std::to_string(f);
        return Refuse(Fill(Tr("--fields: {0} gives {1} fields; these systems need {2} ({3})"),
                           {Quoted(typed), std::to_string(fields.size()), "5", "name,X,Y,h,H"}),
                      false);
    }
    auto refusal = MakeLayout(fields, plane, nullptr, false, layout, {"h", "H"});
    if (refusal) return refusal;
    layout.names[0] = "X";
    layout.names[1] = "Y";
    return std::nullopt;
}

std::optional<JobRefusal> CollectHeightPoints(const FitOutcome& read, bool fromTarget,
                                              bool skipNeither, std::vector<HeightPoint>& points,
                                              std::vector<std::size_t>& index) {
    std::vector<std::string> noH, noh;
    for (std::size_t i = 0; i < read.points.size(); ++i) {
        const CommonPoint& p = read.points[i];
        const double h = read.heights[i][0], H = read.heights[i][1];
        if (std::isnan(h) && std::isnan(H) && skipNeither) continue;
        if (std::isnan(h)) noh.push_back(p.name);
        if (std::isnan(H)) noH.push_back(p.name);
        const Triple& at = fromTarget ? p.target : p.source;
        points.push_back({p.name, at[0], at[1], h, H, p.check});
        index.push_back(i);
    }
    if (noh.empty() && noH.empty()) return std::nullopt;
    std::string lacking;
    if (!noh.empty()) lacking = Fill(Tr("without h: {0}"), {Names(noh)});
    if (!noH.empty()) {
        lacking += (lacking.empty() ? "" : Tr("; ")) + Fill(Tr("without H: {0}"), {Names(noH)});
    }
    return Refuse(skipNeither
                      ? Fill(Tr("height common points lack a height ({0}): give both h, the "
                                "ellipsoidal height, and H, the normal height, or neither to "
                                "leave the point out of the height model"),
                             {lacking})
                      : Fill(Tr("height common points lack a height ({0}): each needs both h, "
                                "the ellipsoidal height, and H, the normal height"),
                             {lacking}),
                  false);
}

FitOutcome RunHeightFit(const HeightFitJob& job, ByteSource& in, std::string_view inputName,
                        DiagnosticSink& diagnostics, const RunTuning& tuning) {
    FitOutcome outcome;
    DatumLayout layout;
    outcome.refusal = HeightFitLayout(job.reading.fields, layout);
    if (outcome.refusal) return outcome;
    outcome.refusal = ReadCommonPoints(layout, job.reading, job.skipBadLines, job.checks, in,
                                       inputName, diagnostics, tuning, outcome);
    if (outcome.refusal) return outcome;
    outcome.refusal =
        CollectHeightPoints(outcome, false, false, outcome.heightPoints, outcome.heightIndex);
    if (outcome.refusal) return outcome;
    try {
        outcome.height = FitHeights(outcome.heightPoints, job.fit);
    } catch (const Error& e) {
        outcome.refusal = Refuse(e.what(), false);
    }
    return outcome;
}

std::optional<JobRefusal> FitHeightModel(const FitJob& job, FitOutcome& outcome) {
    auto refusal =
        CollectHeightPoints(outcome, true, true, outcome.heightPoints, outcome.heightIndex);
    if (refusal) return refusal;
    HeightFitOptions o = job.height;
    o.outlierFactor = job.fit.outlierFactor;
    o.dropOutliers = job.fit.dropOutliers;
    try {
        outcome.height = FitHeights(outcome.heightPoints, o);
    } catch (const Error& e) {
        return Refuse(Fill(Tr("height model: {0}"), {e.what()}), false);
    }
    return std::nullopt;
}

void WriteHeightResiduals(OutputBuffer& out, const DatumWriting& w, double factor,
                          const FitOutcome& outcome) {
    std::vector<std::string> head = {"name", "use", "vH", "flag"};
    head.insert(head.end(), outcome.columns.begin(), outcome.columns.end());
    std::string line = w.bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, head[i], w.bom);
    }
    line += kCsvLineEnd;
    out.Append(line);
    const std::string flag = ">" + ShortestText(factor) + "σ0";
    for (std::size_t i = 0; i < outcome.height->points.size(); ++i) {
        const PointResidual& p = outcome.height->points[i];
        line.clear();
        AppendCsvField(line, p.name, w.bom);
        line += ',' + std::string(PointUseName(p.use)) + ',' + Millimetres(p.v[2], w.full) + ',' +
                (p.flagged ? flag : "");
        for (const std::string& field : outcome.passed[outcome.heightIndex[i]]) {
            line += ',';
            AppendCsvField(line, field, w.bom);
        }
        line += kCsvLineEnd;
        out.Append(line);
        out.MaybeFlush();
    }
    out.Flush();
}

void PrintHeightSummary(std::ostream& err, const HeightFitResult& r, std::size_t rejected) {
    const HeightModel& m = r.model;
    err << Fill(Tr("height model: {0}, ζ = h − H over the plane X, Y from X {1}, Y {2} in units "
                   "of {3} m"),
                {Tr(ModelWords(m.kind)), Fixed(m.x0, 3), Fixed(m.y0, 3), Fixed(m.scale, 3)});
    if (r.automatic) {
        err << Tr("; ")
            << Tr("chosen by the number of fitted points (1–2 fixed, 3–6 plane, 7 or more "
                  "quadratic)");
    }
    err << '\n';
    for (int k = 0; k < HeightTermCount(m.kind); ++k) {
        err << "  "
            << Fill(
                   Tr("{0} = {1}{3}, standard error {2}{3}"),
                   {"a" + std::to_string(k), Fixed(m.a[k], 4), Fixed(r.standardErrors[k], 4), " m"})
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
    err << Fill(TrN("{0} height common point: {1} fitted, {2} checked, {3} dropped; {4} rejected",
                    "{0} height common points: {1} fitted, {2} checked, {3} dropped; {4} rejected",
                    n),
                {std::to_string(n), std::to_string(r.used), std::to_string(r.checked),
                 std::to_string(r.dropped), std::to_string(rejected)})
        << '\n';
    if (r.checked > 0) {
        err << Fill(Tr("check points, RMS: {0}"), {"vH " + Fixed(r.checkRms * 1000, 1) + " mm"})
            << '\n';
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

void WarnOfHeightFit(std::ostream& err, const HeightFitResult& r, const HeightFitOptions& o) {
    WarnOfFlagged(err, r.points, r.dropStopped, Tr("height model: "), o.outlierFactor,
                  o.dropOutliers);
}

void AddHeightModel(const HeightFitResult& r, ParameterFile& f) {
    f.height = r.model;
    f.heightSigma0 = r.sigma0;
    f.heightPoints = r.used;
}

std::string HeightParameterText(const HeightFitResult& r) {
    ParameterFile f;
    f.datum = false;
    AddHeightModel(r, f);
    return WriteParameterFile(f, nullptr, r.redundancy > 0 ? &r.standardErrors : nullptr);
}

}  // namespace quorvel::engine
