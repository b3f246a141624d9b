#include "engine/writers/freexl_sheet_reader.h"

#include <freexl.h>

#include <stdexcept>
#include <string>

namespace quorvel::engine {
namespace {

std::string Why(int code) {
    switch (code) {
        case FREEXL_FILE_NOT_FOUND:
            return "FreeXL: cannot open the file";
        case FREEXL_INVALID_CFBF_HEADER:
        case FREEXL_CFBF_INVALID_SIGNATURE:
            return "FreeXL: not a compound document";
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return "FreeXL: no workbook stream";
        case FREEXL_CRAFTED_FILE:
            return "FreeXL: severely corrupted file";
        default:
            return "FreeXL error " + std::to_string(code);
    }
}

void Check(int code) {
    if (code != FREEXL_OK) throw std::runtime_error(Why(code));
}

// FreeXL writes dates as 2024-01-01; the .xlsx path (GDAL) as 2024/01/01: a date reads the
// same from either workbook.
std::string DateAsXlsx(std::string text) {
    for (std::size_t i = 0; i < text.size() && i < 10; ++i)
        if (text[i] == '-' && i > 0) text[i] = '/';
    return text;
}

class XlsReader final : public GdalSheetReader {
  public:
    ~XlsReader() override {
        if (handle_ != nullptr) freexl_close(handle_);
    }

    void Open(const std::string& path) override {
        Check(freexl_open(path.c_str(), &handle_));
        unsigned int password = 0;
        Check(freexl_get_info(handle_, FREEXL_BIFF_PASSWORD, &password));
        if (password == FREEXL_BIFF_OBFUSCATED)
            throw std::runtime_error("FreeXL: the workbook is encrypted");
        // Excel saves no workbook without a sheet: FreeXL finds none where the stream is damaged.
        unsigned int sheets = 0;
        Check(freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &sheets));
        if (sheets == 0) throw std::runtime_error("FreeXL: no sheet found");
    }

    std::vector<std::string> Sheets() const override {
        unsigned int count = 0;
        Check(freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count));
        std::vector<std::string> names;
        for (unsigned int i = 0; i < count; ++i) {
            const char* name = nullptr;
            Check(freexl_get_worksheet_name(handle_, static_cast<unsigned short>(i), &name));
            names.emplace_back(name != nullptr ? name : "");
        }
        return names;
    }

    void Select(std::size_t index) override {
        if (index > 0xFFFF) throw std::runtime_error("no such sheet");
        Check(freexl_select_active_worksheet(handle_, static_cast<unsigned short>(index)));
        Check(freexl_worksheet_dimensions(handle_, &rows_, &columns_));
        next_ = 0;
    }

    bool Next(std::int64_t& row, std::vector<SheetCell>& cells) override {
        if (next_ >= rows_) return false;
        cells.assign(columns_, SheetCell{});
        for (unsigned short c = 0; c < columns_; ++c) Read(next_, c, cells[c]);
        row = static_cast<std::int64_t>(next_) + 1;
        ++next_;
        return true;
    }

    std::int64_t RowCount() override { return rows_; }

  private:
    void Read(unsigned int row, unsigned short column, SheetCell& cell) const {
        FreeXL_CellValue value;
        Check(freexl_get_cell_value(handle_, row, column, &value));
        switch (value.type) {
            case FREEXL_CELL_INT:
                cell.kind = SheetCell::Kind::Number;
                cell.number = value.value.int_value;
                break;
            case FREEXL_CELL_DOUBLE:
                cell.kind = SheetCell::Kind::Number;
                cell.number = value.value.double_value;
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                cell.kind = SheetCell::Kind::Text;
                cell.text = value.value.text_value != nullptr ? value.value.text_value : "";
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                cell.kind = SheetCell::Kind::Text;
                cell.text =
                    DateAsXlsx(value.value.text_value != nullptr ? value.value.text_value : "");
                break;
            default:
                cell.kind = SheetCell::Kind::Empty;
        }
    }

    const void* handle_ = nullptr;
    unsigned int rows_ = 0;
    unsigned short columns_ = 0;
    unsigned int next_ = 0;
};

}  // namespace

std::unique_ptr<GdalSheetReader> NewFreexlSheetReader() {
    return std::make_unique<XlsReader>();
}

}  // namespace quorvel::engine
