#pragma once

#include <cstdint>
#include <string_view>

#include "engine/writers/output_format.h"

namespace quorvel::engine {

// Refuses, as IoError naming the line, the column and the character, a text that `format` would
// not keep as it is: GDAL cuts every text at a NUL; KML drops the control characters XML cannot
// hold (all below U+0020 but tab, line feed and carriage return); a drawing's text writes a
// carriage return raw, which ends its line in the file, and escapes characters beyond U+FFFF as
// \U+ with five digits, which CAD programs read as four and a digit.
void CheckGisText(std::string_view text, OutputFormat format, std::uint64_t line,
                  std::string_view column);

}  // namespace quorvel::engine
