#include "engine/writers/gis_output.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>

#include "core/datum.h"
#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/zones.h"
#include "engine/run/process.h"
#include "engine/writers/dat_sink.h"
#include "engine/writers/gis_fields.h"
#include "engine/writers/gis_texts.h"
#include "engine/writers/kml_spaces.h"
#include "engine/writers/stage_folder.h"
#include "platform/paths.h"
#include "platform/replace.h"

namespace quorvel::engine {
namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A longitude in (−180°, 180°].
double Normalized(double L) {
    L = std::fmod(L, 360.0);
    if (L > 180) L -= 360;
    if (L <= -180) L += 360;
    return L;
}

// The zone of width `w` whose central meridian `degrees` is, or −1.
int ZoneOfMeridian(ZoneWidth w, double degrees) {
    double m = std::fmod(degrees, 360.0);
    if (m < 0) m += 360;
    const double n = w == ZoneWidth::Three ? m / 3 : (m + 3) / 6;
    return n == std::floor(n) ? static_cast<int>(n) : -1;
}

// EPSG's Gauss-Krüger systems of China, numbered along the zones from 75°E (3° zone 25, 6° zone
// 13) to 135°E (3° zone 45, 6° zone 23): with the zone number in front of the easting, and
// without it ("CM 117E"). Read from PROJ's database; tests/engine compares each with GDAL's.
struct GaussKrugerCodes {
    int zone3, meridian3, zone6, meridian6;
};
constexpr GaussKrugerCodes kBeijing1954{2401, 2422, 21413, 21453};
constexpr GaussKrugerCodes kXian1980{2349, 2370, 2327, 2338};
constexpr GaussKrugerCodes kCgcs2000{4513, 4534, 4491, 4502};

int GaussKrugerEpsg(Datum datum, std::optional<ZoneWidth> width, bool prefix, int zone,
                    double meridian) {
    const GaussKrugerCodes* codes = datum == Datum::Beijing1954 ? &kBeijing1954
                                    : datum == Datum::Xian1980  ? &kXian1980
                                    : datum == Datum::Cgcs2000  ? &kCgcs2000
                                                                : nullptr;
    if (codes == nullptr) return 0;
    if (prefix) {
        if (width == ZoneWidth::Three && zone >= 25 && zone <= 45) return codes->zone3 + zone - 25;
        if (width == ZoneWidth::Six && zone >= 13 && zone <= 23) return codes->zone6 + zone - 13;
        return 0;
    }
    if (!(meridian >= 75 && meridian <= 135) || meridian != std::floor(meridian)) return 0;
    const int m = static_cast<int>(meridian) - 75;
    if (width == ZoneWidth::Six && m % 6 == 0) return codes->meridian6 + m / 6;
    return m % 3 == 0 ? codes->meridian3 + m / 3 : 0;
}

int GeographicEpsg(Datum datum) {
    switch (datum) {
        case Datum::Beijing1954:
            return 4214;
        case Datum::Xian1980:
            return 4610;
        case Datum::Cgcs2000:
            return 4490;
        case Datum::Wgs84:
            return 4326;
        case Datum::None:
            break;
    }
    return 0;
}

bool SameEllipsoid(const Ellipsoid& a, const Ellipsoid& b) {
    return a.a == b.a && a.f == b.f;
}

std::string_view DriverOf(OutputFormat format) {
    switch (format) {
        case OutputFormat::Dxf:
            return "DXF";
        case OutputFormat::Gpkg:
            return "GPKG";
        case OutputFormat::Shp:
            return "ESRI Shapefile";
        case OutputFormat::Kml:
            return "KML";
        default:
            break;
    }
    return "";
}

// The OGR style of a drawing's text: the name beside its point, 1 m high (2 mm at 1:500), in
// SimSun, which Chinese Windows has for Chinese names.
std::string LabelStyle(std::string_view name) {
    std::string style = "LABEL(f:\"SimSun\",s:1g,dx:0.5g,t:\"";
    for (char c : name) {
        if (c == '"' || c == '\\') style += '\\';
        style += c;
    }
    return style + "\")";
}

double NumberOf(std::string_view text) {
    double v = kNaN;
    if (!text.empty()) std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

}  // namespace

GdalCrs LayerCrs(const Job& job, int zone) {
    const Geodesy& g = job.geodesy;
    const Datum datum = DatumOf(g.ellipsoid);
    GdalCrs crs;
    crs.geographicEpsg = GeographicEpsg(datum);
    crs.ellipsoidName = g.ellipsoid.name;
    crs.a = g.ellipsoid.a;
    crs.rf = g.ellipsoid.InverseFlattening();
    if (job.mode == Computation::Inverse) {
        crs.epsg = crs.geographicEpsg;
        return crs;
    }
    crs.projected = true;
    if (g.projectionHeight != 0) {
        // No EPSG code holds a raised surface: the system is written out on the enlarged
        // ellipsoid, which no datum of EPSG's has.
        const Ellipsoid surface = SurfaceEllipsoid(g.ellipsoid, g.projectionHeight);
        crs.geographicEpsg = 0;
        crs.ellipsoidName = g.ellipsoid.name + " raised " + ShortestText(g.projectionHeight) + " m";
        crs.a = surface.a;
    }
    const double meridian = Normalized(g.zone && zone >= 0 ? CentralMeridianOf(*g.zone, zone)
                                       : job.mode == Computation::Zone ? job.meridians.ls
                                                                       : job.meridians.lo);
    const bool prefix = g.zone && g.zonePrefix && zone >= 0;
    crs.centralMeridian = meridian;
    crs.k0 = g.k0;
    crs.falseEasting = prefix ? WithZonePrefix(*g.zone, zone, g.falseEasting) : g.falseEasting;
    if (g.k0 == 1 && g.falseEasting == FalseEasting && g.projectionHeight == 0) {
        crs.epsg = GaussKrugerEpsg(datum, g.zone, prefix, zone, meridian);
    }
    // Every parameter that differs from China's systems named, so that no two systems share a
    // name, nor one a name of EPSG's for another.
    crs.name = DatumName(datum, g.ellipsoid) + " / Gauss-Kruger CM " +
               ShortestText(std::fabs(meridian)) + (meridian < 0 ? "W" : "E");
    if (prefix) crs.name += ", zone " + std::to_string(zone == 0 ? 120 : zone) + " in front";
    if (crs.falseEasting != FalseEasting) {
        char fe[kMaxResultText];
        crs.name += ", FE " + std::string(fe, WriteFullText(fe, crs.falseEasting));
    }
    if (g.k0 != 1) crs.name += ", k0 " + ShortestText(g.k0);
    if (g.projectionHeight != 0) {
        crs.name += ", projection height " + ShortestText(g.projectionHeight) + " m";
    }
    return crs;
}

ParameterFile ReadParameters(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    std::stringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        throw IoError(CannotRead(path, std::strerror(errno)));
    }
    try {
        return ReadParameterFile(text.str());
    } catch (const Error& e) {
        throw IoError(Fill(Tr("{0}: {1}"), {path, e.what()}));
    }
}

