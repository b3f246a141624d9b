#include <gtest/gtest.h>

#include <tuple>

#include "batch/batch.h"
#include "batch/scripted_io.h"
#include "core/classic_series.h"
#include "core/errors.h"
#include "core/gauss_kruger.h"
#include "core/packed_angle.h"

namespace quorvel {
namespace {

using testing::RecordingPanel;
using testing::ScriptedPrompt;
using Asked = ScriptedPrompt::Asked;

const std::string kTail = " ?  输入正确单击 Enter 键 ,输入错误输入零( 即:0 )";
const std::string kPause = "单击 Enter 键或点击 OK 键输出计算结果 :";

class BatchRun : public ::testing::Test {
  protected:
    BatchState state;
    ScriptedPrompt prompt;
    RecordingPanel panel;
    Batches batches{state, prompt, panel};

    void SetUp() override { Command1_Click(state); }

    // Type and count prompts, count accepted at once.
    void Start(int type, int count) {
        prompt.Answer({std::to_string(type), std::to_string(count), ""});
    }
    std::vector<Asked> AskedAfterDispatch() const {
        return {prompt.asked.begin() + 3, prompt.asked.end()};
    }
    static std::string Num(const ValueCell& c) { return ShortestText(c.Number()); }
};

TEST_F(BatchRun, ForwardBatchPromptsDisplaysAndStore) {
    Start(1, 2);
    prompt.Answer({"P1", "", "116.3045", "", "30.3030", "",   // point 1
                   "P2", "", "117.2930", "0", "117.293", "",  // point 2, L re-entered
                   "30.3030", "",                             // B of point 2
                   "117", "", ""});                           // Lo, two pauses
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);

    const std::vector<Asked> expected = {
        {"请输入第 1 点的点名 :", ""},
        {"确认输入的点名是否正确" + kTail, ""},
        {"请输入第 1 点大地经度数值 :", ""},
        {"确认输入的大地经度是否正确" + kTail, ""},
        {"请输入第 1 点大地纬度数值 :", ""},
        {"确认输入的大地纬度是否正确" + kTail, ""},
        {"请输入第 2 点的点名 :", ""},
        {"确认输入的点名是否正确" + kTail, ""},
        {"请输入第 2 点大地经度数值 :", ""},
        {"确认输入的大地经度是否正确" + kTail, ""},
        {"请输入大地经度的正确数值", ""},
        {"确认输入的大地经度是否正确" + kTail, ""},
        {"请输入第 2 点大地纬度数值 :", ""},
        {"确认输入的大地纬度是否正确" + kTail, ""},
        {"请输入中央子午线 Lo 的数值", "中央子午线"},
        {kPause, ""},
        {kPause, ""},
    };
    EXPECT_EQ(AskedAfterDispatch(), expected);

    EXPECT_EQ(panel.History(TextBox::ForwardName), (std::vector<std::string>{" P1", " P2"}));
    EXPECT_EQ(panel.History(TextBox::ForwardL),
              (std::vector<std::string>{" 116.3045000000", " 117.2930000000", "", " 117.2930000000",
                                        " 116.304500", " 117.293000"}));
    EXPECT_EQ(panel.History(TextBox::ForwardMeridian), (std::vector<std::string>{" 117.000000"}));
    EXPECT_EQ(panel.History(TextBox::ForwardX),
              (std::vector<std::string>{" 3376626.6403", " 3376628.3754"}));
    EXPECT_EQ(panel.History(TextBox::ForwardY),
              (std::vector<std::string>{" 453203.4506", " 547196.5246"}));
    EXPECT_EQ(panel.shown[TextBox::ForwardB], " 30.303000");

