#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reading/line_parser.h"
#include "engine/reading/text_io.h"
#include "engine/run/diagnostics.h"
#include "engine/run/rows.h"

namespace quorvel::engine {

// The length distortion of a run's points (--distortion): how many were measured, how many lie
// beyond the limit, how many had no height, and the worst in magnitude (cm/km, signed) with its
// point; of equals, the first.
struct DistortionTally {
    std::size_t measured = 0;
    std::size_t beyond = 0;
    std::size_t withoutHeight = 0;
    double worst = 0;
    std::uint64_t line = 0;
    std::string name;

    void Add(double value, bool isBeyond, std::uint64_t at, std::string_view pointName);
    void Add(const DistortionTally& later);
};

struct RunCounts {
    std::size_t points = 0;
    std::size_t rejected = 0;
    // Points whose easting carried the zone number of the central meridian itself, taken off.
    std::size_t zoneNumbersTakenOff = 0;
    DistortionTally distortion = {};
};

// How a run divides its work: worker threads (0 picks by the cores, 1 works in the calling
// thread) and the size of a stretch of input lines handed to one.
struct RunTuning {
    int threads = 0;
    std::size_t chunkBytes = 64 * 1024;
};

// The run's worst point of a kind that is counted over the whole run (the classic series'
// misses, a datum transform's points far from its area): how many, and the worst.
struct WorstPoints {
    std::size_t count = 0;
    double largest = 0;
    std::uint64_t line = 0;
    std::string name;

    void Add(double value, std::uint64_t at, std::string_view pointName, std::size_t points = 1);
};

// What an operation says of the lines of a stretch of input, on a worker thread.
class LineReport {
  public:
    // Warnings listed for their first kListed lines of the run, then counted.
    static constexpr std::size_t kListed = 10;

    // A rejection of the line: it gives no row.
    Diagnostic& Reject(Problem problem, std::uint64_t line);
    // A PackedExcess or SeriesMiss warning, or none once its kind has been listed enough.
    Diagnostic* Warn(Problem problem, std::uint64_t line);
    // A point of the run's worst kind (RowOperation::WorstProblem).
    void Tally(double value, std::uint64_t line, std::string_view name) {
        worst.Add(value, line, name);
    }

    enum Kind { kPackedExcess, kSeriesMiss, kKinds };
    static Kind KindOf(Problem problem);

    std::vector<Diagnostic> diagnostics;         // in line order
    std::array<std::size_t, kKinds> listed{};    // warnings of a kind among them
    std::array<std::size_t, kKinds> unlisted{};  // and beyond them
    RunCounts counts;
    WorstPoints worst;
};

// Scratch room for an operation's texts, one per chunk being computed.
struct LineScratch {
    std::string a, b, c;
};

// What a run does with each line that reads as fields: the projection of quorvel-batch's modes
// and 从文件计算, a datum transform, the reading of a fit's common points. Made once, then const
// and called from several threads at once.
class RowOperation {
  public:
    virtual ~RowOperation() = default;

    // The fewest fields a point line may have.
    std::size_t Needed() const { return needed_; }
    // Whether input field `field` (0-based) goes to the output after the results.
    bool Passed(std::size_t field) const {
        return field >= notPassed_.size() || notPassed_[field] == 0;
    }

    // The output's columns, with one per field passed through (`passed`: the texts of the line
    // that names them), named after those texts when `namedByHeader`.
    virtual std::vector<std::string> Columns(std::span<const std::string_view> passed,
                                             bool namedByHeader) const = 0;
    // Whether a line skipped as the header would have been a point.
    virtual bool ReadsAsPoint(const ParsedLine& line) const = 0;
    // Whether a line with fields gives a point at its own width (`kept` fields): the first
    // that does sets the columns.
    virtual bool GivesPoint(const ParsedLine& line, std::size_t kept) const = 0;
    // Whether the run checks its first point before anything is written (Vet).
    virtual bool Vets() const { return false; }
    // The first lines after the header, in order until it returns true: a line that decides
    // whether the input suits the operation. Throws to refuse the run.
    virtual bool Vet(const ParsedLine&, std::size_t /*columns*/, std::uint64_t /*line*/) const {
        return true;
    }
    // Computes the line whose fields fit the columns into `row` (its texts pointing into
    // `line`'s); false when it is rejected, said in `report`.
    virtual bool Compute(const ParsedLine& line, std::uint64_t number, Row& row, LineReport& report,
                         LineScratch& scratch) const = 0;
    // The run's diagnostic of the points tallied (LineReport::Tally).
    virtual Problem WorstProblem() const { return Problem::SeriesMisses; }

  protected:
    void SetFields(std::size_t needed, std::vector<char> notPassed) {
        needed_ = needed;
        notPassed_ = std::move(notPassed);
    }

  private:
    std::size_t needed_ = 1;
    std::vector<char> notPassed_;  // per input field: computed or dropped
};

// The output's columns `head`, then one per field passed through, named after `passed` when
// `namedByHeader`, else (or when empty) "fieldN".
std::vector<std::string> ColumnsAfter(std::vector<std::string> head, const RowOperation& op,
                                      std::span<const std::string_view> passed, bool namedByHeader);

// The input fields the output has columns for, set by the header line or else by the first point
// line: a later line with more fields is refused rather than cut or written ragged.
struct Columns {
    std::size_t count = 0;  // at least the fields needed; 0 while no line has set them
    std::uint64_t line = 0;
    bool header = false;
};

// The fields of a line that count for the columns: trailing empty ones down to `needed` are
// not; none for a line that was not read as fields.
std::size_t KeptFields(std::size_t needed, const ParsedLine& line);

// The fields of line `number` that count (`count`) and the row's width, or false with `d` set
// (TooFewFields, SurplusFields) when the line is rejected for its fields. Spreadsheets end rows
// with empty fields up to the widest row; empty fields beyond the columns lose nothing, any
// other field would. A line before the one that set the columns is not held to them.
bool FieldsFit(const ParsedLine& line, std::size_t needed, const Columns& columns,
               std::uint64_t number, std::size_t& count, std::size_t& width, Diagnostic& d);

// Whether the run's first line that is not empty or a comment is a header, and whether a comma
// is the decimal point.
struct LineReading {
    bool header = false;
    bool decimalComma = false;
};

// Reads points line by line and computes them with `op`. Every sink of `rows` gets every
// computed row and `diagnostics` every rejection and warning, in input order; memory stays
// bounded whatever the input's size. Warnings of a kind are handed on for their first ten
// lines, then counted in a diagnostic of the whole run. Throws IoError when reading fails, and
// whatever a sink or the operation's Vet throws.
RunCounts RunRows(const RowOperation& op, const LineReading& reading, ByteSource& in,
                  std::span<RowSink* const> rows, DiagnosticSink& diagnostics,
                  const RunTuning& tuning);

}  // namespace quorvel::engine