// The rows as a GDAL dataset. Encode, on the workers, computes each row's coordinates and
// numbers (the datum transformation for KML among them); Take hands them to GDAL in order.
class GisOutput::Sink : public RowSink {
  public:
    Sink(const Job& job, GdalWriter& writer, std::string path, std::string target,
         const std::optional<ParameterFile>& parameters, OutputWarning warn)
        : job_(job),
          writer_(writer),
          path_(std::move(path)),
          target_(std::move(target)),
          warn_(std::move(warn)),
          extras_(ExtraColumnNames(job.geodesy, job.mode).size()),
          zoned_(job.geodesy.zone && job.mode != Computation::Inverse &&
                 job.format != OutputFormat::Kml) {
        if (parameters)
            transform_.emplace(parameters->from, parameters->to, parameters->parameters);
        if (job.format == OutputFormat::Kml && job.mode == Computation::Zone) {
            inverse_.emplace(Method::Exact, job.geodesy.ellipsoid, job.geodesy.k0,
                             job.geodesy.falseEasting, job.geodesy.projectionHeight);
        }
    }

    void Begin(const std::vector<std::string>& columns) override {
        columns_ = columns;
        Call([&] { writer_.Create(std::string(DriverOf(job_.format)), path_, {}); });
        if (job_.format == OutputFormat::Dxf) {
            fields_ = {{"Layer", GdalField::Type::Text}};
            GdalCrs none;
            none.none = true;
            Call([&] { dxfLayer_ = writer_.CreateLayer("entities", none, fields_, {}); });
            return;
        }
        std::vector<std::string> renamed;
        const std::vector<std::string> names = FieldNames(columns, job_.format, renamed);
        if (!renamed.empty()) {
            std::string list;
            for (const std::string& r : renamed) list += (list.empty() ? "" : ", ") + r;
            warn_(Fill(Tr("{0} cannot hold every column's name as it is; written as: {1}"),
                       {job_.format == OutputFormat::Shp    ? "Shapefile"
                        : job_.format == OutputFormat::Gpkg ? "GeoPackage"
                                                            : "KML",
                        list}));
        }
        fields_ = LayerFields(job_, names);
        values_.resize(fields_.size());
        if (!zoned_) LayerFor(-1);
    }

