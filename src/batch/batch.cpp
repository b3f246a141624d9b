#include "batch/batch.h"

#include <GeographicLib/Math.hpp>
#include <cmath>
#include <cstdio>
#include <vector>

#include "batch/projection_choice.h"
#include "core/classic_check.h"
#include "core/classic_series.h"
#include "core/errors.h"
#include "core/limits.h"
#include "core/messages.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/point_verdict.h"
#include "core/projection_surface.h"
#include "core/zones.h"

namespace quorvel {
namespace {

// The confirmation prompt of a value: the question, then how to answer it.
std::string Confirm(const char* question) {
    return Fill(Tr("{0}? Press Enter if it is, type 0 (zero) if not"), {Tr(question)});
}

// "A: B" in the language of the messages.
std::string Joined(std::string_view a, std::string_view b) {
    return Fill(Tr("{0}: {1}"), {a, b});
}

// Reads a stored value as a number; a failure names the value.
double NumberOf(const ValueCell& cell, std::string_view what) {
    try {
        return cell.Number();
    } catch (const Error& e) {
        RethrowWithContext(e, what);
    }
}

double DecodedAngle(const ValueCell& cell, std::string_view what) {
    return DecodePackedAngle(NumberOf(cell, what));
}

// "第 2 点的大地纬度 B": `value` a message.
std::string PointLabel(int i, const char* value) {
    return Fill(Tr("{1} of point {0}"), {std::to_string(i), Tr(value)});
}

// The error text of a typed value that does not read as a number, or nothing when it does.
std::optional<std::string> NotANumber(const ValueCell& cell, std::string_view what) {
    try {
        cell.Number();
        return std::nullopt;
    } catch (const Error& e) {
        // As the error would read had it been thrown where the value is computed with.
        return Joined(ErrorName(e.kind()), Joined(what, e.detail()));
    }
}

// A message about a value where the computation means nothing.
std::string OutOfDomain(std::string_view detail) {
    return Joined(ErrorName(ErrorKind::OutOfDomain), detail);
}

std::string Quoted(const ValueCell& cell) {
    return "“" + (cell.IsText() ? cell.Text() : ShortestText(cell.Number())) + "”";
}

// Whether a typed value can be computed with: a number, inside the domain of its kind.
std::optional<std::string> CheckValue(const ValueCell& cell, Domain domain, std::string_view what) {
    if (auto problem = NotANumber(cell, what)) return problem;
    const double v = cell.Number();
    const auto refuse = [&](const char* why) {
        return OutOfDomain(Joined(what, Fill(Tr(why), {Quoted(cell)})));
    };
    switch (domain) {
        case Domain::Angle:
            break;
        case Domain::Latitude:
            if (IsBeyond(Limit::Latitude, DecodePackedAngle(v))) {
                return refuse(TR_NOOP("{0} is beyond 90°: a latitude lies from -90° to 90°"));
            }
            break;
        case Domain::Northing:
            if (IsBeyond(Limit::Northing, v)) {
                return refuse(
                    TR_NOOP("{0} is more than 10002000 m in absolute value (the meridian arc from "
                            "the equator to the pole)"));
            }
            break;
        case Domain::Easting:
            if (IsBeyond(Limit::EastingOffset, v - FalseEasting)) {
                return refuse(
                    TR_NOOP("{0} differs from 500000 m by 1000000 m or more: an easting lies "
                            "above -500000 m and below 1500000 m"));
            }
            break;
    }
    return std::nullopt;
}

// A central meridian as messages name it, e.g. 换带后中央子午线 Ls “297”.
struct MeridianName {
    std::string_view name;
    const ValueCell& value;
};

// The limits quorvel-batch keeps, applied when a meridian is typed: the exact method computes
// within 35° of the central meridian; a classic result more than 1 m from the exact one, or
// without one, is refused: the verdict of core/point_verdict.h, worded here. The messages name the
// point (`point`: 第 2 点 and its typed values), the size and where the exact method is chosen, and
// ask `again` again.
class PointLimits {
  public:
    explicit PointLimits(const BatchState& state)
        : state_(state),
          exact_(state.Projection.projection &&
                 state.Projection.projection->method() == Method::Exact),
          ratio_(state.Projection.projection
                     ? SurfaceRatio(state.Projection.projection->ellipsoid(),
                                    state.Projection.projection->projectionHeight())
                     : 1) {}

