#include "batch/batch.h"

#include <cmath>
#include <vector>

#include "batch/projection_choice.h"
#include "core/errors.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/projection.h"

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

}  // namespace

void ConfirmedEntry(Prompt& prompt, Panel& panel, TextBox box, const EntryTexts& texts,
                    const std::function<std::string(std::string)>& store) {
    panel.SetText(box, store(prompt.Ask(texts.entry, texts.title)));
    for (;;) {
        std::optional<double> answer = TryParseNumber(prompt.Ask(texts.confirm));
        if (!answer || *answer != 0) return;
        panel.SetText(box, "");
        panel.SetText(box, store(prompt.Ask(texts.reentry)));
    }
}

void Batches::Command2_click() {
    std::int16_t m = 0;
    try {
        m = ParseInt16(prompt_.Ask("请输入计算类型判别符号 m,大地正算m=1,大地反算m=2,座标换算m=3",
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
    prompt_.Ask(kPause);
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
            ConfirmedEntry(prompt_, panel_, value->box,
                           {PointText(value->before, i, value->after), Confirm(value->what),
                            std::string(value->reentry)},
                           TypedInto((*work)[i], value->pattern));
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
               "请输入大地经度的正确数值", "0.0000000000"},
              {TextBox::Text2, "请输入第 ", " 点大地纬度数值 :", "确认输入的大地纬度是否正确",
               "请输入大地纬度的正确数值", "0.0000000000"},
              workL, workB, store.ArrL, store.ArrB);

    ValueCell lo(prompt_.Ask("请输入中央子午线 Lo 的数值", "中央子午线"));
    panel_.SetText(TextBox::Text3, DisplayText(lo, "0.000000"));
    state_.CentralMeridian = lo;
    const double loDeg = DecodedAngle(lo, "中央子午线 Lo");

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
               "请输入纵座标的正确数值 :", "0.0000"},
              {TextBox::Text5, "请输入第 ", " 点横座标的数值 :", "确认输入的横座标是否正确",
               "请输入横座标的正确数值 :", "0.0000"},
              workX, workY, store.ArrX, store.ArrY);

    ValueCell lo(prompt_.Ask("请输入中央子午线 Lo 的数值", "中央子午线"));
    panel_.SetText(TextBox::Text16, lo.Format("0.00000"));
    state_.CentralMeridian = lo;
    const double loDeg = DecodedAngle(lo, "中央子午线 Lo");

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

    InputPass(n, TextBox::Text21,
              {TextBox::Text6, "请输入换带第 ", " 点纵座标 :", "确认换带的纵座标输入是否正确",
               "请输入换带纵座标的正确数值 :", "0.0000"},
              {TextBox::Text7, "请输入换带第 ", " 点横座标 Y 的数值 :",
               "确认换带的横座标输入是否正确", "请输入换带横座标正确的数值 :", "0.0000"},
              workX1, workY1, store.ArrX1, store.ArrY1);

    ValueCell lo, ls;
    ConfirmedEntry(prompt_, panel_, TextBox::Text17,
                   {"请输入换带前中央子午线的数值 :", Confirm("确认换带前中央子午线输入是否正确"),
                    "输入换带前中央子午线正确的数值 :"},
                   TypedInto(lo, "0.00000"));
    ConfirmedEntry(prompt_, panel_, TextBox::Text8,
                   {"请输入换带后中央子午线的数值 :", Confirm("确认换带后中央子午线输入是否正确"),
                    "请输入换带后中央子午线的数值 :"},
                   TypedInto(ls, "0.00000"));
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
