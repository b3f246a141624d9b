#pragma once

namespace quorvel {

// Maps the window's and the report's font names ("宋体", "MS Sans Serif") onto installed fonts
// whose Latin glyphs are half-width cells, as the report's column rule needs. Call once after
// the application object exists and before any widget or printer font is made.
void InstallFontSubstitutions();

}  // namespace quorvel
