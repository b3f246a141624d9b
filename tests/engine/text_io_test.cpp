#include "engine/reading/text_io.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::engine {
namespace {

struct Got {
    std::vector<std::string> lines;  // "<too long>" for a skipped line
    std::vector<std::size_t> numbers;
};

Got ReadAll(const std::string& text, std::size_t chunk, std::size_t buffer = 1 << 20) {
    StringSource source(text, chunk);
    LineReader reader(source, buffer);
    Got got;
    std::string_view line;
    for (;;) {
        const LineReader::Result r = reader.Next(line);
        if (r == LineReader::Result::End) break;
        got.lines.push_back(r == LineReader::Result::TooLong ? "<too long>" : std::string(line));
        got.numbers.push_back(reader.LineNumber());
    }
    return got;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsAtLineFeedsWhateverTheReadSizes) {
    const std::string text = "a,1,2\r\nbb\n\n last\r\nno break at end";
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 1u << 20}) {
        const Got got = ReadAll(text, chunk);
        EXPECT_EQ(got.lines, (Lines{"a,1,2\r", "bb", "", " last\r", "no break at end"})) << chunk;
        EXPECT_EQ(got.numbers, (std::vector<std::size_t>{1, 2, 3, 4, 5})) << chunk;
    }
}

TEST(LineReader, EmptyInputHasNoLinesAndAFinalLineBreakAddsNone) {
    EXPECT_TRUE(ReadAll("", 5).lines.empty());
    EXPECT_EQ(ReadAll("x\n", 5).lines, (Lines{"x"}));
    EXPECT_EQ(ReadAll("\n", 5).lines, (Lines{""}));
}

TEST(LineReader, DropsAByteOrderMarkOnlyAtTheStart) {
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(ReadAll(bom + "a,1,2\n" + bom + "b\n", 1).lines, (Lines{"a,1,2", bom + "b"}));
    EXPECT_EQ(ReadAll(bom, 2).lines, (Lines{""}));
    EXPECT_EQ(ReadAll("\xEF\xBB", 1).lines, (Lines{"\xEF\xBB"}));
}

TEST(LineReader, SkipsAnOverlongLineAndGoesOnWithTheNext) {
    const std::string longLine(LineReader::kMaxLine + 1, 'x');
    const std::string fits(LineReader::kMaxLine, 'y');
    // A buffer barely above the limit forces the overlong line through several refills.
    for (std::size_t chunk : {4096u, 1u << 20}) {
        const Got got = ReadAll("a\n" + longLine + "\n" + fits + "\nb\n" + longLine, chunk,
                                LineReader::kMaxLine + 10);
        EXPECT_EQ(got.lines, (Lines{"a", "<too long>", fits, "b", "<too long>"})) << chunk;
        EXPECT_EQ(got.numbers, (std::vector<std::size_t>{1, 2, 3, 4, 5})) << chunk;
    }
    const std::string huge(5 * LineReader::kMaxLine, 'z');
    EXPECT_EQ(ReadAll(huge + "\nafter\n", 65536, 0).lines, (Lines{"<too long>", "after"}));
}

TEST(LineReader, ABomOnAnOverlongFirstLineIsNotLookedForOnTheSecond) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string longLine(LineReader::kMaxLine + 1, 'x');
    EXPECT_EQ(ReadAll(longLine + "\n" + bom + "b", 1 << 20).lines,
              (Lines{"<too long>", bom + "b"}));
}

// Reports a read failure after the first chunk.
class FailingSource : public ByteSource {
  public:
    std::size_t Read(char* buffer, std::size_t size) override {
        if (calls_++ > 0) throw IoError("device gone");
        const std::string text = "a,1,2\nb,";
        const std::size_t n = std::min(size, text.size());
        text.copy(buffer, n);
        return n;
    }

  private:
    int calls_ = 0;
};

TEST(LineReader, PassesReadFailuresOn) {
    FailingSource source;
    LineReader reader(source);
    std::string_view line;
    ASSERT_EQ(reader.Next(line), LineReader::Result::Line);
    EXPECT_EQ(line, "a,1,2");
    EXPECT_THROW(reader.Next(line), IoError);
}

