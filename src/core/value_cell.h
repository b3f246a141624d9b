#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "core/number_text.h"

namespace quorvel {

// A stored value: unset, a number, or the text the user typed. Typed values are kept as text and
// read as the number they spell only where they are computed with or formatted.
class ValueCell {
  public:
    ValueCell() = default;
    ValueCell(double number) : value_(number) {}  // NOLINT: cells are assigned numbers freely
    ValueCell(std::string text) : value_(std::move(text)) {}    // NOLINT
    ValueCell(const char* text) : value_(std::string(text)) {}  // NOLINT

    bool IsUnset() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsText() const { return std::holds_alternative<std::string>(value_); }
    bool IsNumber() const { return std::holds_alternative<double>(value_); }
    const std::string& Text() const { return std::get<std::string>(value_); }

    // The number the cell holds or spells; unset reads as 0. Throws TypeMismatchError (or
    // OverflowError) for a text that is not a number.
    double Number() const;

    // The cell formatted with the pattern; a text that does not read as a number is returned
    // unchanged.
    std::string Format(Pattern pattern) const;
    std::string Format(std::string_view pattern) const { return Format(Pattern::Parse(pattern)); }

    bool operator==(const ValueCell&) const = default;

  private:
    std::variant<std::monostate, double, std::string> value_;
};

// The window's display text of a value: a blank, then the value formatted as above.
std::string DisplayText(const ValueCell& cell, std::string_view pattern);

}  // namespace quorvel