    std::optional<std::string> Forward(const std::string& point, std::string_view again, double B,
                                       double L, const MeridianName& lo, double loDeg) const {
        if (exact_) {
            const double offset = GeographicLib::Math::AngDiff(loDeg, L);
            if (IsBeyond(Limit::MeridianOffset, offset, Method::Exact)) {
                return Beyond35(point, again, lo, offset);
            }
            return std::nullopt;
        }
        const double l = MeridianOffset(L, loDeg);
        // On a raised surface the series' plane is scaled by the ratio of the axes; the check
        // is made on the ellipsoid's.
        return Refusal(point, again, lo,
                       JudgeForward(
                           check_, B, l,
                           [&] {
                               const PlanePoint p = ProjectForward(state_, B, L, loDeg);
                               return std::pair{p.X / ratio_, p.Sign * p.AbsY / ratio_};
                           },
                           ratio_));
    }

    std::optional<std::string> Inverse(const std::string& point, std::string_view again, double X,
                                       double Y, const MeridianName& lo, double loDeg) const {
        if (exact_) {
            try {
                ProjectInverse(state_, X, Y, loDeg);
            } catch (const OutOfDomainError&) {
                return Beyond35(point, again, lo, std::nullopt);
            }
            return std::nullopt;
        }
        return Refusal(point, again, lo,
                       JudgeInverse(check_, X / ratio_, (Y - FalseEasting) / ratio_, [&] {
                           const GeodeticPoint g = ProjectInverse(state_, X, Y, loDeg);
                           return std::pair{g.B, g.L - loDeg};
                       }));
    }

    // With Lo already accepted by Inverse.
    std::optional<std::string> Zone(const std::string& point, std::string_view again, double X1,
                                    double Y1, double loDeg, const MeridianName& ls,
                                    double lsDeg) const {
        if (exact_) {
            try {
                ProjectZone(state_, X1, Y1, loDeg, lsDeg);
            } catch (const OutOfDomainError&) {
                return Beyond35(point, again, ls, std::nullopt);
            }
            return std::nullopt;
        }
        const double y1 = (Y1 - FalseEasting) / ratio_, shift = MeridianOffset(lsDeg, loDeg);
        return Refusal(point, again, ls,
                       JudgeZone(
                           check_, X1 / ratio_, y1, shift,
                           [&] {
                               const PlanePoint p = ProjectZone(state_, X1, Y1, loDeg, lsDeg);
                               return std::pair{p.X / ratio_, p.Sign * p.AbsY / ratio_};
                           },
                           ratio_));
    }

  private:
    static std::string Retype(std::string_view again) {
        return Fill(Tr("Type the {0} again; if the point's values are wrong, press Esc (or click "
                       "Cancel) to leave the batch, then enter it again."),
                    {again});
    }

    static std::string Beyond35(const std::string& point, std::string_view again,
                                const MeridianName& m, std::optional<double> offset) {
        if (!offset) {
            return OutOfDomain(Fill(Tr("{0} lies more than 35° from the {1} {2}: the exact method "
                                       "(Settings › Ellipsoid and method › Exact) computes only "
                                       "to 35°. {3}"),
                                    {point, m.name, Quoted(m.value), Retype(again)}));
        }
        return OutOfDomain(
            Fill(Tr("{0} lies {3} from the {1} {2}, more than 35°: the exact "
                    "method (Settings › Ellipsoid and method › Exact) computes "
                    "only to 35°. {4}"),
                 {point, m.name, Quoted(m.value), DegreesText(*offset), Retype(again)}));
    }

