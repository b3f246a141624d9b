#include "engine/writers/output_format.h"

#include <algorithm>
#include <array>

#include "core/messages.h"
#include "engine/run/job.h"
#include "engine/writers/gdal_writer.h"

namespace quorvel::engine {
namespace {

constexpr std::array<std::string_view, 6> kNames = {"csv", "dat", "dxf", "gpkg", "shp", "kml"};

std::string Lower(std::string_view text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

}  // namespace

std::string_view FormatName(OutputFormat format) {
    return kNames[static_cast<std::size_t>(format)];
}

std::optional<JobRefusal> ParseFormat(std::string_view text, OutputFormat& format) {
    const std::string lower = Lower(text);
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (lower == kNames[i]) {
            format = static_cast<OutputFormat>(i);
            return std::nullopt;
        }
    }
    return Refuse(Fill(Tr("--format: {0} is not csv, dat, dxf, gpkg, shp or kml"),
                       {"\"" + std::string(text) + "\""}));
}

OutputFormat FormatOfPath(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return OutputFormat::Csv;
    }
    const std::string ending = Lower(path.substr(dot + 1));
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (ending == kNames[i]) return static_cast<OutputFormat>(i);
    }
    return OutputFormat::Csv;
}

std::optional<std::string> ForeignEnding(OutputFormat format, std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return std::nullopt;
    }
    const std::string ending = Lower(path.substr(dot + 1));
    if (ending == FormatName(format)) return std::nullopt;
    constexpr std::array<std::string_view, 9> kOthers = {"kmz", "shx", "dbf", "prj",    "cpg",
                                                         "qix", "dwg", "pdf", "geojson"};
    const bool known = std::find(kNames.begin(), kNames.end(), ending) != kNames.end() ||
                       std::find(kOthers.begin(), kOthers.end(), ending) != kOthers.end();
    if (!known) return std::nullopt;
    return ending;
}

bool WritesThroughGdal(OutputFormat format) {
    return format != OutputFormat::Csv && format != OutputFormat::Dat;
}

std::vector<std::string> OutputFiles(OutputFormat format, const std::string& target) {
    std::vector<std::string> files{target};
    if (format != OutputFormat::Shp) return files;
    const std::string stem =
        FormatOfPath(target) == OutputFormat::Shp ? target.substr(0, target.size() - 4) : target;
    for (std::string_view ending : {".shx", ".dbf", ".prj", ".cpg"})
        files.push_back(stem + std::string(ending));
    return files;
}

Datum DatumOf(const Ellipsoid& e) {
    const auto is = [&](const Ellipsoid& known) {
        return e.name == known.name && e.a == known.a && e.f == known.f;
    };
    if (is(Krassovsky())) return Datum::Beijing1954;
    if (is(Xian80())) return Datum::Xian1980;
    if (is(Cgcs2000())) return Datum::Cgcs2000;
    if (is(Wgs84())) return Datum::Wgs84;
    return Datum::None;
}

std::string DatumName(Datum datum, const Ellipsoid& ellipsoid) {
    switch (datum) {
        case Datum::Beijing1954:
            return "Beijing 1954";
        case Datum::Xian1980:
            return "Xi'an 1980";
        case Datum::Cgcs2000:
            return "CGCS2000";
        case Datum::Wgs84:
            return "WGS 84";
        case Datum::None:
            break;
    }
    return ellipsoid.name;
}

std::optional<JobRefusal> CheckFormat(const Job& job, bool parameters) {
    const OutputFormat f = job.format;
    if (WritesThroughGdal(f) && !GisFormatsBuilt()) {
        return Refuse(Fill(Tr("--format {0}: this build of Quorvel cannot write DXF, GeoPackage, "
                              "Shapefile or KML (there is no GDAL for it): write csv or dat"),
                           {FormatName(f)}),
                      /*usage=*/false);
    }
    if ((f == OutputFormat::Dat || f == OutputFormat::Dxf) && job.mode == Computation::Inverse) {
        return Refuse(Fill(Tr("--format {0} holds plane coordinates, and inverse computes L, B: "
                              "write csv, gpkg, shp or kml"),
                           {FormatName(f)}),
                      /*usage=*/false);
    }
    if (job.bom && f != OutputFormat::Csv) {
        return Refuse(
            Tr("--bom belongs to the CSV that Excel opens: leave it out or write "
               "--format csv"));
    }
    if (parameters && f != OutputFormat::Kml) {
        return Refuse(Tr(
            "-p gives the datum transformation of --format kml: leave it out for other formats"));
    }
    const Datum datum = DatumOf(job.geodesy.ellipsoid);
    if (f == OutputFormat::Kml && !parameters && datum != Datum::Cgcs2000 &&
        datum != Datum::Wgs84) {
        return Refuse(
            Fill(Tr("--format kml holds WGS 84 longitudes and latitudes, which only CGCS2000 and "
                    "WGS 84 points give as they are: points on {0} need a datum transformation; "
                    "give -p PARAMS, a parameter file from {0} to CGCS2000 or WGS 84"),
                 {DatumName(datum, job.geodesy.ellipsoid)}),
            /*usage=*/false);
    }
    return std::nullopt;
}

}  // namespace quorvel::engine
