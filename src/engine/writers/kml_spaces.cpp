#include "engine/writers/kml_spaces.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/errors.h"
#include "core/messages.h"
#include "platform/paths.h"
#include "platform/replace.h"

namespace quorvel::engine {

void KmlLeadingSpaces::Note(std::size_t column, std::string_view text) {
    std::size_t count = 0;
    while (count < text.size() && text[count] == ' ') ++count;
    if (count > 0) texts_.push_back({placemark_, column, count});
}

void KmlLeadingSpaces::Restore(const std::string& path, const std::vector<std::string>& fields,
                               const std::string& target) const {
    const std::string rewritten = path + ".tmp";
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    std::ofstream out(platform::PathFromUtf8(rewritten), std::ios::binary | std::ios::trunc);
    std::string line;
    std::uint64_t placemark = 0;  // counted from 1 as the file goes; `Note` counts from 0
    // The texts of the placemark being read, [first, last): GDAL writes the name, the
    // description, then the others in the order of the fields.
    auto first = texts_.begin(), last = texts_.begin();
    std::vector<bool> done;
    bool lost = false;
    const auto tag = [&](std::size_t column) {
        const std::string& field = fields[column];
        if (column == 0) return std::string("\t<name>");
        std::string lower = field;
        for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower == "description") return std::string("\t<description>");
        return "\t\t<SimpleData name=\"" + field + "\">";
    };
    // Each of them starts a line of its own; a text's other lines cannot look like one, since
    // GDAL writes its < as &lt;.
    while (std::getline(in, line)) {
        if (line == "  <Placemark>") {
            lost |= std::find(done.begin(), done.end(), false) != done.end();
            ++placemark;
            first = last;
            while (last != texts_.end() && last->placemark + 1 == placemark) ++last;
            done.assign(static_cast<std::size_t>(last - first), false);
        }
        for (auto t = first; t != last; ++t) {
            const std::string start = tag(t->column);
            if (done[static_cast<std::size_t>(t - first)] || !line.starts_with(start)) continue;
            line.insert(start.size(), t->count, ' ');
            done[static_cast<std::size_t>(t - first)] = true;
            break;
        }
        out << line;
        if (!in.eof()) out << '\n';
    }
    lost |= last != texts_.end() || std::find(done.begin(), done.end(), false) != done.end();
    out.close();
    const auto fail = [&](const std::string& why) {
        platform::RemoveFile(rewritten);
        return IoError(CannotWrite(target, why));
    };
    if (in.bad() || !out) throw fail(std::strerror(errno));
    if (lost) throw fail(Tr("GDAL wrote the KML in a form Quorvel does not know"));
    if (platform::MoveReplacing(rewritten, path) != 0) throw fail(std::strerror(errno));
}

}  // namespace quorvel::engine
