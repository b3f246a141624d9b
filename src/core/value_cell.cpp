#include "core/value_cell.h"

namespace quorvel {

double ValueCell::Number() const {
    if (const double* d = std::get_if<double>(&value_)) return *d;
    if (const std::string* s = std::get_if<std::string>(&value_)) return ParseNumber(*s);
    return 0;
}

std::string ValueCell::Format(Pattern pattern) const {
    if (const double* d = std::get_if<double>(&value_)) return FormatFixed(*d, pattern);
    if (const std::string* s = std::get_if<std::string>(&value_)) {
        if (auto v = TryParseNumber(*s)) return FormatFixed(*v, pattern);
        return *s;
    }
    return FormatFixed(0.0, pattern);
}

std::string DisplayText(const ValueCell& cell, std::string_view pattern) {
    return " " + cell.Format(pattern);
}

}  // namespace quorvel