    // The verdict on the classic series worded: nothing unless it refuses the point.
    static std::optional<std::string> Refusal(const std::string& point, std::string_view again,
                                              const MeridianName& m, const SeriesJudgement& j) {
        if (j.verdict != SeriesVerdict::Refused) return std::nullopt;
        if (std::isnan(j.miss)) {
            return OutOfDomain(Fill(
                Tr("{0} lies {3} from the {1} {2}, more than 35°: the classic series cannot be "
                   "checked against the exact solution there, and the exact method (Settings › "
                   "Ellipsoid and method › Exact) computes only to 35° too. {4}"),
                {point, m.name, Quoted(m.value), DegreesText(j.offset), Retype(again)}));
        }
        return OutOfDomain(
            Fill(Tr("{0} computed with the classic series is {1} off the exact solution, more than "
                    "1 m. Type the {2} again; to compute the point, press Esc (or click Cancel) to "
                    "leave the batch, choose the exact method in Settings › Ellipsoid and method › "
                    "Exact, and compute it again."),
                 {point, MissText(j.miss), again}));
    }

    const BatchState& state_;
    bool exact_;
    ClassicCheck check_;
    double ratio_;  // (a + H0)/a of the chosen projection's surface; 1 on the ellipsoid
};

// 第 2 点（大地经度 L “152”，大地纬度 B “0”）: the names are messages.
std::string PointWith(int i, const char* aName, const ValueCell& a, const char* bName,
                      const ValueCell& b) {
    return Fill(Tr("point {0} ({1} {2}, {3} {4})"),
                {std::to_string(i), Tr(aName), Quoted(a), Tr(bName), Quoted(b)});
}

// A series evaluated far outside its domain (a northing beyond the pole, say) gives no number.
void RequireFinite(int i, std::initializer_list<double> results) {
    for (double v : results) {
        if (!std::isfinite(v)) {
            throw OverflowError(
                Fill(Tr("the results of point {0} are out of range: check the point's input"),
                     {std::to_string(i)}));
        }
    }
}

// Stores typed text into `cell` and shows it with `pattern`.
std::function<std::string(std::string)> TypedInto(ValueCell& cell, std::string_view pattern) {
    return [&cell, pattern](std::string text) {
        cell = ValueCell(std::move(text));
        return DisplayText(cell, pattern);
    };
}

std::function<std::string(std::string)> NameInto(std::string& name) {
    return [&name](std::string text) {
        name = std::move(text);
        return " " + name;
    };
}

std::string AskOrAbandon(Prompt& prompt, std::string_view message, std::string_view title = {}) {
    std::optional<std::string> answer = prompt.Ask(message, title);
    if (!answer) throw BatchAbandoned{};
    return std::move(*answer);
}

// The two typed values of each pass, in the order they are asked.
constexpr PointValue kLongitude{TextBox::ForwardL,
                                TR_NOOP("Longitude L of point {0}:"),
                                TR_NOOP("Is the longitude right"),
                                TR_NOOP("The right longitude:"),
                                "0.0000000000",
                                TR_NOOP("longitude L"),
                                Domain::Angle};
constexpr PointValue kLatitude{TextBox::ForwardB,
                               TR_NOOP("Latitude B of point {0}:"),
                               TR_NOOP("Is the latitude right"),
                               TR_NOOP("The right latitude:"),
                               "0.0000000000",
                               TR_NOOP("latitude B"),
                               Domain::Latitude};
constexpr PointValue kNorthing{TextBox::InverseX,
                               TR_NOOP("Northing X of point {0}:"),
                               TR_NOOP("Is the northing right"),
                               TR_NOOP("The right northing:"),
                               "0.0000",
                               TR_NOOP("northing X"),
                               Domain::Northing};
constexpr PointValue kEasting{TextBox::InverseY,
                              TR_NOOP("Easting Y of point {0}:"),
                              TR_NOOP("Is the easting right"),
                              TR_NOOP("The right easting:"),
                              "0.0000",
                              TR_NOOP("easting Y"),
                              Domain::Easting};
constexpr PointValue kNorthing1{TextBox::ZoneX1,
                                TR_NOOP("Zone change: northing of point {0}:"),
                                TR_NOOP("Is the northing to change zone right"),
                                TR_NOOP("The right northing to change zone:"),
                                "0.0000",
                                TR_NOOP("northing X1"),
                                Domain::Northing};
constexpr PointValue kEasting1{TextBox::ZoneY1,
                               TR_NOOP("Zone change: easting Y of point {0}:"),
                               TR_NOOP("Is the easting to change zone right"),
                               TR_NOOP("The right easting to change zone:"),
                               "0.0000",
                               TR_NOOP("easting Y1"),
                               Domain::Easting};

// Gives each list n unset cells.
void AllocateAll(int n, std::initializer_list<std::vector<ValueCell>*> lists) {
    for (std::vector<ValueCell>* list : lists) Allocate(*list, n);
}

}  // namespace

void ConfirmedEntry(Prompt& prompt, Panel& panel, TextBox box, const EntryTexts& texts,
                    const std::function<std::string(std::string)>& store, const ValueCheck& check) {
    panel.SetText(box, store(AskOrAbandon(prompt, texts.entry, texts.title)));
    for (;;) {
        std::optional<double> answer = TryParseNumber(AskOrAbandon(prompt, texts.confirm));
        if (!answer || *answer != 0) {
            const std::optional<std::string> problem = check ? check() : std::nullopt;
            if (!problem) return;
            prompt.ShowError(*problem);
        }
        panel.SetText(box, "");
        panel.SetText(box, store(AskOrAbandon(prompt, texts.reentry)));
    }
}

void JournalPanel::SetText(TextBox box, std::string_view text) {
    if (!before_.contains(box)) before_.emplace(box, panel_.Text(box));
    panel_.SetText(box, text);
}

void JournalPanel::Restore() {
    for (const auto& [box, text] : before_) panel_.SetText(box, text);
    before_.clear();
}

std::string Batches::Ask(std::string_view message, std::string_view title) {
    return AskOrAbandon(prompt_, message, title);
}

void Batches::Command2_click() {
    const BatchState before = state_;
    panel_.Forget();
    try {
        RunCommand2();
    } catch (const BatchAbandoned&) {
        state_ = before;
        panel_.Restore();
    }
    panel_.Forget();
}

void Batches::RunCommand2() {
    std::int16_t m = 0;
    try {
        m = ParseInt16(Ask(Tr("Type of computation m: forward m=1, inverse m=2, zone change m=3"),
                           Tr("Type of computation")));
    } catch (const Error& e) {
        RethrowWithContext(e, Tr("type of computation m"));
    }
    static constexpr const char* kHints[] = {TR_NOOP("This is a forward computation"),
                                             TR_NOOP("This is an inverse computation"),
                                             TR_NOOP("This is a zone change")};
    if (m >= 1 && m <= 3) panel_.SetText(TextBox::ComputationHint, Tr(kHints[m - 1]));

    ConfirmedEntry(prompt_, panel_, TextBox::PointCount,
                   {Tr("Number of points to compute:"), Confirm(TR_NOOP("Is the number right")),
                    Tr("The right number of points to compute:")},
                   [this](std::string text) {
                       try {
                           state_.PointCount = ParseInt16(text);
                       } catch (const Error& e) {
                           RethrowWithContext(e, Tr("number of points"));
                       }
                       return Fill(Tr("Points in this batch: {0}"),
                                   {std::to_string(state_.PointCount)});
                   });

    const std::optional<Computation> computation = ComputationOf(m);
    if (!computation) return;
    state_.BatchComputation = computation;
    state_.BatchComplete = false;
    switch (*computation) {
        case Computation::Forward:
            ForwardPass();
            break;
        case Computation::Inverse:
            InversePass();
            break;
        case Computation::Zone:
            ZoneChangePass();
            break;
    }
    state_.BatchComplete = true;
    state_.BatchProjection = state_.Projection;
}

int Batches::Begin() const {
    if (!state_.Constants.Loaded) {
        throw DivisionByZeroError(
            Tr("The ellipsoid constants are not loaded. Click \"开始计算\" first, then "
               "\"投影计算\"."));
    }
    if (state_.PointCount < 0) {
        throw InvalidCountError(Fill(Tr("The number of points is {0}, which cannot be negative. "
                                        "Click \"投影计算\" again and enter the number."),
                                     {std::to_string(state_.PointCount)}));
    }
    return state_.PointCount;
}

void Batches::Pause() {
    Ask(Tr("Press Enter or click OK to show the results:"));
}

double Batches::AskCentralMeridian(TextBox box,
                                   const std::function<std::string(const ValueCell&)>& shown,
                                   const MeridianCheck& check) {
    for (;;) {
        ValueCell lo(Ask(Tr("Central meridian Lo:"), Tr("Central meridian")));
        panel_.SetText(box, shown(lo));
        std::optional<std::string> problem = NotANumber(lo, Tr("central meridian Lo"));
        const double loDeg = problem ? 0 : DecodePackedAngle(lo.Number());
        if (!problem) problem = check(lo, loDeg);
        if (!problem) {
            state_.CentralMeridian = lo;
            return loDeg;
        }
        prompt_.ShowError(*problem);
        panel_.SetText(box, "");
    }
}

void Batches::InputPass(int n, TextBox nameBox, const PointValue& a, const PointValue& b,
                        std::vector<ValueCell>& workA, std::vector<ValueCell>& workB,
                        std::vector<ValueCell>& storeA, std::vector<ValueCell>& storeB) {
    for (int i = 1; i <= n; ++i) {
        ConfirmedEntry(prompt_, panel_, nameBox,
                       {Fill(Tr("Name of point {0}:"), {std::to_string(i)}),
                        Confirm(TR_NOOP("Is the name right")), Tr("The right name:")},
                       NameInto(state_.Store.PointNames[i - 1]));
        for (auto [value, work] : {std::pair{&a, &workA}, std::pair{&b, &workB}}) {
            const ValueCell& cell = (*work)[i - 1];
            const std::string what = PointLabel(i, value->name);
            ConfirmedEntry(
                prompt_, panel_, value->box,
                {Fill(Tr(value->entry), {std::to_string(i)}), Confirm(value->what),
                 Tr(value->reentry)},
                TypedInto((*work)[i - 1], value->pattern),
                // clang 14 cannot capture a structured binding: capture its domain.
                [&cell, &what, domain = value->domain] { return CheckValue(cell, domain, what); });
        }
        storeA[i - 1] = workA[i - 1];
        storeB[i - 1] = workB[i - 1];
    }
}

void Batches::StorePlane(int i, const PlanePoint& p, std::vector<int>& sign) {
    RequireFinite(i, {p.X, p.AbsY});
    state_.Store.PlaneX[i - 1] = p.X;
    state_.Store.PlaneY[i - 1] = p.AbsY;
    sign[i - 1] = p.Sign;
}

void Batches::ShowPlaneResults(const std::vector<ValueCell>& typedFirst,
                               const std::vector<ValueCell>& typedSecond,
                               const std::vector<int>& sign, const std::array<TextBox, 4>& boxes,
                               std::string_view typedPattern) {
    ResultStore& store = state_.Store;
    for (std::size_t k = 0; k < sign.size(); ++k) {
        Pause();
        panel_.SetText(boxes[0], DisplayText(typedFirst[k], typedPattern));
        panel_.SetText(boxes[1], DisplayText(typedSecond[k], typedPattern));
        panel_.SetText(boxes[2], " " + RoundedText(store.PlaneX[k].Number(), 4));
        ValueCell& y = store.PlaneY[k];
        y = FalseEasting + sign[k] * y.Number();
        panel_.SetText(boxes[3], " " + RoundedText(y.Number(), 4));
    }
}

void Batches::ForwardPass() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workL, workB;
    std::vector<int> sign(static_cast<std::size_t>(n), 0);
    AllocateAll(n, {&workL, &workB, &store.TypedL, &store.TypedB, &store.PlaneX, &store.PlaneY});

