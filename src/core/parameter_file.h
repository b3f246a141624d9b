#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/coordinate_system.h"
#include "core/datum.h"
#include "core/height_model.h"

namespace quorvel {

// A parameter file: UTF-8 text, one `key = value` a line; blank lines and lines starting with #
// are ignored, as is a byte order mark; keys in any letter case, blanks around keys and values
// ignored. The keys:
//   model       7, 4 or 3                                            required
//   convention  coordinate-frame or position-vector (or PROJ's       required for 7; the
//               coordinate_frame, position_vector)                   default for 4 and 3
//   from, to    the systems, KIND:ELLIPSOID[:WHERE]                  required
//   heights     yes or no: whether points carry H                    required
//   dx dy dz    metres; rx ry rz arc-seconds; ds ppm                 7 (3: dx dy dz only)
//   dx dy       metres (ΔX north, ΔY east); rotation arc-seconds;    4
//               scale ppm
//   fromZone,   the zone number of every common point of a zoned     optional
//   toZone      plane side
//   sigma0      σ0 of the fit, metres                                optional
//   points      number of common points fitted                       optional
//   centreL,    the common points' area (CommonArea): its centre in  optional, all three
//   centreB,    decimal degrees, its radius in metres                or none
//   radius
//   proj        the PROJ pipeline that gives the same results        optional
// A height model (core/height_model.h) goes with the datum's keys or alone, in a file without
// `model`, whose only other keys are then sigma0 and points (the height fit's):
//   height_model              fixed, plane or quadratic                   required for one
//   height_x0, height_y0      the fitted points' centre, metres           required
//   height_scale              their spread, metres, above 0               required
//   height_a0 … height_a5     the terms, metres: a0 fixed, a0–a2 plane,   required, no other
//                             a0–a5 quadratic
//   height_radius             the farthest fitted point from the centre   optional
//   height_sigma0,            σ0 of the height fit, and its points         optional
//   height_points
// Every parameter of the model is required and no other is allowed, so a hand-written file
// cannot leave a rotation out unnoticed. The 4-parameter model carries no heights (heights =
// yes is refused), and a scale (scale, ds) typed as a factor near 1 is refused (see
// ReadParameterFile).
struct ParameterFile {
    CoordinateSystem from;
    CoordinateSystem to;
    bool heights = false;
    DatumParameters parameters;
    double sigma0 = std::numeric_limits<double>::quiet_NaN();  // NaN when absent
    int points = -1;                                           // −1 when absent
    std::string proj;                                          // empty when absent
    int fromZone = -1, toZone = -1;                            // −1 when absent
    std::optional<CommonArea> area;
    bool datum = true;  // false: a file of a height model alone
    std::optional<HeightModel> height;
    double heightSigma0 = std::numeric_limits<double>::quiet_NaN();  // NaN when absent
    int heightPoints = -1;                                           // −1 when absent
};

// Reads a parameter file. Throws ParameterFileError naming the line ("line N: ...") for a line that
// is not `key = value`, an unknown or repeated key, a key the model does not use, a value that
// does not read (a system, a model, a number that is not finite); and for a missing key or a
// 4-parameter model whose sides are not both plane or with heights, a zone out of its system's
// range or on a side without zones. A scale written as a plain decimal from 0.999 to 1.001,
// other than 1, with 6 decimals or more throws too, naming the ppm it means as a factor: as ppm
// it would be known to 1e-6 ppm, beyond what any fit resolves (an exponent, 1.0000027e0, reads
// as ppm). Parameters beyond the limits throw OutOfDomainError (see CheckModelLimits).
ParameterFile ReadParameterFile(std::string_view text);

// Writes the file ReadParameterFile reads back to an equal ParameterFile (numbers in their
// shortest round-trip form, a scale that would read as a factor with an exponent), with a
// heading comment, a comment before the area and one before proj saying what the pipeline
// takes and gives, and, given `standardErrors` (the units of the parameters), a comment of each
// parameter's standard error.
// A height model is written after the datum's keys (alone without a datum), with a comment of
// how ζ is computed and, given `heightErrors`, of each term's standard error.
std::string WriteParameterFile(const ParameterFile& file,
                               const DatumParameters* standardErrors = nullptr,
                               const std::array<double, 6>* heightErrors = nullptr);

}  // namespace quorvel
