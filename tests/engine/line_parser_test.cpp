#include "engine/reading/line_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvel::engine {
namespace {

// The fields of a line as owned strings, or the status when it has none.
struct Split {
    LineStatus status;
    std::size_t count;
    std::vector<std::string> fields;
};

Split SplitLine(std::string_view line, bool decimalComma = false) {
    ParsedLine p;
    ParseLine(line, p, decimalComma);
    Split s{p.status, p.count, {}};
    for (std::size_t i = 0; i < p.count; ++i) s.fields.emplace_back(p.fields[i]);
    return s;
}

using Fields = std::vector<std::string>;

TEST(ParseLine, SeparatorsCommaTabAndBlanksGiveTheSameFields) {
    for (const char* line :
         {"P1,116.3045,30.3030", "P1, 116.3045 ,30.3030 ", "P1\t116.3045\t30.3030",
          "P1 \t 116.3045\t 30.3030", "P1 116.3045 30.3030", "  P1    116.3045   30.3030  ",
          "P1,116.3045,30.3030\r", "P1;116.3045;30.3030", "P1 ; 116.3045\t;30.3030",
          "P1\u3000116.3045\u3000\u300030.3030", "P1,\u3000116.3045\u3000,30.3030"}) {
        const Split s = SplitLine(line);
        EXPECT_EQ(s.status, LineStatus::Fields) << line;
        EXPECT_EQ(s.count, 3u) << line;
        EXPECT_EQ(s.fields, (Fields{"P1", "116.3045", "30.3030"})) << line;
    }
}

TEST(ParseLine, CommaOrTabLinesKeepBlanksInsideFieldsAndCountEmptyFields) {
    EXPECT_EQ(SplitLine("Point A, 116.3, 30.3").fields, (Fields{"Point A", "116.3", "30.3"}));
    EXPECT_EQ(SplitLine("Point A\t116.3\t30.3").fields, (Fields{"Point A", "116.3", "30.3"}));
    // With commas, tabs are blanks around fields; with tabs, each tab separates.
    EXPECT_EQ(SplitLine("a\t,1,2").fields, (Fields{"a", "1", "2"}));
    EXPECT_EQ(SplitLine(",1,2").fields, (Fields{"", "1", "2"}));
    EXPECT_EQ(SplitLine("a,,2").fields, (Fields{"a", "", "2"}));
    EXPECT_EQ(SplitLine("a,1,").count, 3u);
    EXPECT_EQ(SplitLine("a,1,").fields, (Fields{"a", "1", ""}));
    EXPECT_EQ(SplitLine("a\t\t2").fields, (Fields{"a", "", "2"}));
    EXPECT_EQ(SplitLine("a,1,2,").count, 4u);
    // Semicolons separate only in lines without a comma; a decimal comma never separates.
    EXPECT_EQ(SplitLine("a;1,5;2").fields, (Fields{"a;1", "5;2"}));
    EXPECT_EQ(SplitLine("a;1,5;2", true).fields, (Fields{"a", "1,5", "2"}));
    EXPECT_EQ(SplitLine("a 1,5 2", true).fields, (Fields{"a", "1,5", "2"}));
    EXPECT_EQ(SplitLine("\"x;y\";1;").fields, (Fields{"x;y", "1", ""}));
    EXPECT_EQ(SplitLine("a\t1\t2\t").count, 4u);
    // Blank-separated lines have no empty fields: runs of blanks are one separator.
    EXPECT_EQ(SplitLine("a   1 2   ").count, 3u);
}

TEST(ParseLine, KeepsEveryField) {
    const Split s = SplitLine("a,1,2,3,\"4,\"\"4\"\"\",5");
    EXPECT_EQ(s.status, LineStatus::Fields);
    EXPECT_EQ(s.count, 6u);
    EXPECT_EQ(s.fields, (Fields{"a", "1", "2", "3", "4,\"4\"", "5"}));
    EXPECT_EQ(SplitLine("a 1").count, 2u);
    EXPECT_EQ(SplitLine("a").count, 1u);
}

TEST(ParseLine, QuotedFieldsHoldSeparatorsQuotesAndBlanks) {
    EXPECT_EQ(SplitLine(R"("pt, 2",117.2930,30.3030)").fields,
              (Fields{"pt, 2", "117.2930", "30.3030"}));
    EXPECT_EQ(SplitLine(R"("pt 2" 117 30)").fields, (Fields{"pt 2", "117", "30"}));
    EXPECT_EQ(SplitLine("\"a\tb\"\t1\t2").fields, (Fields{"a\tb", "1", "2"}));
    EXPECT_EQ(SplitLine(R"("say ""hi""",1,2)").fields, (Fields{R"(say "hi")", "1", "2"}));
    EXPECT_EQ(SplitLine(R"("""",1,2)").fields, (Fields{"\"", "1", "2"}));
    EXPECT_EQ(SplitLine(R"("",1,2)").fields, (Fields{"", "1", "2"}));
    EXPECT_EQ(SplitLine(R"(  "  padded  "  , "1" ,"2")").fields, (Fields{"  padded  ", "1", "2"}));
    // A comma inside quotes does not make a blank-separated line comma-separated.
    EXPECT_EQ(SplitLine(R"("a,b" 1 2)").fields, (Fields{"a,b", "1", "2"}));
    EXPECT_EQ(SplitLine(R"("#1",1,2)").fields, (Fields{"#1", "1", "2"}));
}

TEST(ParseLine, DoubledQuotesInSeveralFieldsOfSuccessiveLinesStayApart) {
    ParsedLine p;
    ParseLine(R"("a""1","b""2","c""3")", p);
    ASSERT_EQ(p.status, LineStatus::Fields);
    EXPECT_EQ(p.fields[0], "a\"1");
    EXPECT_EQ(p.fields[1], "b\"2");
    EXPECT_EQ(p.fields[2], "c\"3");
    ParseLine(R"("x""",plain,"y""")", p);
    EXPECT_EQ(p.fields[0], "x\"");
    EXPECT_EQ(p.fields[1], "plain");
    EXPECT_EQ(p.fields[2], "y\"");
}

TEST(ParseLine, MalformedQuotesAreReportedWithTheirField) {
    ParsedLine p;
    ParseLine(R"(a,"1,2)", p);
    EXPECT_EQ(p.status, LineStatus::UnclosedQuote);
    EXPECT_EQ(p.errorField, 2u);
    ParseLine(R"("a"x,1,2)", p);
    EXPECT_EQ(p.status, LineStatus::TextAfterQuote);
    EXPECT_EQ(p.errorField, 1u);
    ParseLine(R"(a "1"2 3)", p);
    EXPECT_EQ(p.status, LineStatus::TextAfterQuote);
    EXPECT_EQ(p.errorField, 2u);
    ParseLine(R"(a,1,2"3)", p);
    EXPECT_EQ(p.status, LineStatus::QuoteInUnquoted);
    EXPECT_EQ(p.errorField, 3u);
    ParseLine(R"(5" pipe,1,2)", p);
    EXPECT_EQ(p.status, LineStatus::QuoteInUnquoted);
    EXPECT_EQ(p.errorField, 1u);
    ParseLine("\"", p);
    EXPECT_EQ(p.status, LineStatus::UnclosedQuote);
}

TEST(ParseLine, EmptyBlankAndCommentLinesAreSkipped) {
    for (const char* line :
         {"", "\r", "   ", "\t \t", "# comment", "   # indented, 1, 2", "#", ",,,,", " ; ;\r"}) {
        EXPECT_EQ(SplitLine(line).status, LineStatus::Skip) << '"' << line << '"';
    }
    EXPECT_EQ(SplitLine("a#,1,2").status, LineStatus::Fields);
    EXPECT_EQ(SplitLine("\"\",,").status, LineStatus::Fields);  // a quoted empty name is a name
}

TEST(ParseLine, NulAndOtherControlBytesAreOrdinaryCharacters) {
    using namespace std::string_literals;
    EXPECT_EQ(SplitLine("a\0b 1 2"s).fields, (Fields{"a\0b"s, "1", "2"}));
    EXPECT_EQ(SplitLine("\0\0\0\x02nam"s).count, 1u);
    EXPECT_EQ(SplitLine("\0,\0,\0"s).fields, (Fields{"\0"s, "\0"s, "\0"s}));
    EXPECT_EQ(SplitLine("\"x\"\0 1 2"s).status, LineStatus::TextAfterQuote);
}

TEST(ParseLine, OnlyOneTrailingCarriageReturnIsALineEnd) {
    EXPECT_EQ(SplitLine("a,1,2\r\r").fields, (Fields{"a", "1", "2\r"}));
}

TEST(ParseLine, TextThatIsNotUtf8IsRejectedAtItsFirstBadByte) {
    ParsedLine p;
    ParseLine("点名,1,2", p);
    EXPECT_EQ(p.status, LineStatus::Fields);
    EXPECT_EQ(p.fields[0], "点名");
    ParseLine("ab\xB5\xE3,1,2", p);  // GBK bytes
    EXPECT_EQ(p.status, LineStatus::InvalidUtf8);
    EXPECT_EQ(p.errorColumn, 3u);
}

// Plain comma-separated lines take a shortcut; it must split them as the general way does.
TEST(ParseLine, PlainCommaLinesSplitAsInGeneral) {
    std::mt19937 rng(3);
    const std::string alphabet = "a1.,, \t#;-";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1), length(0, 24);
    ParsedLine fast, general;
    for (int i = 0; i < 100000; ++i) {
        std::string line;
        for (std::size_t k = length(rng) * (i % 100 == 0 ? 10 : 1); k > 0; --k) {
            line += alphabet[pick(rng)];  // every hundredth long, with more fields than usual
        }
        ParseLine(line, fast);
        detail::ParseLineInGeneral(line, general, false);
        ASSERT_EQ(fast.status, general.status) << line;
        if (fast.status != LineStatus::Fields) continue;
        ASSERT_EQ(fast.count, general.count) << line;
        for (std::size_t f = 0; f < fast.count; ++f) {
            ASSERT_EQ(fast.fields[f], general.fields[f]) << line;
        }
    }
}

TEST(FindInvalidUtf8, AcceptsWellFormedAndRejectsEveryMalformedSequence) {
    using std::string_view;
    constexpr auto npos = string_view::npos;
    EXPECT_EQ(FindInvalidUtf8(""), npos);
    EXPECT_EQ(FindInvalidUtf8("plain ascii, long enough for the word loop"), npos);
    EXPECT_EQ(FindInvalidUtf8("\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEF\xBF\xBF"), npos);
    EXPECT_EQ(FindInvalidUtf8("\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF"), npos);
    EXPECT_EQ(FindInvalidUtf8("\x80"), 0u);              // lone continuation byte
    EXPECT_EQ(FindInvalidUtf8("abc\xC0\xAF"), 3u);       // overlong '/'
    EXPECT_EQ(FindInvalidUtf8("\xC1\xBF"), 0u);          // overlong
    EXPECT_EQ(FindInvalidUtf8("\xE0\x9F\xBF"), 0u);      // overlong three-byte
    EXPECT_EQ(FindInvalidUtf8("\xED\xA0\x80"), 0u);      // surrogate
    EXPECT_EQ(FindInvalidUtf8("\xF0\x8F\xBF\xBF"), 0u);  // overlong four-byte
    EXPECT_EQ(FindInvalidUtf8("\xF4\x90\x80\x80"), 0u);  // beyond U+10FFFF
    EXPECT_EQ(FindInvalidUtf8("\xF5\x80\x80\x80"), 0u);
    EXPECT_EQ(FindInvalidUtf8("12345678\xE4\xB8"), 8u);  // cut short at the end
    EXPECT_EQ(FindInvalidUtf8("\xE4\xB8\x41"), 0u);      // cut short by ASCII
    EXPECT_EQ(FindInvalidUtf8("\xFF"), 0u);
}

}  // namespace
}  // namespace quorvel::engine
