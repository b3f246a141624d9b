#include "engine/datum/datum_fit_notes.h"

#include <optional>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/number_text.h"

namespace quorvel::engine {
namespace {

// A common point read as if each side had its height after its coordinates: from the values of
// the line in order, the passed fields after the target's; none where they do not read.
std::optional<CommonPoint> WithHeights(const FitJob& o, const CommonPoint& p,
                                       const std::vector<std::string>& passed) {
    std::vector<double> values;
    for (int k = 0; k < TypedCount(o.from, false); ++k) values.push_back(p.source[k]);
    for (int k = 0; k < TypedCount(o.to, false); ++k) values.push_back(p.target[k]);
    for (const std::string& field : passed) {
        const std::optional<double> v = TryParseNumber(TrimBlanks(field));
        if (!v) break;
        values.push_back(*v);
    }
    const int from = TypedCount(o.from, true), to = TypedCount(o.to, true);
    if (static_cast<int>(values.size()) < from + to) return std::nullopt;
    CommonPoint q{p.name, {0, 0, 0}, {0, 0, 0}, false};
    for (int k = 0; k < from; ++k) q.source[k] = values[k];
    for (int k = 0; k < to; ++k) q.target[k] = values[from + k];
    return q;
}

// Whether every line reads, with heights, as one point's two sides: a file with heights given
// without --heights. Geodetic sides, typed in packed degrees, and chosen fields are not guessed.
bool CarriesHeights(const FitJob& o, const std::vector<CommonPoint>& points,
                    const std::vector<std::vector<std::string>>& passed) {
    if (o.fit.heights || !o.reading.fields.empty() || o.reading.decimalComma || points.empty())
        return false;
    for (const CoordinateSystem* s : {&o.from, &o.to}) {
        if (s->kind == SystemKind::Geodetic) return false;
    }
    if (o.from.kind == SystemKind::Geocentric && o.to.kind == SystemKind::Geocentric) {
        return false;
    }
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::optional<CommonPoint> q = WithHeights(o, points[i], passed[i]);
        if (!q || !SidesMeet(o.from, o.to, *q)) return false;
    }
    return true;
}

}  // namespace

void WarnOfFlagged(std::ostream& err, const std::vector<PointResidual>& points, bool dropStopped,
                   const std::string& prefix, double factor, bool dropOutliers) {
    std::vector<std::string> flagged;
    bool fitted = false;
    for (const PointResidual& p : points) {
        if (!p.flagged || p.use == PointUse::Dropped) continue;
        flagged.push_back(p.name);
        fitted = fitted || p.use == PointUse::Fit;
    }
    const std::size_t count = flagged.size();
    const std::string names = BoundedList(flagged);
    if (count > 0) {
        err << "quorvel-batch: " << Tr("warning: ") << prefix
            << Fill(TrN("{0} point beyond {1}σ0: {2}", "{0} points beyond {1}σ0: {2}", count),
                    {std::to_string(count), ShortestText(factor), names});
        if (dropStopped) {
            err << Tr("; ")
                << Tr("dropping stopped before it would leave out more than a third of the fitted "
                      "points: so many outliers say the points are not one transformation's, or "
                      "K is too small");
        } else if (fitted) {
            err << Tr("; ")
                << (dropOutliers ? Tr("too few points are left to drop more")
                                 : Tr("--drop-outliers fits again without the flagged "
                                      "points, the worst first"));
        }
        err << '\n';
    }
}

void WarnOfFit(std::ostream& err, const FitJob& o, const FitResult& r) {
    WarnOfFlagged(err, r.points, r.dropStopped, "", o.fit.outlierFactor, o.fit.dropOutliers);
    const double weak = RotationStandardError(r);
    if (r.twoDimensional && weak > kWeakRotationSeconds) {
        err << "quorvel-batch: " << Tr("warning: ")
            << Fill(Tr("the common points span too small an area to fix the rotations of a "
                       "two-dimensional 7-parameter fit: their standard errors reach {0}″, and "
                       "the parameters hold for this area alone; use the 4-parameter model "
                       "(--model 4), or give heights (--heights)"),
                    {RoundedText(weak, 1)})
            << '\n';
    }
}

std::string FitRefusalText(const Error& e, const FitJob& o, const std::vector<CommonPoint>& points,
                           const std::vector<std::vector<std::string>>& passed) {
    const bool apart = e.kind() == ErrorKind::PointMismatch || e.kind() == ErrorKind::OutOfDomain;
    if (!apart || !CarriesHeights(o, points, passed)) {
        return e.what();
    }
    return Fill(Tr("{0}; the lines most likely carry heights, H after each side's coordinates: "
                   "give --heights"),
                {e.what()});
}

std::string BadLineRefusalText(const std::string& inputName, std::uint64_t line,
                               std::size_t count) {
    if (count == 1) {
        return Fill(Tr("{0}:{1}: a common point that does not read leaves a fit of other points "
                       "than those given; nothing is written: mend the line, or give "
                       "--skip-bad-lines to fit without it"),
                    {inputName, std::to_string(line)});
    }
    return Fill(Tr("{0}:{1}: {2} common points that do not read (this the first) leave a fit of "
                   "other points than those given; nothing is written: mend the lines, or give "
                   "--skip-bad-lines to fit without them"),
                {inputName, std::to_string(line), std::to_string(count)});
}

}  // namespace quorvel::engine
