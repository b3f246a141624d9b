#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/datum.h"
#include "engine/datum/datum_operation.h"
#include "engine/run/run_loop.h"

namespace quorvel::engine {

// A point line's coordinates: as typed (blanks around them trimmed), as numbers read, and as
// the values computed with (packed angles decoded to degrees).
struct DatumValues {
    static constexpr std::size_t kMax = 8;
    std::array<std::string_view, kMax> typed{};
    std::array<double, kMax> read{};
    std::array<double, kMax> values{};

    // The values of a side: `count` from `from`, the rest 0.
    Triple Side(std::size_t from, std::size_t count) const;
};

// What the datum runs share of reading a line: the layout's fields, the coordinates as
// numbers, the header line and the packed-angle warnings.
class DatumPointOperation : public RowOperation {
  public:
    DatumPointOperation(DatumLayout layout, bool decimalComma, std::vector<std::string> head);

    const DatumLayout& layout() const { return layout_; }

    std::vector<std::string> Columns(std::span<const std::string_view> passed,
                                     bool namedByHeader) const override {
        return ColumnsAfter(head_, *this, passed, namedByHeader);
    }
    // Its coordinates read as numbers.
    bool ReadsAsPoint(const ParsedLine& line) const override;
    bool GivesPoint(const ParsedLine& line, std::size_t kept) const override;

  protected:
    // Whether the value `k` (0-based, after the name) is a height model's column.
    bool IsHeight(std::size_t k) const { return k + layout_.heightCount >= layout_.names.size(); }
    // Reads the coordinates of a line whose fields fit; false with `d` said (EmptyValue,
    // NotANumber, OutOfRange) when one does not read.
    bool ReadValues(const ParsedLine& line, DatumValues& v, Diagnostic& d,
                    std::string& buffer) const;
    // Reads a line at `width` fields: its fields, then its values.
    bool ReadAt(const ParsedLine& line, std::size_t width, DatumValues& v, Diagnostic& d) const;
    // The warnings of angles typed with 60 or more minutes or seconds.
    void WarnOfExcess(const DatumValues& v, std::uint64_t line, LineReport& report) const;
    // "X1 "3380000", Y1 "612345"": the source values as typed.
    std::string TypedValues(const DatumValues& v) const;

  private:
    DatumLayout layout_;
    bool decimalComma_;
    std::vector<std::string> head_;
};

}  // namespace quorvel::engine
