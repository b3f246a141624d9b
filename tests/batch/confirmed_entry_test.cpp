#include <gtest/gtest.h>

#include "batch/batch.h"
#include "batch/scripted_io.h"
#include "core/errors.h"

namespace quorvel {
namespace {

using testing::RecordingPanel;
using testing::ScriptedPrompt;

const EntryTexts kTexts{"entry", "confirm", "again", "title"};

struct EntryRun {
    ScriptedPrompt prompt;
    RecordingPanel panel;
    std::string stored;

    void Run() {
        ConfirmedEntry(prompt, panel, TextBox::ForwardL, kTexts, [this](std::string t) {
            stored = t;
            return "[" + t + "]";
        });
    }
};

TEST(ConfirmedEntry, AnswersThatReadAsZeroAskAgainUntilAccepted) {
    for (const char* accept : {"", "y", "1", "-2", "0x", "no"}) {
        EntryRun r;
        // A full-width ０ typed with a Chinese input method is a zero too.
        r.prompt.Answer({"a", "0", "b", "00", "c", "0.0", "d", "-0", "e", "０", "f", accept});
        r.Run();
        EXPECT_EQ(r.stored, "f") << accept;
        EXPECT_EQ(r.prompt.Unanswered(), 0u);
        const std::vector<std::string> history = {"[a]", "", "[b]", "", "[c]", "",
                                                  "[d]", "", "[e]", "", "[f]"};
        EXPECT_EQ(r.panel.History(TextBox::ForwardL), history) << accept;
        ASSERT_EQ(r.prompt.asked.size(), 12u);
        EXPECT_EQ(r.prompt.asked[0], (ScriptedPrompt::Asked{"entry", "title"}));
        EXPECT_EQ(r.prompt.asked[1], (ScriptedPrompt::Asked{"confirm", ""}));
        EXPECT_EQ(r.prompt.asked[2], (ScriptedPrompt::Asked{"again", ""}));
        EXPECT_EQ(r.prompt.asked[11], (ScriptedPrompt::Asked{"confirm", ""}));
    }
}

TEST(ConfirmedEntry, AnUnusableAcceptedValueIsReportedAndAskedAgainAndCancelLeaves) {
    EntryRun r;
    r.prompt.Answer({"bad", "", "good", "y"});
    ConfirmedEntry(
        r.prompt, r.panel, TextBox::ForwardL, kTexts,
        [&r](std::string t) {
            r.stored = t;
            return t;
        },
        [&r]() -> std::optional<std::string> {
            if (r.stored == "bad") return "no good";
            return std::nullopt;
        });
    EXPECT_EQ(r.stored, "good");
    EXPECT_EQ(r.panel.History(TextBox::ForwardL), (std::vector<std::string>{"bad", "", "good"}));
    EXPECT_EQ(r.prompt.errors, (std::vector<ScriptedPrompt::Shown>{{"no good", 2}}));
    EXPECT_EQ(r.prompt.asked[2], (ScriptedPrompt::Asked{"again", ""}));

    // Cancel at the entry, the confirmation or the re-entry: the value is left at once.
    using Script = std::vector<std::string>;
    for (const Script& answers : {Script{testing::kCancel}, Script{"a", testing::kCancel},
                                  Script{"a", "0", testing::kCancel}}) {
        EntryRun c;
        for (const std::string& a : answers) c.prompt.Answer({a});
        EXPECT_THROW(c.Run(), BatchAbandoned);
        EXPECT_EQ(c.prompt.Unanswered(), 0u);
    }
}

class Dispatch : public ::testing::Test {
  protected:
    BatchState state;
    ScriptedPrompt prompt;
    RecordingPanel panel;
    Batches batches{state, prompt, panel};
};

TEST_F(Dispatch, TypeIsRoundedHalfToEvenAndOtherTypesOnlyAskTheCount) {
    prompt.Answer({"3.5", "2", "y"});  // 3.5 rounds to 4: no batch
    batches.Command2_click();
    EXPECT_EQ(state.PointCount, 2);
    EXPECT_EQ(state.BatchComputation, std::nullopt);
    EXPECT_EQ(panel.shown.count(TextBox::ComputationHint), 0u);
    EXPECT_EQ(panel.shown[TextBox::PointCount], "本次共计算 2 点");
    ASSERT_EQ(prompt.asked.size(), 3u);
    EXPECT_EQ(prompt.asked[0].message,
              "请输入计算类型判别符号 m,大地正算m=1,大地反算m=2,座标换算m=3");
    EXPECT_EQ(prompt.asked[0].title, "计算类型判别符号");
    EXPECT_EQ(prompt.asked[1], (ScriptedPrompt::Asked{"请输入需要计算的点数 :", ""}));
    EXPECT_EQ(prompt.asked[2].message,
              "确认输入的点数是否正确 ?  输入正确单击 Enter 键 ,输入错误输入零( 即:0 )");

    prompt.Answer({"0", "-3", ""});  // type 0: no batch either
    batches.Command2_click();
    EXPECT_EQ(state.PointCount, -3);
    EXPECT_EQ(panel.shown[TextBox::PointCount], "本次共计算 -3 点");
    EXPECT_EQ(state.BatchComputation, std::nullopt);
}

TEST_F(Dispatch, CountReEntryShowsEachCountAndStoresItAtOnce) {
    Command1_Click(state);
    prompt.Answer({"2.5", "5", "0", "12", "0", "0", "", "117"});  // 2.5 → inverse
    // The re-entered count of 0 is a batch of no points: only the meridian is asked.
    batches.Command2_click();
    EXPECT_EQ(state.BatchComputation, Computation::Inverse);
    EXPECT_EQ(panel.shown[TextBox::ComputationHint], "本计算为大地反算");
    const std::vector<std::string> counts = {"本次共计算 5 点", "", "本次共计算 12 点", "",
                                             "本次共计算 0 点"};
    EXPECT_EQ(panel.History(TextBox::PointCount), counts);
    EXPECT_EQ(state.PointCount, 0);
    EXPECT_EQ(prompt.asked[3].message, "请输入需要计算正确的点数 :");
}

TEST_F(Dispatch, ConversionErrorsNameTheValue) {
    prompt.Answer({""});  // Enter on the empty type prompt
    try {
        batches.Command2_click();
        FAIL();
    } catch (const TypeMismatchError& e) {
        EXPECT_EQ(std::string(e.what()), "类型不匹配：计算类型 m：输入为空，不是数值");
    }
    EXPECT_TRUE(panel.changes.empty());

    prompt.Answer({"1", "40000"});
    EXPECT_THROW(batches.Command2_click(), OverflowError);
    EXPECT_EQ(panel.shown[TextBox::ComputationHint], "本计算为大地正算");
    EXPECT_EQ(state.BatchComputation, std::nullopt);
}

}  // namespace
}  // namespace quorvel
