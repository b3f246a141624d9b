#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::platform {
namespace {

using Step = TextConverter::Step;

struct Converted {
    Step step;
    std::string out;
    std::size_t stoppedAt;  // input bytes consumed
};

Converted ConvertAll(const std::string& to, const std::string& from, const std::string& in,
                     std::size_t room = 64) {
    std::string why;
    const auto converter = TextConverter::Open(to, from, why);
    if (converter == nullptr) {
        ADD_FAILURE() << why;
        return {Step::Failed, {}, 0};
    }
    std::string out(room, '\0');
    const char* from_ = in.data();
    std::size_t left = in.size();
    char* to_ = out.data();
    std::size_t space = room;
    const Step step = converter->Convert(from_, left, to_, space);
    EXPECT_EQ(static_cast<std::size_t>(from_ - in.data()), in.size() - left);
    out.resize(room - space);
    return {step, out, in.size() - left};
}

TEST(TextConverter, DecodesTwoAndFourByteGb18030) {
    // 中 is D6 D0; U+0080 and U+10000 take four bytes.
    const Converted c = ConvertAll("UTF-8", "GB18030", "a\xD6\xD0\x81\x30\x81\x30\x90\x30\x81\x30");
    if (ReadsAllOfGb18030()) {
        EXPECT_EQ(c.step, Step::Done);
        EXPECT_EQ(c.out, "a\xE4\xB8\xAD\xC2\x80\xF0\x90\x80\x80");
    } else {
        // Without the system's table the first plane's four bytes stop the line, after 中.
        EXPECT_EQ(c.step, Step::Invalid);
        EXPECT_EQ(c.out, "a\xE4\xB8\xAD");
        EXPECT_EQ(c.stoppedAt, 3u);
    }
}

TEST(TextConverter, GbkHasNoFourByteCharacters) {
    const Converted c = ConvertAll("UTF-8", "GBK", "\xD6\xD0\x81\x30\x81\x30");
    EXPECT_EQ(c.step, Step::Invalid);
    EXPECT_EQ(c.out, "\xE4\xB8\xAD");
    EXPECT_EQ(c.stoppedAt, 2u);
}

TEST(TextConverter, StopsAtAnInvalidByteAndSaysWhere) {
    for (const std::string& bad : {std::string("\xFF"), std::string("\x81\x20")}) {
        const Converted c = ConvertAll("UTF-8", "GB18030", "ab" + bad + "cd");
        EXPECT_EQ(c.step, Step::Invalid);
        EXPECT_EQ(c.out, "ab");
        EXPECT_EQ(c.stoppedAt, 2u);
    }
}

TEST(TextConverter, AnEndInsideACharacterIsIncomplete) {
    for (const std::string cut : {"\xD6", "\x81\x30", "\x81\x30\x81"}) {
        const Converted c = ConvertAll("UTF-8", "GB18030", "x" + cut);
        EXPECT_EQ(c.step, Step::Incomplete) << cut.size();
        EXPECT_EQ(c.out, "x");
        EXPECT_EQ(c.stoppedAt, 1u);
    }
}

TEST(TextConverter, EmptyInputIsDone) {
    const Converted c = ConvertAll("UTF-8", "GB18030", "");
    EXPECT_EQ(c.step, Step::Done);
    EXPECT_EQ(c.out, "");
}

TEST(TextConverter, FullOutputStopsBeforeTheCharacterThatDoesNotFit) {
    // 中 needs three bytes of UTF-8; only two are left after "a".
    const Converted c = ConvertAll("UTF-8", "GB18030", "a\xD6\xD0", 3);
    EXPECT_EQ(c.step, Step::Full);
    EXPECT_EQ(c.out, "a");
    EXPECT_EQ(c.stoppedAt, 1u);
}

TEST(TextConverter, EncodesGb18030AndStopsAtInvalidUtf8) {
    const Converted c = ConvertAll("GB18030", "UTF-8", "\xE4\xB8\xAD\xF0\x90\x80\x80");
    EXPECT_EQ(c.step, Step::Done);
    EXPECT_EQ(c.out, "\xD6\xD0\x90\x30\x81\x30");
    const Converted bad = ConvertAll("GB18030", "UTF-8", "\xE4\xB8\xAD\xC0\xAF");
    EXPECT_EQ(bad.step, Step::Invalid);
    EXPECT_EQ(bad.stoppedAt, 3u);
}

TEST(TextConverter, AnUnknownEncodingSaysWhy) {
    std::string why;
    EXPECT_EQ(TextConverter::Open("UTF-8", "NO-SUCH-ENCODING", why), nullptr);
    EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace quorvel::platform
