#include "engine/sheet/sheet_run.h"

#include <array>
#include <cmath>
#include <string>

#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/zones.h"
#include "engine/datum/datum_points.h"
#include "engine/reading/text_io.h"

namespace quorvel::engine {
namespace {

constexpr const char* kDirections[] = {"n", "ne", "e", "se", "s", "sw", "w", "nw"};

DatumLayout LayoutOf(const SheetJob& job) {
    DatumLayout layout;
    layout.fields = {0, 1, 2};
    if (job.reading.fields.size() == 3) {
        for (std::size_t k = 0; k < 3; ++k) layout.fields[k] = job.reading.fields[k] - 1;
    }
    layout.names =
        job.plane ? std::vector<std::string>{"X", "Y"} : std::vector<std::string>{"L", "B"};
    layout.angles = {!job.plane, !job.plane};
    layout.sourceCount = 2;
    return layout;
}

std::vector<std::string> HeadOf(const SheetJob& job) {
    std::vector<std::string> head = {"name"};
    for (const std::string& n : LayoutOf(job).names) head.push_back(n);
    for (std::string& c : SheetColumns(job)) head.push_back(std::move(c));
    return head;
}

std::string Metres(double value, bool full) {
    char text[kMaxRoundedText];
    return std::string(text, full ? WriteFullText(text, value) : WriteRoundedText(text, value, 4));
}

// Each point's sheet and its cells, the cells joined into the row's third text.
class SheetOperation : public DatumPointOperation {
  public:
    explicit SheetOperation(const SheetJob& job)
        : DatumPointOperation(LayoutOf(job), job.reading.decimalComma, HeadOf(job)),
          job_(job),
          cells_(job) {}

    bool Compute(const ParsedLine& p, std::uint64_t number, Row& row, LineReport& report,
                 LineScratch& scratch) const override {
        DatumValues v;
        Diagnostic d;
        std::array<std::int64_t, 2> sheet{};
        bool done = ReadValues(p, v, d, scratch.a) && Number(v, sheet, d);
        if (!done) {
            if (d.problem == Problem::NotConverted) d.text = TypedValues(v);
            d.line = number;
            report.Reject(d.problem, number) = std::move(d);
            return false;
        }
        WarnOfExcess(v, number, report);
        row.name = p.fields[layout().fields[0]];
        row.first = v.typed[0];
        row.second = v.typed[1];
        row.result1 = static_cast<double>(sheet[0]);
        row.result2 = static_cast<double>(sheet[1]);
        return true;
    }

  private:
    // The sheet (MapSheet's row and column, or PlaneSheet's south and west) into `sheet`; its
    // corners projected here, where a point can still be rejected for them.
    bool Number(const DatumValues& v, std::array<std::int64_t, 2>& sheet, Diagnostic& d) const {
        d.problem = Problem::NotConverted;
        if (job_.plane) {
            const auto s = PlaneSheetAt(v.values[0], v.values[1], job_.scale, d.text2);
            if (s) sheet = {s->south, s->west};
            return s.has_value();
        }
        const auto L = ToMicroArcSeconds(v.values[0]);
        const auto B = ToMicroArcSeconds(v.values[1]);
        if (!L || !B) {
            d.text2 = Tr("an angle beyond ±360°");
            return false;
        }
        const auto s = SheetAt(*L, *B, job_.scale, d.text2);
        if (s) sheet = {s->row, s->column};
        std::vector<std::string> cells;
        return s && (!job_.projection || cells_.Geographic(*s, cells, d.text2));
    }

