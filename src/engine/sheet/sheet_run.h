#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/map_sheet.h"
#include "engine/datum/datum_operation.h"
#include "engine/projection/points.h"
#include "engine/run/refusal.h"
#include "engine/run/run_loop.h"

namespace quorvel::engine {

// Map sheet numbers (图幅号) as a typed job over files: quorvel-batch's `sheet` and the window's
// 图幅号 both run it. Input: one point a line, as every file is read, the name then L, B
// (packed degrees), or X, Y (metres) for the rectangular sheets; the other fields pass through.
// Output: the line with the sheet's number and corners, and what the job asks beyond.

// The projection the sheets' corners are given X, Y on: forward's settings, and the central
// meridian (degrees) or, without one, each sheet on the zone of its centre (geodesy.zone).
struct SheetProjection {
    Geodesy geodesy;
    std::optional<double> lo;
    bool operator==(const SheetProjection&) const = default;
};

struct SheetJob {
    SheetScale scale = SheetScale::K50;
    bool old = false;         // the old numbers (1:5,000 and smaller scales)
    bool plane = false;       // X, Y in, the rectangular sheets (1:5,000 and larger scales)
    bool neighbours = false;  // the eight neighbours' numbers after the corners
    std::optional<SheetProjection> projection;  // X, Y of the corners; geographic sheets only
    DatumReading reading;  // fields: the name's, then L and B (X and Y), 1-based; empty: 1, 2, 3
    DatumWriting writing;
};

// The settings that do not go together: old numbers at a scale that has none, rectangular
// sheets at a scale that has none, a projection of rectangular sheets, fields that are not
// three.
[[nodiscard]] std::optional<JobRefusal> CheckSheetJob(const SheetJob& job);

// The columns a sheet adds after the point's (for --corners, the whole row): sheet, the
// south-west and north-east corners (L_sw, B_sw, L_ne, B_ne, or X_sw, Y_sw, X_ne, Y_ne), with a
// projection X and Y of the four corners counter-clockwise from the south-west (and the zone
// with --zone), with neighbours their numbers clockwise from the north (n, ne, …, nw).
std::vector<std::string> SheetColumns(const SheetJob& job);

// A sheet's cells, as SheetColumns names them: angles as exact packed degrees, kilometres as
// the number writes them, metres to 4 decimals (or the shortest round-trip decimal with
// writing.full); a neighbour that does not exist empty. False with `why` when a corner cannot
// be projected.
class SheetCells {
  public:
    explicit SheetCells(const SheetJob& job);  // throws InvalidParameterError as Projector does
    bool Geographic(const MapSheet& sheet, std::vector<std::string>& cells, std::string& why) const;
    void Plane(const PlaneSheet& sheet, std::vector<std::string>& cells) const;
    // The number as the job writes it.
    std::string Number(const MapSheet& sheet) const;

  private:
    const SheetJob& job_;
    std::optional<Projector> projector_;
};

// A number typed for --corners or the window: a geographic sheet (new or old form) or, with
// job.plane, a rectangular one at the job's scale; the refusal when it is none or, for a
// geographic one with `scaleGiven`, at another scale.
struct TypedSheet {
    std::optional<MapSheet> geographic;
    std::optional<PlaneSheet> plane;
};
[[nodiscard]] std::optional<JobRefusal> ReadTypedSheet(const SheetJob& job, bool scaleGiven,
                                                       std::string_view text, TypedSheet& sheet);

// Numbers every point of `in`. Each sink of `rows` gets the columns (name, L, B or X, Y, then
// SheetColumns, then the fields passed through) and a Row per point numbered: the values as
// typed, result1 and result2 its sheet's row and column (MapSheet), or south and west
// (PlaneSheet), whole numbers; `diagnostics` gets the lines rejected (a point
// outside the numbering or whose corners cannot be projected) and warnings in input order.
// Returns the counts; throws IoError when reading fails and whatever a sink throws.
RunCounts RunSheets(const SheetJob& job, ByteSource& in, std::span<RowSink* const> rows,
                    DiagnosticSink& diagnostics, const RunTuning& tuning = {});

// The CSV quorvel-batch's sheet writes: a byte order mark with `bom`, the header, one record a
// point.
class SheetCsvSink : public RowSink {
  public:
    SheetCsvSink(const SheetJob& job, OutputBuffer& out) : job_(job), out_(out), cells_(job) {}
    void Begin(const std::vector<std::string>& columns) override;
    void Encode(const RowBlock& rows, std::string& encoded) const override;
    void Take(const RowBlock& rows, std::string_view encoded) override;
    void End() override;

  private:
    const SheetJob& job_;
    OutputBuffer& out_;
    SheetCells cells_;
};

// The words of a sheet run's diagnostic, without its line.
std::string Describe(const Diagnostic& d, const SheetJob& job);

}  // namespace quorvel::engine
