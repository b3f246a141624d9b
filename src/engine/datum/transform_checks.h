#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "core/coordinate_system.h"
#include "core/datum.h"
#include "core/datum_fit.h"
#include "core/parameter_file.h"
#include "engine/run/diagnostics.h"
#include "engine/run/refusal.h"

namespace quorvel::engine {

// Whether transform's input and its parameter file belong together. The first point that reads
// decides: any mismatch there refuses the run before anything is written; later lines that do
// not match are rejected alone, as any other bad line.

// Reads the parameter file at `path` as transform and the window read it.
//
// @param[in] path the file's path.
// @param[out] text the file's bytes; untouched when refused.
// @return the refusal of a file that cannot be read, a folder, or a file of more than 1 MiB
//   (no parameter file: refused, never cut), or nothing.
std::optional<JobRefusal> ReadParameterText(const std::string& path, std::string& text);

// Whether two systems are the same: kind, ellipsoid, zones, and a plane system's meridian.
bool SameSystem(const CoordinateSystem& a, const CoordinateSystem& b);

// Whether the file's proj line is the pipeline of its parameters, blanks aside and numbers
// compared by value (to 1e-12 of their size). True without a proj line, and when the pipeline
// cannot be made again (a zoned side whose zone the file does not record).
bool ProjLineMatches(const ParameterFile& f);

// The points farther outside the common points' area than a warning allows, counted over a
// run, and the farthest of them.
struct FarPoints {
    std::size_t count = 0;
    double distance = 0;  // metres from the area's centre, of the farthest
    std::size_t line = 0;
    std::string name;
};

// The checks of transform's points against the parameter file: made once, then const and
// safe to call from several threads at once.
class PointChecks {
  public:
    PointChecks(const ParameterFile& file, const DatumTransform& transform);

    // A source point that cannot be one of the file's: values that cannot be its source
    // system's (WrongKind: degrees where metres belong or the reverse, a zone number the system
    // has not or lacks, far from the Earth) or, for a 4-parameter file, a zone number no zone
    // has (NotConverted, text2 why) or, fitted in one zone, a point of another zone
    // (OtherZone). Sets d.problem, d.count, d.field, d.value, d.text2.
    bool Refused(const Triple& source, Diagnostic& d) const;

    // How far, in metres, the transformation moves a point on the ground (horizontally):
    // infinity when the result is no point of the target system.
    double Shift(const Triple& source, const Triple& result) const;

    // The distance of a point from the common points' area's centre when it lies farther
    // outside the area than the area's size (its diameter, at least 1 km); 0 when it does not,
    // or the file records no area.
    double Outside(const Triple& source) const;

  private:
    bool OtherZone(const Triple& source, Diagnostic& d) const;

    ParameterFile file_;
    const DatumTransform& transform_;
    std::optional<AreaDistance> area_;
    double outside_ = 0;  // the distance from the centre beyond which a point lies outside
    // A plane source's area centre as typed, in the file's zone: the grid distance, never less
    // than the ground distance (k ≥ 1), clears most points without the exact inverse.
    std::optional<Triple> planeCentre_;
    int centreZone_ = -1;
};

// The refusal of a first point that the transformation moves farther than kMaxPointShift
// (`metres`), or where the target system has no point (`metres` infinite).
std::string MovedTooFar(const std::string& where, const std::string& values, double metres,
                        const std::string& parameterFile);

// The warning of the points farther outside the area (without "warning: ").
std::string FarPointsWarning(const FarPoints& far, const CommonArea& area);

}  // namespace quorvel::engine
