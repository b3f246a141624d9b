#include "batch/batch.h"

#include <cmath>
#include <vector>

#include "batch/projection_choice.h"
#include "core/classic_series.h"
#include "core/errors.h"
#include "core/limits.h"
#include "core/number_text.h"
#include "core/packed_angle.h"

namespace quorvel {
namespace {

constexpr std::string_view kConfirmTail = " ?  输入正确单击 Enter 键 ,输入错误输入零( 即:0 )";
constexpr std::string_view kPause = "单击 Enter 键或点击 OK 键输出计算结果 :";

std::string Confirm(std::string_view what) {
    return std::string(what) + std::string(kConfirmTail);
}

std::string PointText(std::string_view before, int i, std::string_view after) {
    return std::string(before) + std::to_string(i) + std::string(after);
}

// Reads a stored value as a number; a failure names the value.
double NumberOf(const ValueCell& cell, std::string_view what) {
    try {
        return cell.Number();
    } catch (const Error& e) {
        RethrowWithContext(e, std::string(what) + "：");
    }
}

double DecodedAngle(const ValueCell& cell, std::string_view what) {
    return DecodePackedAngle(NumberOf(cell, what));
}

std::string PointLabel(int i, std::string_view value) {
    return "第 " + std::to_string(i) + " 点的" + std::string(value);
}

// The error text of a typed value that does not read as a number, or nothing when it does.
std::optional<std::string> NotANumber(const ValueCell& cell, std::string_view what) {
    try {
        cell.Number();
        return std::nullopt;
    } catch (const Error& e) {
        // As the error would read had it been thrown where the value is computed with.
        return std::string(ErrorName(e.kind())) + "：" + std::string(what) + "：" + e.detail();
    }
}

// The head of a message about a value where the computation means nothing.
std::string OutOfDomain() {
    return std::string(ErrorName(ErrorKind::OutOfDomain)) + "：";
}

std::string Quoted(const ValueCell& cell) {
    return "“" + (cell.IsText() ? cell.Text() : ShortestText(cell.Number())) + "”";
}

// Whether a typed value can be computed with: a number, inside the domain of its kind.
std::optional<std::string> CheckValue(const ValueCell& cell, Domain domain, std::string_view what) {
    if (auto problem = NotANumber(cell, what)) return problem;
    const double v = cell.Number();
    const std::string head = OutOfDomain() + std::string(what) + "：" + Quoted(cell);
    switch (domain) {
        case Domain::Angle:
            break;
        case Domain::Latitude:
            if (std::fabs(DecodePackedAngle(v)) > kMaxLatitude) {
                return head + " 超过 90°，纬度应在 -90° 与 90° 之间";
            }
            break;
        case Domain::Northing:
            if (std::fabs(v) > kMaxNorthing) {
                return head + " 的绝对值超过 10002000 米（赤道至极点的子午线弧长）";
            }
            break;
        case Domain::Easting:
            if (std::fabs(v - FalseEasting) >= kMaxEastingOffset) {
                return head +
                       " 与 500000 米相差 1000000 米或更多，横座标应大于 -500000 米且小于 "
                       "1500000 米";
            }
            break;
    }
    return std::nullopt;
}

// A series evaluated far outside its domain (a northing beyond the pole, say) gives no number.
void RequireFinite(int i, std::initializer_list<double> results) {
    for (double v : results) {
        if (!std::isfinite(v)) {
            throw OverflowError(PointLabel(i, "计算结果超出数值范围，请检查该点的输入"));
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
        m = ParseInt16(Ask("请输入计算类型判别符号 m,大地正算m=1,大地反算m=2,座标换算m=3",
                           "计算类型判别符号"));
    } catch (const Error& e) {
        RethrowWithContext(e, "计算类型 m：");
    }
    static constexpr std::string_view kHints[] = {"本计算为大地正算", "本计算为大地反算",
                                                  "本计算为座标换带"};
    if (m >= 1 && m <= 3) panel_.SetText(TextBox::Text15, kHints[m - 1]);

    ConfirmedEntry(
        prompt_, panel_, TextBox::Text18,
        {"请输入需要计算的点数 :", Confirm("确认输入的点数是否正确"), "请输入需要计算正确的点数 :"},
        [this](std::string text) {
            try {
                state_.PointCount = ParseInt16(text);
            } catch (const Error& e) {
                RethrowWithContext(e, "计算点数：");
            }
            return "本次共计算 " + std::to_string(state_.PointCount) + " 点";
        });

    if (m < 1 || m > 3) return;
    state_.CalcMode = m;
    state_.BatchComplete = false;
    switch (m) {
        case 1:
            Change1();
            break;
        case 2:
            Change2();
            break;
        case 3:
            Change3();
            break;
    }
    state_.BatchComplete = true;
    state_.BatchProjection = state_.Projection;
}

int Batches::Begin() const {
    if (!state_.Constants.Loaded) {
        throw DivisionByZeroError("椭球常数尚未载入。请先单击“开始计算”，再单击“投影计算”。");
    }
    if (state_.PointCount < 0) {
        throw InvalidCountError("计算点数为 " + std::to_string(state_.PointCount) +
                                "，不能为负数。请重新单击“投影计算”并输入点数。");
    }
    return state_.PointCount;
}

void Batches::Pause() {
    Ask(kPause);
}

double Batches::AskCentralMeridian(TextBox box,
                                   const std::function<std::string(const ValueCell&)>& shown,
                                   const std::vector<ValueCell>* longitudes) {
    for (;;) {
        ValueCell lo(Ask("请输入中央子午线 Lo 的数值", "中央子午线"));
        panel_.SetText(box, shown(lo));
        std::optional<std::string> problem = NotANumber(lo, "中央子午线 Lo");
        const double loDeg = problem ? 0 : DecodePackedAngle(lo.Number());
        for (std::size_t i = 1; !problem && longitudes && i < longitudes->size(); ++i) {
            const ValueCell& l = (*longitudes)[i];
            if (std::fabs(DecodePackedAngle(l.Number()) - loDeg) > kMaxMeridianOffset) {
                problem = OutOfDomain() + PointLabel(static_cast<int>(i), "大地经度 L") + " " +
                          Quoted(l) + " 与中央子午线 Lo " + Quoted(lo) +
                          " 相差超过 45°，无法投影。请重新输入中央子午线 Lo；若该点的经度有误，"
                          "请按 Esc 键（或单击 Cancel）放弃本批计算后重新输入。";
            }
        }
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
                       {PointText("请输入第 ", i, " 点的点名 :"), Confirm("确认输入的点名是否正确"),
                        "输入正确的点名 :"},
                       NameInto(state_.Store.PointNames[i]));
        for (auto [value, work] : {std::pair{&a, &workA}, std::pair{&b, &workB}}) {
            const ValueCell& cell = (*work)[i];
            const std::string what = PointLabel(i, value->name);
            ConfirmedEntry(
                prompt_, panel_, value->box,
                {PointText(value->before, i, value->after), Confirm(value->what),
                 std::string(value->reentry)},
                TypedInto((*work)[i], value->pattern),
                // clang 14 cannot capture a structured binding: capture its domain.
                [&cell, &what, domain = value->domain] { return CheckValue(cell, domain, what); });
        }
        storeA[i] = workA[i];
        storeB[i] = workB[i];
    }
}

void Batches::ShowFinalEasting(int i, int sign, TextBox box) {
    ValueCell& y = state_.Store.ArrY[i];
    y = FalseEasting + sign * y.Number();
    panel_.SetText(box, " " + RoundedText(y.Number(), 4));
}

void Batches::Change1() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workL, workB;
    std::vector<int> sign(static_cast<std::size_t>(n) + 1, 0);
    Allocate(workL, n);
    Allocate(workB, n);
    Allocate(store.ArrL, n);
    Allocate(store.ArrB, n);
    Allocate(store.ArrX, n);
    Allocate(store.ArrY, n);

