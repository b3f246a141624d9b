#include "engine/writers/gis_fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/run/diagnostics.h"
#include "engine/run/job.h"

namespace quorvel::engine {
namespace {

std::string Lower(std::string_view text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

// The first `size` bytes of `text`, not cutting a UTF-8 character.
std::string_view Head(std::string_view text, std::size_t size) {
    if (text.size() <= size) return text;
    while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    return text.substr(0, size);
}

// The decimals the CSV writes in column `c` (1 and 2 the typed values, which the CSV writes as
// typed: those of the results of their kind), an added column named `extra`.
int CsvDecimals(const Job& job, std::size_t c, std::string_view extra) {
    if (job.full) return 11;  // 12 digits before the point hold any easting with its zone
    const bool angles =
        c <= 2 ? job.mode == Computation::Forward : job.mode == Computation::Inverse;
    if (c <= 4) return angles ? 10 : 4;
    if (extra == "gamma") return 6;
    if (extra == "k") return 10;
    if (extra == "distortion") return 2;  // cm/km
    return 3;                             // the differences, in millimetres
}

// The column's name with the characters `format` cannot hold in a field's name as _: GDAL cuts
// a name at a NUL, and writes KML's names into XML attributes as they are.
std::string Writable(const std::string& column, OutputFormat format) {
    std::string name = column;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool xml = format == OutputFormat::Kml &&
                         (u < 0x20 || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'');
        if (u == 0 || xml) c = '_';
    }
    return name;
}

}  // namespace

std::vector<std::string> FieldNames(const std::vector<std::string>& columns, OutputFormat format,
                                    std::vector<std::string>& renamed) {
    const bool shp = format == OutputFormat::Shp;
    std::vector<std::string> names;
    std::unordered_set<std::string> taken;  // lower case
    if (format == OutputFormat::Gpkg) taken = {"fid", "geom"};
    // The next suffix to try for the columns whose names with a suffix are alike (a
    // Shapefile's: alike in their first 10 bytes): every smaller one is taken.
    std::unordered_map<std::string, int> next;
    for (const std::string& typed : columns) {
        const std::string column = Writable(typed, format);
        std::string name(shp ? Head(column, 10) : column);
        if (taken.contains(Lower(name))) {
            int& n = next.try_emplace(shp ? column.substr(0, 10) : column, 2).first->second;
            for (;; ++n) {
                const std::string suffix = "_" + std::to_string(n);
                name = std::string(shp ? Head(column, 10 - suffix.size()) : column) + suffix;
                if (!taken.contains(Lower(name))) break;
            }
        }
        taken.insert(Lower(name));
        if (name != typed) renamed.push_back(typed + " → " + name);
        names.push_back(name);
    }
    return names;
}

std::vector<GdalField> LayerFields(const Job& job, const std::vector<std::string>& names) {
    const std::vector<std::string_view> extras = ExtraColumnNames(job.geodesy, job.mode);
    const bool shp = job.format == OutputFormat::Shp;
    std::vector<GdalField> fields;
    for (std::size_t c = 0; c < names.size(); ++c) {
        GdalField f{names[c], GdalField::Type::Text};
        const std::string_view extra = c >= 5 && c < 5 + extras.size() ? extras[c - 5] : "";
        if (c >= 1 && c < 5 + extras.size()) {
            // KML's schema and a .dbf know a zone as an integer only as a 32-bit one.
            f.type = extra != "zone"                          ? GdalField::Type::Real
                     : shp || job.format == OutputFormat::Kml ? GdalField::Type::Integer32
                                                              : GdalField::Type::Integer;
        }
        if (shp) {
            // Texts start narrow: GDAL widens a field to its longest text, where 254 bytes
            // for all would make a million rows a gigabyte. A zone has 3 digits.
            f.width = f.type == GdalField::Type::Text ? 1 : extra == "zone" ? 4 : 24;
            if (f.type == GdalField::Type::Real) f.precision = CsvDecimals(job, c, extra);
        }
        fields.push_back(f);
    }
    return fields;
}

void CheckShapefileNumber(double value, const GdalField& field, std::uint64_t line,
                          std::string_view column, std::string_view typed) {
    if (!std::isfinite(value)) return;
    char text[400];
    const char* end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, field.precision)
            .ptr;
    double back = 0;
    std::from_chars(text, end, back);
    if (back == value) return;
    throw IoError(Fill(
        Tr("line {0}: the {1} {2} has more decimals than a Shapefile's field "
           "holds ({3}): write --format gpkg"),
        {std::to_string(line), column, QuoteForMessage(typed), std::to_string(field.precision)}));
}

}  // namespace quorvel::engine
