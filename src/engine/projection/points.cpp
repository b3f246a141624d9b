#include "engine/projection/points.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "core/classic_series.h"
#include "core/errors.h"
#include "core/limits.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/projection/run_projection.h"

namespace quorvel::engine {
namespace {

const ModeColumns kColumns[] = {
    {"forward", {"name", "L", "B", "X", "Y"}},
    {"inverse", {"name", "X", "Y", "L", "B"}},
    {"zone", {"name", "X1", "Y1", "X2", "Y2"}},
};

// The typed value as a number, or why it is not one.
std::optional<double> ReadValue(std::string_view text, int field, RowResult& result) {
    if (std::optional<double> v = TryParseNumber(text)) return v;
    result.field = field;
    try {
        ParseNumber(text);
        result.status = RowStatus::NotANumber;  // not reached: the two parses agree
    } catch (const OverflowError&) {
        result.status = RowStatus::OutOfRange;
    } catch (const Error&) {
        result.status = RowStatus::NotANumber;
    }
    return std::nullopt;
}

// Whether the minutes or seconds of a plain decimal may be 60 or more: the first digit of either
// after the point is 6 or more.
bool MayExceed60(std::string_view plain) {
    const std::size_t point = plain.find('.');
    if (point == std::string_view::npos) return false;
    const auto tens = [&](std::size_t at) { return at < plain.size() && plain[at] >= '6'; };
    return tens(point + 1) || tens(point + 3);
}

// A typed packed angle in decimal degrees; a plain decimal is decoded from the digits typed.
std::optional<double> ReadAngle(std::string_view text, int field, RowResult& result,
                                bool& mayExceed60) {
    if (const std::optional<PlainDecimal> d = ReadPlainDecimal(text)) {
        mayExceed60 = mayExceed60 || MayExceed60(text);
        return DecodePackedAngle(*d);
    }
    mayExceed60 = true;
    const std::optional<double> v = ReadValue(text, field, result);
    if (!v) return v;
    return DecodePackedAngle(*v);
}

// The two typed values of `mode`: forward angles decoded from packed degrees, coordinates as
// numbers; nothing when one does not read, `r` saying why.
std::optional<std::pair<double, double>> ReadTyped(Computation mode, std::string_view first,
                                                   std::string_view second, RowResult& r) {
    const bool angles = mode == Computation::Forward;
    bool mayExceed60 = false;
    const std::optional<double> a =
        angles ? ReadAngle(first, 1, r, mayExceed60) : ReadValue(first, 1, r);
    if (!a) return std::nullopt;
    const std::optional<double> b =
        angles ? ReadAngle(second, 2, r, mayExceed60) : ReadValue(second, 2, r);
    if (!b) return std::nullopt;
    r.mayExceed60 = mayExceed60;
    return std::pair{*a, *b};
}

}  // namespace

const ModeColumns& ColumnsOf(Computation mode) {
    return kColumns[static_cast<int>(mode) - 1];
}

namespace {

// Refuses the row when `value` lies beyond `limit` (core/point_verdict.h).
bool Beyond(RowResult& r, int field, Limit limit, double value, Method method = Method::Classic) {
    if (!IsBeyond(limit, value, method)) return false;
    r.status = RowStatus::BeyondLimit;
    r.field = field;
    r.limit = limit;
    r.value = value;
    return true;
}

const ClassicCheck& Check() {
    static const ClassicCheck check;
    return check;
}

// Keeps the verdict on the classic series: the miss, and the row refused where it is.
void Keep(RowResult& r, const SeriesJudgement& j) {
    r.miss = j.miss;
    r.offset = j.offset;
    r.fromTarget = j.fromTarget;
    if (j.verdict == SeriesVerdict::Refused) r.status = RowStatus::Inaccurate;
}

// An easting beyond the limit that carries the zone number of the central meridian itself, as
// 39512345.678 or 20512345.678 for 117°: the number taken off, which the result counts.
void TakeOffOwnZoneNumber(RowResult& r, double& Y, double falseEasting, double Lo) {
    if (!IsBeyond(Limit::EastingOffset, Y - falseEasting)) return;
    if (const std::optional<double> without = WithoutOwnZoneNumber(Y, falseEasting, Lo)) {
        Y = *without;
        r.zoneNumberTakenOff = true;
    }
}

}  // namespace

RowResult ComputeRow(Computation mode, const EllipsoidConstants& constants,
                     const Meridians& meridians, std::string_view first, std::string_view second) {
    RowResult r;
    const std::optional<std::pair<double, double>> typed = ReadTyped(mode, first, second, r);
    if (!typed) return r;
    const auto [a, b] = *typed;

    switch (mode) {
        case Computation::Forward: {
            const double latitude = b;
            const double longitude = a;
            if (Beyond(r, 2, Limit::Latitude, latitude)) return r;
            const double l = MeridianOffset(longitude, meridians.lo);
            if (Beyond(r, 1, Limit::MeridianOffset, l)) return r;
            const PlanePoint p = ForwardProject(constants, latitude, longitude, meridians.lo);
            r.first = p.X;
            r.second = p.Y();
            Keep(r, JudgeForward(Check(), latitude, l, [&] {
                     return std::pair{p.X, p.Sign * p.AbsY};
                 }));
            break;
        }
        case Computation::Inverse:
        case Computation::Zone: {
            if (Beyond(r, 1, Limit::Northing, a)) return r;
            double Y = b;
            TakeOffOwnZoneNumber(r, Y, FalseEasting, meridians.lo);
            if (Beyond(r, 2, Limit::EastingOffset, Y - FalseEasting)) return r;
            const double y = Y - FalseEasting;
            if (mode == Computation::Inverse) {
                const GeodeticPoint g = InverseProject(constants, a, Y, meridians.lo);
                r.first = DegreesToPacked(g.L);
                r.second = DegreesToPacked(g.B);
                Keep(r, JudgeInverse(Check(), a, y, [&] {
                         return std::pair{g.B, g.L - meridians.lo};
                     }));
                break;
            }
            const PlanePoint p = ZoneTransform(constants, a, Y, meridians.lo, meridians.ls);
            r.first = p.X;
            r.second = p.Y();
            const double shift = MeridianOffset(meridians.ls, meridians.lo);
            Keep(r, JudgeZone(Check(), a, y, shift, [&] {
                     return std::pair{p.X, p.Sign * p.AbsY};
                 }));
            break;
        }
    }
    if (!std::isfinite(r.first) || !std::isfinite(r.second)) r.status = RowStatus::NoFiniteResult;
    return r;
}

namespace {

constexpr double kRadPerDeg = 0.017453292519943295;

}  // namespace

double NorthMillimetres(const GeographicLib::Ellipsoid& e, double B, double dB) {
    return dB * kRadPerDeg * e.MeridionalCurvatureRadius(B) * 1000;
}

double EastMillimetres(const GeographicLib::Ellipsoid& e, double B, double dL) {
    return dL * kRadPerDeg * e.TransverseCurvatureRadius(B) * std::cos(B * kRadPerDeg) * 1000;
}

Projector::Projector(const Geodesy& geodesy)
    : geodesy_(geodesy), projection_(RunProjection(geodesy)) {
    if (geodesy.compare) {
        exact_.emplace(Method::Exact, geodesy.ellipsoid, geodesy.k0, geodesy.falseEasting,
                       geodesy.projectionHeight);
        radii_.emplace(geodesy.ellipsoid.a, geodesy.ellipsoid.f);
    }
}

void Projector::Compare(RowExtras& x, const GridPoint& classic, double B, double L,
                        double Lo) const {
    try {
        const GridPoint e = exact_->Forward(B, L, Lo);
        x.diff1 = (classic.X - e.X) * 1000;
        x.diff2 = (classic.y - e.y) * 1000;
    } catch (const OutOfDomainError&) {
    }
}

RowResult Projector::Compute(Computation mode, const Meridians& meridians, std::string_view first,
                             std::string_view second, RowExtras& x) const {
    x = RowExtras();
    RowResult r;
    const std::optional<std::pair<double, double>> typed = ReadTyped(mode, first, second, r);
    if (!typed) return r;
    const auto [a, b] = *typed;
    double Lo = meridians.lo;  // the point's central meridian, once its zone is known
    try {
        if (mode == Computation::Forward) {
            Forward(a, b, Lo, r, x);
        } else {
            FromPlane(mode, a, b, meridians.ls, Lo, r, x);
        }
    } catch (const BeyondExactOffsetError& e) {
        // Beyond the exact method's 35° from the point's own meridian: that limit, named. Too far
        // from a zone change's Ls, the point has no result here.
        if (e.meridian() == Lo) {
            r.status = RowStatus::BeyondLimit;
            r.field = mode == Computation::Forward ? 1 : 2;
            r.limit = Limit::MeridianOffset;
            r.value = e.offset();
        } else {
            r.status = RowStatus::NoFiniteResult;
        }
        return r;
    } catch (const OutOfDomainError&) {
        r.status = RowStatus::NoFiniteResult;
        return r;
    }
    if (!std::isfinite(r.first) || !std::isfinite(r.second)) r.status = RowStatus::NoFiniteResult;
    return r;
}

Extras Projector::AskedExtras() const {
    return geodesy_.convergence || geodesy_.scale || geodesy_.distortion
               ? Extras::ConvergenceAndScale
               : Extras::None;
}

void Projector::SetEasting(double Y, const RowExtras& x, RowResult& r) const {
    const Geodesy& g = geodesy_;
    r.second = Y;
    if (!g.zone || !g.zonePrefix) return;
    r.second = WithZonePrefix(*g.zone, x.zone, Y);
    // The number in front reads back as this zone only while y lies within ±500 km of its
    // meridian, also once rounded to 0.1 mm: a zone change to a distant meridian goes farther,
    // and would be read as the next zone, degrees off.
    const auto readsBack = [&](double Yp) {
        const double n = std::round((Yp - WithoutZonePrefix(Yp, g.falseEasting)) / kZonePrefixUnit);
        return n == (x.zone == 0 ? 120 : x.zone);
    };
    if (readsBack(r.second) && readsBack(std::round(r.second * 1e4) / 1e4)) return;
    r.status = RowStatus::BeyondLimit;
    r.field = 2;
    r.limit = Limit::PrefixedEasting;
    r.value = Y - g.falseEasting;
    r.offset = r.second;
}

void Projector::Forward(double L, double B, double& Lo, RowResult& r, RowExtras& x) const {
    const Geodesy& g = geodesy_;
    const bool exact = g.method == Method::Exact;
    if (Beyond(r, 2, Limit::Latitude, B)) return;
    if (g.zone) {
        if (Beyond(r, 1, Limit::Longitude, L)) return;
        L = ZoneLongitude(L);
        x.zone = ZoneOf(*g.zone, L);
        Lo = CentralMeridianOf(*g.zone, x.zone);
    }
    const double l = MeridianOffset(L, Lo);
    if (Beyond(r, 1, Limit::MeridianOffset, l, g.method)) return;
    const GridPoint p = projection_.Forward(B, L, Lo, AskedExtras());
    r.first = p.X;
    SetEasting(p.Y, x, r);
    if (r.status != RowStatus::Ok) return;
    if (!exact) {
        const double s = g.PlaneScale();
        Keep(r, JudgeForward(
                    Check(), B, l,
                    [&] {
                        return std::pair{p.X / s, p.y / s};
                    },
                    s));
    }
    x.convergence = p.Convergence;
    x.scale = p.Scale;
    x.latitude = B;
    if (exact_) Compare(x, p, B, L, Lo);
}

void Projector::FromPlane(Computation mode, double X, double Y, double ls, double& Lo, RowResult& r,
                          RowExtras& x) const {
    const Geodesy& g = geodesy_;
    if (Beyond(r, 1, Limit::Northing, X)) return;
    if (g.zone) {
        ZonedEasting z;
        try {
            // An easting without a number is a number forgotten, never zone 0: that is written
            // as 120.
            z = SplitZonePrefix(*g.zone, Y, g.falseEasting);
        } catch (const OutOfDomainError&) {
            r.status = RowStatus::BeyondLimit;
            r.field = 2;
            r.limit = Limit::ZoneNumber;
            r.value = Y;
            return;
        }
        Lo = CentralMeridianOf(*g.zone, z.zone);
        Y = z.Y;
    } else {
        TakeOffOwnZoneNumber(r, Y, g.falseEasting, Lo);
    }
    if (Beyond(r, 2, Limit::EastingOffset, Y - g.falseEasting)) return;
    if (mode == Computation::Inverse) {
        Inverse(X, Y, Lo, r, x);
    } else {
        Zone(X, Y, Lo, ls, r, x);
    }
}

void Projector::Inverse(double X, double Y, double Lo, RowResult& r, RowExtras& x) const {
    const Geodesy& g = geodesy_;
    const GeoPoint q = projection_.Inverse(X, Y, Lo, AskedExtras());
    r.first = DegreesToPacked(q.L);
    r.second = DegreesToPacked(q.B);
    const double s = g.PlaneScale();
    const double x1 = X / s, y1 = (Y - g.falseEasting) / s;
    if (g.method != Method::Exact) {
        Keep(r, JudgeInverse(Check(), x1, y1, [&] { return std::pair{q.B, q.L - Lo}; }));
    }
    x.convergence = q.Convergence;
    x.scale = q.Scale;
    x.latitude = q.B;
    if (exact_) {
        try {
            const GeoPoint e = exact_->Inverse(X, Y, Lo);
            x.diff1 = NorthMillimetres(*radii_, e.B, q.B - e.B);
            x.diff2 = EastMillimetres(*radii_, e.B, q.L - e.L);
        } catch (const OutOfDomainError&) {
        }
    }
}

void Projector::Zone(double X, double Y, double Lo, double ls, RowResult& r, RowExtras& x) const {
    const Geodesy& g = geodesy_;
    double Ls = ls;
    std::optional<GeoPoint> at;  // the point itself, when needed
    if (g.zone) {
        x.zone = g.targetZone;
        if (x.zone < 0) {
            at = projection_.Inverse(X, Y, Lo);
            x.zone = ZoneOf(*g.zone, ZoneLongitude(at->L));
        }
        Ls = CentralMeridianOf(*g.zone, x.zone);
        Ls = NearMeridian(Ls, at ? at->L : Lo);
    }
    const GridPoint p = projection_.Zone(X, Y, Lo, Ls, AskedExtras());
    r.first = p.X;
    SetEasting(p.Y, x, r);
    if (r.status != RowStatus::Ok) return;
    x.convergence = p.Convergence;
    x.scale = p.Scale;
    if (g.distortion) x.latitude = at ? at->B : projection_.Inverse(X, Y, Lo).B;
    const double s = g.PlaneScale();
    const double x1 = X / s, y1 = (Y - g.falseEasting) / s;
    const double shift = MeridianOffset(Ls, Lo);
    if (g.method != Method::Exact) {
        Keep(r, JudgeZone(
                    Check(), x1, y1, shift,
                    [&] {
                        return std::pair{p.X / s, p.y / s};
                    },
                    s));
    }
    if (exact_) {
        try {
            const GridPoint e = exact_->Zone(X, Y, Lo, Ls);
            x.diff1 = (p.X - e.X) * 1000;
            x.diff2 = (p.y - e.y) * 1000;
        } catch (const OutOfDomainError&) {
        }
    }
}

std::vector<std::string_view> ExtraColumnNames(const Geodesy& g, Computation mode) {
    std::vector<std::string_view> columns;
    if (g.ZoneColumn(mode)) columns.emplace_back("zone");
    if (g.convergence) columns.emplace_back("gamma");
    if (g.scale) columns.emplace_back("k");
    if (g.compare) {
        columns.emplace_back(mode == Computation::Inverse ? "dB" : "dX");
        columns.emplace_back(mode == Computation::Inverse ? "dL" : "dY");
    }
    if (g.distortion) columns.emplace_back("distortion");
    return columns;
}

char* WriteExtra(char* out, const Geodesy& g, Computation mode, const RowExtras& x,
                 std::size_t column, bool full) {
    auto number = [&](double v, int decimals) {
        if (!std::isfinite(v)) return out;
        return full ? WriteFullText(out, v) : WriteRoundedText(out, v, decimals);
    };
    if (g.ZoneColumn(mode) && column-- == 0) return std::to_chars(out, out + 8, x.zone).ptr;
    if (g.convergence && column-- == 0) return number(DegreesToPacked(x.convergence), 6);
    if (g.scale && column-- == 0) return number(x.scale, 10);
    if (g.compare && column < 2) return number(column == 0 ? x.diff1 : x.diff2, 3);
    if (g.compare) column -= 2;
    if (g.distortion && column == 0) return number(x.distortion, 2);
    return out;
}

char* WriteExtras(char* out, const Geodesy& g, Computation mode, const RowExtras& x, bool full) {
    const std::size_t columns = (g.ZoneColumn(mode) ? 1 : 0) + (g.convergence ? 1 : 0) +
                                (g.scale ? 1 : 0) + (g.compare ? 2 : 0) + (g.distortion ? 1 : 0);
    for (std::size_t k = 0; k < columns; ++k) {
        *out++ = ',';
        out = WriteExtra(out, g, mode, x, k, full);
    }
    return out;
}

namespace {

std::optional<PackedExcessValue> PackedExcessOf(std::string_view text, bool halfWidth) {
    // One pass: this runs for both angles of every forward point.
    std::size_t point = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') point = i;
        if (c == 'e' || c == 'E') return std::nullopt;
        if ((c & 0x80) != 0 && !halfWidth) {  // typed in full-width mode
            std::string ascii;
            ToHalfWidth(text, ascii);
            return PackedExcessOf(ascii, true);
        }
    }
    if (point == std::string_view::npos) return std::nullopt;
    auto twoDigits = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = at; i < at + 2; ++i) {
            const char c = i < text.size() ? text[i] : '0';
            if (c < '0' || c > '9') return -1;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    if (const int m = twoDigits(point + 1); m >= 60) return PackedExcessValue{m, false};
    if (point + 3 < text.size()) {
        if (const int s = twoDigits(point + 3); s >= 60) return PackedExcessValue{s, true};
    }
    return std::nullopt;
}

}  // namespace

std::optional<PackedExcessValue> FindPackedExcess(std::string_view text) {
    return PackedExcessOf(text, false);
}

std::string PackedExcess(std::string_view text) {
    const std::optional<PackedExcessValue> e = FindPackedExcess(text);
    if (!e) return {};
    return std::to_string(e->amount) + (e->seconds ? " seconds" : " minutes");
}

char* WriteFullText(char* out, double value) {
    // Fixed notation without a precision: the fewest digits that read back as `value`.
    return std::to_chars(out, out + kMaxResultText, value, std::chars_format::fixed).ptr;
}

char* WriteResult(char* out, Computation mode, double value, bool full) {
    if (full) return WriteFullText(out, value);
    return WriteRoundedText(out, value, mode == Computation::Inverse ? 10 : 4);
}

}  // namespace quorvel::engine
