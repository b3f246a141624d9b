#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/text_io.h"

namespace quorvel {

// The CSV that quorvel-batch's engine wrote for a file, kept as the bytes themselves so that an
// export is exactly its output, with an index of the records for a table. Records are stored
// whole in large blocks, so 1 M rows cost little more than their text and never move.
class CsvStore : public engine::ByteSink {
  public:
    void Write(const char* data, std::size_t size) override;

    // The header record (without a byte order mark) and the data records, without their line
    // end.
    std::string_view Header() const { return header_; }
    std::size_t RowCount() const { return rowStart_.size(); }
    std::string_view Row(std::size_t row) const;

    // Every byte written, header first, in the order written.
    void WriteAll(engine::ByteSink& sink) const;
    std::uint64_t ByteSize() const;
    // Whether the engine wrote a UTF-8 byte order mark first.
    bool HasBom() const { return std::string_view(headerBytes_).starts_with(kBom); }

    static constexpr std::string_view kBom = "\xEF\xBB\xBF";

  private:
    void Store(std::string_view record);  // one record with its line end

    static constexpr std::size_t kBlock = std::size_t{1} << 22;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> used_;
    std::vector<std::uint64_t> rowStart_;  // block × kBlock + offset
    std::string header_;
    std::string headerBytes_;  // with its line end, for WriteAll
    std::string pending_;      // a record split between two writes
    bool headerSeen_ = false;
};

// The fields of one CSV record as the engine writes them (RFC 4180, quotes doubled).
void SplitCsvRecord(std::string_view record, std::vector<std::string>& fields);

}  // namespace quorvel
