#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

// GDAL's KML writer drops the spaces a text starts with (a name "  P1" becomes "P1"), which
// XML and KML readers keep. The texts that start with spaces are noted as the placemarks are
// written, and the spaces put back into the file once GDAL has closed it.
class KmlLeadingSpaces {
  public:
    // `text` of column `column` (0 the name, which KML writes as <name>) in the placemark being
    // written.
    void Note(std::size_t column, std::string_view text);
    // The next placemark begins.
    void NextPlacemark() { ++placemark_; }
    bool Empty() const { return texts_.empty(); }
    // Rewrites the KML file `path` (through `path`.tmp) with the spaces back; `fields` names the
    // columns as the file's SimpleData does. Throws IoError naming `target`.
    void Restore(const std::string& path, const std::vector<std::string>& fields,
                 const std::string& target) const;

  private:
    struct Spaces {
        std::uint64_t placemark;
        std::size_t column;
        std::size_t count;
    };
    std::vector<Spaces> texts_;  // in the order of the file
    std::uint64_t placemark_ = 0;
};

}  // namespace quorvel::engine
