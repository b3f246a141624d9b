#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/coordinate_system.h"
#include "core/datum_fit.h"
#include "core/height_model.h"
#include "core/parameter_file.h"
#include "engine/reading/text_io.h"
#include "engine/run/diagnostics.h"
#include "engine/run/refusal.h"
#include "engine/run/rows.h"
#include "engine/run/run_loop.h"

namespace quorvel::engine {

// Datum transformations (坐标转换) as typed jobs: `fit` fits a transformation's parameters to
// common points, `transform` converts points with a parameter file's. Neither reads arguments,
// opens files or speaks of exit statuses: quorvel-batch's `fit` and `transform`
// (cli/datum_command.h) and the window's 坐标转换 both run these.
//
// Input: one point a line, as quorvel-batch reads every file (engine/reading/line_parser.h): fields
// separated by commas, tabs or blanks, quotes as in CSV, comments after #. A line holds the
// point's name, then the source system's coordinates, then (fit only) the target system's; the
// other fields pass through. Coordinates per system: plane X (north), Y (east), then H with
// heights, in metres, Y with the zone number in front for a zoned system; geodetic L, B as
// packed degrees (DDD.MMSSsss), then H in metres with heights; geocentric X, Y, Z in metres.
//
// What a user asked for that cannot be done comes back as a value, a JobRefusal
// (engine/run/refusal.h) said without the usage text; exceptions are for I/O only (IoError).

// How a datum run reads its lines.
struct DatumReading {
    // The 1-based fields of the name and of each coordinate, as --fields types them; empty:
    // in order from 1.
    std::vector<std::size_t> fields;
    bool decimalComma = false;  // a comma as the decimal point
    std::string encoding;       // iconv name of the input's encoding, for the words only
    bool header = false;        // the first line that is not empty or a comment is a header
};

// How quorvel-batch writes a datum run's CSV.
struct DatumWriting {
    bool full = false;  // numbers as the shortest round-trip decimal rather than rounded
    bool bom = false;   // a UTF-8 byte order mark first
};

// A conversion of points with a parameter file's transformation.
struct TransformJob {
    ParameterFile parameters;   // as core/parameter_file.h reads the file
    std::string parameterName;  // the file's name as the user knows it, for the words
    DatumReading reading;
    DatumWriting writing;
    // With the file's height model: each line's H after the coordinates gives h, rather than
    // its h giving H.
    bool toEllipsoidal = false;
};

// A fit of a transformation's parameters to common points known in both systems.
struct FitJob {
    CoordinateSystem from, to;
    FitOptions fit;                   // model, convention, heights, outliers (core/datum_fit.h)
    std::vector<std::string> checks;  // names of the common points kept aside as check points
    bool skipBadLines = false;        // fit without the lines that do not read
    DatumReading reading;
    DatumWriting writing;
    // A height model fitted beside the datum (--height-model): h and H after the coordinates;
    // its outlier factor and dropping are the datum fit's.
    bool heightModel = false;
    HeightFitOptions height;
};

// The input's layout of a datum run: the name, then the coordinates of the source system, and
// for fit those of the target; every other field passes through.
struct DatumLayout {
    std::vector<std::size_t> fields;  // 0-based: the name's, then each coordinate's
    std::vector<std::string> names;   // the coordinates' column names: X1, Y1, H1, X2, ...
    std::vector<bool> angles;         // typed as packed degrees (geodetic L, B)
    std::size_t sourceCount = 0;      // coordinates of the source; the rest are the target's
    // The last `heightCount` names are a height model's columns (h, H) after the coordinates:
    // read as numbers, an empty one as no height (NaN), never as a coordinate.
    std::size_t heightCount = 0;

