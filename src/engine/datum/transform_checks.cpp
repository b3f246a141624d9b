#include "engine/datum/transform_checks.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <sstream>
#include <tuple>
#include <vector>

#include "core/datum_fit.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "engine/reading/text_io.h"
#include "platform/files.h"

namespace quorvel::engine {
namespace {

static_assert(kMaxPointShift == kMaxSideSeparation,
              "transform refuses the shift fit refuses between a common point's sides");

constexpr std::size_t kMaxParameterFile = 1 << 20;

}  // namespace

std::optional<JobRefusal> ReadParameterText(const std::string& path, std::string& text) {
    FdCloser file{platform::OpenToRead(path)};
    platform::FileInfo st;
    if (file.fd < 0 || !platform::InfoOf(file.fd, st)) {
        return Refuse(CannotRead(path, std::strerror(errno)), false);
    }
    if (st.kind == platform::FileKind::Folder)
        return Refuse(CannotRead(path, ItIsAFolder()), false);
    std::string read;
    char buffer[1 << 14];
    for (;;) {
        const long n = platform::ReadSome(file.fd, buffer, sizeof buffer);
        if (n < 0) return Refuse(CannotRead(path, std::strerror(errno)), false);
        if (n == 0) break;
        read.append(buffer, static_cast<std::size_t>(n));
        if (read.size() > kMaxParameterFile) {
            return Refuse(Fill(Tr("{0}: {1}"), {path, Tr("more than 1 MiB: not a parameter file")}),
                          false);
        }
    }
    text = std::move(read);
    return std::nullopt;
}

bool SameSystem(const CoordinateSystem& a, const CoordinateSystem& b) {
    return a.kind == b.kind && a.ellipsoid.a == b.ellipsoid.a && a.ellipsoid.f == b.ellipsoid.f &&
           a.zoneWidth == b.zoneWidth &&
           (a.kind != SystemKind::Plane || a.zoneWidth || a.centralMeridian == b.centralMeridian);
}

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Two words of a pipeline alike: the same, or the same key with numbers of one value.
bool SameWord(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const std::size_t ea = a.find('='), eb = b.find('=');
    if (ea == std::string::npos || a.substr(0, ea + 1) != b.substr(0, eb + 1)) return false;
    const std::optional<double> x = TryParseNumber(std::string_view(a).substr(ea + 1));
    const std::optional<double> y = TryParseNumber(std::string_view(b).substr(eb + 1));
    return x && y && std::abs(*x - *y) <= 1e-12 * std::max(1.0, std::abs(*x));
}

std::string Kilometres(double metres) {
    return RoundedText(metres / 1000, 1);
}

}  // namespace

bool ProjLineMatches(const ParameterFile& f) {
    if (f.proj.empty()) return true;
    std::string made;
    try {
        made = ProjPipeline(f.from, f.to, f.parameters, f.fromZone, f.toZone);
    } catch (const InvalidParameterError&) {
        return true;
    }
    const std::vector<std::string> a = Words(f.proj), b = Words(made);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!SameWord(a[i], b[i])) return false;
    }
    return true;
}

PointChecks::PointChecks(const ParameterFile& file, const DatumTransform& transform)
    : file_(file), transform_(transform) {
    if (!file.area) return;
    area_.emplace(*file.area, file.from.ellipsoid);
    outside_ = OutsideLimit(file.area->radius);
    if (file.from.kind != SystemKind::Plane || (file.from.zoneWidth && file.fromZone < 0)) return;
    try {
        planeCentre_ = transform.source().FromGeodetic({file.area->l, file.area->b, 0},
                                                       file.from.zoneWidth ? file.fromZone : -1);
        centreZone_ = transform.source().ZoneOf(*planeCentre_);
    } catch (const Error&) {
    }
}