    void Encode(const RowBlock& rows, std::string& encoded) const override {
        const std::size_t per = 3 + 4 + extras_;
        std::vector<double> d(per);
        std::string buffer;
        char text[kMaxResultText + kMaxExtrasText];
        for (const Row& row : rows) {
            CheckTexts(row);
            Place(row, d.data());
            if (job_.format != OutputFormat::Dxf) {
                d[3] = TryParseNumber(DecimalText(row.first, job_.decimalComma, buffer))
                           .value_or(kNaN);
                d[4] = TryParseNumber(DecimalText(row.second, job_.decimalComma, buffer))
                           .value_or(kNaN);
                if (job_.format == OutputFormat::Shp) {
                    CheckShapefileNumber(d[3], fields_[1], row.line, columns_[1], row.first);
                    CheckShapefileNumber(d[4], fields_[2], row.line, columns_[2], row.second);
                }
                char* end = WriteResult(text, job_.mode, row.result1, job_.full);
                d[5] = NumberOf(std::string_view(text, static_cast<std::size_t>(end - text)));
                end = WriteResult(text, job_.mode, row.result2, job_.full);
                d[6] = NumberOf(std::string_view(text, static_cast<std::size_t>(end - text)));
                for (std::size_t k = 0; k < extras_; ++k) {
                    end = WriteExtra(text, job_.geodesy, job_.mode, row.extras, k, job_.full);
                    d[7 + k] =
                        NumberOf(std::string_view(text, static_cast<std::size_t>(end - text)));
                }
            }
            encoded.append(reinterpret_cast<const char*>(d.data()), per * sizeof(double));
        }
    }

