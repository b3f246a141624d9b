#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::engine {

// GDAL's writing of point layers behind an interface of plain types. It lives in the module
// quorvel-gdal.so, the one part of Quorvel linked with GDAL: linked into the programs, GDAL and
// its hundred libraries would cost every run some 35 MB and 60 ms at start, so a run loads it
// only for a format that needs it.

struct GdalField {
    // Integer is 64-bit; Integer32 what KML's schema calls int and a .dbf reads back as Integer.
    enum class Type { Text, Real, Integer, Integer32 };
    std::string name;
    Type type = Type::Text;
    int width = 0;  // characters (0: the driver's default), and digits after the point
    int precision = 0;
};

// A layer's coordinate system: an EPSG code; else transverse Mercator (`projected`) or
// geographic coordinates on the geographic CRS `geographicEpsg`, or on an ellipsoid of no known
// datum (a, rf) when that is 0; none at all for `none` (a drawing).
struct GdalCrs {
    bool none = false;
    int epsg = 0;
    int geographicEpsg = 0;
    std::string name;  // of the system written out
    std::string ellipsoidName;
    double a = 0, rf = 0;
    bool projected = false;
    double centralMeridian = 0, k0 = 1, falseEasting = 0;
};

// One attribute of a point: `number` for Real and Integer fields, `text` for Text; null for a
// value there is none of.
struct GdalValue {
    double number = 0;
    std::string_view text;
    bool null = false;
};

// Every method throws std::runtime_error with GDAL's words when GDAL fails.
class GdalWriter {
  public:
    virtual ~GdalWriter() = default;
    // A new dataset at `path` with GDAL's driver `driver` (GPKG, ESRI Shapefile, DXF, KML) and
    // its creation options (KEY=VALUE).
    virtual void Create(const std::string& driver, const std::string& path,
                        const std::vector<std::string>& options) = 0;
    // A point layer with these fields (a field the driver already has, such as the drawing's
    // Layer, is used as it is); returns its number for AddPoint.
    virtual int CreateLayer(const std::string& name, const GdalCrs& crs,
                            const std::vector<GdalField>& fields,
                            const std::vector<std::string>& options) = 0;
    // A point: x easting or longitude, y northing or latitude; a value per field; an OGR style
    // string (a drawing's text) or none.
    virtual void AddPoint(int layer, double x, double y, std::span<const GdalValue> values,
                          std::string_view style) = 0;
    // Writes out and closes the dataset.
    virtual void Close() = 0;
    // GDAL's warnings so far.
    virtual std::vector<std::string> Warnings() const = 0;
};

// The module's entry point, extern "C" so that dlsym finds it by this name.
inline constexpr const char* kGdalWriterSymbol = "quorvel_new_gdal_writer";
using NewGdalWriter = GdalWriter* (*)();

// Loads quorvel-gdal.so (.dll), from QUORVEL_GDAL_MODULE when set, else from the program's folder
// as installed (`QUORVEL_GDAL_MODULE_RELATIVE`) or as built, and makes a writer. Throws IoError
// saying why it cannot.
std::unique_ptr<GdalWriter> LoadGdalWriter();

// Whether this build has the module at all: the Windows build goes without, as there is no GDAL
// for it to link, and refuses the formats it writes.
bool GisFormatsBuilt();

}  // namespace quorvel::engine
