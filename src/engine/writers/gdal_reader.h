#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::engine {

// The reading of Excel workbooks (GDAL's XLSX driver; FreeXL for a .xls) behind an interface of
// plain types, in the module quorvel-gdal beside GdalWriter (gdal_writer.h says why a module).

// One cell as the workbook stores it: a number (not the text a format shows), text (a date or
// time among it, as GDAL writes it: 2024/01/01 12:30:05), or nothing.
struct SheetCell {
    enum class Kind { Empty, Text, Number };
    Kind kind = Kind::Empty;
    std::string text;
    double number = 0;
};

// Every method throws std::runtime_error with GDAL's (or FreeXL's) words when it fails.
class GdalSheetReader {
  public:
    virtual ~GdalSheetReader() = default;
    // Opens the workbook at `path`, read by the driver its ending names (.xlsx, else .xls).
    // No row is taken for a header: every row comes out as cells.
    virtual void Open(const std::string& path) = 0;
    // The sheets' names, in the workbook's order.
    virtual std::vector<std::string> Sheets() const = 0;
    // Reads the sheet `index` (0-based) from its first row on.
    virtual void Select(std::size_t index) = 0;
    // The next row that GDAL has: its 1-based number in the sheet (as Excel shows it) and its
    // cells from column A on; false past the last. A row may be all empty.
    virtual bool Next(std::int64_t& row, std::vector<SheetCell>& cells) = 0;
    // The rows of the selected sheet, for a run's progress; 0 when GDAL cannot tell.
    virtual std::int64_t RowCount() = 0;
};

// The module's entry point for readers, extern "C" so that dlsym finds it by this name.
inline constexpr const char* kGdalSheetReaderSymbol = "quorvel_new_gdal_sheet_reader";
using NewGdalSheetReader = GdalSheetReader* (*)();

// Loads the module as LoadGdalWriter does and makes a reader. Throws IoError saying why it
// cannot.
std::unique_ptr<GdalSheetReader> LoadGdalSheetReader();

}  // namespace quorvel::engine