    InputPass(n, TextBox::ForwardName, kLongitude, kLatitude, workL, workB, store.TypedL,
              store.TypedB);

    const PointLimits limits(state_);
    const double loDeg = AskCentralMeridian(
        TextBox::ForwardMeridian, [](const ValueCell& lo) { return DisplayText(lo, "0.000000"); },
        [&](const ValueCell& lo, double loDeg) -> std::optional<std::string> {
            for (int i = 1; i <= n; ++i) {
                const double l = DecodePackedAngle(workL[i - 1].Number());
                if (IsBeyond(Limit::MeridianOffset, MeridianOffset(l, loDeg))) {
                    return OutOfDomain(Fill(
                        Tr("the longitude L {1} of point {0} lies more than 45° from the central "
                           "meridian Lo {2}: it cannot be projected. Type the central meridian "
                           "Lo again; if the point's longitude is wrong, press Esc (or click "
                           "Cancel) to leave the batch, then enter the batch again."),
                        {std::to_string(i), Quoted(workL[i - 1]), Quoted(lo)}));
                }
                const std::string point = PointWith(i, TR_NOOP("longitude L"), workL[i - 1],
                                                    TR_NOOP("latitude B"), workB[i - 1]);
                if (auto problem = limits.Forward(point, Tr("central meridian Lo"),
                                                  DecodePackedAngle(workB[i - 1].Number()), l,
                                                  {Tr("central meridian Lo"), lo}, loDeg)) {
                    return problem;
                }
            }
            return std::nullopt;
        });