bool PointChecks::Refused(const Triple& v, Diagnostic& d) const {
    const CoordinateSystem& s = file_.from;
    d.count = 0;
    switch (s.kind) {
        case SystemKind::Plane:
            d.problem = Problem::WrongKind;
            if (std::abs(v[0]) <= 360 && std::abs(v[1]) <= 360) return true;
            // A zone number in front of Y makes it a million or more; none leaves it below.
            if (!s.zoneWidth && !(std::abs(v[1] - 500000) < 1e6)) return d.count = 1, true;
            if (s.zoneWidth && std::abs(v[1]) < 1e6) return d.count = 2, true;
            if (file_.parameters.model == DatumModel::Four) return OtherZone(v, d);
            return false;
        case SystemKind::Geodetic:
            d.problem = Problem::WrongKind;
            return !(std::abs(v[0]) <= 360 && std::abs(v[1]) <= 90);
        case SystemKind::Geocentric:
            d.problem = Problem::WrongKind;
            d.value = std::hypot(v[0], v[1], v[2]);
            return !(d.value > 6.2e6 && d.value < 6.5e6);
    }
    return false;
}

// The 4-parameter formula takes any Y: a zone number no zone has, or another zone than the
// file's, is caught here, as the 7- and 3-parameter conversions catch the first themselves.
bool PointChecks::OtherZone(const Triple& v, Diagnostic& d) const {
    if (!file_.from.zoneWidth) return false;
    int zone = -1;
    try {
        zone = transform_.source().ZoneOf(v);
    } catch (const Error& e) {
        d.problem = Problem::NotConverted;
        d.text2 = e.detail();
        return true;
    }
    if (file_.fromZone < 0 || zone == file_.fromZone) return false;
    d.problem = Problem::OtherZone;
    d.count = static_cast<std::uint64_t>(zone);
    d.field = static_cast<std::size_t>(file_.fromZone);
    return true;
}

double PointChecks::Shift(const Triple& source, const Triple& result) const {
    try {
        // Geocentric on both sides, as fit compares a common point's: the source point's H
        // lies along the vertical, which the distance leaves out.
        const Triple lbh = transform_.source().ToGeodetic(source);
        const AreaDistance at({lbh[0], lbh[1], 0}, file_.from.ellipsoid);
        return at(transform_.target().ToGeocentric(result));
    } catch (const Error&) {
        return std::numeric_limits<double>::infinity();
    }
}

double PointChecks::Outside(const Triple& source) const {
    if (!area_) return 0;
    if (planeCentre_ && transform_.source().ZoneOf(source) == centreZone_ &&
        std::hypot(source[0] - (*planeCentre_)[0], source[1] - (*planeCentre_)[1]) <
            outside_ * (1 - 1e-3)) {
        return 0;
    }
    double d = 0;
    try {
        d = (*area_)(transform_.source().ToGeocentric(source));
    } catch (const Error&) {
        return 0;  // rejected by the transformation itself
    }
    return d > outside_ ? d : 0;
}

std::string MovedTooFar(const std::string& where, const std::string& values, double metres,
                        const std::string& parameterFile) {
    if (!std::isfinite(metres)) {
        return Fill(Tr("{0}: {1}: the parameters move this point where the target system has "
                       "none: is {2} the parameter file for this input?"),
                    {where, values, parameterFile});
    }
    return Fill(Tr("{0}: {1}: the parameters move this point by {2} km on the ground, more than "
                   "the 1 km that two datums' coordinates of one point lie apart: is {3} the "
                   "parameter file for this input?"),
                {where, values, Kilometres(metres), parameterFile});
}

std::string FarPointsWarning(const FarPoints& far, const CommonArea& area) {
    return Fill(TrN("{0} point lies farther outside the common points' area ({1} km around its "
                    "centre) than the area's size: {2} on line {3}, {4} km from the centre; the "
                    "parameters hold for the area they were fitted in",
                    "{0} points lie farther outside the common points' area ({1} km around its "
                    "centre) than the area's size; the farthest, {2} on line {3}, {4} km from the "
                    "centre; the parameters hold for the area they were fitted in",
                    far.count),
                {std::to_string(far.count), Kilometres(area.radius), far.name,
                 std::to_string(far.line), Kilometres(far.distance)});
}

}  // namespace quorvel::engine
