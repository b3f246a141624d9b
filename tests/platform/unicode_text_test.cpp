#include "platform/unicode_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text_encoding.h"

namespace quorvel::platform {
namespace {

TEST(GbAt, ReadsTheByteRangesOfEachForm) {
    EXPECT_EQ(GbAt("A", true).length, 1u);
    EXPECT_EQ(GbAt("\xD6\xD0", false).length, 2u);
    EXPECT_EQ(GbAt("\x81\x40", false).length, 2u);
    EXPECT_EQ(GbAt("\x81\x30\x81\x30", true).length, 4u);
    EXPECT_EQ(GbAt("\x81\x30\x81\x30", false).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\x80", true).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\xFF", true).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\x81\x7F", true).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\x81\x30\x30", true).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\x81\x30\x81\x80", true).kind, Sequence::Invalid);
    EXPECT_EQ(GbAt("\x81", true).kind, Sequence::Incomplete);
    EXPECT_EQ(GbAt("\x81\x30\x81", true).kind, Sequence::Incomplete);
}

TEST(Utf8At, RefusesOverlongSurrogatesAndBeyondUnicode) {
    char32_t code = 0;
    EXPECT_EQ(Utf8At("\xE4\xB8\xAD", code).length, 3u);
    EXPECT_EQ(code, char32_t{0x4E2D});
    EXPECT_EQ(Utf8At("\xF4\x8F\xBF\xBF", code).length, 4u);
    EXPECT_EQ(code, char32_t{0x10FFFF});
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\x80", "\xE4\x41\xAD"}) {
        EXPECT_EQ(Utf8At(bad, code).kind, Sequence::Invalid) << bad;
    }
    EXPECT_EQ(Utf8At("\xE4\xB8", code).kind, Sequence::Incomplete);
}

// The linear mapping of the planes above the first, which Windows converts without the code page
// where it lacks 54936, agrees with the C library's full GB18030.
TEST(Gb18030Supplementary, AgreesWithTheCLibrary) {
    std::string why;
    const auto encoder = TextConverter::Open("GB18030", "UTF-8", why);
    ASSERT_NE(encoder, nullptr) << why;
    for (char32_t code = 0x10000; code <= 0x10FFFF; code += 0x1FD3) {
        for (char32_t c : {code, char32_t{0x10FFFF}, char32_t{0x10000}}) {
            std::string utf8;
            AppendUtf8(c, utf8);
            char out[8];
            const char* in = utf8.data();
            std::size_t left = utf8.size();
            char* to = out;
            std::size_t room = sizeof out;
            ASSERT_EQ(encoder->Convert(in, left, to, room), TextConverter::Step::Done);
            const std::string expected(out, static_cast<std::size_t>(to - out));
            EXPECT_EQ(Gb18030OfSupplementary(c), expected) << static_cast<unsigned long>(c);
            EXPECT_TRUE(Gb18030Supplementary(expected) == c);
        }
    }
    // The first plane's four-byte forms need the table.
    EXPECT_EQ(Gb18030Supplementary("\x81\x30\x81\x30"), char32_t{0});
    EXPECT_EQ(Gb18030Supplementary("\xE3\x32\x9A\x36"), char32_t{0});  // past U+10FFFF
}

TEST(Utf16, RoundTripsAndReplacesWhatIsNoCharacter) {
    const std::string text = "a中\xF0\x9F\x98\x80z";
    const std::u16string wide = Utf16OfUtf8(text);
    EXPECT_EQ(wide, u"a中\U0001F600z");
    EXPECT_EQ(Utf8OfUtf16(wide), text);
    EXPECT_EQ(Utf8OfUtf16(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf8OfUtf16(u"x\xDC00"), "x\xEF\xBF\xBD");
    EXPECT_EQ(Utf16OfUtf8("\xFFy"), u"\xFFFDy");
    EXPECT_EQ(Utf16OfUtf8(""), u"");
}

}  // namespace
}  // namespace quorvel::platform
