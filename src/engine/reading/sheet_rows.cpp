#include "engine/reading/sheet_rows.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel::engine {
namespace {

// GDAL's words for a workbook it cannot read, after ours.
[[noreturn]] void NotAWorkbook(const std::string& path, const std::runtime_error& e) {
    throw IoError(CannotRead(
        path, Fill(Tr("not an Excel workbook, or a damaged or encrypted one ({0})"), {e.what()})));
}

}  // namespace

void AppendSheetRow(const std::vector<SheetCell>& cells, std::string& line) {
    std::size_t count = cells.size();
    while (count > 0 && cells[count - 1].kind == SheetCell::Kind::Empty) --count;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) line += ';';
        const SheetCell& c = cells[i];
        if (c.kind == SheetCell::Kind::Number) {
            char text[32];
            const auto r = std::to_chars(text, text + sizeof text, c.number);
            line.append(text, r.ptr);
        } else if (c.kind == SheetCell::Kind::Text) {
            line += '"';
            for (const char ch : c.text) {
                if (ch == '"') line += '"';
                line += ch == '\n' || ch == '\r' ? ' ' : ch;
            }
            line += '"';
        }
    }
    if (count == 1) line += ';';
}

SheetRows::SheetRows(const std::string& path) : path_(path), reader_(LoadGdalSheetReader()) {
    try {
        reader_->Open(path);
        sheets_ = reader_->Sheets();
    } catch (const std::runtime_error& e) {
        NotAWorkbook(path, e);
    }
}

SheetRows::~SheetRows() = default;

void SheetRows::Select(std::size_t index) {
    try {
        reader_->Select(index);
    } catch (const std::runtime_error& e) {
        NotAWorkbook(path_, e);
    }
}

bool SheetRows::MoreRows(std::size_t wanted) {
    pending_.erase(0, at_);
    at_ = 0;
    std::int64_t row = 0;
    while (!end_ && pending_.size() < wanted) {
        try {
            end_ = !reader_->Next(row, cells_);
        } catch (const std::runtime_error& e) {
            NotAWorkbook(path_, e);
        }
        const bool empty = std::all_of(cells_.begin(), cells_.end(), [](const SheetCell& c) {
            return c.kind == SheetCell::Kind::Empty;
        });
        if (end_ || empty) continue;
        // The empty rows before it as empty lines, so that the line numbers are the rows'.
        if (row > lastRow_ + 1) pending_.append(static_cast<std::size_t>(row - lastRow_ - 1), '\n');
        lastRow_ = std::max(row, lastRow_ + 1);
        AppendSheetRow(cells_, pending_);
        pending_ += '\n';
    }
    return !pending_.empty();
}

std::size_t SheetRows::Read(char* buffer, std::size_t size) {
    if (size == 0) return 0;
    if (at_ == pending_.size() && !MoreRows(size)) return 0;
    const std::size_t got = std::min(size, pending_.size() - at_);
    std::memcpy(buffer, pending_.data() + at_, got);
    at_ += got;
    return got;
}

std::uint64_t SheetRows::RowCount() {
    if (rowCount_ < 0) {
        try {
            rowCount_ = reader_->RowCount();
        } catch (const std::runtime_error&) {
            rowCount_ = 0;  // only the progress goes without
        }
    }
    return static_cast<std::uint64_t>(rowCount_);
}

}  // namespace quorvel::engine
