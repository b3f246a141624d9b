#pragma once

// CSV without quoting, as the tests write it and read the program's back: every comma splits, so
// a line ending in one has an empty last field.
#include <sstream>
#include <string>
#include <vector>

namespace quorvel::testing {

inline std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (std::size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1)
        fields.push_back(line.substr(at, comma - at));
    fields.push_back(line.substr(at));
    return fields;
}

// The records of `csv`, the header first, CR LF or LF line ends.
inline std::vector<std::vector<std::string>> Records(const std::string& csv) {
    std::vector<std::vector<std::string>> records;
    std::istringstream lines(csv);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        records.push_back(SplitCsvLine(line));
    }
    return records;
}

}  // namespace quorvel::testing
