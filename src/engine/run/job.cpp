#include "engine/run/job.h"

#include <algorithm>
#include <cmath>

#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel::engine {
namespace {

// "OPTION: TEXT is ...", `why` a message with {0} the quoted text.
std::optional<JobRefusal> OptionRefusal(std::string_view option, const char* why,
                                        std::string_view text) {
    return Refuse(Fill(Tr("{0}: {1}"), {option, Fill(Tr(why), {Quoted(text)})}));
}

// A packed-degree meridian into `degrees`: read as a number, then decoded like the window's.
std::optional<JobRefusal> ReadMeridian(std::string_view option, const std::string& text,
                                       double& degrees, std::vector<Diagnostic>& warnings) {
    try {
        degrees = DecodePackedAngle(ParseNumber(text));
    } catch (const OverflowError&) {
        return OptionRefusal(option, TR_NOOP("{0} is out of range"), text);
    } catch (const Error&) {
        return OptionRefusal(option, TR_NOOP("{0} is not a number"), text);
    }
    if (!(std::fabs(degrees) <= 360)) {
        return OptionRefusal(option, TR_NOOP("{0} is beyond -360 to 360 degrees"), text);
    }
    if (const std::optional<PackedExcessValue> excess = FindPackedExcess(text)) {
        Diagnostic& d = warnings.emplace_back();
        d.problem = Problem::SettingExcess;
        d.text = text;
        d.text2 = option;
        d.count = static_cast<std::uint64_t>(excess->amount);
        d.seconds = excess->seconds;
    }
    return std::nullopt;
}

// The zone of width `w` whose central meridian `degrees` is, into `zone`.
std::optional<JobRefusal> ZoneOfMeridian(ZoneWidth w, std::string_view text, double degrees,
                                         int& zone) {
    const std::optional<int> found = ZoneOfCentralMeridian(w, degrees);
    if (!found) {
        return Refuse(
            Fill(Tr("--ls: {0} is not the central meridian of a {1} deg zone ({2})"),
                 {Quoted(text), std::to_string(static_cast<int>(w)),
                  w == ZoneWidth::Three ? Tr("a multiple of 3") : Tr("3 plus a multiple of 6")}));
    }
    zone = *found;
    return std::nullopt;
}

// Ls, for the zone change only.
std::optional<JobRefusal> SetTargetMeridian(Job& job, const std::optional<std::string>& ls,
                                            std::vector<Diagnostic>& warnings) {
    Geodesy& g = job.geodesy;
    if (job.mode != Computation::Zone) {
        if (ls) return Refuse(Tr("--ls belongs to the zone mode only"));
        return std::nullopt;
    }
    if (!ls && !g.zone) return Refuse(Tr("zone needs --ls, the central meridian after the change"));
    if (!ls) return std::nullopt;
    job.lsText = *ls;
    if (auto r = ReadMeridian("--ls", *ls, job.meridians.ls, warnings)) return r;
    if (g.zone) return ZoneOfMeridian(*g.zone, *ls, job.meridians.ls, g.targetZone);
    return std::nullopt;
}

}  // namespace

std::optional<JobRefusal> SetMeridians(Job& job, const std::optional<std::string>& lo,
                                       const std::optional<std::string>& ls,
                                       std::vector<Diagnostic>& warnings) {
    Geodesy& g = job.geodesy;
    job.loText.clear();
    job.lsText.clear();
    job.meridians = {};
    g.targetZone = -1;
    if (g.zone) {
        if (lo)
            return Refuse(Tr("--lo and --zone both give the central meridian: give one of them"));
    } else {
        if (!lo) return Refuse(Tr("--lo is required, or --zone 3|6"));
        job.loText = *lo;
        if (auto r = ReadMeridian("--lo", *lo, job.meridians.lo, warnings)) return r;
    }
    return SetTargetMeridian(job, ls, warnings);
}

std::optional<JobRefusal> CheckJob(const Job& job) {
    const Geodesy& g = job.geodesy;
    if (g.method == Method::Classic && !IsKrassovsky(g.ellipsoid)) {
        return Refuse(Fill(Tr("the classic method is the classic series on the Krassovsky "
                              "ellipsoid only: use --method exact with --ellipsoid {0}"),
                           {g.ellipsoid.name}));
    }
    if (g.compare && g.method != Method::Classic) {
        return Refuse(
            Tr("--compare compares the classic method with the exact one: leave out --method "
               "exact"));
    }
    if (!(g.k0 >= 0.9 && g.k0 <= 1.1)) {
        return Refuse(Fill(Tr("--k0: {0} is not between 0.9 and 1.1"), {ShortestText(g.k0)}));
    }
    if (!(std::fabs(g.falseEasting) <= 1e9)) {
        return Refuse(Fill(Tr("--false-easting: {0} is beyond 1000000000 m"),
                           {ShortestText(g.falseEasting)}));
    }
    if (g.zonePrefix && !g.zone) {
        return Refuse(Tr("--zone-prefix needs --zone 3 or --zone 6, the width of the zones"));
    }
    if (!(std::fabs(g.projectionHeight) <= kMaxProjectionHeight)) {
        return Refuse(Fill(Tr("--projection-height: {0} m is beyond -10000 to 10000 m, farther "
                              "than any ground from the ellipsoid: is it in metres?"),
                           {ShortestText(g.projectionHeight)}));
    }
    if (!(g.distortionLimit > 0 && std::isfinite(g.distortionLimit))) {
        return Refuse(Fill(Tr("--distortion-limit: {0} cm/km is no limit: give a number above 0, "
                              "such as 2.5"),
                           {ShortestText(g.distortionLimit)}));
    }
    if (job.heightField &&
        std::find(job.fields.begin(), job.fields.end(), *job.heightField) != job.fields.end()) {
        return Refuse(Fill(Tr("--height-field: field {0} is the name or one of the values "
                              "(--fields)"),
                           {std::to_string(*job.heightField + 1)}));
    }
    return std::nullopt;
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
    if (g.projectionHeight != 0) {
        args.push_back("--projection-height=" + ShortestText(g.projectionHeight));
    }
    if (g.zone) args.push_back("--zone=" + std::to_string(static_cast<int>(*g.zone)));
    if (!job.loText.empty()) args.push_back("--lo=" + job.loText);
    if (!job.lsText.empty()) args.push_back("--ls=" + job.lsText);
    if (g.zonePrefix) args.emplace_back("--zone-prefix");
    if (g.convergence) args.emplace_back("--convergence");
    if (g.scale) args.emplace_back("--scale");
    if (g.compare) args.emplace_back("--compare");
    if (g.distortion) {
        args.emplace_back("--distortion");
        if (g.distortionLimit != Geodesy().distortionLimit) {
            args.push_back("--distortion-limit=" + ShortestText(g.distortionLimit));
        }
        if (job.heightField)
            args.push_back("--height-field=" + std::to_string(*job.heightField + 1));
    }
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

std::optional<JobRefusal> ReadEncoding(const std::string& text, std::string& iconvName) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "utf-8" || lower == "utf8") {
        iconvName.clear();
    } else if (lower == "gb18030") {
        iconvName = "GB18030";
    } else if (lower == "gbk" || lower == "cp936") {
        iconvName = "GBK";
    } else {
        return Refuse(
            Fill(Tr("--encoding: {0} is not one of utf-8, gb18030, gbk"), {Quoted(text)}));
    }
    return std::nullopt;
}

std::string ReadableEncoding(const std::string& iconvName) {
    std::string lower;
    for (char c : iconvName) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower.empty() ? "utf-8" : lower;
}

}  // namespace quorvel::engine
