// quorvel-gdal.so: GdalWriter on GDAL's C++ interface. The only file of Quorvel that includes
// GDAL; built as a module that quorvel-batch and the window load when they need it.
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

#include "engine/writers/gdal_checked_files.h"
#include "engine/writers/gdal_writer.h"

namespace quorvel::engine {
namespace {

// Commits a GeoPackage every so many points: one transaction for all would be as fast, but
// keeps the journal of a million points.
constexpr std::size_t kPointsPerTransaction = 65536;

class Writer final : public GdalWriter {
  public:
    Writer() {
        static std::once_flag registered;
        std::call_once(registered, [] { GDALAllRegister(); });
        CPLPushErrorHandlerEx(&Writer::Collect, this);
    }
    ~Writer() override {
        if (ds_ != nullptr) GDALClose(ds_);
        if (!header_.empty()) VSIUnlink(header_.c_str());
        CPLPopErrorHandler();
    }

    void Create(const std::string& driver, const std::string& path,
                const std::vector<std::string>& options) override {
        GDALDriver* d = GetGDALDriverManager()->GetDriverByName(driver.c_str());
        if (d == nullptr) throw std::runtime_error("GDAL has no driver " + driver);
        CPLStringList list;
        for (const std::string& o : options) list.AddString(o.c_str());
        if (driver == "GPKG") {
            // The file is flushed to disk once, when it is complete.
            CPLSetConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF");
        }
        if (driver == "DXF" && list.FetchNameValue("HEADER") == nullptr) {
            header_ = MetricHeader();
            list.SetNameValue("HEADER", header_.c_str());
        }
        CPLErrorReset();
        // SQLite checks its own writes; the other drivers' go through the checked layer.
        const std::string written = driver == "GPKG" ? path : checked_.Path(path);
        ds_ = d->Create(written.c_str(), 0, 0, 0, GDT_Unknown, list.List());
        if (ds_ == nullptr) Fail();
        transactions_ = ds_->TestCapability(ODsCTransactions) != 0;
        if (transactions_ && ds_->StartTransaction() != OGRERR_NONE) Fail();
    }

    int CreateLayer(const std::string& name, const GdalCrs& crs,
                    const std::vector<GdalField>& fields,
                    const std::vector<std::string>& options) override {
        OGRSpatialReference srs;
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (!crs.none) SetCrs(srs, crs);
        CPLStringList list;
        for (const std::string& o : options) list.AddString(o.c_str());
        OGRLayer* layer =
            ds_->CreateLayer(name.c_str(), crs.none ? nullptr : &srs, wkbPoint, list.List());
        if (layer == nullptr) Fail();
        Layer& l = layers_.emplace_back();
        l.layer = layer;
        // The fields the driver has already (a drawing's Layer), looked up once: asking GDAL for
        // each field's name would take time quadratic in the fields.
        std::unordered_map<std::string, int> existing;
        OGRFeatureDefn* defn0 = layer->GetLayerDefn();
        for (int i = 0; i < defn0->GetFieldCount(); ++i)
            existing.emplace(CPLString(defn0->GetFieldDefn(i)->GetNameRef()).tolower(), i);
        for (const GdalField& f : fields) {
            const auto found = existing.find(CPLString(f.name).tolower());
            int at = found == existing.end() ? -1 : found->second;
            if (at < 0) {
                OGRFieldDefn defn(f.name.c_str(),
                                  f.type == GdalField::Type::Real        ? OFTReal
                                  : f.type == GdalField::Type::Integer   ? OFTInteger64
                                  : f.type == GdalField::Type::Integer32 ? OFTInteger
                                                                         : OFTString);
                defn.SetWidth(f.width);
                defn.SetPrecision(f.precision);
                if (layer->CreateField(&defn, FALSE) != OGRERR_NONE) Fail();
                at = layer->GetLayerDefn()->GetFieldCount() - 1;
            }
            l.fields.push_back(at);
            l.types.push_back(f.type);
        }
        l.feature.reset(OGRFeature::CreateFeature(layer->GetLayerDefn()));
        l.feature->SetGeometryDirectly(new OGRPoint(0, 0));
        l.point = l.feature->GetGeometryRef()->toPoint();
        return static_cast<int>(layers_.size() - 1);
    }

    void AddPoint(int layer, double x, double y, std::span<const GdalValue> values,
                  std::string_view style) override {
        Layer& l = layers_[static_cast<std::size_t>(layer)];
        OGRFeature& f = *l.feature;
        f.SetFID(OGRNullFID);
        for (std::size_t i = 0; i < values.size() && i < l.fields.size(); ++i) {
            const GdalValue& v = values[i];
            const int at = l.fields[i];
            if (v.null) {
                f.SetFieldNull(at);
            } else if (l.types[i] == GdalField::Type::Text) {
                text_.assign(v.text);
                f.SetField(at, text_.c_str());
            } else if (l.types[i] == GdalField::Type::Integer ||
                       l.types[i] == GdalField::Type::Integer32) {
                f.SetField(at, static_cast<GIntBig>(v.number));
            } else {
                f.SetField(at, v.number);
            }
        }
        // A driver may transform the geometry in place: set it afresh each time.
        l.point->setX(x);
        l.point->setY(y);
        text_.assign(style);
        f.SetStyleString(style.empty() ? nullptr : text_.c_str());
        if (l.layer->CreateFeature(&f) != OGRERR_NONE) Fail();
        CheckWrites();
        if (transactions_ && ++pending_ >= kPointsPerTransaction) {
            pending_ = 0;
            if (ds_->CommitTransaction() != OGRERR_NONE || ds_->StartTransaction() != OGRERR_NONE)
                Fail();
        }
    }

