#include "engine/diagnostics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/number_text.h"
#include "engine/job.h"
#include "engine/text_io.h"

namespace quorvel::engine {
namespace {

// The name of an input field (1-based) in messages.
std::string FieldName(const Job& job, std::size_t field) {
    for (std::size_t k = 0; k < job.fields.size(); ++k) {
        if (job.fields[k] + 1 == field) return std::string(ColumnsOf(job.mode).header[k]);
    }
    return "field " + std::to_string(field);
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

// A miss of the classic series: "84 mm", "444.51 m", "3.52 km".
std::string MissText(double metres) {
    char text[64];
    if (metres < 1) {
        std::snprintf(text, sizeof text, "%.0f mm", metres * 1000);
    } else if (metres < 1000) {
        std::snprintf(text, sizeof text, "%.2f m", metres);
    } else if (metres < 1e6) {
        std::snprintf(text, sizeof text, "%.2f km", metres / 1000);
    } else {
        return "more than 1000 km";
    }
    return text;
}

// Why the classic series are refused for a point.
std::string DescribeMiss(const Diagnostic& d, const Job& job) {
    if (!std::isnan(d.value)) {
        return "the classic series are " + MissText(d.value) +
               " off the exact transverse Mercator here, more than 1 m: compute it with "
               "--method exact";
    }
    std::string msg = "the point lies " + DegreesText(d.offset) + " from the ";
    if (job.geodesy.zone) {
        msg +=
            d.fromTarget ? "central meridian of the target zone" : "central meridian of its zone";
    } else {
        msg += d.fromTarget ? "target meridian " + job.lsText : "central meridian " + job.loText;
    }
    return msg +
           ", beyond 35 degrees, where the classic series cannot be checked against the exact "
           "transverse Mercator and --method exact has no result either";
}

std::string ExcessText(const Diagnostic& d) {
    return std::to_string(d.count) + (d.seconds ? " seconds" : " minutes");
}

// "lies 36°00′00″ from the central meridian 117: at most 35 degrees with --method exact".
std::string DescribeMeridianOffset(const Diagnostic& d, const Job& job) {
    const Geodesy& g = job.geodesy;
    return "lies " + DegreesText(d.value) + " from the central meridian " +
           (g.zone ? std::string("of its zone") : job.loText) +
           (g.method == Method::Exact ? ": at most 35 degrees with --method exact"
                                      : ": at most 45 degrees");
}

// Why a value is refused: its text and the limit it passes.
std::string DescribeLimit(const Diagnostic& d, const Job& job) {
    std::string msg = QuoteForMessage(d.text);
    const Geodesy& g = job.geodesy;
    switch (d.limit) {
        case Limit::Latitude:
            msg += " is beyond the pole: |B| is at most 90 degrees";
            break;
        case Limit::MeridianOffset:
            msg += " " + DescribeMeridianOffset(d, job);
            break;
        case Limit::Northing:
            msg += " is beyond the pole: |X| is at most 10002000 m";
            break;
        case Limit::EastingOffset: {
            const double fe = g.falseEasting;
            msg += " is " + MetresText(d.value) + " m from the central meridian: |Y - " +
                   FalseEastingText(fe) + "| must be below 1000000 m";
            if (d.value >= kMaxEastingOffset && d.value + fe < 1e9) {
                msg += "; the easting looks like it carries a zone number (" +
                       std::to_string(static_cast<long long>((d.value + fe) / 1e6)) +
                       " in front of " + FalseEastingText(fe) +
                       "); give it without, with the zone's central meridian";
            }
            break;
        }
        case Limit::Longitude:
            msg += " is beyond -360 to 360 degrees of longitude, where --zone finds no zone";
            break;
        case Limit::ZoneNumber:
            msg += " carries no zone number of a " + std::to_string(static_cast<int>(*g.zone)) +
                   " deg zone in front (" + (*g.zone == ZoneWidth::Three ? "1 to 120" : "1 to 60") +
                   ", as 20500000 for zone 20), which --zone needs";
            break;
        case Limit::None:
            break;
    }
    return msg;
}

std::string DescribeTooFewFields(const Diagnostic& d, const Job& job) {
    const ModeColumns& columns = ColumnsOf(job.mode);
    std::string msg = "expected at least " + std::to_string(FieldsNeeded(job)) + " fields (";
    for (std::size_t k = 0; k < 3; ++k) {
        if (k > 0) msg += ", ";
        msg += columns.header[k];
    }
    if (FieldsNeeded(job) != 3 || job.fields[0] != 0 || job.fields[1] != 1) {
        msg += " in fields " + std::to_string(job.fields[0] + 1) + "," +
               std::to_string(job.fields[1] + 1) + "," + std::to_string(job.fields[2] + 1);
    }
    return msg + "), found " + std::to_string(d.count);
}

std::string DescribeValue(const Diagnostic& d, const Job& job) {
    const ModeColumns& columns = ColumnsOf(job.mode);
    if (d.problem == Problem::BeyondLimit && d.limit == Limit::MeridianOffset &&
        job.mode != Computation::Forward) {
        // A result refused, rather than one value: both values named.
        return std::string(columns.header[1]) + ' ' + QuoteForMessage(d.text2) + ", " +
               std::string(columns.header[2]) + ' ' + QuoteForMessage(d.text) + ": the point " +
               DescribeMeridianOffset(d, job);
    }
    std::string msg(columns.header[d.field]);
    msg += ": ";
    switch (d.problem) {
        case Problem::BeyondLimit:
            return msg + DescribeLimit(d, job);
        case Problem::EmptyValue:
            return msg + "empty, not a number";
        case Problem::OutOfRange:
            return msg + QuoteForMessage(d.text) + " is out of range";
        default:
            return msg + QuoteForMessage(d.text) + " is not a number";
    }
}

}  // namespace

std::string QuoteForMessage(std::string_view text) {
    constexpr std::size_t kShown = 60;
    std::size_t cut = std::min(text.size(), kShown);
    // Do not cut a UTF-8 sequence in two.
    while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    std::string out = "\"";
    for (std::size_t i = 0; i < cut; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (cut < text.size()) out += "...";
    out += "\"";
    return out;
}

Diagnostic Utf8Mark(const Job& job, std::string_view inputName) {
    Diagnostic d;
    d.problem = Problem::Utf8Mark;
    d.text = job.encoding;
    d.text2 = inputName;
    return d;
}

std::string Describe(const Diagnostic& d, const Job& job) {
    const ModeColumns& columns = ColumnsOf(job.mode);
    switch (d.problem) {
        case Problem::LineTooLong:
            return "line longer than " + std::to_string(d.count) + " bytes";
        case Problem::InvalidUtf8:
            if (!job.encoding.empty()) return "not " + job.encoding + " text";
            return "not UTF-8 text (byte " + std::to_string(d.count) +
                   "); save the file as UTF-8, or use --encoding gb18030 for a file saved by a "
                   "Chinese Windows program";
        case Problem::UnclosedQuote:
            return FieldName(job, d.field) + ": the quote is not closed on this line";
        case Problem::TextAfterQuote:
            return FieldName(job, d.field) + ": text after the closing quote";
        case Problem::QuoteInUnquoted:
            return FieldName(job, d.field) +
                   ": a quote inside an unquoted field (quote the whole field and double the "
                   "quote)";
        case Problem::TooFewFields:
            return DescribeTooFewFields(d, job);
        case Problem::SurplusFields:
            return std::to_string(d.count) + " fields, but the output has columns for the " +
                   std::to_string(d.field) + " of line " + std::to_string(d.otherLine) +
                   (d.header ? " (the header)" : "") + ": field " + std::to_string(d.field + 1) +
                   " " + QuoteForMessage(d.text) + " would be lost; give line " +
                   std::to_string(d.otherLine) +
                   " as many fields (empty ones will do), or quote a field that holds a separator";
        case Problem::NoFiniteResult:
        case Problem::SeriesOff:
            return std::string(columns.header[1]) + ' ' + QuoteForMessage(d.text) + ", " +
                   std::string(columns.header[2]) + ' ' + QuoteForMessage(d.text2) + ": " +
                   (d.problem == Problem::SeriesOff
                        ? DescribeMiss(d, job)
                        : "no finite result (the point lies outside the projection's range)");
        case Problem::EmptyValue:
        case Problem::NotANumber:
        case Problem::OutOfRange:
        case Problem::BeyondLimit:
            return DescribeValue(d, job);
        case Problem::PackedExcess:
            return std::string(columns.header[d.field]) + ' ' + d.text + " has " + ExcessText(d) +
                   ": packed degrees are degrees.minutes-seconds; is it decimal degrees?";
        case Problem::SeriesMiss:
            return "the classic series are " + MissText(d.value) +
                   " off the exact transverse Mercator here, more than 1 cm (--method exact is "
                   "accurate to 5 nm)";
        case Problem::HeaderReadsAsPoint:
            return "this line, skipped by --header, reads as a point; leave --header out if the "
                   "file has no header line";
        case Problem::MorePackedExcess:
            return std::to_string(d.count) +
                   " more packed angles with 60 or more minutes or seconds";
        case Problem::SeriesMisses:
            return std::to_string(d.count) + (d.count == 1 ? " point was" : " points were") +
                   " computed more than 1 cm off the exact transverse Mercator, the worst " +
                   MissText(d.value) + " (line " + std::to_string(d.line) +
                   "): --method exact computes them to 5 nm";
        case Problem::Utf8Mark:
            return d.text2 + ": starts with a UTF-8 byte order mark: read as UTF-8, not " + d.text;
        case Problem::SettingExcess:
            return d.text2 + " " + d.text + " has " + ExcessText(d) +
                   ": packed degrees are degrees.minutes-seconds; is it decimal degrees?";
    }
    return {};
}

}  // namespace quorvel::engine