    for (int i = 1; i <= n; ++i) {
        const double b = DecodedAngle(workB[i - 1], PointLabel(i, TR_NOOP("latitude B")));
        const double l = DecodedAngle(workL[i - 1], PointLabel(i, TR_NOOP("longitude L")));
        StorePlane(i, ProjectForward(state_, b, l, loDeg), sign);
    }
    ShowPlaneResults(store.TypedL, store.TypedB, sign,
                     {TextBox::ForwardL, TextBox::ForwardB, TextBox::ForwardX, TextBox::ForwardY},
                     "0.000000");
}

void Batches::InversePass() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workX, workY;
    AllocateAll(n, {&workX, &workY, &store.PlaneX, &store.PlaneY, &store.ResultL, &store.ResultB});

    InputPass(n, TextBox::InverseName, kNorthing, kEasting, workX, workY, store.PlaneX,
              store.PlaneY);

    // Shown without the leading blank, as this panel always has.
    const PointLimits limits(state_);
    const double loDeg = AskCentralMeridian(
        TextBox::InverseMeridian, [](const ValueCell& lo) { return lo.Format("0.00000"); },
        [&](const ValueCell& lo, double loDeg) -> std::optional<std::string> {
            for (int i = 1; i <= n; ++i) {
                const std::string point = PointWith(i, TR_NOOP("northing X"), workX[i - 1],
                                                    TR_NOOP("easting Y"), workY[i - 1]);
                if (auto problem = limits.Inverse(point, Tr("central meridian Lo"),
                                                  workX[i - 1].Number(), workY[i - 1].Number(),
                                                  {Tr("central meridian Lo"), lo}, loDeg)) {
                    return problem;
                }
            }
            return std::nullopt;
        });

    for (int i = 1; i <= n; ++i) {
        const double x = NumberOf(workX[i - 1], PointLabel(i, TR_NOOP("northing X")));
        const double y = NumberOf(workY[i - 1], PointLabel(i, TR_NOOP("easting Y")));
        const GeodeticPoint g = ProjectInverse(state_, x, y, loDeg);
        const double lp = DegreesToPacked(g.L);
        const double bp = DegreesToPacked(g.B);
        RequireFinite(i, {lp, bp});
        store.ResultL[i - 1] = lp;
        store.ResultB[i - 1] = bp;
    }

    for (int i = 1; i <= n; ++i) {
        Pause();
        panel_.SetText(TextBox::InverseX, DisplayText(store.PlaneX[i - 1], "0.000"));
        panel_.SetText(TextBox::InverseY, DisplayText(store.PlaneY[i - 1], "0.000"));
        panel_.SetText(TextBox::InverseL, " " + RoundedText(store.ResultL[i - 1].Number(), 10));
        panel_.SetText(TextBox::InverseB, " " + RoundedText(store.ResultB[i - 1].Number(), 10));
    }
}