    void Close() override {
        if (transactions_ && ds_->CommitTransaction() != OGRERR_NONE) Fail();
        for (Layer& l : layers_) l.feature.reset();
        CPLErrorReset();
        GDALDataset* ds = ds_;
        ds_ = nullptr;
        GDALClose(ds);
        CheckWrites();
        if (CPLGetLastErrorType() >= CE_Failure) Fail();
    }

    std::vector<std::string> Warnings() const override { return warnings_; }

  private:
    struct Layer {
        OGRLayer* layer = nullptr;
        std::unique_ptr<OGRFeature> feature;
        OGRPoint* point = nullptr;
        std::vector<int> fields;
        std::vector<GdalField::Type> types;
    };

    static void CPL_STDCALL Collect(CPLErr type, CPLErrorNum, const char* message) {
        auto* self = static_cast<Writer*>(CPLGetErrorHandlerUserData());
        if (type == CE_Warning && self->warnings_.size() < 20)
            self->warnings_.emplace_back(message);
    }

    // GDAL's drawing header says inches ($INSUNITS 1, $MEASUREMENT 0 imperial), and GDAL 3.6
    // has no option to say otherwise: the same header in metres (6, and 1 metric), in memory.
    std::string MetricHeader() const {
        const char* found = CPLFindFile("gdal", "header.dxf");
        if (found == nullptr) throw std::runtime_error("GDAL's header.dxf is not installed");
        const std::string source = found;
        char** lines = CSLLoad(source.c_str());
        if (lines == nullptr) Fail();
        CPLStringList header(lines, TRUE);
        int set = 0;
        for (int i = 0; i + 2 < header.Count(); ++i) {
            const std::string name = CPLString(header[i]).Trim();
            const char* value = name == "$INSUNITS"      ? "     6"
                                : name == "$MEASUREMENT" ? "     1"
                                                         : nullptr;
            if (value == nullptr) continue;
            CPLFree(header.List()[i + 2]);
            header.List()[i + 2] = CPLStrdup(value);
            ++set;
        }
        if (set != 2) throw std::runtime_error(source + " sets no $INSUNITS or $MEASUREMENT");
        std::string text;
        for (int i = 0; i < header.Count(); ++i) (text += header[i]) += '\n';
        const std::string path =
            CPLSPrintf("/vsimem/quorvel-header-%p.dxf", static_cast<const void*>(this));
        VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
        const bool written =
            f != nullptr && VSIFWriteL(text.data(), 1, text.size(), f) == text.size();
        if (f != nullptr) VSIFCloseL(f);
        if (!written) Fail();
        return path;
    }

    // A write GDAL let fail, in the words a failed write of Quorvel's own gets.
    void CheckWrites() const {
        if (const int err = checked_.Failure(); err != 0)
            throw std::runtime_error(std::strerror(err));
    }

    // GDAL's words, unless a write failed first: then the system's, which GDAL's only follow.
    [[noreturn]] void Fail() const {
        CheckWrites();
        std::string why = CPLGetLastErrorMsg();
        // GDAL quotes whole SQL statements: that of a table of 8000 columns is 100 KB.
        constexpr std::size_t kShown = 400;
        if (why.size() > kShown) {
            std::size_t cut = kShown;
            while (cut > 0 && (static_cast<unsigned char>(why[cut]) & 0xC0) == 0x80) --cut;
            why = why.substr(0, cut) + "...";
        }
        throw std::runtime_error(why.empty() ? "GDAL failed without saying why" : why);
    }

    void SetCrs(OGRSpatialReference& srs, const GdalCrs& crs) const {
        OGRErr e = OGRERR_NONE;
        if (crs.epsg != 0) {
            e = srs.importFromEPSG(crs.epsg);
        } else {
            if (crs.geographicEpsg != 0) {
                e = srs.importFromEPSG(crs.geographicEpsg);
            } else {
                const std::string datum = "Unknown based on " + crs.ellipsoidName + " ellipsoid";
                e = srs.SetGeogCS(("Unknown datum based upon the " + crs.ellipsoidName).c_str(),
                                  datum.c_str(), crs.ellipsoidName.c_str(), crs.a, crs.rf);
            }
            if (e == OGRERR_NONE && crs.projected) {
                e = srs.SetProjCS(crs.name.c_str());
                if (e == OGRERR_NONE)
                    e = srs.SetTM(0, crs.centralMeridian, crs.k0, crs.falseEasting, 0);
                if (e == OGRERR_NONE) e = srs.SetLinearUnits(SRS_UL_METER, 1.0);
            }
        }
        if (e != OGRERR_NONE) Fail();
    }

    CheckedFiles checked_;
    GDALDataset* ds_ = nullptr;
    std::vector<Layer> layers_;
    bool transactions_ = false;
    std::size_t pending_ = 0;
    std::string text_;
    std::string header_;  // the drawing's header in /vsimem/, once made
    std::vector<std::string> warnings_;
};

}  // namespace
}  // namespace quorvel::engine

extern "C" quorvel::engine::GdalWriter* quorvel_new_gdal_writer() {
    return new quorvel::engine::Writer();
}