    void Take(const RowBlock& rows, std::string_view encoded) override {
        const std::size_t per = 3 + 4 + extras_;
        std::vector<double> d(per);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::memcpy(d.data(), encoded.data() + i * per * sizeof(double), per * sizeof(double));
            const Row& row = rows[i];
            const int key = static_cast<int>(d[2]);
            if (job_.format == OutputFormat::Dxf) {
                const std::string layer = LayerName(key);
                GdalValue v;
                v.text = layer;
                const std::string style = LabelStyle(row.name);
                Call([&] {
                    writer_.AddPoint(dxfLayer_, d[0], d[1], std::span(&v, 1), {});
                    writer_.AddPoint(dxfLayer_, d[0], d[1], std::span(&v, 1), style);
                });
                continue;
            }
            const int layer = LayerFor(key);
            values_[0] = GdalValue{0, row.name, false};
            for (std::size_t c = 1; c < 5 + extras_; ++c) {
                const double v = d[2 + c];
                values_[c] = GdalValue{v, {}, std::isnan(v)};
            }
            for (std::size_t k = 0; 5 + extras_ + k < values_.size(); ++k) {
                values_[5 + extras_ + k] =
                    GdalValue{0, k < row.passed.size() ? row.passed[k] : std::string_view(), false};
            }
            Call([&] { writer_.AddPoint(layer, d[0], d[1], values_, {}); });
            if (job_.format == OutputFormat::Kml) {
                for (std::size_t c = 0; c < values_.size(); ++c) {
                    if (fields_[c].type == GdalField::Type::Text) spaces_.Note(c, values_[c].text);
                }
                spaces_.NextPlacemark();
            }
        }
    }

    void End() override {
        if (job_.format != OutputFormat::Dxf && layers_.empty()) {
            // No point came out of a run with a layer per zone: the layer still names the
            // columns, on no coordinate system.
            GdalCrs none;
            none.none = true;
            Call([&] {
                writer_.CreateLayer(std::string(ColumnsOf(job_.mode).mode), none, fields_,
                                    LayerOptions());
            });
        }
        Call([&] { writer_.Close(); });
        for (const std::string& w : writer_.Warnings()) warn_("GDAL: " + w);
        if (!spaces_.Empty()) {
            std::vector<std::string> names;
            for (const GdalField& f : fields_) names.push_back(f.name);
            spaces_.Restore(path_, names, target_);
        }
    }

  private:
    template <typename F>
    void Call(F&& f) const {
        try {
            f();
        } catch (const IoError&) {
            throw;
        } catch (const std::runtime_error& e) {
            throw IoError(CannotWrite(target_, e.what()));
        }
    }

    std::vector<std::string> LayerOptions() const {
        if (job_.format == OutputFormat::Shp) return {"ENCODING=UTF-8"};
        return {};
    }

    std::string LayerName(int zone) const {
        // forward_zone39; the zone change's zone40.
        std::string name(ColumnsOf(job_.mode).mode);
        if (zone >= 0)
            name += (job_.mode == Computation::Zone ? "" : "_zone") + std::to_string(zone);
        return name;
    }

    int LayerFor(int key) {
        const auto found = layers_.find(key);
        if (found != layers_.end()) return found->second;
        if (job_.format == OutputFormat::Shp && !layers_.empty()) {
            throw IoError(Fill(Tr("the points lie in zones {0} and {1}, and a Shapefile holds one "
                                  "coordinate system: write --format gpkg, which keeps a layer "
                                  "per zone"),
                               {std::to_string(layers_.begin()->first), std::to_string(key)}));
        }
        GdalCrs crs;
        if (job_.format == OutputFormat::Kml) {
            crs.epsg = 4326;
        } else {
            crs = LayerCrs(job_, key);
        }
        int layer = 0;
        Call([&] { layer = writer_.CreateLayer(LayerName(key), crs, fields_, LayerOptions()); });
        layers_.emplace(key, layer);
        return layer;
    }

    // What the format would not keep as it is: a text a DBF field cuts at 254 bytes, and the
    // characters of CheckGisText. A drawing writes the name alone.
    void CheckTexts(const Row& row) const {
        const bool shp = job_.format == OutputFormat::Shp;
        const auto check = [&](std::string_view text, std::size_t column) {
            CheckGisText(text, job_.format, row.line, columns_[column]);
            if (!shp || text.size() <= 254) return;
            throw IoError(
                Fill(Tr("line {0}: the {1} is {2} bytes long, more than a Shapefile's "
                        "field holds (254): write --format gpkg"),
                     {std::to_string(row.line), columns_[column], std::to_string(text.size())}));
        };
        check(row.name, 0);
        if (job_.format == OutputFormat::Dxf) return;
        for (std::size_t k = 0; k < row.passed.size(); ++k) check(row.passed[k], 5 + extras_ + k);
    }

    // The central meridian of a row's plane coordinates: the output's (forward and zone), the
    // input's (inverse).
    double RowMeridian(const Row& row) const {
        const Geodesy& g = job_.geodesy;
        if (!g.zone) return job_.mode == Computation::Zone ? job_.meridians.ls : job_.meridians.lo;
        if (job_.mode != Computation::Inverse) return CentralMeridianOf(*g.zone, row.extras.zone);
        std::string buffer;
        const double Y = ParseNumber(DecimalText(row.second, job_.decimalComma, buffer));
        return CentralMeridianOf(*g.zone, SplitZonePrefix(*g.zone, Y, g.falseEasting).zone);
    }

    // x, y and the layer's key of a row: plane Y, X; the inverse's L, B; KML's WGS 84 L, B.
    void Place(const Row& row, double* d) const {
        const Geodesy& g = job_.geodesy;
        d[2] = zoned_ ? row.extras.zone : -1;
        if (job_.format != OutputFormat::Kml) {
            if (job_.mode == Computation::Inverse) {
                d[0] = Normalized(DecodePackedAngle(row.result1));
                d[1] = DecodePackedAngle(row.result2);
            } else {
                d[0] = row.result2;
                d[1] = row.result1;
            }
            return;
        }
        std::string buffer;
        double L = 0, B = 0;
        try {
            if (job_.mode == Computation::Forward) {
                L = DecodePackedAngle(
                    ParseNumber(DecimalText(row.first, job_.decimalComma, buffer)));
                B = DecodePackedAngle(
                    ParseNumber(DecimalText(row.second, job_.decimalComma, buffer)));
            } else if (job_.mode == Computation::Inverse) {
                L = DecodePackedAngle(row.result1);
                B = DecodePackedAngle(row.result2);
            } else {
                double Y = row.result2;
                if (g.zone && g.zonePrefix) Y = SplitZonePrefix(*g.zone, Y, g.falseEasting).Y;
                const GeoPoint p = inverse_->Inverse(row.result1, Y, RowMeridian(row));
                L = p.L;
                B = p.B;
            }
            if (transform_) {
                const SystemConverter& from = transform_->source();
                // Only the plane similarity works on one zone's grid; through geocentric
                // coordinates any zone gives the same point, so the point's own zone serves.
                int zone = -1;
                if (from.system().HasZones() &&
                    transform_->parameters().model == DatumModel::Four) {
                    zone = ZoneOfMeridian(*from.system().zoneWidth, RowMeridian(row));
                }
                const Triple t = transform_->Apply(from.FromGeodetic({L, B, 0}, zone));
                const Triple lbh = transform_->target().ToGeodetic(t);
                L = lbh[0];
                B = lbh[1];
            }
        } catch (const Error& e) {
            throw IoError(Fill(Tr("line {0}: no WGS 84 point for KML: {1}"),
                               {std::to_string(row.line), e.what()}));
        }
        d[0] = Normalized(L);
        d[1] = B;
    }

    const Job job_;
    GdalWriter& writer_;
    std::string path_, target_;
    OutputWarning warn_;
    const std::size_t extras_;
    const bool zoned_;
    std::optional<DatumTransform> transform_;
    std::optional<GaussKruger> inverse_;
    std::vector<std::string> columns_;
    std::vector<GdalField> fields_;
    std::vector<GdalValue> values_;
    std::map<int, int> layers_;
    int dxfLayer_ = 0;
    KmlLeadingSpaces spaces_;
};

