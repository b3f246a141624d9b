// quorvel-gdal.so: GdalSheetReader on GDAL's XLSX driver, and on FreeXL for a .xls.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <mutex>
#include <stdexcept>

#include "engine/writers/freexl_sheet_reader.h"
#include "engine/writers/gdal_reader.h"

namespace quorvel::engine {
namespace {

bool EndsWithXlsx(const std::string& path) {
    if (path.size() < 5) return false;
    std::string end = path.substr(path.size() - 5);
    for (char& c : end) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".xlsx";
}

class SheetReader final : public GdalSheetReader {
  public:
    SheetReader() {
        static std::once_flag registered;
        std::call_once(registered, [] { GDALAllRegister(); });
    }
    ~SheetReader() override {
        if (ds_ != nullptr) GDALClose(ds_);
    }

    void Open(const std::string& path) override {
        if (!EndsWithXlsx(path)) {
            xls_ = NewFreexlSheetReader();
            xls_->Open(path);
            return;
        }
        // Every row is a row: GDAL guesses no header. AUTO keeps a column of numbers as numbers
        // (the value stored, to the last bit); a column that also holds text comes as the text
        // stored, which in a .xlsx is the number as written.
        CPLSetThreadLocalConfigOption("OGR_XLSX_HEADERS", "DISABLE");
        CPLSetThreadLocalConfigOption("OGR_XLSX_FIELD_TYPES", "AUTO");
        const char* drivers[] = {"XLSX", nullptr};
        CPLErrorReset();
        CPLPushErrorHandler(CPLQuietErrorHandler);
        ds_ = GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers);
        CPLPopErrorHandler();
        if (ds_ == nullptr) {
            const std::string why = CPLGetLastErrorMsg();
            throw std::runtime_error(why.empty() ? "GDAL cannot open it as a workbook" : why);
        }
    }

    std::vector<std::string> Sheets() const override {
        if (xls_) return xls_->Sheets();
        std::vector<std::string> names;
        for (int i = 0; i < ds_->GetLayerCount(); ++i)
            names.emplace_back(ds_->GetLayer(i)->GetName());
        return names;
    }

    void Select(std::size_t index) override {
        if (xls_) return xls_->Select(index);
        layer_ = ds_->GetLayer(static_cast<int>(index));
        if (layer_ == nullptr) throw std::runtime_error("no such sheet");
        layer_->ResetReading();
    }

    bool Next(std::int64_t& row, std::vector<SheetCell>& cells) override {
        if (xls_) return xls_->Next(row, cells);
        CPLErrorReset();
        std::unique_ptr<OGRFeature> f(layer_->GetNextFeature());
        if (!f) {
            if (CPLGetLastErrorType() >= CE_Failure) throw std::runtime_error(CPLGetLastErrorMsg());
            return false;
        }
        row = f->GetFID();
        const int count = f->GetFieldCount();
        cells.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            SheetCell& c = cells[static_cast<std::size_t>(i)];
            c.text.clear();
            c.number = 0;
            if (!f->IsFieldSetAndNotNull(i)) {
                c.kind = SheetCell::Kind::Empty;
                continue;
            }
            const OGRFieldType type = f->GetFieldDefnRef(i)->GetType();
            if (type == OFTReal || type == OFTInteger || type == OFTInteger64) {
                c.kind = SheetCell::Kind::Number;
                c.number = f->GetFieldAsDouble(i);
            } else {
                c.kind = SheetCell::Kind::Text;
                c.text = f->GetFieldAsString(i);
            }
        }
        return true;
    }

    std::int64_t RowCount() override {
        if (xls_) return xls_->RowCount();
        const GIntBig count = layer_->GetFeatureCount(TRUE);
        return count > 0 ? count : 0;
    }

  private:
    GDALDataset* ds_ = nullptr;
    OGRLayer* layer_ = nullptr;
    std::unique_ptr<GdalSheetReader> xls_;  // a .xls, read with FreeXL
};

}  // namespace
}  // namespace quorvel::engine

extern "C" quorvel::engine::GdalSheetReader* quorvel_new_gdal_sheet_reader() {
    return new quorvel::engine::SheetReader();
}
