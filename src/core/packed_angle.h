#pragma once

#include <string>

#include "core/number_text.h"

namespace quorvel {

// Angles are typed and reported as packed degrees: 116.3045 is 116°30′45″, further decimals are
// fractions of a second, and minutes or seconds of 60 or more are taken as they are.

// Packed degrees to decimal degrees, read from the decimal digits of the value's shortest
// round-trip text: truncating 100·v in binary would turn 0.29 into 0°28′100″.
double DecodePackedAngle(double packed);
// The same for a typed plain decimal, from the digits typed: below 10^15 they are its value's
// shortest round-trip digits, so no text or search for them is needed.
double DecodePackedAngle(const PlainDecimal& typed);

namespace detail {
// The decoding through the shortest round-trip text alone, without the arithmetic shortcut that
// DecodePackedAngle takes for short decimals; the two must agree for every double.
double DecodePackedAngleFromText(double packed);
}  // namespace detail

// Decimal degrees to packed degrees. No carry: a minute the products leave just below a whole
// number keeps nearly 60 seconds (117.35 gives 117.2059999…).
double DegreesToPacked(double degrees);

// Degrees as d°mm′ss″ for messages, rounded to the second ("-1°30′00″"); beyond a million
// degrees in general notation. Not GeographicLib::DMS::Encode: it writes d, ' and " instead of
// the marks, and rounds a half second to even (0.03125° is 0d01'52"; here 0°01′53″).
std::string DegreesText(double degrees);

}  // namespace quorvel
