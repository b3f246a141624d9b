#include "engine/kml_spaces.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/errors.h"
#include "core/messages.h"

namespace quorvel::engine {

void KmlLeadingSpaces::Note(std::size_t column, std::string_view text) {
    std::size_t count = 0;
    while (count < text.size() && text[count] == ' ') ++count;
    if (count > 0) texts_.push_back({placemark_, column, count});
}

void KmlLeadingSpaces::Restore(const std::string& path, const std::vector<std::string>& fields,
                               const std::string& target) const {
    const std::string rewritten = path + ".tmp";
    std::ifstream in(path, std::ios::binary);
    std::ofstream out(rewritten, std::ios::binary | std::ios::trunc);
    std::string line;
    std::uint64_t placemark = 0;  // counted from 1 as the file goes; `Note` counts from 0
    auto next = texts_.begin();
    // Each placemark's <name> and <SimpleData> start lines of their own; a text's other lines
    // cannot look like them, since GDAL writes its < as &lt;.
    while (std::getline(in, line)) {
        if (line == "  <Placemark>") ++placemark;
        while (next != texts_.end() && next->placemark + 1 == placemark) {
            const std::string tag = next->column == 0
                                        ? "\t<name>"
                                        : "\t\t<SimpleData name=\"" + fields[next->column] + "\">";
            if (!line.starts_with(tag)) break;
            line.insert(tag.size(), next->count, ' ');
            ++next;
        }
        out << line;
        if (!in.eof()) out << '\n';
    }
    out.close();
    const auto fail = [&](const std::string& why) {
        std::remove(rewritten.c_str());
        return IoError(Fill(Tr("cannot write {0}: {1}"), {target, why}));
    };
    if (in.bad() || !out) throw fail(std::strerror(errno));
    if (next != texts_.end()) throw fail(Tr("GDAL wrote the KML in a form Quorvel does not know"));
    if (std::rename(rewritten.c_str(), path.c_str()) != 0) throw fail(std::strerror(errno));
}

}  // namespace quorvel::engine
