#include "engine/writers/transform_gis.h"

#include <stdexcept>

#include "core/atomic_file.h"
#include "core/number_text.h"
#include "core/zones.h"
#include "engine/projection/points.h"

namespace quorvel::engine {
namespace {

// Hands a transform's rows on as a computation's: name, the two typed values, the two results,
// then the third value and result (heights, or geocentric Z) as texts before the fields passed
// through; a zoned target's zone from the number in front of Y, as GisOutput keys its layers.
class AsComputation : public RowSink {
  public:
    AsComputation(const TransformJob& transform, RowSink& out) : transform_(transform), out_(out) {}

    void Begin(const std::vector<std::string>& columns) override {
        const ParameterFile& p = transform_.parameters;
        const auto from = static_cast<std::size_t>(TypedCount(p.from, p.heights));
        const auto to = static_cast<std::size_t>(TypedCount(p.to, p.heights));
        third_ = from == 3;
        targetThird_ = to == 3;
        const std::size_t values = from + to;
        std::vector<std::string> c = {columns[0], columns[1], columns[2], columns[1 + from],
                                      columns[2 + from]};
        if (third_) c.push_back(columns[3]);
        if (targetThird_) c.push_back(columns[3 + from]);
        c.insert(c.end(), columns.begin() + static_cast<std::ptrdiff_t>(1 + values), columns.end());
        out_.Begin(c);
    }

    void Encode(const RowBlock& rows, std::string& encoded) const override {
        RowBlock block;
        Convert(rows, block);
        out_.Encode(block, encoded);
    }

    void Take(const RowBlock& rows, std::string_view encoded) override {
        RowBlock block;
        Convert(rows, block);
        out_.Take(block, encoded);
    }

    void End() override { out_.End(); }

  private:
    void Convert(const RowBlock& rows, RowBlock& block) const {
        std::size_t bytes = 0;
        for (const Row& row : rows) {
            bytes += row.name.size() + row.first.size() + row.second.size() + row.third.size() +
                     kMaxRoundedText;
            for (std::string_view p : row.passed) bytes += p.size();
        }
        block.Reset(bytes);
        const CoordinateSystem& to = transform_.parameters.to;
        std::vector<std::string_view> passed;
        char h[kMaxRoundedText];
        for (const Row& row : rows) {
            Row r = row;
            passed.clear();
            if (third_) passed.push_back(row.third);
            if (targetThird_) {
                char* end = transform_.writing.full ? WriteFullText(h, row.result3)
                                                    : WriteRoundedText(h, row.result3, 4);
                passed.emplace_back(h, static_cast<std::size_t>(end - h));
            }
            passed.insert(passed.end(), row.passed.begin(), row.passed.end());
            if (to.HasZones())
                r.extras.zone = SplitZonePrefix(*to.zoneWidth, row.result2, FalseEasting).zone;
            block.Add(r, passed);
        }
    }

    const TransformJob& transform_;
    RowSink& out_;
    bool third_ = false;        // a third typed value: H1, or geocentric Z1
    bool targetThird_ = false;  // a third result: H2, or geocentric Z2
};

}  // namespace

std::optional<Job> GisJobOf(const TransformJob& transform, OutputFormat format) {
    const CoordinateSystem& from = transform.parameters.from;
    const CoordinateSystem& to = transform.parameters.to;
    if (!WritesThroughGdal(format) || to.kind == SystemKind::Geocentric) return std::nullopt;
    if (to.kind == SystemKind::Geodetic && format != OutputFormat::Kml) return std::nullopt;
    Job job;
    job.format = format;
    job.full = transform.writing.full;
    job.decimalComma = transform.reading.decimalComma;
    job.geodesy.ellipsoid = to.ellipsoid;
    job.geodesy.method = Method::Exact;
    if (to.kind == SystemKind::Geodetic) {
        job.mode = Computation::Inverse;
        return job;
    }
    // Typed L, B keep a Shapefile's decimals of angles; KML places the target's X, Y, never the
    // typed source values, so it takes the zone change's way back to L, B.
    job.mode = from.kind == SystemKind::Geodetic && format != OutputFormat::Kml
                   ? Computation::Forward
                   : Computation::Zone;
    job.geodesy.zone = to.zoneWidth;
    job.geodesy.zonePrefix = to.zoneWidth.has_value();
    job.meridians.lo = job.meridians.ls = to.centralMeridian;
    job.geodesy.projectionHeight = to.projectionHeight;
    return job;
}

void WriteTransformGis(const RowStore& rows, const TransformJob& transform, OutputFormat format,
                       const std::string& target, const OutputWarning& warn) {
    const std::optional<Job> job = GisJobOf(transform, format);
    if (!job) throw std::invalid_argument("no GIS job of this transform");
    GisOutput out(*job, target, std::nullopt, {}, warn);
    AsComputation adapter(transform, out.Rows());
    rows.Replay(adapter);
    out.Finish();
    const SignalsDeferred whole;
    out.Publish();
    out.Settle();
}

}  // namespace quorvel::engine
