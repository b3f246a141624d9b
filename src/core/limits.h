#pragma once

namespace quorvel {

// The values a typed point cannot have, checked before anything is computed, by the window's
// batches and quorvel-batch alike. Eastings are checked less the false easting, after any zone
// number in front is taken off.
inline constexpr double kMaxLatitude = 90;            // |B|, degrees
inline constexpr double kMaxMeridianOffset = 45;      // |L − Lo| of a forward point, degrees
inline constexpr double kMaxNorthing = 10002000;      // |X|: the pole is 10,002,137 m away
inline constexpr double kMaxEastingOffset = 1000000;  // |Y − false easting|, metres

}  // namespace quorvel
