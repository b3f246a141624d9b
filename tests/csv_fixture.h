#pragma once

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "csv_records.h"

// Rows of a reference-vector file (plain CSV without quoting), by column name.
namespace quorvel::testing {

using Row = std::map<std::string, std::string>;

inline std::vector<Row> ReadFixture(const std::string& name) {
    std::ifstream in(std::string(QUORVEL_FIXTURES_DIR) + "/" + name);
    if (!in) throw std::runtime_error("missing fixture " + name);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = SplitCsvLine(line);
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> fields = SplitCsvLine(line);
        Row row;
        for (std::size_t i = 0; i < header.size(); ++i) {
            row[header[i]] = i < fields.size() ? fields[i] : "";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// A full-precision column: the shortest round-trip decimal of the expected double.
inline double Exact(const std::string& text) {
    double v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size()) {
        throw std::runtime_error("not a number in fixture: " + text);
    }
    return v;
}

}  // namespace quorvel::testing
