#pragma once

#include <cstdint>

namespace quorvel {

// Krassovsky ellipsoid as the program loads it. Default-constructed, the set is unset: every
// computation then fails with the division-by-zero error instead of computing from zeros.
struct EllipsoidConstants {
    double Pi = 0;
    std::int32_t SemiMajorAxis = 0;
    double FirstEccSq = 0;
    double SecondEccSq = 0;
    double DegPerRad = 0;
    double ArcCoef0 = 0;
    double ArcCoef2 = 0;
    double ArcCoef4 = 0;
    double ArcCoef6 = 0;
    // pow(DegPerRad, n) of the forward series, computed once: the same calls, so the same bits.
    double DegPerRad4 = 0;
    double DegPerRad6 = 0;
    double DegPerRad8 = 0;
    bool Loaded = false;

    // The values the start button stores; DegPerRad is derived from the 10-decimal Pi here.
    static EllipsoidConstants Load();

    // Throws DivisionByZeroError when unset.
    void RequireLoaded() const;
};

// Fixed literals of the meridian-arc series; in force whether or not the set is loaded.
inline constexpr double ArcCoef8 = 3.11311e-05;
inline constexpr double ArcCoef10 = 4.6e-08;
inline constexpr std::int32_t FalseEasting = 500000;

}  // namespace quorvel