    InputPass(n, TextBox::Text19,
              {TextBox::Text1, "请输入第 ", " 点大地经度数值 :", "确认输入的大地经度是否正确",
               "请输入大地经度的正确数值", "0.0000000000", "大地经度 L", Domain::Angle},
              {TextBox::Text2, "请输入第 ", " 点大地纬度数值 :", "确认输入的大地纬度是否正确",
               "请输入大地纬度的正确数值", "0.0000000000", "大地纬度 B", Domain::Latitude},
              workL, workB, store.ArrL, store.ArrB);

    const double loDeg = AskCentralMeridian(
        TextBox::Text3, [](const ValueCell& lo) { return DisplayText(lo, "0.000000"); }, &workL);

    for (int i = 1; i <= n; ++i) {
        const double b = DecodedAngle(workB[i], PointLabel(i, "大地纬度 B"));
        const double l = DecodedAngle(workL[i], PointLabel(i, "大地经度 L"));
        const PlanePoint p = ProjectForward(state_, b, l, loDeg);
        RequireFinite(i, {p.X, p.AbsY});
        store.ArrX[i] = p.X;
        store.ArrY[i] = p.AbsY;
        sign[i] = p.Sign;
    }

    for (int i = 1; i <= n; ++i) {
        Pause();
        panel_.SetText(TextBox::Text1, DisplayText(store.ArrL[i], "0.000000"));
        panel_.SetText(TextBox::Text2, DisplayText(store.ArrB[i], "0.000000"));
        panel_.SetText(TextBox::Text9, " " + RoundedText(store.ArrX[i].Number(), 4));
        ShowFinalEasting(i, sign[i], TextBox::Text10);
    }
}

void Batches::Change2() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workX, workY;
    Allocate(workX, n);
    Allocate(workY, n);
    Allocate(store.ArrX, n);
    Allocate(store.ArrY, n);
    Allocate(store.ArrLP, n);
    Allocate(store.ArrBP, n);