    const SheetJob& job_;
    SheetCells cells_;
};

}  // namespace

std::optional<JobRefusal> CheckSheetJob(const SheetJob& job) {
    if (job.old && !OldSheetNumber(MapSheet{job.scale, 0, 0})) {
        return Refuse(Fill(Tr("--old: the old numbers end at 1:5,000; {0} has new numbers only"),
                           {SheetScaleText(job.scale)}));
    }
    if (job.plane && !HasPlaneSheets(job.scale)) {
        return Refuse(Fill(Tr("--plane: rectangular sheets are drawn at 1:5,000, 1:2,000, 1:1,000 "
                              "and 1:500, not at {0}"),
                           {SheetScaleText(job.scale)}));
    }
    if (job.plane && job.old) return Refuse(Tr("--old numbers the geographic sheets, not --plane"));
    if (job.plane && job.projection) {
        return Refuse(
            Tr("--plane: the rectangular sheets are in the plane already; --lo and "
               "--zone give X, Y of the geographic sheets' corners"));
    }
    return std::nullopt;
}

std::vector<std::string> SheetColumns(const SheetJob& job) {
    std::vector<std::string> c = {"sheet"};
    if (job.plane) {
        c.insert(c.end(), {"X_sw", "Y_sw", "X_ne", "Y_ne"});
    } else {
        c.insert(c.end(), {"L_sw", "B_sw", "L_ne", "B_ne"});
        if (job.projection) {
            c.insert(c.end(), {"X_sw", "Y_sw", "X_se", "Y_se", "X_ne", "Y_ne", "X_nw", "Y_nw"});
            if (!job.projection->lo) c.push_back("zone");
        }
    }
    if (job.neighbours) c.insert(c.end(), std::begin(kDirections), std::end(kDirections));
    return c;
}

SheetCells::SheetCells(const SheetJob& job) : job_(job) {
    if (!job.projection) return;
    Geodesy g = job.projection->geodesy;
    g.zone.reset();  // the sheet's meridian is chosen here, the same for its four corners
    g.zonePrefix = false;
    projector_.emplace(g);
}

std::string SheetCells::Number(const MapSheet& sheet) const {
    if (job_.old) {
        if (auto old = OldSheetNumber(sheet)) return *old;
    }
    return NewSheetNumber(sheet);
}

bool SheetCells::Geographic(const MapSheet& sheet, std::vector<std::string>& cells,
                            std::string& why) const {
    const SheetEdges e = EdgesOf(sheet);
    cells = {Number(sheet), PackedText(e.west), PackedText(e.south), PackedText(e.east),
             PackedText(e.north)};
    if (projector_) {
        const double perDegree = static_cast<double>(kMicroArcSecondsPerDegree);
        const double centre = static_cast<double>(e.west + e.east) / 2 / perDegree;
        const std::optional<ZoneWidth> width = job_.projection->geodesy.zone;
        const int zone = width ? ZoneOf(*width, ZoneLongitude(centre)) : 0;
        const double lo = width ? CentralMeridianOf(*width, zone) : *job_.projection->lo;
        const std::int64_t corners[4][2] = {
            {e.west, e.south}, {e.east, e.south}, {e.east, e.north}, {e.west, e.north}};
        for (const auto& [L, B] : corners) {
            RowExtras extras;
            const RowResult r = projector_->Compute(Computation::Forward, {lo, 0}, PackedText(L),
                                                    PackedText(B), extras);
            if (r.status != RowStatus::Ok) {
                why = Fill(Tr("the corner L {0}, B {1} of sheet {2} has no X, Y on the central "
                              "meridian {3}: is --lo right?"),
                           {PackedText(L), PackedText(B), cells[0], DegreesText(lo)});
                return false;
            }
            cells.push_back(Metres(r.first, job_.writing.full));
            cells.push_back(Metres(r.second, job_.writing.full));
        }
        if (width) cells.push_back(std::to_string(zone));
    }
    if (job_.neighbours) {
        for (const auto& n : Neighbours(sheet)) cells.push_back(n ? Number(*n) : std::string());
    }
    return true;
}

void SheetCells::Plane(const PlaneSheet& sheet, std::vector<std::string>& cells) const {
    const std::int64_t side = PlaneSheetSide(sheet.scale);
    cells = {PlaneSheetNumber(sheet), std::to_string(sheet.south), std::to_string(sheet.west),
             std::to_string(sheet.south + side), std::to_string(sheet.west + side)};
    if (job_.neighbours) {
        for (const auto& n : PlaneNeighbours(sheet)) {
            cells.push_back(n ? PlaneSheetNumber(*n) : std::string());
        }
    }
}

std::optional<JobRefusal> ReadTypedSheet(const SheetJob& job, bool scaleGiven,
                                         std::string_view text, TypedSheet& sheet) {
    std::string why;
    if (job.plane) {
        sheet.plane = ParsePlaneSheetNumber(text, job.scale, why);
        if (!sheet.plane) return Refuse(why, false);
        return std::nullopt;
    }
    sheet.geographic = ParseSheetNumber(text, why);
    if (!sheet.geographic) return Refuse(why, false);
    if (scaleGiven && sheet.geographic->scale != job.scale) {
        return Refuse(Fill(Tr("{0} is a sheet at {1}, not at {2} as --scale says"),
                           {Quoted(TrimBlanks(text)), SheetScaleText(sheet.geographic->scale),
                            SheetScaleText(job.scale)}),
                      false);
    }
    if (job.old && !OldSheetNumber(*sheet.geographic)) {
        return Refuse(Fill(Tr("--old: the old numbers end at 1:5,000; {0} has new numbers only"),
                           {SheetScaleText(sheet.geographic->scale)}),
                      false);
    }
    return std::nullopt;
}

RunCounts RunSheets(const SheetJob& job, ByteSource& in, std::span<RowSink* const> rows,
                    DiagnosticSink& diagnostics, const RunTuning& tuning) {
    const SheetOperation op(job);
    return RunRows(op, {job.reading.header, job.reading.decimalComma}, in, rows, diagnostics,
                   tuning);
}

void SheetCsvSink::Begin(const std::vector<std::string>& columns) {
    std::string line = job_.writing.bom ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) line += ',';
        AppendCsvField(line, columns[i], job_.writing.bom);
    }
    line += kCsvLineEnd;
    out_.Append(line);
}

