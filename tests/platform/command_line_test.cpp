#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel::platform {
namespace {

TEST(QuotedForWindows, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(QuotedForWindows("forward"), "forward");
    EXPECT_EQ(QuotedForWindows(R"(C:\数据\点.csv)"), R"(C:\数据\点.csv)");
    EXPECT_EQ(QuotedForWindows(""), R"("")");
    EXPECT_EQ(QuotedForWindows("测量 数据.csv"), R"("测量 数据.csv")");
    EXPECT_EQ(QuotedForWindows("a\tb"), "\"a\tb\"");
}

TEST(QuotedForWindows, EscapesQuotesAndTheBackslashesBeforeThem) {
    EXPECT_EQ(QuotedForWindows(R"(say "hi")"), R"("say \"hi\"")");
    EXPECT_EQ(QuotedForWindows(R"(a\"b)"), R"("a\\\"b")");
    // Backslashes not before a quote stay single, except before the closing quote.
    EXPECT_EQ(QuotedForWindows(R"(C:\my dir\)"), R"("C:\my dir\\")");
    EXPECT_EQ(QuotedForWindows(R"(x y\\)"), R"("x y\\\\")");
}

// The C runtime's reading of a command line (Microsoft's documented rules), to read the
// quoting back as the program started does.
std::vector<std::string> ReadBack(std::string_view line) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                arg.append(slashes, '\\');
                if (i == line.size()) break;
                if (!quoted && (line[i] == ' ' || line[i] == '\t')) break;
                arg += line[i];
            }
        }
        out.push_back(arg);
    }
    return out;
}

TEST(QuotedForWindows, ReadsBackAsTheSameArguments) {
    const std::vector<std::string> arguments = {"quorvel-batch",
                                                "forward",
                                                "--lo",
                                                "117.3",
                                                "",
                                                "a b",
                                                R"(\\server\share\)",
                                                R"(end\)",
                                                R"("quoted")",
                                                R"(\"\\")",
                                                "中文 名称.csv",
                                                R"(x\ "y"\\ z)",
                                                " "};
    std::string line;
    for (const std::string& a : arguments) line += (line.empty() ? "" : " ") + QuotedForWindows(a);
    EXPECT_EQ(ReadBack(line), arguments) << line;
}

}  // namespace
}  // namespace quorvel::platform
