#include "engine/reading/file_head.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/errors.h"

namespace quorvel::engine {
namespace {

// 水塔 (water tower) in GB18030 and in UTF-8.
const std::string kGb = "\xCB\xAE\xCB\xFE";
const std::string kUtf8 = "\xE6\xB0\xB4\xE5\xA1\x94";

using Fields = std::vector<std::string>;

TEST(SniffEncoding, TellsUtf8FromGb18030) {
    EXPECT_EQ(SniffEncoding({"P1,1,2\n", true}), "");
    EXPECT_EQ(SniffEncoding({kUtf8 + ",1,2\n", true}), "");
    EXPECT_EQ(SniffEncoding({kGb + ",1,2\n", true}), "GB18030");
    EXPECT_EQ(SniffEncoding({"", true}), "");
    // A byte order mark says UTF-8, whatever follows.
    EXPECT_EQ(SniffEncoding({"\xEF\xBB\xBF" + kGb + ",1,2\n", true}), "");
    // Neither: left as UTF-8, whose lines are then refused.
    EXPECT_EQ(SniffEncoding({"P\x80\xFF,1,2\n", true}), "");
}

TEST(SniffEncoding, ACharacterCutByTheSampleIsNoSign) {
    // The sample stops inside 水: its first byte alone is not UTF-8.
    const std::string cut = "P1,1,2\n" + kUtf8.substr(0, 1);
    EXPECT_EQ(SniffEncoding({cut, false}), "");
    // The same bytes as the whole file: a broken character, and not GB18030 either.
    EXPECT_EQ(SniffEncoding({cut, true}), "");
    // GB18030 before the cut still tells.
    EXPECT_EQ(SniffEncoding({kGb + ",1,2\n" + kGb.substr(0, 1), false}), "GB18030");
}

TEST(ReadHead, SplitsAsTheRunDoes) {
    const FileHead h = ReadHead({"\xEF\xBB\xBF# comment\r\n\r\n\"A, 1\",1,2\r\nB\t3\t4\n"
                                 "C 5 6\nD,\"7\"x,8\n",
                                 true},
                                "", false, 10);
    EXPECT_TRUE(h.utf8Mark);
    ASSERT_EQ(h.lines.size(), 4u);
    EXPECT_EQ(h.lines[0].number, 3u);
    EXPECT_EQ(h.lines[0].fields, (Fields{"A, 1", "1", "2"}));
    EXPECT_EQ(h.lines[1].fields, (Fields{"B", "3", "4"}));
    EXPECT_EQ(h.lines[2].fields, (Fields{"C", "5", "6"}));
    EXPECT_EQ(h.lines[3].status, LineStatus::TextAfterQuote);
    EXPECT_TRUE(h.lines[3].fields.empty());
    // With a decimal comma the comma is the number's, and the line splits at blanks.
    const FileHead comma = ReadHead({"P1 116,3045 30,1\n", true}, "", true, 10);
    EXPECT_EQ(comma.lines.at(0).fields, (Fields{"P1", "116,3045", "30,1"}));
    EXPECT_TRUE(ReadHead({"", true}, "", false, 10).lines.empty());
    EXPECT_EQ(ReadHead({"a,1,2\nb,1,2\nc,1,2\n", true}, "", false, 2).lines.size(), 2u);
}

TEST(ReadHead, DecodesAndLeavesOutTheLineCut) {
    FileHead h = ReadHead({kGb + ",1,2\n" + kGb + ",3", false}, "GB18030", false, 10);
    ASSERT_EQ(h.lines.size(), 1u);
    EXPECT_EQ(h.lines[0].fields, (Fields{kUtf8, "1", "2"}));
    // Read as UTF-8, GB18030 does not read.
    h = ReadHead({kGb + ",1,2\n", true}, "", false, 10);
    EXPECT_EQ(h.lines.at(0).status, LineStatus::InvalidUtf8);
    // A mark wins over the encoding named.
    h = ReadHead({"\xEF\xBB\xBF" + kUtf8 + ",1,2", true}, "GB18030", false, 10);
    EXPECT_EQ(h.lines.at(0).fields.at(0), kUtf8);
}

TEST(FirstLineIsHeader, NamesAboveNumbers) {
    const auto head = [](const std::string& text) {
        return ReadHead({text, true}, "", false, 12).lines;
    };
    const std::array<std::size_t, 2> values{1, 2};
    EXPECT_TRUE(FirstLineIsHeader(head("name,X,Y\nP1,1,2\n"), values, false));
    // A header that reads as numbers is a point.
    EXPECT_FALSE(FirstLineIsHeader(head("1,2,3\nP1,1,2\n"), values, false));
    // Nothing below it reads: no sign that the first line is anything else.
    EXPECT_FALSE(FirstLineIsHeader(head("name,X,Y\nP1,a,2\n"), values, false));
    EXPECT_FALSE(FirstLineIsHeader(head("name,X,Y\n"), values, false));
    // A bad line below does not hide the points after it.
    EXPECT_TRUE(FirstLineIsHeader(head("name,X,Y\nP1,a,2\nP2,1,2\n"), values, false));
    // A short first line is one whose values are missing.
    EXPECT_TRUE(FirstLineIsHeader(head("points\nP1,1,2\n"), values, false));
    EXPECT_TRUE(FirstLineIsHeader(ReadHead({"n L B\nP1 116,3 30,1\n", true}, "", true, 12).lines,
                                  values, true));
    EXPECT_FALSE(FirstLineIsHeader({}, values, false));
}

TEST(KeptFields, TrailingEmptyFieldsDownToThoseNeeded) {
    EXPECT_EQ(KeptFields({"a", "1", "2", "", ""}, 3), 3u);
    EXPECT_EQ(KeptFields({"a", "", ""}, 2), 2u);
    EXPECT_EQ(KeptFields({"a", "", "x", ""}, 2), 3u);
    EXPECT_EQ(KeptFields(std::vector<std::string>{}, 3), 0u);
    // A parsed line counts the same; one that did not read keeps nothing.
    ParsedLine parsed;
    ParseLine("a,1,2,,", parsed);
    EXPECT_EQ(KeptFields(parsed, 3), 3u);
    EXPECT_EQ(KeptFields(parsed, 4), 4u);
    ParseLine("a,\"1", parsed);
    EXPECT_EQ(KeptFields(parsed, 3), 0u);
}

TEST(ReadHeadBytes, TellsWhetherTheFileGoesOn) {
    const std::string path = ::testing::TempDir() + "head.csv";
    std::ofstream(path, std::ios::binary) << "abcdef";
    HeadBytes h = ReadHeadBytes(path, 6);
    EXPECT_EQ(h.bytes, "abcdef");
    EXPECT_TRUE(h.whole);
    h = ReadHeadBytes(path, 4);
    EXPECT_EQ(h.bytes, "abcd");
    EXPECT_FALSE(h.whole);
    std::remove(path.c_str());
    EXPECT_THROW(ReadHeadBytes(path), IoError);
    EXPECT_THROW(ReadHeadBytes(::testing::TempDir()), IoError);
}

}  // namespace
}  // namespace quorvel::engine
