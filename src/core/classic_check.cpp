#include "core/classic_check.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

#include "core/ellipsoid.h"
#include "core/gauss_kruger.h"
#include "core/messages.h"

namespace quorvel {
namespace {

constexpr double kForwardBound = 7.5;  // degrees from the central meridian
constexpr double kBand = 250000;       // metres of northing

// For a band of |X|: the |y| below which the inverse series miss by less than 4.1 mm, and the
// largest longitude offset per 100 km of |y| there (degrees). Printed by `bench/accuracy
// --bounds`.
struct InverseBand {
    double y;
    double degreesPer100km;
};
constexpr InverseBand kInverseBands[] = {
    {372000, 0.900}, {313000, 0.903}, {282000, 0.906}, {263000, 0.911}, {249000, 0.917},
    {238000, 0.925}, {229000, 0.935}, {221000, 0.946}, {215000, 0.959}, {209000, 0.974},
    {205000, 0.991}, {200000, 1.010}, {196000, 1.031}, {193000, 1.055}, {189000, 1.082},
    {186000, 1.112}, {183000, 1.146}, {180000, 1.183}, {178000, 1.226}, {175000, 1.273},
    {173000, 1.326}, {170000, 1.386}, {168000, 1.454}, {165000, 1.531}, {162000, 1.620},
    {160000, 1.722}, {157000, 1.841}, {154000, 1.982}, {151000, 2.149}, {148000, 2.351},
    {144000, 2.599}, {140000, 2.910}, {136000, 3.313}, {131000, 3.851}, {125000, 4.607},
    {116000, 5.742}, {99000, 7.637},  {71000, 11.424}, {38000, 22.731}, {0, 0},
    {0, 0},
};

const InverseBand* BandOf(double X) {
    const double k = std::fabs(X) / kBand;
    if (!(k < std::size(kInverseBands))) return nullptr;
    return &kInverseBands[static_cast<std::size_t>(k)];
}

constexpr double kRadPerDeg = 0.017453292519943295;

// The distance on the ground of differences in latitude and longitude at latitude B, through
// the meridian radius M = a(1 − e²)/W³ and the radius of the parallel a·cos B/W.
double GroundDistance(double a, double e2, double B, double dB, double dl) {
    const double s = std::sin(B * kRadPerDeg);
    const double w = std::sqrt(1 - e2 * s * s);
    const double north = dB * kRadPerDeg * a * (1 - e2) / (w * w * w);
    const double east = dl * kRadPerDeg * a * std::cos(B * kRadPerDeg) / w;
    return std::hypot(north, east);
}

double Finite(double metres) {
    return std::isfinite(metres) ? metres : std::numeric_limits<double>::infinity();
}

}  // namespace

bool ForwardMayMiss(double /*B*/, double l) {
    return !(std::fabs(l) <= kForwardBound);
}

bool InverseMayMiss(double X, double y) {
    const InverseBand* band = BandOf(X);
    return band == nullptr || !(std::fabs(y) < band->y);
}

bool ZoneMayMiss(double X1, double y1, double shift) {
    const InverseBand* band = BandOf(X1);
    return band == nullptr || !(std::fabs(y1) < band->y) ||
           !(std::fabs(shift) + std::fabs(y1) * band->degreesPer100km / 1e5 <= kForwardBound);
}

ClassicCheck::ClassicCheck()
    : exact_(Krassovsky().a, Krassovsky().f, 1),
      a_(Krassovsky().a),
      e2_(Krassovsky().f * (2 - Krassovsky().f)) {}

SeriesMiss ClassicCheck::Forward(double B, double l, double X, double y) const {
    SeriesMiss m;
    m.offset = std::fabs(l);
    if (!(m.offset <= kExactMaxOffset)) return m;
    double xe, ye;
    exact_.Forward(0, B, l, ye, xe);
    m.metres = Finite(std::hypot(X - xe, y - ye));
    return m;
}

SeriesMiss ClassicCheck::Inverse(double X, double y, double B, double l) const {
    SeriesMiss m;
    double be, le;
    exact_.Reverse(0, y, X, be, le);
    m.offset = std::fabs(le);
    if (!(m.offset <= kExactMaxOffset)) return m;
    m.metres = Finite(GroundDistance(a_, e2_, be, B - be, l - le));
    return m;
}

SeriesMiss ClassicCheck::Zone(double X1, double y1, double shift, double X2, double y2) const {
    SeriesMiss m;
    double b, l1;
    exact_.Reverse(0, y1, X1, b, l1);
    const double l2 = l1 - shift;
    m.fromTarget = std::fabs(l2) > std::fabs(l1);
    m.offset = std::fmax(std::fabs(l1), std::fabs(l2));
    if (!(m.offset <= kExactMaxOffset)) return m;
    double xe, ye;
    exact_.Forward(0, b, l2, ye, xe);
    m.metres = Finite(std::hypot(X2 - xe, y2 - ye));
    return m;
}

std::string MissText(double metres) {
    char number[64];
    if (metres < 1) {
        std::snprintf(number, sizeof number, "%.0f", metres * 1000);
        return Fill(Tr("{0} mm"), {number});
    }
    if (metres < 1000) {
        std::snprintf(number, sizeof number, "%.2f", metres);
        return Fill(Tr("{0} m"), {number});
    }
    if (metres < 1e6) {
        std::snprintf(number, sizeof number, "%.2f", metres / 1000);
        return Fill(Tr("{0} km"), {number});
    }
    return Tr("more than 1000 km");
}

}  // namespace quorvel
