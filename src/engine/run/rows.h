#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/job.h"

namespace quorvel::engine {

// One computed point as a run hands it on: the texts as typed (blanks around the values
// trimmed, a decimal comma kept), the results unrounded, what the job's extra columns hold, and
// the fields passed through in input order.
//   Projection (RunJob): two values, two results: forward X, Y in metres; inverse L, B as packed
//   degrees; zone X2, Y2, the eastings with any zone number in front. `third` is empty.
//   Datum transform (RunTransform): the source system's two or three values (X, Y[, H] of a
//   plane system, L, B[, H] of a geodetic one, X, Y, Z of a geocentric one), and as many
//   results in the target system: metres, L and B as packed degrees; extras as default.
struct Row {
    std::uint64_t line = 0;
    std::string_view name;
    std::string_view first;
    std::string_view second;
    std::string_view third;
    std::string_view height;  // a datum run's height as typed, where it reads one
    double result1 = 0;
    double result2 = 0;
    double result3 = 0;
    std::uint8_t values = 2;   // the typed values given: 2 or 3
    std::uint8_t results = 2;  // the results given: 2 or 3
    RowExtras extras;
    std::span<const std::string_view> passed;
};

// The rows of a stretch of input, in input order, with their texts copied into the block.
class RowBlock {
  public:
    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const Row& operator[](std::size_t i) const { return rows_[i]; }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

    // Empties the block and makes room for rows whose texts add up to `textBytes`: Add copies
    // no more than that, so the texts never move. Texts within `lasting`, which outlives the
    // block's rows, are kept where they are.
    void Reset(std::size_t textBytes, std::string_view lasting = {});
    // Adds `row` with copies of its texts; the fields passed through are `passed`.
    void Add(const Row& row, std::span<const std::string_view> passed);

  private:
    std::string_view Keep(std::string_view text);

    std::vector<Row> rows_;
    std::string text_;
    std::string_view lasting_;
    std::vector<std::string_view> passed_;
    std::vector<std::size_t> passedAt_;  // where each row's fields begin in passed_
};

// The output's columns: the computation's five, the job's extra columns, then one per field
// passed through, named from the header line when there is one, else "fieldN".
std::vector<std::string> OutputColumns(const Job& job, std::span<const std::string_view> passed,
                                       bool namedByHeader);

// Where a run's rows go. Encode runs on worker threads, several blocks at once, and prepares
// whatever Take needs (a CSV writer formats its bytes there); Take gets the blocks one after
// another in input order on the run's own thread.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // Once, before the first block: the output's columns.
    virtual void Begin(const std::vector<std::string>& columns) = 0;
    virtual void Encode(const RowBlock& rows, std::string& encoded) const = 0;
    virtual void Take(const RowBlock& rows, std::string_view encoded) = 0;
    // After the last block.
    virtual void End() {}
};

}  // namespace quorvel::engine