    const ResultStore& st = state.Store;
    EXPECT_EQ(state.BatchComputation, Computation::Forward);
    EXPECT_TRUE(state.BatchComplete);
    EXPECT_EQ(state.StoredPointCount(), 2);
    EXPECT_EQ(st.PointNames, (std::vector<std::string>{"P1", "P2"}));
    ASSERT_EQ(st.TypedL.size(), 2u);
    EXPECT_EQ(st.TypedL[1], ValueCell("117.293"));  // the re-entered text
    EXPECT_EQ(st.TypedB[0], ValueCell("30.3030"));
    EXPECT_EQ(st.PlaneX[0], ValueCell(3376626.6403469066));
    EXPECT_EQ(st.PlaneY[0], ValueCell(453203.4506491546));  // final Y, not |y|
    EXPECT_EQ(state.CentralMeridian, ValueCell("117"));
}

TEST_F(BatchRun, ForwardPointsOnBothSidesKeepTheirOwnSideInEitherOrder) {
    for (bool eastFirst : {false, true}) {
        const std::string a = eastFirst ? "117.2930" : "116.3045";
        const std::string b = eastFirst ? "116.3045" : "117.2930";
        Start(1, 2);
        prompt.Answer(
            {"A", "", a, "", "30.3030", "", "B", "", b, "", "30.3030", "", "117", "", ""});
        batches.Command2_click();
        const double y1 = state.Store.PlaneY[0].Number(), y2 = state.Store.PlaneY[1].Number();
        EXPECT_EQ(eastFirst, y1 > 500000);
        EXPECT_EQ(eastFirst, y2 < 500000);
    }
}

TEST_F(BatchRun, InverseBatchPromptsDisplaysAndStore) {
    Start(2, 1);
    prompt.Answer({"K1", "", "3380000", "0", "3380000", "", "612345.678", "", "117.3", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    const std::vector<Asked> expected = {
        {"请输入第 1 点的点名 :", ""},
        {"确认输入的点名是否正确" + kTail, ""},
        {"请输入第 1 点纵座标的数值 :", ""},
        {"确认输入的纵座标是否正确" + kTail, ""},
        {"请输入纵座标的正确数值 :", ""},
        {"确认输入的纵座标是否正确" + kTail, ""},
        {"请输入第 1 点横座标的数值 :", ""},
        {"确认输入的横座标是否正确" + kTail, ""},
        {"请输入中央子午线 Lo 的数值", "中央子午线"},
        {kPause, ""},
    };
    EXPECT_EQ(AskedAfterDispatch(), expected);
    EXPECT_EQ(panel.History(TextBox::InverseX),
              (std::vector<std::string>{" 3380000.0000", "", " 3380000.0000", " 3380000.000"}));
    EXPECT_EQ(panel.History(TextBox::InverseY),
              (std::vector<std::string>{" 612345.6780", " 612345.678"}));
    EXPECT_EQ(panel.History(TextBox::InverseMeridian), (std::vector<std::string>{"117.30000"}));
    EXPECT_EQ(state.CentralMeridian, ValueCell("117.3"));
    EXPECT_EQ(state.Store.PlaneX[0], ValueCell("3380000"));
    EXPECT_EQ(state.Store.PlaneY[0], ValueCell("612345.678"));
    EXPECT_TRUE(state.Store.ResultL[0].IsNumber());
    EXPECT_TRUE(state.Store.ResultB[0].IsNumber());
}

TEST_F(BatchRun, InverseDocumentedPointShowsPackedResults) {
    Start(2, 1);
    prompt.Answer({"K1", "", "3380000", "", "612345.678", "", "117", ""});
    batches.Command2_click();
    EXPECT_EQ(panel.shown[TextBox::InverseL], " 118.1014280635");
    EXPECT_EQ(panel.shown[TextBox::InverseB], " 30.3203887185");
    EXPECT_EQ(state.Store.ResultL[0], ValueCell(118.10142806347972));
    EXPECT_EQ(state.Store.ResultB[0], ValueCell(30.320388718503438));
}

TEST_F(BatchRun, ZoneBatchPromptsDisplaysAndStore) {
    Start(3, 2);
    prompt.Answer({"Z1",  "",  "3380000", "", "612345.678", "",  // point 1
                   "Z2",  "",  "3380000", "", "387654.322", "",  // point 2
                   "116", "0", "117",     "",                    // Lo re-entered
                   "119", "0", "118",     "",                    // Ls re-entered
                   "",    ""});                                  // pauses
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    const std::vector<Asked> tailPrompts = {
        {"请输入换带前中央子午线的数值 :", ""},
        {"确认换带前中央子午线输入是否正确" + kTail, ""},
        {"输入换带前中央子午线正确的数值 :", ""},
        {"确认换带前中央子午线输入是否正确" + kTail, ""},
        {"请输入换带后中央子午线的数值 :", ""},
        {"确认换带后中央子午线输入是否正确" + kTail, ""},
        {"请输入换带后中央子午线的数值 :", ""},
        {"确认换带后中央子午线输入是否正确" + kTail, ""},
        {kPause, ""},
        {kPause, ""},
    };
    const std::vector<Asked> asked = AskedAfterDispatch();
    ASSERT_EQ(asked.size(), 12u + tailPrompts.size());
    EXPECT_EQ(asked[2], (Asked{"请输入换带第 1 点纵座标 :", ""}));
    EXPECT_EQ(asked[4], (Asked{"请输入换带第 1 点横座标 Y 的数值 :", ""}));
    EXPECT_EQ(asked[5], (Asked{"确认换带的横座标输入是否正确" + kTail, ""}));
    EXPECT_EQ(std::vector<Asked>(asked.begin() + 12, asked.end()), tailPrompts);

    EXPECT_EQ(panel.History(TextBox::ZoneSourceMeridian),
              (std::vector<std::string>{" 116.00000", "", " 117.00000"}));
    EXPECT_EQ(panel.History(TextBox::ZoneTargetMeridian),
              (std::vector<std::string>{" 119.00000", "", " 118.00000"}));
    EXPECT_EQ(panel.History(TextBox::ZoneX2),
              (std::vector<std::string>{" 3379429.2471", " 3381422.4089"}));
    EXPECT_EQ(panel.History(TextBox::ZoneY2),
              (std::vector<std::string>{" 516375.1515", " 291667.1158"}));
    EXPECT_EQ(
        panel.History(TextBox::ZoneY1),
        (std::vector<std::string>{" 612345.6780", " 387654.3220", " 612345.6780", " 387654.3220"}));
    EXPECT_EQ(panel.History(TextBox::ZoneName), (std::vector<std::string>{" Z1", " Z2"}));
    EXPECT_EQ(state.CentralMeridian, ValueCell("117"));
    EXPECT_EQ(state.TargetMeridian, ValueCell("118"));
    EXPECT_EQ(state.Store.TypedX1[1], ValueCell("3380000"));
    EXPECT_EQ(state.Store.TypedY1[1], ValueCell("387654.322"));
    EXPECT_LT(state.Store.PlaneY[1].Number(), 500000);  // final Y2, side of its own point
}

TEST_F(BatchRun, EmptyBatchesStillAskTheMeridians) {
    Start(1, 0);
    prompt.Answer({"117"});
    batches.Command2_click();
    EXPECT_TRUE(state.Store.TypedL.empty());
    EXPECT_EQ(state.CentralMeridian, ValueCell("117"));
    EXPECT_TRUE(state.BatchComplete);

    Start(3, 0);
    prompt.Answer({"117", "", "120", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_EQ(state.TargetMeridian, ValueCell("120"));
    EXPECT_EQ(panel.shown.count(TextBox::ZoneX2), 0u);
}

TEST_F(BatchRun, LaterBatchesReplaceOnlyTheirOwnLists) {
    Start(1, 3);
    for (int i = 0; i < 3; ++i) prompt.Answer({"F", "", "116.3045", "", "30.3030", ""});
    prompt.Answer({"117", "", "", ""});
    batches.Command2_click();
    Start(3, 1);
    prompt.Answer({"Z", "", "3380000", "", "500000", "", "117", "", "120", "", ""});
    batches.Command2_click();
    Start(2, 5);
    for (int i = 0; i < 5; ++i) prompt.Answer({"I", "", "3380000", "", "500000", ""});
    prompt.Answer({"117", "", "", "", "", ""});
    batches.Command2_click();

    const ResultStore& st = state.Store;
    EXPECT_EQ(state.BatchComputation, Computation::Inverse);
    EXPECT_EQ(st.PointNames.size(), 5u);
    EXPECT_EQ(st.PlaneX.size(), 5u);
    EXPECT_EQ(st.ResultL.size(), 5u);
    EXPECT_EQ(st.TypedL.size(), 3u);  // the forward inputs survive
    EXPECT_EQ(st.TypedX1.size(), 1u);
    EXPECT_EQ(state.TargetMeridian, ValueCell("120"));

    Start(2, 1);  // fewer points: no trace of the earlier five
    prompt.Answer({"J", "", "0", "x", "500000", "", "117", ""});
    batches.Command2_click();
    EXPECT_EQ(st.PointNames, (std::vector<std::string>{"J"}));
    EXPECT_EQ(st.ResultL.size(), 1u);
}

TEST_F(BatchRun, ATextThatIsNotANumberIsReportedWhenConfirmedAndAskedAgain) {
    Start(1, 2);
    prompt.Answer({"A", "", "116.3045", "", "30.3030", "", "B", "", "117", "",  // point 2: L
                   "abc", "",                                                   // B refused
                   "30.3030", "", "117", "", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_EQ(prompt.errors[0].message, "类型不匹配：第 2 点的大地纬度 B：“abc” 不是数值");
    // Shown after the confirmation of B; the re-entry prompt follows, then the confirmation.
    EXPECT_EQ(prompt.errors[0].afterPrompts, 3u + 12u);
    EXPECT_EQ(prompt.asked[15], (Asked{"请输入大地纬度的正确数值", ""}));
    EXPECT_EQ(prompt.asked[16], (Asked{"确认输入的大地纬度是否正确" + kTail, ""}));
    EXPECT_EQ(panel.History(TextBox::ForwardB),
              (std::vector<std::string>{" 30.3030000000", " abc", "", " 30.3030000000",
                                        " 30.303000", " 30.303000"}));
    EXPECT_TRUE(state.BatchComplete);
    EXPECT_EQ(state.Store.TypedB[1], ValueCell("30.3030"));

    // The unconfirmed meridian of an inverse batch: an empty answer is asked again at once.
    Start(2, 0);
    prompt.Answer({"", "117.3"});
    batches.Command2_click();
    EXPECT_EQ(prompt.errors.back().message, "类型不匹配：中央子午线 Lo：输入为空，不是数值");
    EXPECT_EQ(panel.History(TextBox::InverseMeridian),
              (std::vector<std::string>{"", "", "117.30000"}));
    EXPECT_EQ(prompt.asked.back(), (Asked{"请输入中央子午线 Lo 的数值", "中央子午线"}));
    EXPECT_EQ(state.CentralMeridian, ValueCell("117.3"));
}

// One refused value per case: the batch's answers up to it, the refused text, the message, and
// the answers that finish the batch after a good value.
struct Refusal {
    int type;
    std::vector<std::string> before;
    std::string refused, message;
    std::vector<std::string> after;
};

TEST_F(BatchRun, ValuesOutsideWhatTheComputationMeansAreRefusedNamingTheLimit) {
    const Refusal cases[] = {
        {1,
         {"P", "", "116", ""},
         "90.0001",
         "超出适用范围：第 1 点的大地纬度 B：“90.0001” 超过 90°，纬度应在 -90° 与 90° 之间",
         {"-89.60", "", "116", ""}},  // 89°60′ is 90°: accepted, as minutes of 60 are
        {2,
         {"P", ""},
         "-10002000.5",
         "超出适用范围：第 1 点的纵座标 X：“-10002000.5” 的绝对值超过 10002000 "
         "米（赤道至极点的子午线弧长）",
         {"-10002000", "", "500000", "", "117", ""}},
        {2,
         {"P", "", "0", ""},  // on the equator, where the series hold to 1 m that far out
         "1e300",
         "超出适用范围：第 1 点的横座标 Y：“1e300” 与 500000 米相差 1000000 米或更多，横座标应大于 "
         "-500000 米且小于 1500000 米",
         {"1499999.9", "", "117", ""}},
        {3, {"P", "", "0", ""}, "-500000", "", {"-499999", "", "117", "", "117", "", ""}},
        {3,
         {"P", "", "3380000", "", "612345.678", "", "117", ""},
         "x",
         "类型不匹配：换带后中央子午线 Ls：“x” 不是数值",
         {"118", "", ""}},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.refused);
        Start(c.type, 1);
        for (const auto& a : c.before) prompt.Answer({a});
        prompt.errors.clear();
        prompt.Answer({c.refused, ""});
        for (const auto& a : c.after) prompt.Answer({a});
        batches.Command2_click();
        EXPECT_EQ(prompt.Unanswered(), 0u);
        ASSERT_EQ(prompt.errors.size(), 1u);
        if (!c.message.empty()) {
            EXPECT_EQ(prompt.errors[0].message, c.message);
        } else {
            EXPECT_TRUE(prompt.errors[0].message.starts_with("超出适用范围：第 1 点的横座标 Y1："))
                << prompt.errors[0].message;
        }
        EXPECT_TRUE(state.BatchComplete);
    }
}

TEST_F(BatchRun, AForwardPointFarFromTheMeridianIsNamedAndTheMeridianAskedAgain) {
    Start(1, 2);
    prompt.Answer({"A", "", "116.3045", "", "30.3030", "", "B", "", "162", "", "80", "",
                   "116",  // 46° from point 2
                   "117",  // 45°: no exact point to check the series against
                   "130",  // 32° at 80° north: within 1 m
                   "", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    ASSERT_EQ(prompt.errors.size(), 2u);
    EXPECT_TRUE(prompt.errors[0].message.starts_with(
        "超出适用范围：第 2 点的大地经度 L “162” 与中央子午线 Lo “116” 相差超过 45°"))
        << prompt.errors[0].message;
    EXPECT_TRUE(prompt.errors[1].message.starts_with(
        "超出适用范围：第 2 点（大地经度 L “162”，大地纬度 B “80”）距中央子午线 Lo “117” "
        "45°00′00″，超过 35°：传统级数在此无法与精确解核对"))
        << prompt.errors[1].message;
    EXPECT_EQ(panel.History(TextBox::ForwardMeridian),
              (std::vector<std::string>{" 116.000000", "", " 117.000000", "", " 130.000000"}));
    EXPECT_EQ(state.CentralMeridian, ValueCell("130"));
}

// The limits of quorvel-batch, when a meridian is typed: a classic result more than 1 m from
// the exact one, or without one, and with the exact method a point beyond 35°, are named with
// their size, and the meridian is asked again.
TEST_F(BatchRun, PointsTheProjectionCannotComputeAreNamedWhenTheMeridianIsTyped) {
    Start(1, 1);
    prompt.Answer({"A", "", "152", "", "0", "", "117", "150", ""});
    batches.Command2_click();
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_EQ(
        prompt.errors[0].message,
        "超出适用范围：第 1 点（大地经度 L “152”，大地纬度 B “0”）用传统级数计算，结果与精确解"
        "相差 444.51 米，超过 1 米。请重新输入中央子午线 Lo；若要计算该点，请按 Esc 键（或单击 "
        "Cancel）放弃本批计算，在 设置 › 椭球与算法 › 精确 改用精确算法后重新计算。");
    EXPECT_TRUE(state.BatchComplete);

    // Inverse: past the pole, whatever the meridian.
    prompt.errors.clear();
    Start(2, 1);
    prompt.Answer({"R", "", "10001965", "", "522200", "", "117", "118", testing::kCancel});
    batches.Command2_click();
    ASSERT_EQ(prompt.errors.size(), 2u);
    EXPECT_TRUE(prompt.errors[0].message.starts_with(
        "超出适用范围：第 1 点（纵座标 X “10001965”，横座标 Y “522200”）距中央子午线 Lo “117” "
        "89°33′17″，超过 35°"))
        << prompt.errors[0].message;
    EXPECT_EQ(state.BatchComputation, Computation::Forward);

    // Zone: Ls 180° from the point is refused, and Ls asked again.
    prompt.errors.clear();
    Start(3, 1);
    prompt.Answer({"A", "", "3380000", "", "612345.678", "", "117", "", "297", "", "120", "", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_TRUE(prompt.errors[0].message.starts_with(
        "超出适用范围：第 1 点（纵座标 X1 “3380000”，横座标 Y1 “612345.678”）距换带后中央子午线 "
        "Ls “297” 178°49′46″，超过 35°"))
        << prompt.errors[0].message;
    EXPECT_EQ(prompt.asked[prompt.errors[0].afterPrompts].message,
              "请输入换带后中央子午线的数值 :");
    EXPECT_EQ(state.TargetMeridian, ValueCell("120"));

    // The exact method computes to 35°.
    state.Projection = {std::make_shared<GaussKruger>(Method::Exact, Cgcs2000()), "CGCS2000, 精确"};
    prompt.errors.clear();
    Start(1, 1);
    prompt.Answer({"A", "", "160", "", "30", "", "117", "130", ""});
    batches.Command2_click();
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_TRUE(prompt.errors[0].message.starts_with(
        "超出适用范围：第 1 点（大地经度 L “160”，大地纬度 B “30”）距中央子午线 Lo “117” "
        "43°00′00″，超过 35°，精确算法"))
        << prompt.errors[0].message;
    EXPECT_EQ(state.CentralMeridian, ValueCell("130"));
}

// 设置's projection height with the classic series: the batches compute on the raised surface,
// and the series are held to the exact projection on the ellipsoid's own scale, not refused
// for the kilometre the surface adds.
TEST_F(BatchRun, ClassicSeriesOnARaisedSurface) {
    const auto raised =
        std::make_shared<GaussKruger>(Method::Classic, Krassovsky(), 1, 500000, 1720);
    state.Projection = {raised, "克拉索夫斯基 (北京1954), 传统级数, 投影面高程 1720 m"};
    Start(1, 1);
    // 9° out and 250 km out: where the series are compared with the exact projection.
    prompt.Answer({"A", "", "126", "", "30.3030", "", "117", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_TRUE(prompt.errors.empty()) << prompt.errors[0].message;
    const GridPoint p = raised->Forward(DecodePackedAngle(30.303), 126, 117);
    EXPECT_EQ(state.Store.PlaneX[0], ValueCell(p.X));
    EXPECT_EQ(state.Store.PlaneY[0], ValueCell(p.Y));

    Start(3, 1);
    prompt.Answer({"Z", "", "3377200", "", "750000", "", "117", "", "120", "", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_TRUE(prompt.errors.empty()) << prompt.errors[0].message;
    EXPECT_EQ(state.Store.PlaneX[0], ValueCell(raised->Zone(3377200, 750000, 117, 120).X));

    Start(2, 1);
    prompt.Answer({"I", "", "3377200", "", "750000", "", "117", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_TRUE(prompt.errors.empty()) << prompt.errors[0].message;
}

// L − Lo counts modulo 360°: −179° lies 1° east of 180°, as 181° does.
TEST_F(BatchRun, AForwardPointAcrossTheAntimeridianLiesOneDegreeAway) {
    Start(1, 1);
    prompt.Answer({"A", "", "-179", "", "30", "", "180", ""});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_TRUE(prompt.errors.empty());
    const PlanePoint p = ForwardProject(state.Constants, 30, 181, 180);
    EXPECT_EQ(state.Store.PlaneX[0], ValueCell(p.X));
    EXPECT_EQ(state.Store.PlaneY[0], ValueCell(p.Y()));
}

// What a batch can change: the state and what every box shows (never written: empty).
auto Snapshot(const BatchState& s, const RecordingPanel& p) {
    const ResultStore& r = s.Store;
    std::map<TextBox, std::string> shown;
    for (const auto& [box, text] : p.shown) {
        if (!text.empty()) shown[box] = text;
    }
    return std::make_tuple(s.PointCount, s.BatchComputation, s.CentralMeridian, s.TargetMeridian,
                           s.BatchComplete, r.PointNames, r.TypedL, r.TypedB, r.ResultL, r.ResultB,
                           r.TypedX1, r.TypedY1, r.PlaneX, r.PlaneY, shown);
}

TEST_F(BatchRun, CancelAtAnyPromptLeavesTheBatchAndChangesNothing) {
    Start(1, 1);
    prompt.Answer({"F", "", "116.3045", "", "30.3030", "", "117", ""});
    batches.Command2_click();
    const auto before = Snapshot(state, panel);

    // A whole zone batch, X1 of point 1 refused once; Cancel in turn at each of its prompts.
    const std::vector<std::string> zone = {
        "3", "2",       "", "Z1",         "", "3380000", "0", "3380000", "", "612345.678", "", "Z2",
        "",  "3380000", "", "387654.322", "", "117",     "",  "118",     "", "",           ""};
    for (std::size_t k = 0; k < zone.size(); ++k) {
        SCOPED_TRACE(k);
        for (std::size_t j = 0; j < k; ++j) prompt.Answer({zone[j]});
        prompt.Answer({testing::kCancel});
        const std::size_t asked = prompt.asked.size();
        batches.Command2_click();
        EXPECT_EQ(prompt.Unanswered(), 0u);
        EXPECT_EQ(prompt.asked.size(), asked + k + 1);  // no prompt after the Cancel
        EXPECT_TRUE(prompt.errors.empty());
        EXPECT_TRUE(Snapshot(state, panel) == before);
    }

    // The count of 32767: Cancel at the first point's name ends it with no further prompt.
    prompt.Answer({"2", "32767", "", testing::kCancel});
    batches.Command2_click();
    EXPECT_EQ(prompt.Unanswered(), 0u);
    EXPECT_TRUE(Snapshot(state, panel) == before);
    EXPECT_EQ(state.StoredPointCount(), 1);
}

TEST_F(BatchRun, ABatchWithoutConstantsFailsBeforeItsFirstPrompt) {
    state.Constants = EllipsoidConstants();
    for (int type : {1, 2, 3}) {
        Start(type, 2);
        const std::size_t before = prompt.asked.size();
        try {
            batches.Command2_click();
            FAIL();
        } catch (const DivisionByZeroError& e) {
            EXPECT_NE(std::string(e.what()).find("开始计算"), std::string::npos);
        }
        EXPECT_EQ(prompt.asked.size(), before + 3);  // type, count, confirmation only
        EXPECT_FALSE(state.BatchComplete);
    }
}

TEST_F(BatchRun, ANegativeCountRunsNothing) {
    Start(3, -2);
    EXPECT_THROW(batches.Command2_click(), InvalidCountError);
    EXPECT_EQ(prompt.asked.size(), 3u);
    EXPECT_TRUE(state.Store.PointNames.empty());
}

TEST_F(BatchRun, AnswersOnThePausePromptAreIgnored) {
    Start(2, 2);
    prompt.Answer({"A", "", "3380000", "", "500000", "", "B", "", "3380000", "", "612345.678", "",
                   "117", "", "anything"});
    batches.Command2_click();
    EXPECT_EQ(panel.History(TextBox::InverseL).size(), 2u);
    EXPECT_EQ(panel.shown[TextBox::InverseL], " 118.1014280635");
}

}  // namespace
}  // namespace quorvel
