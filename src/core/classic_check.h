#pragma once

#include <GeographicLib/TransverseMercator.hpp>
#include <optional>
#include <string>

namespace quorvel {

// The classic series checked against the exact transverse Mercator.
//
// The classic series (core/classic_series.h) are power series in the distance from the central
// meridian, cut short: out from the meridian they drift from the exact projection, the inverse
// far sooner than the forward (README.md, "Accuracy"). A classic result is kept as it is while
// it lies within kClassicWarnMiss of the exact result, kept with a warning within
// kClassicMaxMiss, and refused beyond, or where the exact projection has no counterpart: more
// than kExactMaxOffset from a central meridian, which takes in a point past the pole.
//
// The comparison costs an exact projection (GeographicLib::TransverseMercator on Krassovsky), so
// it is made only where the series may be kClassicWarnMiss off: the *MayMiss tests are cheap
// bounds on the typed values, measured over all latitudes and northings (`bench/accuracy
// --bounds` prints the measurement) and kept with a margin; where they say no, the series miss
// by less than 5 mm (forward 3.4 mm, inverse 4.1 mm, zone 4.8 mm measured).
//
// Everything here is in the series' own terms: Krassovsky, k0 = 1, eastings as y, the signed
// distance from the central meridian (no false easting), angles in decimal degrees, distances in
// metres. A caller with another k0 divides the plane values by it first and multiplies plane
// misses by it. Every function is pure and safe to call from several threads at once.

// Below this miss (metres) a classic result is kept without a word.
inline constexpr double kClassicWarnMiss = 0.01;
// Beyond this miss (metres) a classic result is refused.
inline constexpr double kClassicMaxMiss = 1;

// Whether the classic forward projection of B, L may miss the exact one by kClassicWarnMiss.
//   B  latitude (degrees)
//   l  L − Lo as the series take it, not reduced modulo 360° (degrees)
// False only where the miss is below 3.4 mm: |l| up to 7.5°, at every latitude (the series
// reach 1 cm at 8.84° on the equator, farther out elsewhere).
bool ForwardMayMiss(double B, double l);

// Whether the classic inverse projection of X, y may miss the exact one by kClassicWarnMiss on
// the ground.
//   X  northing (metres)
//   y  easting less the false easting (metres)
// False only where the miss is below 4.1 mm: |y| below a limit measured for every 250 km band
// of |X|, 0.8 of the |y| where the series first reach 1 cm in that band (372 km on the equator,
// 196 km at 3,000 km north, 99 km at 9,000 km; within 250 km of the pole always true).
bool InverseMayMiss(double X, double y);

// Whether the classic zone transformation of X1, y1 from Lo to Ls may miss the exact one by
// kClassicWarnMiss: InverseMayMiss, or the point may lie more than 7.5° from Ls.
//   X1 northing, y1 easting less the false easting on Lo (metres)
//   shift  Ls − Lo as the series take it, not reduced modulo 360° (degrees)
// False only where the miss is below 5 mm (4.8 mm the worst of 2,000,000 random points; at
// most the two misses added, 7.6 mm).
bool ZoneMayMiss(double X1, double y1, double shift);

// What a comparison with the exact projection found.
struct SeriesMiss {
    // Classic − exact in metres (infinite when the classic result is not finite); nothing when
    // the exact projection has no counterpart.
    std::optional<double> metres;
    // The exact point's distance from its central meridian (degrees), known even where it has
    // no counterpart (GeographicLib computes past 35°; past the pole the offset exceeds 90°).
    // For the zone transformation the farther of the two meridians, and `fromTarget` tells
    // whether that is Ls.
    double offset = 0;
    bool fromTarget = false;
};

// The exact projection that classic results are compared with. Construct once: the constructor
// prepares GeographicLib's series coefficients.
class ClassicCheck {
  public:
    ClassicCheck();

    // A classic forward result against the exact forward projection.
    //   B, l  the point as the series took it: latitude and L − Lo (degrees)
    //   X, y  the classic result: northing and easting less the false easting (metres)
    //   returns the distance in the plane between the classic and the exact point (metres);
    //     no counterpart for |l| > 35°
    SeriesMiss Forward(double B, double l, double X, double y) const;

    // A classic inverse result against the exact inverse projection.
    //   X, y  the plane point the series took (metres)
    //   B, l  the classic result: latitude and L − Lo (degrees)
    //   returns the distance on the ground between the classic and the exact point (metres),
    //     as the differences in latitude and longitude through the meridian radius and the
    //     radius of the parallel at the exact point's latitude; no counterpart where the exact
    //     point lies more than 35° from the central meridian (which takes in a point past the
    //     pole)
    SeriesMiss Inverse(double X, double y, double B, double l) const;

    // A classic zone transformation against the exact inverse on Lo and forward on Ls.
    //   X1, y1  the plane point on Lo the series took (metres)
    //   shift   Ls − Lo as the series take it (degrees)
    //   X2, y2  the classic result on Ls (metres)
    //   returns the distance in the plane between the classic and the exact point on Ls
    //     (metres); no counterpart where the exact point lies more than 35° from either
    //     meridian
    SeriesMiss Zone(double X1, double y1, double shift, double X2, double y2) const;

  private:
    GeographicLib::TransverseMercator exact_;
    double a_, e2_;  // of Krassovsky
};

// A miss of the classic series for messages: "84 mm", "444.51 m", "3.52 km" in the language of
// the messages.
std::string MissText(double metres);

}  // namespace quorvel
