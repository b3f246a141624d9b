#include "engine/measure/measure_points.h"

#include <cmath>
#include <utility>

#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/reading/line_parser.h"
#include "engine/run/diagnostics.h"
#include "engine/run/process.h"

namespace quorvel::engine {
namespace {

// The words of the projection's refusal of a point, as the inverse run words them.
std::string Refusal(const Job& job, const RowResult& r, std::string_view first,
                    std::string_view second) {
    Diagnostic d;
    d.line = 1;
    if (r.status == RowStatus::NoFiniteResult || r.status == RowStatus::Inaccurate) {
        d.problem =
            r.status == RowStatus::Inaccurate ? Problem::SeriesOff : Problem::NoFiniteResult;
        d.text = first;
        d.text2 = second;
        d.value = r.miss;
        d.offset = r.offset;
        d.fromTarget = r.fromTarget;
        return Describe(d, job);
    }
    const std::string_view value = r.field == 1 ? first : second;
    d.problem = r.status == RowStatus::BeyondLimit  ? Problem::BeyondLimit
                : r.status == RowStatus::OutOfRange ? Problem::OutOfRange
                                                    : Problem::NotANumber;
    d.field = static_cast<std::size_t>(r.field);
    d.text = value;
    d.text2 = r.field == 1 ? second : first;
    d.limit = r.limit;
    d.value = r.value;
    d.offset = r.offset;
    return Describe(d, job);
}

class PointReader {
  public:
    explicit PointReader(const MeasureJob& m) : m_(m) {
        if (m.projected) projector_.emplace(m.job.geodesy);
    }
    // The point of a line's fields into `point`, or why there is none.
    std::string Read(const ParsedLine& p, MeasurePoint& point);

  private:
    std::string Project(std::string_view x, std::string_view y, MeasurePoint& point) const;

    const MeasureJob& m_;
    std::optional<Projector> projector_;
    std::string a_, b_;
};

std::string PointReader::Read(const ParsedLine& p, MeasurePoint& point) {
    const Job& job = m_.job;
    if (p.count < FieldsNeeded(job)) {
        return Fill(Tr("{0} fields where the line needs {1}: the name, X and Y"),
                    {std::to_string(p.count), std::to_string(FieldsNeeded(job))});
    }
    const char* names[] = {"X", "Y"};
    std::string_view texts[2];
    double v[2];
    for (int i = 0; i < 2; ++i) {
        texts[i] = TrimBlanks(p.fields[job.fields[static_cast<std::size_t>(i) + 1]]);
        texts[i] = DecimalText(texts[i], job.decimalComma, i == 0 ? a_ : b_);
        if (texts[i].empty()) return Fill(Tr("{0} is empty"), {names[i]});
        const std::optional<double> n = TryParseNumber(texts[i]);
        if (!n || !std::isfinite(*n)) {
            return Fill(Tr("{0}: {1} is not a number"), {names[i], Quoted(texts[i])});
        }
        v[i] = *n;
    }
    point.name = std::string(p.fields[job.fields[0]]);
    point.plane = {v[0], v[1]};
    return m_.projected ? Project(texts[0], texts[1], point) : std::string();
}

std::string PointReader::Project(std::string_view x, std::string_view y,
                                 MeasurePoint& point) const {
    const Job& job = m_.job;
    RowExtras extras;
    const RowResult r = projector_->Compute(Computation::Inverse, job.meridians, x, y, extras);
    if (r.status != RowStatus::Ok) return Refusal(job, r, x, y);
    point.geodetic = GeodeticPoint{DecodePackedAngle(r.second), DecodePackedAngle(r.first)};
    // The zone number in front of the easting, which the projection took off: the plane of
    // the zone without it. With --zone each point names its zone; with --lo it can only be
    // Lo's own, so points with and without it lie on one plane.
    if (job.geodesy.zone || r.zoneNumberTakenOff) {
        const int zone = static_cast<int>(std::floor(point.plane.Y / 1e6));
        point.plane.Y -= zone * 1e6;
        point.zoneNumber = zone;
        if (job.geodesy.zone) point.zone = zone;
    }
    return {};
}

}  // namespace

MeasurePoints ReadMeasurePoints(const MeasureJob& job, ByteSource& in) {
    MeasurePoints read;
    PointReader points(job);
    LineReader reader(in);
    ParsedLine parsed;
    bool first = true;
    std::string_view line;
    for (;;) {
        const LineReader::Result got = reader.Next(line);
        if (got == LineReader::Result::End) break;
        const std::uint64_t number = reader.LineNumber();
        std::string why;
        MeasurePoint point;
        if (got == LineReader::Result::TooLong) {
            why = Fill(Tr("the line is longer than {0} bytes"),
                       {std::to_string(LineReader::kMaxLine)});
        } else {
            ParseLine(line, parsed, job.job.decimalComma);
            if (parsed.status == LineStatus::Skip) continue;
            if (std::exchange(first, false) && job.job.header) continue;
            why = parsed.status == LineStatus::Fields ? points.Read(parsed, point)
                                                      : Tr("the line does not read as fields");
        }
        if (!why.empty()) {
            read.badLine = number;
            read.problem = why;
            return read;
        }
        point.line = number;
        read.points.push_back(std::move(point));
    }
    return read;
}

}  // namespace quorvel::engine
