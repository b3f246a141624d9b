#include "engine/run/diagnostics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/classic_check.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "engine/reading/text_io.h"
#include "engine/run/job.h"
#include "platform/text_encoding.h"

namespace quorvel::engine {
namespace {

// The name of an input field (1-based) in messages.
std::string FieldName(const InputShape& shape, std::size_t field) {
    for (std::size_t k = 0; k < shape.fields.size(); ++k) {
        if (shape.fields[k] + 1 == field) return std::string(shape.names[k]);
    }
    return Fill(Tr("field {0}"), {std::to_string(field)});
}

// The column of a value (1-based, after the name).
std::string_view ValueName(const InputShape& shape, std::size_t field) {
    return field < shape.names.size() ? shape.names[field] : std::string_view();
}

std::string MetresText(double metres) {
    if (!(std::fabs(metres) < 1e15)) return ShortestText(std::fabs(metres));
    char text[400];
    return std::string(
        text,
        std::to_chars(text, text + sizeof text, std::fabs(metres), std::chars_format::fixed).ptr);
}

std::string FalseEastingText(double fe) {
    return (fe < 0 ? "-" : "") + MetresText(fe);
}

std::string ExcessText(const Diagnostic& d) {
    return Fill(d.seconds ? Tr("{0} seconds") : Tr("{0} minutes"), {std::to_string(d.count)});
}

// Why the classic series are refused for a point.
std::string DescribeMiss(const Diagnostic& d, const Job& job) {
    if (!std::isnan(d.value)) {
        return Fill(Tr("the classic series are {0} off the exact transverse Mercator here, more "
                       "than 1 m: compute it with --method exact"),
                    {MissText(d.value)});
    }
    const std::string offset = DegreesText(d.offset);
    std::string from;
    if (job.geodesy.zone) {
        from = d.fromTarget
                   ? Fill(Tr("the point lies {0} from the central meridian of the target zone"),
                          {offset})
                   : Fill(Tr("the point lies {0} from the central meridian of its zone"), {offset});
    } else {
        from = d.fromTarget ? Fill(Tr("the point lies {0} from the target meridian {1}"),
                                   {offset, job.lsText})
                            : Fill(Tr("the point lies {0} from the central meridian {1}"),
                                   {offset, job.loText});
    }
    return Fill(Tr("{0}, beyond 35 degrees, where the classic series cannot be checked against the "
                   "exact transverse Mercator and --method exact has no result either"),
                {from});
}

// "lies 36°00′00″ from the central meridian 117: at most 35 degrees with --method exact", after
// what lies there.
std::string DescribeMeridianOffset(std::string_view what, const Diagnostic& d, const Job& job) {
    const Geodesy& g = job.geodesy;
    const std::string lies = g.zone ? Fill(Tr("{0} lies {1} from the central meridian of its zone"),
                                           {what, DegreesText(d.value)})
                                    : Fill(Tr("{0} lies {1} from the central meridian {2}"),
                                           {what, DegreesText(d.value), job.loText});
    return Fill(g.method == Method::Exact ? Tr("{0}: at most 35 degrees with --method exact")
                                          : Tr("{0}: at most 45 degrees"),
                {lies});
}

// "A: B" in the language of the messages.
std::string Joined(std::string_view a, std::string_view b) {
    return Fill(Tr("{0}: {1}"), {a, b});
}

// The warning about a packed angle: `what` names it, `text` as typed.
std::string DescribeExcess(std::string_view what, const Diagnostic& d) {
    return Fill(Tr("{0} {1} has {2}: packed degrees are degrees.minutes-seconds; is it decimal "
                   "degrees?"),
                {what, d.text, ExcessText(d)});
}

// Why a value is refused: its text and the limit it passes.
std::string DescribeLimit(const Diagnostic& d, const Job& job) {
    const std::string typed = QuoteForMessage(d.text);
    const Geodesy& g = job.geodesy;
    switch (d.limit) {
        case Limit::Latitude:
            return Fill(Tr("{0} is beyond the pole: |B| is at most 90 degrees"), {typed});
        case Limit::MeridianOffset:
            return DescribeMeridianOffset(typed, d, job);
        case Limit::Northing:
            return Fill(Tr("{0} is beyond the pole: |X| is at most 10002000 m"), {typed});
        case Limit::EastingOffset: {
            const double fe = g.falseEasting;
            std::string msg = Fill(
                Tr("{0} is {1} m from the central meridian: |Y - {2}| must be below 1000000 m"),
                {typed, MetresText(d.value), FalseEastingText(fe)});
            if (d.value >= kMaxEastingOffset && d.value + fe < 1e9) {
                msg = Fill(Tr("{0}; the easting looks like it carries a zone number ({1} in front "
                              "of {2}); give it without, with the zone's central meridian"),
                           {msg, std::to_string(static_cast<long long>((d.value + fe) / 1e6)),
                            FalseEastingText(fe)});
            }
            return msg;
        }
        case Limit::Longitude:
            return Fill(Tr("{0} is beyond -360 to 360 degrees of longitude, where --zone finds no "
                           "zone"),
                        {typed});
        case Limit::ZoneNumber:
            return Fill(Tr("{0} carries no zone number of a {1} deg zone in front ({2} to {3}, as "
                           "20500000 for zone 20), which --zone needs"),
                        {typed, std::to_string(static_cast<int>(*g.zone)), "1",
                         *g.zone == ZoneWidth::Three ? "120" : "60"});
        case Limit::PrefixedEasting:
        case Limit::None:
            break;
    }
    return typed;
}

// A result whose easting, with the zone number in front, would read back as another zone.
std::string DescribePrefixedEasting(const Diagnostic& d, const Job& job) {
    const double fe = job.geodesy.falseEasting;
    const double read = std::round((d.offset - WithoutZonePrefix(d.offset, fe)) / kZonePrefixUnit);
    const double meant = std::round((d.offset - fe - d.value) / kZonePrefixUnit);
    char y[kMaxRoundedText], written[kMaxRoundedText];
    const std::string yText(y, WriteRoundedText(y, std::fabs(d.value), 4));
    const std::string writtenText(written, WriteRoundedText(written, d.offset, 4));
    return Fill(d.value < 0 ? Tr("the result lies {0} m west of the central meridian of zone {1}, "
                                 "and with the zone number in front its easting {2} would read "
                                 "as zone {3}: leave out --zone-prefix, or change to a nearer "
                                 "zone")
                            : Tr("the result lies {0} m east of the central meridian of zone {1}, "
                                 "and with the zone number in front its easting {2} would read "
                                 "as zone {3}: leave out --zone-prefix, or change to a nearer "
                                 "zone"),
                {yText, std::to_string(static_cast<long long>(meant)), writtenText,
                 std::to_string(static_cast<long long>(read))});
}

std::string DescribeTooFewFields(const Diagnostic& d, const InputShape& shape) {
    std::string names;
    for (std::string_view name : shape.names) {
        if (!names.empty()) names += ", ";
        names += name;
    }
    bool inOrder = true;
    for (std::size_t k = 0; k < shape.fields.size(); ++k) inOrder &= shape.fields[k] == k;
    if (!inOrder) {
        std::string at;
        for (std::size_t f : shape.fields) at += (at.empty() ? "" : ",") + std::to_string(f + 1);
        names = Fill(Tr("{0} in fields {1}"), {names, at});
    }
    return Fill(Tr("expected at least {0} fields ({1}), found {2}"),
                {std::to_string(shape.needed), names, std::to_string(d.count)});
}

std::string DescribeSurplusFields(const Diagnostic& d) {
    const std::string line = std::to_string(d.otherLine);
    return Fill(d.header ? Tr("{0} fields, but the output has columns for the {1} of line "
                              "{2} (the header): field {3} {4} would be lost; give line "
                              "{2} as many fields (empty ones will do), or quote a field "
                              "that holds a separator")
                         : Tr("{0} fields, but the output has columns for the {1} of line "
                              "{2}: field {3} {4} would be lost; give line {2} as many "
                              "fields (empty ones will do), or quote a field that holds a "
                              "separator"),
                {std::to_string(d.count), std::to_string(d.field), line,
                 std::to_string(d.field + 1), QuoteForMessage(d.text)});
}

InputShape ShapeOf(const Job& job) {
    const ModeColumns& columns = ColumnsOf(job.mode);
    return {{columns.header[0], columns.header[1], columns.header[2]},
            {job.fields.begin(), job.fields.end()},
            FieldsNeeded(job),
            job.encoding};
}

// Both typed values: "X "3380000", Y "612345.678"".
std::string BothValues(const Diagnostic& d, const Job& job) {
    const ModeColumns& columns = ColumnsOf(job.mode);
    return Fill(Tr("{0} {1}, {2} {3}"), {columns.header[1], QuoteForMessage(d.text),
                                         columns.header[2], QuoteForMessage(d.text2)});
}

// "L: "116.3O45" is not a number: character 6 is "O"": the character that breaks the number
// named where what comes before it reads as the start of one ("abc" needs no pointer).
std::string DescribeNotANumber(std::string_view name, const Diagnostic& d, const Job& job) {
    std::string text = d.text;
    if (job.decimalComma) std::replace(text.begin(), text.end(), ',', '.');
    const std::optional<std::size_t> at = NumberBreakAt(text);
    if (!at || text.find_first_not_of(" \t") >= *at)
        return Joined(name, Fill(Tr("{0} is not a number"), {QuoteForMessage(d.text)}));
    std::size_t end = *at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    const auto character = static_cast<std::size_t>(
        std::count_if(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(*at),
                      [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    std::string shown = QuoteForMessage(std::string_view(d.text).substr(*at, end - *at));
    shown = shown.substr(1, shown.size() - 2);  // quoted by the message itself
    return Joined(name, Fill(Tr("{0} is not a number: character {1} is \"{2}\""),
                             {QuoteForMessage(d.text), std::to_string(character + 1), shown}));
}

std::string DescribeValue(const Diagnostic& d, const Job& job) {
    if (d.problem == Problem::BeyondLimit && d.limit == Limit::MeridianOffset &&
        job.mode != Computation::Forward) {
        // A result refused, rather than one value: both values named.
        Diagnostic both = d;
        std::swap(both.text, both.text2);
        return Joined(BothValues(both, job), DescribeMeridianOffset(Tr("the point"), d, job));
    }
    if (d.limit == Limit::PrefixedEasting) {
        Diagnostic both = d;
        std::swap(both.text, both.text2);
        return Joined(BothValues(both, job), DescribePrefixedEasting(d, job));
    }
    const std::string_view name = ColumnsOf(job.mode).header[d.field];
    return d.problem == Problem::BeyondLimit ? Joined(name, DescribeLimit(d, job))
                                             : DescribeNotANumber(name, d, job);
}

}  // namespace

std::string DescribeMarked(const Diagnostic& d, const Job& job) {
    return (d.IsWarning() ? Tr("warning: ") : std::string()) + Describe(d, job);
}

std::string QuoteForMessage(std::string_view text) {
    constexpr std::size_t kShown = 60;
    return "\"" + EscapedText(text, kShown, "...") + "\"";
}

Diagnostic Utf8Mark(const Job& job, std::string_view inputName) {
    return Utf8Mark(job.encoding, inputName);
}

Diagnostic Utf8Mark(std::string_view encoding, std::string_view inputName) {
    Diagnostic d;
    d.problem = Problem::Utf8Mark;
    d.text = encoding;
    d.text2 = inputName;
    return d;
}

std::string DescribeReading(const Diagnostic& d, const InputShape& shape) {
    switch (d.problem) {
        case Problem::LineTooLong:
            return Fill(Tr("line longer than {0} bytes"), {std::to_string(d.count)});
        case Problem::InvalidUtf8:
            // Wine has no table for GB18030's four-byte characters of the first plane.
            if (shape.encoding == "GB18030" && !platform::ReadsAllOfGb18030())
                return Tr(
                    "not GB18030 text as this system reads it: it lacks the table of "
                    "GB18030's four-byte characters (code page 54936)");
            if (!shape.encoding.empty()) return Fill(Tr("not {0} text"), {shape.encoding});
            return Fill(Tr("not UTF-8 text (byte {0}); save the file as UTF-8, or use --encoding "
                           "gb18030 for a file saved by a Chinese Windows program"),
                        {std::to_string(d.count)});
        case Problem::UnclosedQuote:
            return Joined(FieldName(shape, d.field), Tr("the quote is not closed on this line"));
        case Problem::TextAfterQuote:
            return Joined(FieldName(shape, d.field), Tr("text after the closing quote"));
        case Problem::QuoteInUnquoted:
            return Joined(FieldName(shape, d.field),
                          Tr("a quote inside an unquoted field (quote the whole field and double "
                             "the quote)"));
        case Problem::TooFewFields:
            return DescribeTooFewFields(d, shape);
        case Problem::SurplusFields:
            return DescribeSurplusFields(d);
        case Problem::EmptyValue:
            return Joined(ValueName(shape, d.field), Tr("empty, not a number"));
        case Problem::OutOfRange:
            return Joined(ValueName(shape, d.field),
                          Fill(Tr("{0} is out of range"), {QuoteForMessage(d.text)}));
        case Problem::PackedExcess:
            return DescribeExcess(ValueName(shape, d.field), d);
        case Problem::HeaderReadsAsPoint:
            return Tr(
                "this line, skipped by --header, reads as a point; leave --header out if "
                "the file has no header line");
        case Problem::MorePackedExcess:
            return Fill(Tr("{0} more packed angles with 60 or more minutes or seconds"),
                        {std::to_string(d.count)});
        case Problem::Utf8Mark:
            return Fill(Tr("{0}: starts with a UTF-8 byte order mark: read as UTF-8, not {1}"),
                        {d.text2, d.text});
        default:
            return {};
    }
}

std::string Describe(const Diagnostic& d, const Job& job) {
    switch (d.problem) {
        case Problem::LineTooLong:
        case Problem::InvalidUtf8:
        case Problem::UnclosedQuote:
        case Problem::TextAfterQuote:
        case Problem::QuoteInUnquoted:
        case Problem::TooFewFields:
        case Problem::SurplusFields:
        case Problem::EmptyValue:
        case Problem::OutOfRange:
        case Problem::PackedExcess:
        case Problem::HeaderReadsAsPoint:
        case Problem::MorePackedExcess:
        case Problem::Utf8Mark:
            return DescribeReading(d, ShapeOf(job));
        case Problem::NoFiniteResult:
            return Joined(BothValues(d, job),
                          Tr("no finite result (the point lies outside the projection's range)"));
        case Problem::SeriesOff:
            return Joined(BothValues(d, job), DescribeMiss(d, job));
        case Problem::NotANumber:
        case Problem::BeyondLimit:
            return DescribeValue(d, job);
        case Problem::SeriesMiss:
            return Fill(
                Tr("the classic series are {0} off the exact transverse Mercator here, more "
                   "than 1 cm (--method exact is accurate to 5 nm)"),
                {MissText(d.value)});
        case Problem::SeriesMisses:
            return Fill(TrN("{0} point was computed more than 1 cm off the exact transverse "
                            "Mercator, the worst {1} (line {2}): --method exact computes them to "
                            "5 nm",
                            "{0} points were computed more than 1 cm off the exact transverse "
                            "Mercator, the worst {1} (line {2}): --method exact computes them to "
                            "5 nm",
                            d.count),
                        {std::to_string(d.count), MissText(d.value), std::to_string(d.line)});
        case Problem::SettingExcess:
            return DescribeExcess(d.text2, d);
        case Problem::WrongKind:  // a datum transform's, worded by DescribeDatum
        case Problem::OtherZone:
        case Problem::NotConverted:
        case Problem::FarPoints:
            break;
    }
    return {};
}

}  // namespace quorvel::engine