    std::size_t Needed() const;  // the fewest fields a point line may have
};

// The layout of a run's input.
//
// @param[in] fields the 1-based fields of the name and each coordinate (DatumReading::fields);
//   empty: in order from 1.
// @param[in] from the source system.
// @param[in] to the target system, for fit; nullptr for transform.
// @param[in] heights whether the systems' coordinates include H.
// @param[out] layout the layout; untouched when refused.
// @return the refusal of `fields` whose count does not fit the systems ("--fields: ..."), or
//   nothing.
// @param[in] heightNames a height model's columns after the coordinates (h, H), if any.
std::optional<JobRefusal> MakeLayout(std::span<const std::size_t> fields,
                                     const CoordinateSystem& from, const CoordinateSystem* to,
                                     bool heights, DatumLayout& layout,
                                     const std::vector<std::string>& heightNames = {});

// The layout with the fields in order from 1, which nothing refuses.
//
// @param[in] from the source system.
// @param[in] to the target system, for fit; nullptr for transform.
// @param[in] heights whether the systems' coordinates include H.
// @return the layout.
// @param[in] heightNames a height model's columns after the coordinates (h, H), if any.
DatumLayout DefaultLayout(const CoordinateSystem& from, const CoordinateSystem* to, bool heights,
                          const std::vector<std::string>& heightNames = {});

// The output's columns of a transform before those passed through: name, the source's
// coordinates (X1, Y1[, H1]) and the target's (X2, Y2[, H2]).
std::vector<std::string> TransformHead(const TransformJob& job);

// What a transform did: the counts, or why it was refused.
struct TransformOutcome {
    RunCounts counts;  // the points converted and the lines rejected
    // Set when the run was refused; then no row was handed on and `counts` is empty.
    std::optional<JobRefusal> refusal;
};

// Converts every point of `in` with the job's parameter file.
//
// Each sink of `rows` gets the output's columns (TransformHead, then one per field passed
// through, named by the header line when there is one, else "fieldN") and a Row per point
// converted (engine/run/rows.h: the source values as typed, the results unrounded, in metres, L
// and B as packed degrees); `diagnostics` gets every rejected line and warning in input order,
// the lines named in `inputName`, and last a FarPoints warning when points lie farther outside
// the common points' area than its size.
//
// @param[in] job the parameter file and how to read the input.
// @param[in] in the input, already decoded to UTF-8 (DecodingSource).
// @param[in] inputName the input's name, for the words.
// @param[in] rows the sinks of the converted points.
// @param[in] diagnostics the sink of rejected lines and warnings.
// @param[in] tuning threads and chunk size.
// @return the points converted and the lines rejected; or the refusal, before any row is
//   handed on, of reading fields that do not fit the file's systems, or of an input that does
//   not belong to the file. The first line that reads as a point decides: its values cannot be
//   the source system's, it lacks the file's H, the file cannot convert it, or moves it more
//   than 1 km.
// @exception IoError when reading fails; whatever a sink throws; what core/datum.h's
//   DatumTransform throws for parameters it refuses (never for a file ReadParameterFile read).
TransformOutcome RunTransform(const TransformJob& job, ByteSource& in, std::string_view inputName,
                              std::span<RowSink* const> rows, DiagnosticSink& diagnostics,
                              const RunTuning& tuning = {});

// The CSV quorvel-batch's transform writes: a byte order mark with `bom`, the header, one
// record per row: the name, the values as typed, the results (metres to 4 decimals, L and B as
// packed degrees to 10, or `full`), the fields passed through.
class TransformCsvSink : public RowSink {
  public:
    TransformCsvSink(const TransformJob& job, OutputBuffer& out) : job_(job), out_(out) {}
    void Begin(const std::vector<std::string>& columns) override;
    void Encode(const RowBlock& rows, std::string& encoded) const override;
    void Take(const RowBlock& rows, std::string_view encoded) override;
    void End() override;

  private:
    const TransformJob& job_;
    OutputBuffer& out_;
};

// A fit's common points as read, and the fit.
struct FitOutcome {
    std::vector<CommonPoint> points;  // in input order, the check points marked; L, B degrees
    std::vector<std::vector<std::string>> passed;  // each point's fields passed through
    std::vector<std::string> columns;              // the names of those fields ("fieldN" unnamed)
    RunCounts counts;                              // the points read and the lines rejected
    FitResult result;                              // core/datum_fit.h
    // With height columns: each point's h and H as read, NaN where empty.
    std::vector<std::array<double, 2>> heights;
    // With --height-model: the points that have both heights, where each is in `points`, and
    // the height fit.
    std::vector<HeightPoint> heightPoints;
    std::vector<std::size_t> heightIndex;
    std::optional<HeightFitResult> height;
    // Set when the fit was refused; then `result` is empty and no more is to be made of it.
    std::optional<JobRefusal> refusal;
};

// Reads the common points of `in`, then fits.
//
// @param[in] job the systems, the fit's options, the check points and how to read the input.
// @param[in] in the input, already decoded to UTF-8 (DecodingSource).
// @param[in] inputName the input's name, for the words.
// @param[in] diagnostics gets every rejected line and warning in input order.
// @param[in] tuning threads and chunk size.
// @return the points and the fit; or, in FitOutcome::refusal, the refusal of reading fields that
//   do not fit the systems, of a line that does not read without skipBadLines, of a check point
//   no point is named, or of a fit the points cannot make (worded with the likely cause).
// @exception IoError when reading fails.
FitOutcome RunFit(const FitJob& job, ByteSource& in, std::string_view inputName,
                  DiagnosticSink& diagnostics, const RunTuning& tuning = {});

// The parameter file `fit -p` writes for a fit between these systems, with the PROJ pipeline
// where the points lie in one zone; the window saves the same text.
// With `height`, the height model fitted beside it too.
std::string FitParameterText(const CoordinateSystem& from, const CoordinateSystem& to, bool heights,
                             const FitResult& r, const HeightFitResult* height = nullptr);

// The words of a datum run's diagnostic, without its line and without "warning: ", in the
// language of the messages (core/messages.h).
std::string Describe(const Diagnostic& d, const TransformJob& job);
std::string Describe(const Diagnostic& d, const FitJob& job);
// The same with "warning: " in front of a warning, as a list of a run's lines shows it.
std::string DescribeMarked(const Diagnostic& d, const TransformJob& job);

}  // namespace quorvel::engine
