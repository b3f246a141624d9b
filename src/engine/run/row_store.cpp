#include "engine/run/row_store.h"

#include <cmath>
#include <cstring>

#include "core/number_text.h"
#include "engine/datum/height_fit.h"
#include "engine/projection/points.h"

namespace quorvel::engine {
namespace {

// A row's texts: the name, the two or three values and the fields passed through, each as a
// 16-bit length (a line holds at most 64 KiB) and its bytes, after the count of fields passed
// through.
void PutLength(char*& p, std::size_t n) {
    const auto v = static_cast<std::uint16_t>(n);
    std::memcpy(p, &v, sizeof v);
    p += sizeof v;
}

void Put(char*& p, std::string_view text) {
    PutLength(p, text.size());
    std::memcpy(p, text.data(), text.size());
    p += text.size();
}

std::size_t GetLength(const char*& p) {
    std::uint16_t v = 0;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

std::string_view Get(const char*& p) {
    const std::size_t n = GetLength(p);
    const std::string_view text(p, n);
    p += n;
    return text;
}

}  // namespace

char* RowStore::Room(std::size_t size) {
    if (used_ + size > kBlock) {
        blocks_.push_back(std::make_unique<char[]>(std::max(kBlock, size)));
        used_ = 0;
    }
    char* p = blocks_.back().get() + used_;
    used_ += size;
    return p;
}

void RowStore::Take(const RowBlock& rows, std::string_view) {
    // A transform's heights as read and computed by its parameter file's height model.
    const bool extras = transform_ ? transform_->parameters.height.has_value()
                                   : !ExtraColumnNames(job_.geodesy, job_.mode).empty();
    for (const Row& row : rows) {
        std::size_t size = 2 * (6 + row.passed.size()) + row.name.size() + row.first.size() +
                           row.second.size() + row.third.size() + row.height.size();
        for (std::string_view field : row.passed) size += field.size();
        char* p = Room(size);
        at_.push_back(p);
        Put(p, row.name);
        Put(p, row.first);
        Put(p, row.second);
        Put(p, row.third);
        Put(p, row.height);
        PutLength(p, row.passed.size());
        for (std::string_view field : row.passed) Put(p, field);
        result1_.push_back(row.result1);
        result2_.push_back(row.result2);
        if (row.results > 2) result3_.push_back(row.result3);
        line_.push_back(row.line);
        if (extras) extras_.push_back(row.extras);
    }
}

Row RowStore::At(std::size_t i, std::vector<std::string_view>& passed) const {
    Row row;
    const char* p = at_[i];
    row.name = Get(p);
    row.first = Get(p);
    row.second = Get(p);
    row.third = Get(p);
    row.height = Get(p);
    passed.resize(GetLength(p));
    for (std::string_view& field : passed) field = Get(p);
    row.passed = passed;
    row.result1 = result1_[i];
    row.result2 = result2_[i];
    if (transform_) {
        const ParameterFile& f = transform_->parameters;
        row.values = static_cast<std::uint8_t>(TypedCount(f.from, f.heights));
        // A height model alone converts no coordinates.
        row.results = f.datum ? static_cast<std::uint8_t>(TypedCount(f.to, f.heights)) : 0;
        row.result3 = Result3(i);
    }
    row.line = line_[i];
    if (!extras_.empty()) row.extras = extras_[i];
    return row;
}

// As TransformCsvSink writes the cell, unquoted.
std::string RowStore::TransformCell(const Row& row, std::size_t column) const {
    const std::string_view typed[] = {row.first, row.second, row.third};
    if (column == 0) return std::string(row.name);
    if (column <= row.values) return std::string(typed[column - 1]);
    const std::size_t k = column - 1 - row.values;
    if (k < row.results) {
        const double results[] = {row.result1, row.result2, row.result3};
        const bool angle = transform_->parameters.to.kind == SystemKind::Geodetic && k < 2;
        char text[kMaxRoundedText];
        char* end = transform_->writing.full ? WriteFullText(text, results[k])
                                             : WriteRoundedText(text, results[k], angle ? 10 : 4);
        return std::string(text, end);
    }
    std::size_t passed = k - row.results;
    if (transform_->parameters.height) {
        // The height as read and the one computed, as TransformCsvSink writes them.
        char text[kMaxRoundedText];
        const double h = passed == 0 ? row.extras.height1 : row.extras.height2;
        if (passed < 2) {
            if (passed == 0) return std::string(row.height);  // as typed
            if (std::isnan(h)) return {};
            return std::string(text, transform_->writing.full ? WriteFullText(text, h)
                                                              : WriteRoundedText(text, h, 4));
        }
        passed -= 2;
    }
    return passed < row.passed.size() ? std::string(row.passed[passed]) : std::string();
}

std::string RowStore::Cell(std::size_t i, std::size_t column) const {
    std::vector<std::string_view> passed;
    const Row row = At(i, passed);
    if (transform_) return TransformCell(row, column);
    char text[kMaxExtrasText + kMaxResultText];
    switch (column) {
        case 0:
            return std::string(row.name);
        case 1:
            return std::string(row.first);
        case 2:
            return std::string(row.second);
        case 3:
        case 4: {
            const double v = column == 3 ? row.result1 : row.result2;
            return std::string(text, WriteResult(text, job_.mode, v, job_.full));
        }
        default:
            break;
    }
    const std::size_t extras = ExtraColumnNames(job_.geodesy, job_.mode).size();
    if (column < 5 + extras) {
        return std::string(
            text, WriteExtra(text, job_.geodesy, job_.mode, row.extras, column - 5, job_.full));
    }
    const std::size_t k = column - 5 - extras;
    return k < passed.size() ? std::string(passed[k]) : std::string();
}

void RowStore::Begin(const std::vector<std::string>& columns) {
    columns_ = columns;
    shown_ = columns;
    if (transform_ && transform_->parameters.height) {
        const std::vector<std::string> read = HeightColumns(*transform_);
        const auto at =
            shown_.begin() + static_cast<std::ptrdiff_t>(TransformHead(*transform_).size());
        shown_.insert(at, {read[0], read[0] == "h" ? "H" : "h"});
    }
}

void RowStore::Replay(RowSink& sink) const {
    sink.Begin(columns_);
    constexpr std::size_t kRows = 4096;
    RowBlock block;
    std::vector<std::string_view> passed;
    std::string encoded;
    for (std::size_t begin = 0; begin < size(); begin += kRows) {
        const std::size_t end = std::min(size(), begin + kRows);
        std::size_t text = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const Row row = At(i, passed);
            text += row.name.size() + row.first.size() + row.second.size() + row.third.size() +
                    row.height.size();
            for (std::string_view field : passed) text += field.size();
        }
        block.Reset(text);
        for (std::size_t i = begin; i < end; ++i) {
            const Row row = At(i, passed);
            block.Add(row, passed);
        }
        encoded.clear();
        sink.Encode(block, encoded);
        sink.Take(block, encoded);
    }
    sink.End();
}

}  // namespace quorvel::engine