void Batches::ZoneChangePass() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workX1, workY1;
    std::vector<int> sign(static_cast<std::size_t>(n), 0);
    AllocateAll(n,
                {&workX1, &workY1, &store.TypedX1, &store.TypedY1, &store.PlaneX, &store.PlaneY});

    InputPass(n, TextBox::ZoneName, kNorthing1, kEasting1, workX1, workY1, store.TypedX1,
              store.TypedY1);

    const auto [loDeg, lsDeg] = AskZoneMeridians(n, workX1, workY1);

    for (int i = 1; i <= n; ++i) {
        const double y1 = NumberOf(workY1[i - 1], PointLabel(i, TR_NOOP("easting Y1")));
        const double x1 = NumberOf(workX1[i - 1], PointLabel(i, TR_NOOP("northing X1")));
        StorePlane(i, ProjectZone(state_, x1, y1, loDeg, lsDeg), sign);
    }
    ShowPlaneResults(store.TypedX1, store.TypedY1, sign,
                     {TextBox::ZoneX1, TextBox::ZoneY1, TextBox::ZoneX2, TextBox::ZoneY2},
                     "0.0000");
}

std::pair<double, double> Batches::AskZoneMeridians(int n, const std::vector<ValueCell>& workX1,
                                                    const std::vector<ValueCell>& workY1) {
    // Each meridian is checked against every point when it is typed: the point's distance from
    // Lo does not depend on Ls.
    const PointLimits limits(state_);
    auto point = [&](int i) {
        return PointWith(i, TR_NOOP("northing X1"), workX1[i - 1], TR_NOOP("easting Y1"),
                         workY1[i - 1]);
    };
    ValueCell lo, ls;
    ConfirmedEntry(
        prompt_, panel_, TextBox::ZoneSourceMeridian,
        {Tr("Central meridian before the change:"),
         Confirm(TR_NOOP("Is the central meridian before the change right")),
         Tr("The right central meridian before the change:")},
        TypedInto(lo, "0.00000"), [&]() -> std::optional<std::string> {
            const std::string name = Tr("central meridian Lo before the change");
            if (auto problem = NotANumber(lo, name)) return problem;
            const double loDeg = DecodePackedAngle(lo.Number());
            for (int i = 1; i <= n; ++i) {
                if (auto problem = limits.Inverse(point(i), name, workX1[i - 1].Number(),
                                                  workY1[i - 1].Number(), {name, lo}, loDeg)) {
                    return problem;
                }
            }
            return std::nullopt;
        });
    const double loDeg = DecodePackedAngle(lo.Number());
    ConfirmedEntry(
        prompt_, panel_, TextBox::ZoneTargetMeridian,
        {Tr("Central meridian after the change:"),
         Confirm(TR_NOOP("Is the central meridian after the change right")),
         Tr("Central meridian after the change:")},
        TypedInto(ls, "0.00000"), [&]() -> std::optional<std::string> {
            const std::string name = Tr("central meridian Ls after the change");
            if (auto problem = NotANumber(ls, name)) return problem;
            const double lsDeg = DecodePackedAngle(ls.Number());
            for (int i = 1; i <= n; ++i) {
                if (auto problem = limits.Zone(point(i), name, workX1[i - 1].Number(),
                                               workY1[i - 1].Number(), loDeg, {name, ls}, lsDeg)) {
                    return problem;
                }
            }
            return std::nullopt;
        });
    state_.CentralMeridian = lo;
    state_.TargetMeridian = ls;
    return {loDeg, DecodedAngle(ls, Tr("central meridian Ls after the change"))};
}

}  // namespace quorvel