void SheetCsvSink::Encode(const RowBlock& rows, std::string& out) const {
    const bool bom = job_.writing.bom;
    std::vector<std::string> cells;
    for (const Row& row : rows) {
        AppendCsvField(out, row.name, bom);
        for (const std::string_view typed : {row.first, row.second}) {
            out += ',';
            AppendCsvField(out, typed);  // quoted where a decimal comma is in it
        }
        const auto a = static_cast<std::int64_t>(row.result1);
        const auto b = static_cast<std::int64_t>(row.result2);
        std::string why;
        cells.clear();
        if (job_.plane) {
            cells_.Plane(PlaneSheet{job_.scale, a, b}, cells);
        } else {
            cells_.Geographic(MapSheet{job_.scale, a, b}, cells, why);  // checked by the run
        }
        for (const std::string& cell : cells) {
            out += ',';
            out += cell;  // numbers and sheet numbers: no comma or quote in them
        }
        for (const std::string_view f : row.passed) {
            out += ',';
            AppendCsvField(out, f, bom);
        }
        out += kCsvLineEnd;
    }
}

void SheetCsvSink::Take(const RowBlock&, std::string_view encoded) {
    out_.Append(encoded);
    out_.MaybeFlush();
}

void SheetCsvSink::End() {
    out_.Flush();
}

std::string Describe(const Diagnostic& d, const SheetJob& job) {
    const DatumLayout layout = LayoutOf(job);
    switch (d.problem) {
        case Problem::NotANumber:
            return Fill(Tr("{0}: {1}"),
                        {layout.names[d.field - 1],
                         Fill(Tr("{0} is not a number"), {QuoteForMessage(d.text)})});
        case Problem::NotConverted:
            return Fill(Tr("{0}: {1}"), {d.text, d.text2});
        default: {
            InputShape shape{{"name"}, layout.fields, layout.Needed(), job.reading.encoding};
            shape.names.insert(shape.names.end(), layout.names.begin(), layout.names.end());
            return DescribeReading(d, shape);
        }
    }
}

}  // namespace quorvel::engine
