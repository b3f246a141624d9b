#include <cmath>
#include <string>

#include "core/messages.h"
#include "core/number_text.h"
#include "engine/datum/datum_operation.h"
#include "engine/datum/height_fit.h"
#include "engine/datum/transform_checks.h"

namespace quorvel::engine {
namespace {

std::string Joined(std::string_view a, std::string_view b) {
    return Fill(Tr("{0}: {1}"), {a, b});
}

// The column of a coordinate (1-based, after the name).
std::string ValueName(const DatumLayout& layout, std::size_t field) {
    return field >= 1 && field <= layout.names.size() ? layout.names[field - 1] : std::string();
}

// The layout as the words that every run gives alike need it.
InputShape ShapeOf(const DatumLayout& layout, std::string_view encoding) {
    InputShape shape{{"name"}, layout.fields, layout.Needed(), encoding};
    shape.names.insert(shape.names.end(), layout.names.begin(), layout.names.end());
    return shape;
}

// Values that cannot be coordinates of the parameter file's source system.
std::string DescribeWrongKind(const Diagnostic& d, const CoordinateSystem& system) {
    const std::string name = SystemText(system);
    switch (system.kind) {
        case SystemKind::Plane:
            if (d.count == 2) {
                return Fill(Tr("{0}: Y has no zone number in front, which {1}, the parameter "
                               "file's source system, has: give Y with it, or parameters for a "
                               "system with a central meridian"),
                            {d.text, name});
            }
            return d.count == 1 ? Fill(Tr("{0}: Y carries a zone number in front, which {1}, the "
                                          "parameter file's source system, has not: give Y "
                                          "without it, or parameters for a system with zone3 or "
                                          "zone6"),
                                       {d.text, name})
                                : Fill(Tr("{0}: these read as degrees, not as the plane X, Y in "
                                          "metres of {1}, the parameter file's source system"),
                                       {d.text, name});
        case SystemKind::Geodetic:
            return Fill(Tr("{0}: these are no longitude and latitude (|L| at most 360°, "
                           "|B| at most 90°) of {1}, the parameter file's source system"),
                        {d.text, name});
        case SystemKind::Geocentric:
            return Fill(Tr("{0}: these lie {1} km from the Earth's centre, not near its "
                           "surface: not the geocentric X, Y, Z of {2}, the parameter "
                           "file's source system"),
                        {d.text, ShortestText(std::round(d.value / 1000)), name});
    }
    return d.text;
}

// The words of a datum run's diagnostic: the problems only a datum run has, and the others
// as every run words them.
std::string DescribeDatum(const Diagnostic& d, const DatumLayout& layout,
                          const CoordinateSystem& system, std::string_view encoding,
                          const CommonArea* area) {
    switch (d.problem) {
        case Problem::NotANumber:
            return Joined(ValueName(layout, d.field),
                          Fill(Tr("{0} is not a number"), {QuoteForMessage(d.text)}));
        case Problem::WrongKind:
            return DescribeWrongKind(d, system);
        case Problem::OtherZone:
            return Fill(Tr("{0}: a point of zone {1}, but the 4-parameter file was fitted in "
                           "zone {2}, and its parameters hold for that zone's grid only"),
                        {d.text, std::to_string(d.count), std::to_string(d.field)});
        case Problem::NotConverted:
            return Joined(d.text, d.text2);
        case Problem::FarPoints:
            if (area == nullptr) return {};
            return FarPointsWarning({d.count, d.value, d.line, d.text}, *area);
        default:
            return DescribeReading(d, ShapeOf(layout, encoding));
    }
}

// The layout the run had: diagnostics come only from runs whose fields fit, so a refusal here
// would be a job changed since; its columns are then named in order.
DatumLayout LayoutOf(std::span<const std::size_t> fields, const CoordinateSystem& from,
                     const CoordinateSystem* to, bool heights,
                     const std::vector<std::string>& heightNames) {
    DatumLayout layout;
    if (MakeLayout(fields, from, to, heights, layout, heightNames)) {
        return DefaultLayout(from, to, heights, heightNames);
    }
    return layout;
}

}  // namespace

std::string Describe(const Diagnostic& d, const TransformJob& job) {
    const ParameterFile& p = job.parameters;
    return DescribeDatum(
        d, LayoutOf(job.reading.fields, p.from, nullptr, p.heights, HeightColumns(job)), p.from,
        job.reading.encoding, p.area ? &*p.area : nullptr);
}

std::string Describe(const Diagnostic& d, const FitJob& job) {
    return DescribeDatum(
        d, LayoutOf(job.reading.fields, job.from, &job.to, job.fit.heights, HeightColumns(job)),
        job.from, job.reading.encoding, nullptr);
}

std::string Describe(const Diagnostic& d, const HeightFitJob& job) {
    DatumLayout layout;
    if (HeightFitLayout(job.reading.fields, layout)) HeightFitLayout({}, layout);
    return DescribeDatum(d, layout, CoordinateSystem(), job.reading.encoding, nullptr);
}

std::string DescribeMarked(const Diagnostic& d, const TransformJob& job) {
    return (d.IsWarning() ? Tr("warning: ") : std::string()) + Describe(d, job);
}

}  // namespace quorvel::engine
