#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/value_cell.h"

namespace quorvel::engine {

// The points of a run for its report, kept on disk rather than in memory, since the report's
// title counts them and so cannot be written before the last one: the two typed values as text
// (a decimal comma made a point), the two results as unrounded numbers.
class ReportSpool {
  public:
    ReportSpool() = default;  // in memory, for tests
    // An unnamed temporary file in `folder`, gone with the process whatever ends it. Throws
    // IoError.
    explicit ReportSpool(const std::string& folder);
    ~ReportSpool();
    ReportSpool(const ReportSpool&) = delete;
    ReportSpool& operator=(const ReportSpool&) = delete;

    // Records of Encode, back to back, holding `count` points.
    static void Encode(std::string& records, std::string_view first, std::string_view second,
                       double a, double b);
    void Append(std::string_view records, std::size_t count);
    std::size_t Count() const { return count_; }

    // Reads the points back from the first; false at the end. Throws IoError.
    void Rewind();
    bool Next(std::array<ValueCell, 4>& row);

    std::vector<std::array<ValueCell, 4>> ReadAll();  // for tests

  private:
    void FlushWrites();
    bool Have(std::size_t n);  // at least n unread bytes buffered, unless at the end

    int fd_ = -1;
    std::string buffer_;  // unwritten records, or read-ahead; everything when in memory
    std::size_t pos_ = 0;
    std::size_t count_ = 0;
    bool reading_ = false;
    bool eof_ = false;
};

}  // namespace quorvel::engine