namespace {

// The caller has checked the format (CheckFormat): a job it refuses here is a mistake in the
// program, not the user's.
void RequireFormat(const Job& job, bool parameters) {
    if (const std::optional<JobRefusal> r = CheckFormat(job, parameters)) {
        throw std::invalid_argument(r->words);
    }
}

}  // namespace

GisOutput::GisOutput(const Job& job, const std::string& target,
                     const std::optional<ParameterFile>& parameters,
                     const std::string& parametersName, OutputWarning warn) {
    RequireFormat(job, parameters.has_value());
    if (parameters) {
        if (!SameEllipsoid(parameters->from.ellipsoid, job.geodesy.ellipsoid)) {
            throw IoError(Fill(
                Tr("the parameter file {0} transforms from {1}, and the points are "
                   "on {2}"),
                {parametersName, parameters->from.ellipsoid.name, job.geodesy.ellipsoid.name}));
        }
        if (!SameEllipsoid(parameters->to.ellipsoid, Cgcs2000()) &&
            !SameEllipsoid(parameters->to.ellipsoid, Wgs84())) {
            throw IoError(Fill(Tr("the parameter file {0} transforms to {1}: KML needs CGCS2000 or "
                                  "WGS 84"),
                               {parametersName, parameters->to.ellipsoid.name}));
        }
    }
    for (const std::string& path : OutputFiles(job.format, target)) {
        files_.push_back(std::make_unique<AtomicFile>(path));
    }
    stage_ = MakeStageFolder(files_.front()->Target(), target);
    removed_.push_back(std::make_unique<RemovedOnSignal>(stage_));
    const std::string base = stage_ + "/points.";
    const std::string ending(FormatName(job.format));
    if (job.format == OutputFormat::Shp) {
        for (const char* e : {"shp", "shx", "dbf", "prj", "cpg"}) staged_.push_back(base + e);
    } else {
        staged_.push_back(base + ending);
    }
    for (const std::string& path : staged_)
        removed_.push_back(std::make_unique<RemovedOnSignal>(path));
    // What GDAL keeps beside a file while it writes: SQLite's journal, the drawing's entities.
    for (const char* transient : {"-journal", "-wal", "-shm", ".tmp"}) {
        removed_.push_back(std::make_unique<RemovedOnSignal>(staged_.front() + transient));
    }
    writer_ = LoadGdalWriter();
    sink_ =
        std::make_unique<Sink>(job, *writer_, staged_.front(), target, parameters, std::move(warn));
}

