#include "engine/job.h"

#include <cmath>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel::engine {
namespace {

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// "OPTION: TEXT is ...", `why` a message with {0} the quoted text.
UsageError OptionError(std::string_view option, const char* why, std::string_view text) {
    return UsageError(Fill(Tr("{0}: {1}"), {option, Fill(Tr(why), {Quoted(text)})}));
}

// A packed-degree meridian: read as a number, then decoded like the window's.
double ReadMeridian(std::string_view option, const std::string& text,
                    std::vector<Diagnostic>& warnings) {
    double degrees = 0;
    try {
        degrees = DecodePackedAngle(ParseNumber(text));
    } catch (const OverflowError&) {
        throw OptionError(option, TR_NOOP("{0} is out of range"), text);
    } catch (const Error&) {
        throw OptionError(option, TR_NOOP("{0} is not a number"), text);
    }
    if (!(std::fabs(degrees) <= 360)) {
        throw OptionError(option, TR_NOOP("{0} is beyond -360 to 360 degrees"), text);
    }
    if (const std::optional<PackedExcessValue> excess = FindPackedExcess(text)) {
        Diagnostic& d = warnings.emplace_back();
        d.problem = Problem::SettingExcess;
        d.text = text;
        d.text2 = option;
        d.count = static_cast<std::uint64_t>(excess->amount);
        d.seconds = excess->seconds;
    }
    return degrees;
}

// The zone of width `w` whose central meridian `degrees` is, or a usage error.
int ZoneOfMeridian(ZoneWidth w, std::string_view text, double degrees) {
    const std::optional<int> zone = ZoneOfCentralMeridian(w, degrees);
    if (!zone) {
        throw UsageError(
            Fill(Tr("--ls: {0} is not the central meridian of a {1} deg zone ({2})"),
                 {Quoted(text), std::to_string(static_cast<int>(w)),
                  w == ZoneWidth::Three ? Tr("a multiple of 3") : Tr("3 plus a multiple of 6")}));
    }
    return *zone;
}

}  // namespace

void SetMeridians(Job& job, const std::optional<std::string>& lo,
                  const std::optional<std::string>& ls, std::vector<Diagnostic>& warnings) {
    Geodesy& g = job.geodesy;
    job.loText.clear();
    job.lsText.clear();
    job.meridians = {};
    g.targetZone = -1;
    if (g.zone) {
        if (lo) {
            throw UsageError(
                Tr("--lo and --zone both give the central meridian: give one of them"));
        }
    } else {
        if (!lo) throw UsageError(Tr("--lo is required, or --zone 3|6"));
        job.loText = *lo;
        job.meridians.lo = ReadMeridian("--lo", *lo, warnings);
    }
    if (job.mode == Computation::Zone) {
        if (!ls && !g.zone) {
            throw UsageError(Tr("zone needs --ls, the central meridian after the change"));
        }
        if (ls) {
            job.lsText = *ls;
            job.meridians.ls = ReadMeridian("--ls", *ls, warnings);
            if (g.zone) g.targetZone = ZoneOfMeridian(*g.zone, *ls, job.meridians.ls);
        }
    } else if (ls) {
        throw UsageError(Tr("--ls belongs to the zone mode only"));
    }
}

void CheckJob(const Job& job) {
    const Geodesy& g = job.geodesy;
    if (g.method == Method::Classic && !IsKrassovsky(g.ellipsoid)) {
        throw UsageError(Fill(Tr("the classic method is the classic series on the Krassovsky "
                                 "ellipsoid only: use --method exact with --ellipsoid {0}"),
                              {g.ellipsoid.name}));
    }
    if (g.compare && g.method != Method::Classic) {
        throw UsageError(
            Tr("--compare compares the classic method with the exact one: leave out --method "
               "exact"));
    }
    if (!(g.k0 >= 0.9 && g.k0 <= 1.1)) {
        throw UsageError(Fill(Tr("--k0: {0} is not between 0.9 and 1.1"), {ShortestText(g.k0)}));
    }
    if (!(std::fabs(g.falseEasting) <= 1e9)) {
        throw UsageError(Fill(Tr("--false-easting: {0} is beyond 1000000000 m"),
                              {ShortestText(g.falseEasting)}));
    }
    if (g.zonePrefix && !g.zone) {
        throw UsageError(Tr("--zone-prefix needs --zone 3 or --zone 6, the width of the zones"));
    }
}

std::vector<std::string> JobArguments(const Job& job) {
    const Geodesy& g = job.geodesy;
    std::vector<std::string> args{std::string(ColumnsOf(job.mode).mode)};
    if (!IsKrassovsky(g.ellipsoid) || g.ellipsoid.name != Krassovsky().name) {
        args.push_back("--ellipsoid=" + g.ellipsoid.name);
    }
    if (g.method != Method::Classic)
        args.push_back("--method=" + std::string(MethodName(g.method)));
    if (g.k0 != 1) args.push_back("--k0=" + ShortestText(g.k0));
    if (g.falseEasting != FalseEasting) {
        args.push_back("--false-easting=" + ShortestText(g.falseEasting));
    }
    if (g.zone) args.push_back("--zone=" + std::to_string(static_cast<int>(*g.zone)));
    if (!job.loText.empty()) args.push_back("--lo=" + job.loText);
    if (!job.lsText.empty()) args.push_back("--ls=" + job.lsText);
    if (g.zonePrefix) args.emplace_back("--zone-prefix");
    if (g.convergence) args.emplace_back("--convergence");
    if (g.scale) args.emplace_back("--scale");
    if (g.compare) args.emplace_back("--compare");
    if (job.fields != Job().fields) {
        args.push_back("--fields=" + std::to_string(job.fields[0] + 1) + "," +
                       std::to_string(job.fields[1] + 1) + "," + std::to_string(job.fields[2] + 1));
    }
    if (!job.dropped.empty()) {
        std::string list;
        for (std::size_t f : job.dropped) list += (list.empty() ? "" : ",") + std::to_string(f + 1);
        args.push_back("--drop-fields=" + list);
    }
    if (job.decimalComma) args.emplace_back("--decimal-comma");
    if (!job.encoding.empty()) args.push_back("--encoding=" + ReadableEncoding(job.encoding));
    if (job.header) args.emplace_back("--header");
    if (job.full) args.emplace_back("--full");
    if (job.bom) args.emplace_back("--bom");
    if (job.datUtf8) args.emplace_back("--dat-encoding=utf-8");
    if (job.format != OutputFormat::Csv) {
        args.push_back("--format=" + std::string(FormatName(job.format)));
    }
    return args;
}

std::string ReadEncoding(const std::string& text) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "utf-8" || lower == "utf8") return "";
    if (lower == "gb18030") return "GB18030";
    if (lower == "gbk" || lower == "cp936") return "GBK";
    throw UsageError(Fill(Tr("--encoding: {0} is not one of utf-8, gb18030, gbk"), {Quoted(text)}));
}

std::string ReadableEncoding(const std::string& iconvName) {
    std::string lower;
    for (char c : iconvName) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.empty() ? "utf-8" : lower;
}

}  // namespace quorvel::engine