TEST(AppendCsvField, QuotesOnlyWhatNeedsQuoting) {
    auto csv = [](std::string_view field) {
        std::string out;
        AppendCsvField(out, field);
        return out;
    };
    EXPECT_EQ(csv("P1"), "P1");
    EXPECT_EQ(csv(""), "");
    EXPECT_EQ(csv({}), "");  // a field passed through that its line lacks: no text at all
    EXPECT_EQ(csv("点 名"), "点 名");
    EXPECT_EQ(csv("a,b"), "\"a,b\"");
    EXPECT_EQ(csv(R"(say "hi")"), R"("say ""hi""")");
    EXPECT_EQ(csv("\""), R"("""")");
    EXPECT_EQ(csv("a\rb"), "\"a\rb\"");
    EXPECT_EQ(csv("a\nb"), "\"a\nb\"");
    EXPECT_EQ(csv(" lead"), "\" lead\"");
    EXPECT_EQ(csv("trail\t"), "\"trail\t\"");
    EXPECT_EQ(csv("in side"), "in side");
    EXPECT_EQ(csv("#12"), "\"#12\"");
    EXPECT_EQ(csv("12#"), "12#");
    EXPECT_EQ(csv("\u3000名"), "\"\u3000名\"");  // an ideographic space a reader would trim

    // For Excel, texts it would run as formulas get an apostrophe; numbers and the rest do not.
    auto excel = [](std::string_view field) {
        std::string out;
        AppendCsvField(out, field, true);
        return out;
    };
    EXPECT_EQ(excel("=1+1"), "'=1+1");
    EXPECT_EQ(excel("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(excel("-A1"), "'-A1");
    EXPECT_EQ(excel("+"), "'+");
    EXPECT_EQ(excel("-1e"), "'-1e");
    EXPECT_EQ(excel("=cmd|' /C calc'!A0,x"), "\"'=cmd|' /C calc'!A0,x\"");
    EXPECT_EQ(excel("\t=1"), "\"'\t=1\"");
    EXPECT_EQ(excel("-12.5"), "-12.5");
    EXPECT_EQ(excel("+3E-2"), "+3E-2");
    EXPECT_EQ(excel("-116,3045"), "\"-116,3045\"");
    EXPECT_EQ(excel("a=b"), "a=b");
    EXPECT_EQ(excel("#-1"), "\"#-1\"");
    EXPECT_EQ(csv("=1+1"), "=1+1");
}

TEST(DecodingSource, Gb18030ToUtf8WhateverTheReadSizesAndStrayBytesRefused) {
    // 北门 and € in two bytes a character, ¥ in four, then a byte that starts no
    // character.
    const std::string gb = "\xB1\xB1\xC3\xC5,1\n\xA2\xE3\x81\x30\x84\x36\n\xFF!\n";
    for (std::size_t chunk : {1u, 2u, 3u, 1u << 20}) {
        StringSource raw(gb, chunk);
        DecodingSource source(raw, "GB18030");
        std::string text;
        char buffer[5];
        for (std::size_t n; (n = source.Read(buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        EXPECT_EQ(text, "北门,1\n€¥\n\xFF!\n") << chunk;
    }
    StringSource raw("");
    EXPECT_THROW(DecodingSource(raw, "NO-SUCH-ENCODING"), IoError);

    // A UTF-8 byte order mark wins over the encoding named: the bytes pass as they are.
    const std::string utf8 = "\xEF\xBB\xBF北门,1\n€\n";
    for (std::size_t chunk : {1u, 2u, 1u << 20}) {
        StringSource marked(utf8, chunk);
        DecodingSource source(marked, "GB18030");
        EXPECT_TRUE(source.ReadsUtf8());
        std::string text;
        char buffer[5];
        for (std::size_t n; (n = source.Read(buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        EXPECT_EQ(text, utf8) << chunk;
    }
    StringSource gbShort("\xB1\xB1");
    EXPECT_FALSE(DecodingSource(gbShort, "GB18030").ReadsUtf8());
}

// Counts the writes it gets.
class CountingSink : public ByteSink {
  public:
    void Write(const char* data, std::size_t size) override {
        text.append(data, size);
        ++writes;
    }
    std::string text;
    int writes = 0;
};

TEST(OutputBuffer, WritesInBlocksAndEverythingOnFlush) {
    CountingSink sink;
    OutputBuffer out(sink, 100);
    for (int i = 0; i < 50; ++i) {
        out.Append("0123456789");
        out.MaybeFlush();
    }
    EXPECT_EQ(sink.writes, 5);
    out.Append("tail");
    out.MaybeFlush();
    EXPECT_EQ(sink.writes, 5);
    out.Flush();
    out.Flush();
    EXPECT_EQ(sink.writes, 6);
    EXPECT_EQ(sink.text.size(), 504u);
    EXPECT_EQ(sink.text.substr(500), "tail");
}

}  // namespace
}  // namespace quorvel::engine
