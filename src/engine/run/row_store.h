#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/datum/datum_operation.h"
#include "engine/run/process.h"

namespace quorvel::engine {

// A run's rows kept in memory for a table, a map and an export: the texts packed in large
// blocks, the results as doubles, so a million rows cost little more than their text. The rows
// of a projection (RunJob) or of a datum transform (RunTransform), whose third value and result
// are kept too.
class RowStore : public RowSink {
  public:
    explicit RowStore(const Job& job) : job_(job) {}
    explicit RowStore(const TransformJob& transform) : transform_(transform) {}

    void Begin(const std::vector<std::string>& columns) override;
    void Encode(const RowBlock&, std::string&) const override {}
    void Take(const RowBlock& rows, std::string_view encoded) override;

    const Job& job() const { return job_; }
    // The transform whose rows these are; null for a projection's.
    const TransformJob* transform() const { return transform_ ? &*transform_ : nullptr; }
    // The columns as the CSV has them: a transform's with a height model adds the height read
    // and the one computed after the coordinates.
    const std::vector<std::string>& Columns() const { return shown_; }
    std::size_t size() const { return at_.size(); }

    // Row `i`; its fields passed through are kept in `passed`, which it points into.
    Row At(std::size_t i, std::vector<std::string_view>& passed) const;
    double Result1(std::size_t i) const { return result1_[i]; }
    double Result2(std::size_t i) const { return result2_[i]; }
    double Result3(std::size_t i) const { return result3_.empty() ? 0 : result3_[i]; }

    // The text of one cell as the CSV writes it, unquoted: the columns of Columns().
    std::string Cell(std::size_t row, std::size_t column) const;

    // Hands every row to `sink` as a run would: Begin, the rows in blocks, End.
    void Replay(RowSink& sink) const;

  private:
    char* Room(std::size_t size);
    std::string TransformCell(const Row& row, std::size_t column) const;

    Job job_;
    std::optional<TransformJob> transform_;
    std::vector<std::string> columns_;  // as the run gave them, which Replay hands on
    std::vector<std::string> shown_;
    static constexpr std::size_t kBlock = std::size_t{1} << 22;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = kBlock;    // in the last block
    std::vector<const char*> at_;  // each row's texts
    std::vector<double> result1_, result2_;
    std::vector<double> result3_;    // only for a transform with three results
    std::vector<RowExtras> extras_;  // only when the job has extra columns
    std::vector<std::uint64_t> line_;
};

}  // namespace quorvel::engine
