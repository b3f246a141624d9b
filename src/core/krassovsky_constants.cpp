#include "core/krassovsky_constants.h"

#include <cmath>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel {

EllipsoidConstants EllipsoidConstants::Load() {
    EllipsoidConstants c;
    c.Pi = 3.1415926535;
    c.SemiMajorAxis = 6378245;
    c.FirstEccSq = 0.00669342162296594;
    c.SecondEccSq = 0.00673852541468349;
    c.DegPerRad = 180 / c.Pi;  // from the 10-decimal Pi, not the full-precision one
    c.ArcCoef0 = 111134.86108381;
    c.ArcCoef2 = 16036.4802694138;
    c.ArcCoef4 = 16.8280668849;
    c.ArcCoef6 = 0.0219753092;
    c.DegPerRad4 = std::pow(c.DegPerRad, 4);
    c.DegPerRad6 = std::pow(c.DegPerRad, 6);
    c.DegPerRad8 = std::pow(c.DegPerRad, 8);
    c.Loaded = true;
    return c;
}

void EllipsoidConstants::RequireLoaded() const {
    if (!Loaded) {
        throw DivisionByZeroError(
            Tr("the ellipsoid constants are not loaded: click \"开始计算\" first"));
    }
}

}  // namespace quorvel