    InputPass(n, TextBox::Text20,
              {TextBox::Text4, "请输入第 ", " 点纵座标的数值 :", "确认输入的纵座标是否正确",
               "请输入纵座标的正确数值 :", "0.0000", "纵座标 X", Domain::Northing},
              {TextBox::Text5, "请输入第 ", " 点横座标的数值 :", "确认输入的横座标是否正确",
               "请输入横座标的正确数值 :", "0.0000", "横座标 Y", Domain::Easting},
              workX, workY, store.ArrX, store.ArrY);

    // Shown without the leading blank, as this panel always has.
    const double loDeg = AskCentralMeridian(
        TextBox::Text16, [](const ValueCell& lo) { return lo.Format("0.00000"); }, nullptr);

    for (int i = 1; i <= n; ++i) {
        const double x = NumberOf(workX[i], PointLabel(i, "纵座标 X"));
        const double y = NumberOf(workY[i], PointLabel(i, "横座标 Y"));
        const GeodeticPoint g = ProjectInverse(state_, x, y, loDeg);
        const double lp = DegreesToPacked(g.L);
        const double bp = DegreesToPacked(g.B);
        RequireFinite(i, {lp, bp});
        store.ArrLP[i] = lp;
        store.ArrBP[i] = bp;
    }

    for (int i = 1; i <= n; ++i) {
        Pause();
        panel_.SetText(TextBox::Text4, DisplayText(store.ArrX[i], "0.000"));
        panel_.SetText(TextBox::Text5, DisplayText(store.ArrY[i], "0.000"));
        panel_.SetText(TextBox::Text11, " " + RoundedText(store.ArrLP[i].Number(), 10));
        panel_.SetText(TextBox::Text12, " " + RoundedText(store.ArrBP[i].Number(), 10));
    }
}

void Batches::Change3() {
    const int n = Begin();
    ResultStore& store = state_.Store;
    Allocate(store.PointNames, n);
    std::vector<ValueCell> workX1, workY1;
    std::vector<int> sign(static_cast<std::size_t>(n) + 1, 0);
    Allocate(workX1, n);
    Allocate(workY1, n);
    Allocate(store.ArrX1, n);
    Allocate(store.ArrY1, n);
    Allocate(store.ArrX, n);
    Allocate(store.ArrY, n);

    InputPass(
        n, TextBox::Text21,
        {TextBox::Text6, "请输入换带第 ", " 点纵座标 :", "确认换带的纵座标输入是否正确",
         "请输入换带纵座标的正确数值 :", "0.0000", "纵座标 X1", Domain::Northing},
        {TextBox::Text7, "请输入换带第 ", " 点横座标 Y 的数值 :", "确认换带的横座标输入是否正确",
         "请输入换带横座标正确的数值 :", "0.0000", "横座标 Y1", Domain::Easting},
        workX1, workY1, store.ArrX1, store.ArrY1);

    ValueCell lo, ls;
    ConfirmedEntry(prompt_, panel_, TextBox::Text17,
                   {"请输入换带前中央子午线的数值 :", Confirm("确认换带前中央子午线输入是否正确"),
                    "输入换带前中央子午线正确的数值 :"},
                   TypedInto(lo, "0.00000"),
                   [&lo] { return NotANumber(lo, "换带前中央子午线 Lo"); });
    ConfirmedEntry(prompt_, panel_, TextBox::Text8,
                   {"请输入换带后中央子午线的数值 :", Confirm("确认换带后中央子午线输入是否正确"),
                    "请输入换带后中央子午线的数值 :"},
                   TypedInto(ls, "0.00000"),
                   [&ls] { return NotANumber(ls, "换带后中央子午线 Ls"); });
    state_.CentralMeridian = lo;
    state_.TargetMeridian = ls;
    const double loDeg = DecodedAngle(lo, "换带前中央子午线 Lo");
    const double lsDeg = DecodedAngle(ls, "换带后中央子午线 Ls");

    for (int i = 1; i <= n; ++i) {
        const double y1 = NumberOf(workY1[i], PointLabel(i, "横座标 Y1"));
        const double x1 = NumberOf(workX1[i], PointLabel(i, "纵座标 X1"));
        const PlanePoint p = ProjectZone(state_, x1, y1, loDeg, lsDeg);
        RequireFinite(i, {p.X, p.AbsY});
        store.ArrX[i] = p.X;
        store.ArrY[i] = p.AbsY;
        sign[i] = p.Sign;
    }

    for (int i = 1; i <= n; ++i) {
        Pause();
        panel_.SetText(TextBox::Text6, DisplayText(store.ArrX1[i], "0.0000"));
        panel_.SetText(TextBox::Text7, DisplayText(store.ArrY1[i], "0.0000"));
        panel_.SetText(TextBox::Text13, " " + RoundedText(store.ArrX[i].Number(), 4));
        ShowFinalEasting(i, sign[i], TextBox::Text14);
    }
}

}  // namespace quorvel