GisOutput::~GisOutput() {
    sink_.reset();
    writer_.reset();  // closes a dataset left open by a failure
    std::error_code ec;
    if (!stage_.empty()) fs::remove_all(platform::PathFromUtf8(stage_), ec);
}

RowSink& GisOutput::Rows() {
    return *sink_;
}

void GisOutput::Finish() {
    absent_.assign(files_.size(), false);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        // A Shapefile of no coordinate system has no .prj: none is published, and that of the
        // Shapefile replaced goes.
        if (!files_[i]->FinishWith(staged_[i])) {
            if (i == 0) {
                throw IoError(CannotWrite(files_[i]->Target(), std::strerror(ENOENT)), ENOENT);
            }
            absent_[i] = true;
        }
    }
}

void GisOutput::Publish() {
    try {
        for (; published_ < files_.size(); ++published_) {
            if (!absent_[published_]) files_[published_]->Publish();
        }
    } catch (const IoError&) {
        Undo();
        throw;
    }
}

void GisOutput::Settle() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (absent_[i]) {
            platform::RemoveFile(files_[i]->Target());
        } else {
            files_[i]->Settle();
        }
    }
    // A spatial index of the Shapefile replaced would point into the new one.
    if (files_.size() > 1) {
        const std::string& shp = files_.front()->Target();
        const std::string stem = shp.substr(0, shp.size() - 4);
        for (const char* index : {".qix", ".sbn", ".sbx"}) platform::RemoveFile(stem + index);
    }
}

void GisOutput::Undo() {
    for (std::size_t i = 0; i < published_ && i < files_.size(); ++i) {
        if (!absent_[i]) files_[i]->Undo();
    }
}

void WriteRows(const RowStore& rows, const Job& job, const std::string& target,
               const OutputWarning& warn, const std::optional<ParameterFile>& parameters,
               const std::string& parametersName) {
    if (WritesThroughGdal(job.format)) {
        GisOutput out(job, target, parameters, parametersName, warn);
        rows.Replay(out.Rows());
        out.Finish();
        const SignalsDeferred whole;
        out.Publish();
        out.Settle();
        return;
    }
    RequireFormat(job, parameters.has_value());
    AtomicFile file(target);
    FdSink sink(file.fd(), target);
    OutputBuffer out(sink);
    CsvSink csv(job, out);
    DatSink dat(job, out);
    rows.Replay(job.format == OutputFormat::Dat ? static_cast<RowSink&>(dat) : csv);
    file.Commit();
}

}  // namespace quorvel::engine
