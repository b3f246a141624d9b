#include "engine/plan/area_plan.h"

#include <cmath>

#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/projection_surface.h"
#include "engine/projection/points.h"
#include "engine/reading/line_parser.h"
#include "engine/run/process.h"
#include "engine/run/refusal.h"

namespace quorvel::engine {
namespace {

// Heights of the ground and of mines lie within this, metres; beyond is a unit gone wrong.
constexpr double kMaxGroundHeight = 10000;

// The point of a line's fields into `point`, or why there is none.
std::string ReadPoint(const ParsedLine& p, bool decimalComma, AreaPoint& point) {
    if (p.count < 4) {
        return Fill(Tr("{0} fields where the plan needs four: name, L, B and H"),
                    {std::to_string(p.count)});
    }
    const char* names[] = {"L", "B", "H"};
    double v[3];
    std::string_view texts[3];
    std::string buffer;
    for (int i = 0; i < 3; ++i) {
        const std::string_view text = TrimBlanks(p.fields[static_cast<std::size_t>(i) + 1]);
        texts[i] = text;
        const std::optional<double> n = TryParseNumber(DecimalText(text, decimalComma, buffer));
        if (text.empty()) return Fill(Tr("{0} is empty: the plan needs every point's"), {names[i]});
        if (!n) return Fill(Tr("{0}: {1} is not a number"), {names[i], Quoted(text)});
        v[i] = i < 2 ? DecodePackedAngle(*n) : *n;
    }
    if (!(std::fabs(v[1]) <= 90)) return Fill(Tr("B: {0} is beyond ±90°"), {Quoted(texts[1])});
    if (!(std::fabs(v[0]) <= 360)) return Fill(Tr("L: {0} is beyond ±360°"), {Quoted(texts[0])});
    if (!(std::fabs(v[2]) <= kMaxGroundHeight)) {
        return Fill(Tr("H: {0} m is no height of the ground: is it in metres?"),
                    {Quoted(texts[2])});
    }
    point = {v[1], v[0], v[2]};
    return {};
}

// A meridian on whole minutes as packed degrees: "117.31" for 117°31′, "117.06" for 117°6′,
// "117" for 117°. From the whole minutes, as the digits of a double may read 117.3559999.
std::string MeridianText(double degrees) {
    const long minutes = std::lround(std::fabs(degrees) * 60);
    std::string text = (degrees < 0 && minutes != 0 ? "-" : "") + std::to_string(minutes / 60);
    if (const long m = minutes % 60; m != 0) {
        text += '.';
        text += static_cast<char>('0' + m / 10);
        if (m % 10 != 0) text += static_cast<char>('0' + m % 10);
    }
    return text;
}

std::string Rounded(double value, int decimals) {
    char text[kMaxResultText];
    return std::string(text, WriteRoundedText(text, value, decimals));
}

}  // namespace

AreaPoints ReadAreaPoints(ByteSource& in, bool header, bool decimalComma) {
    AreaPoints area;
    area.header = header;
    LineReader reader(in);
    ParsedLine parsed;
    bool first = true;
    std::string_view line;
    for (;;) {
        const LineReader::Result got = reader.Next(line);
        if (got == LineReader::Result::End) break;
        const std::uint64_t number = reader.LineNumber();
        if (got == LineReader::Result::TooLong) {
            area.badLine = number;
            area.problem = Fill(Tr("the line is longer than {0} bytes"),
                                {std::to_string(LineReader::kMaxLine)});
            return area;
        }
        ParseLine(line, parsed, decimalComma);
        if (parsed.status == LineStatus::Skip) continue;
        if (first && header) {
            first = false;
            continue;
        }
        first = false;
        AreaPoint point;
        const std::string why = parsed.status == LineStatus::Fields
                                    ? ReadPoint(parsed, decimalComma, point)
                                    : Tr("the line does not read as fields");
        if (!why.empty()) {
            area.badLine = number;
            area.problem = why;
            return area;
        }
        area.points.push_back(point);
        area.names.emplace_back(parsed.fields[0]);
        area.lines.push_back(number);
    }
    return area;
}

std::string ProposalText(const PlanProposal& p, const AreaPoints& area, double limit,
                         const Ellipsoid& e) {
    const std::string meridian = MeridianText(p.meridian);
    std::string text =
        p.standard
            ? Fill(Tr("central meridian: {0} (the standard 3° zone {1})"),
                   {meridian, std::to_string(p.zone)})
            : Fill(Tr("central meridian: {0} (the area's own, on whole minutes)"), {meridian});
    text += '\n';
    text += p.height == 0 ? Tr("projection height: 0 m (the ellipsoid itself)")
                          : Fill(Tr("projection height: {0} m"), {ShortestText(p.height)});
    text += '\n';
    text += Fill(Tr("worst distortion: {0} cm/km at {1} (line {2}), within {3} cm/km"),
                 {Rounded(p.worst, 2), Quoted(area.names[p.worstPoint]),
                  std::to_string(area.lines[p.worstPoint]), ShortestText(limit)});
    text += '\n';
    std::string command = "quorvel-batch forward --lo " + meridian;
    if (!IsKrassovsky(e)) command += " --ellipsoid " + e.name + " --method exact";
    if (p.height != 0) command += " --projection-height " + ShortestText(p.height);
    command += " --distortion --distortion-limit " + ShortestText(limit) + " --height-field 4";
    if (area.header) command += " --header";
    text += Fill(Tr("the plane coordinates and their distortion: {0}"), {command});
    text += '\n';
    return text;
}

std::string NoProposalText(const PlanProposal& p, double limit) {
    const std::string room = ShortestText(2 * limit);
    std::string why;
    switch (p.obstacle) {
        case PlanObstacle::Heights:
            why = Fill(
                Tr("the heights range over {0} m, which alone vary the distortion by {1} "
                   "cm/km, more than the {2} cm/km from -{3} to +{3}; split the area by "
                   "height"),
                {Rounded(p.heightRange, 1), Rounded(p.heightSpread, 2), room, ShortestText(limit)});
            break;
        case PlanObstacle::Width:
            why =
                Fill(Tr("the area is {0} km wide east-west, across which the projection's "
                        "scale alone varies by {1} cm/km, more than the {2} cm/km from -{3} to "
                        "+{3}; split it into narrower areas"),
                     {Rounded(p.widthKm, 1), Rounded(p.scaleSpread, 2), room, ShortestText(limit)});
            break;
        case PlanObstacle::Both:
            why = Fill(Tr("its width east-west ({0} km, {1} cm/km of the projection's scale) and "
                          "its range of heights ({2} m, {3} cm/km) together exceed the {4} cm/km "
                          "from -{5} to +{5}; split the area"),
                       {Rounded(p.widthKm, 1), Rounded(p.scaleSpread, 2), Rounded(p.heightRange, 1),
                        Rounded(p.heightSpread, 2), room, ShortestText(limit)});
            break;
    }
    return Fill(Tr("no central meridian and projection height keep every point within {0} "
                   "cm/km: {1}"),
                {ShortestText(limit), why});
}

}  // namespace quorvel::engine
