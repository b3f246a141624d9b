#include "cli/plan_command.h"

#include <cmath>
#include <optional>
#include <ostream>
#include <string>

#include "cli/arguments.h"
#include "cli/command_files.h"
#include "cli/command_line.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/projection_plan.h"
#include "engine/plan/area_plan.h"
#include "engine/reading/point_input.h"

namespace quorvel::cli {

using namespace engine;

namespace {

// The plan's valued options, which the mode is looked for past.
constexpr std::string_view kPlanValued[] = {"--limit", "--ellipsoid", "--encoding", "--sheet"};

struct PlanOptions {
    double limit = 2.5;
    Ellipsoid ellipsoid = Krassovsky();
    std::string encoding;
    bool header = false;
    bool decimalComma = false;
    std::string input = "-";
    std::string sheet;
};

PlanOptions ReadPlanOptions(std::span<const std::string_view> args) {
    PlanOptions o;
    std::optional<std::string> limit, ellipsoid, encoding, sheet;
    ArgumentReader r(args);
    while (r.Next()) {
        if (r.Valued("--limit", limit) || r.Valued("--ellipsoid", ellipsoid) ||
            r.Valued("--encoding", encoding) || r.Valued("--sheet", sheet)) {
            continue;
        }
        const std::string_view a = r.Option();
        r.Flag(a == "--header" ? &o.header : a == "--decimal-comma" ? &o.decimalComma : nullptr);
    }
    ReadInputFile(r.Positional(), o.input);
    if (limit) {
        const std::optional<double> v = TryParseNumber(*limit);
        if (!v || !(*v > 0) || !std::isfinite(*v)) {
            throw UsageError(Fill(Tr("--limit: {0} cm/km is no limit: give a number above 0, "
                                     "such as 2.5"),
                                  {Quoted(*limit)}));
        }
        o.limit = *v;
    }
    if (ellipsoid) {
        try {
            o.ellipsoid = ParseEllipsoid(*ellipsoid);
        } catch (const Error& e) {
            throw UsageError(Fill(Tr("--ellipsoid: {0}"), {e.what()}));
        }
    }
    if (encoding) o.encoding = ReadEncoding(*encoding);
    if (sheet) o.sheet = ReadSheet(*sheet);
    return o;
}

}  // namespace

bool IsPlanCommand(std::span<const std::string_view> args) {
    return ModeWord(args, kPlanValued) == "plan";
}

int RunPlanCommand(std::span<const std::string_view> args, const Environment& env) {
    if (AnswerHelpOrVersion(args, env)) return 0;
    PlanOptions o;
    try {
        o = ReadPlanOptions(args);
    } catch (const UsageError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n' << UsageText();
        env.err.flush();
        return 2;
    }
    PointInput input;
    if (const std::string why = input.Open({o.input, o.encoding, o.sheet}, env.stdinFd);
        !why.empty()) {
        env.err << "quorvel-batch: " << ShownMessage(why) << '\n';
        return 2;
    }
    AreaPoints area;
    try {
        area = ReadAreaPoints(input.Source(), o.header, o.decimalComma);
    } catch (const IoError& e) {
        env.err << "quorvel-batch: " << ShownMessage(e.what()) << '\n';
        return 2;
    }
    if (area.badLine != 0) {
        env.err << input.Name() << ':' << area.badLine << ": " << ShownMessage(area.problem)
                << '\n';
        return 2;
    }
    if (area.points.empty()) {
        env.err << "quorvel-batch: " << ShownMessage(Tr("plan: the input holds no point")) << '\n';
        return 2;
    }
    const PlanProposal p = ProposeSystem(area.points, o.ellipsoid, o.limit);
    if (!p.found) {
        env.err << "quorvel-batch: " << ShownMessage(NoProposalText(p, o.limit)) << '\n';
        return 1;
    }
    env.out << ProposalText(p, area, o.limit, o.ellipsoid);
    env.out.flush();
    return 0;
}

}  // namespace quorvel::cli
