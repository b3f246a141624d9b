#include "engine/run/rows.h"

#include <cassert>
#include <functional>

namespace quorvel::engine {

void RowBlock::Reset(std::size_t textBytes, std::string_view lasting) {
    rows_.clear();
    passed_.clear();
    passedAt_.clear();
    text_.clear();
    text_.reserve(textBytes);
    lasting_ = lasting;
}

std::string_view RowBlock::Keep(std::string_view text) {
    const std::less_equal<const char*> le;
    if (le(lasting_.data(), text.data()) &&
        le(text.data() + text.size(), lasting_.data() + lasting_.size())) {
        return text;
    }
    assert(text_.size() + text.size() <= text_.capacity());  // the views must not move
    const std::size_t at = text_.size();
    text_.append(text);
    return std::string_view(text_).substr(at, text.size());
}

void RowBlock::Add(const Row& row, std::span<const std::string_view> passed) {
    Row& kept = rows_.emplace_back(row);
    kept.name = Keep(row.name);
    kept.first = Keep(row.first);
    kept.second = Keep(row.second);
    kept.third = Keep(row.third);
    kept.height = Keep(row.height);
    const std::size_t at = passed_.size();
    const bool moved = passed_.capacity() < at + passed.size();
    for (std::string_view field : passed) passed_.push_back(Keep(field));
    passedAt_.push_back(at);
    if (moved) {  // the spans of earlier rows pointed into the old vector
        for (std::size_t i = 0; i + 1 < rows_.size(); ++i) {
            rows_[i].passed =
                std::span(passed_).subspan(passedAt_[i], passedAt_[i + 1] - passedAt_[i]);
        }
    }
    kept.passed = std::span(passed_).subspan(at, passed.size());
}

std::vector<std::string> OutputColumns(const Job& job, std::span<const std::string_view> passed,
                                       bool namedByHeader) {
    std::vector<std::string> columns;
    for (std::string_view name : ColumnsOf(job.mode).header) columns.emplace_back(name);
    for (std::string_view name : ExtraColumnNames(job.geodesy, job.mode)) {
        columns.emplace_back(name);
    }
    std::size_t field = 0;
    for (std::string_view name : passed) {
        while (!PassedThrough(job, field)) ++field;
        ++field;
        columns.push_back(namedByHeader && !name.empty() ? std::string(name)
                                                         : "field" + std::to_string(field));
    }
    return columns;
}

}  // namespace quorvel::engine
