#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/reading/text_io.h"
#include "engine/writers/gdal_reader.h"

namespace quorvel::engine {

// A sheet's cells as one line of fields that ParseLine splits back into the same cells, with or
// without a decimal comma: separated by semicolons, text quoted (a line break in it becomes a
// blank, as a line holds no break), numbers as the shortest text that reads back to the number
// stored. Trailing empty cells are left out; a row of one cell ends in a semicolon so that no
// blank inside the cell splits it.
void AppendSheetRow(const std::vector<SheetCell>& cells, std::string& line);

// A workbook's sheet, read through GDAL's module, as the lines of fields a text file would have:
// line N is the sheet's row N, an empty row an empty line.
class SheetRows : public ByteSource {
  public:
    // Opens the workbook at `path`. Throws IoError ("cannot read PATH: ...") when GDAL cannot
    // load or cannot read it as a workbook.
    explicit SheetRows(const std::string& path);
    ~SheetRows() override;

    const std::vector<std::string>& Sheets() const { return sheets_; }
    // Reads the sheet `index` from its first row; before the first Read.
    void Select(std::size_t index);

    std::size_t Read(char* buffer, std::size_t size) override;

    // The last row handed on, and the sheet's rows (0 when unknown), for a run's progress.
    std::uint64_t LastRow() const { return static_cast<std::uint64_t>(lastRow_); }
    std::uint64_t RowCount();

  private:
    bool MoreRows(std::size_t wanted);

    std::string path_;
    std::unique_ptr<GdalSheetReader> reader_;
    std::vector<std::string> sheets_;
    std::vector<SheetCell> cells_;
    std::string pending_;
    std::size_t at_ = 0;
    std::int64_t lastRow_ = 0;
    std::int64_t rowCount_ = -1;  // not yet asked
    bool end_ = false;
};

}  // namespace quorvel::engine
