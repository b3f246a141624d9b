#include "engine/reading/point_input.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "core/errors.h"
#include "platform/files.h"

namespace quorvel::engine {
namespace {

std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadAll(ByteSource& source) {
    std::string text;
    char buffer[7];  // small, to read in many pieces
    while (const std::size_t got = source.Read(buffer, sizeof buffer)) text.append(buffer, got);
    return text;
}

TEST(IsWorkbookPath, TellsByTheEndingInAnyCase) {
    EXPECT_TRUE(IsWorkbookPath("points.xlsx"));
    EXPECT_TRUE(IsWorkbookPath("/a/b/POINTS.XLS"));
    EXPECT_TRUE(IsWorkbookPath("p.XlSx"));
    EXPECT_TRUE(IsWorkbookPath(".xls"));
    EXPECT_FALSE(IsWorkbookPath("points.csv"));
    EXPECT_FALSE(IsWorkbookPath("points.xlsx.csv"));
    EXPECT_FALSE(IsWorkbookPath("points.xlsm"));
    EXPECT_FALSE(IsWorkbookPath("xls"));
    EXPECT_FALSE(IsWorkbookPath("-"));
    EXPECT_FALSE(IsWorkbookPath(""));
}

TEST(PointInput, ReadsATextFileInItsEncoding) {
    // 水塔 in GB18030, read as UTF-8.
    const std::string path = Write("input-gb.csv", "\xCB\xAE\xCB\xFE,1,2\n");
    PointInput input;
    ASSERT_EQ(input.Open({path, "GB18030", {}}, -1), "");
    EXPECT_EQ(input.Name(), path);
    EXPECT_EQ(input.Info().kind, platform::FileKind::Regular);
    EXPECT_EQ(ReadAll(input.Source()), "\xE6\xB0\xB4\xE5\xA1\x94,1,2\n");
    EXPECT_FALSE(input.ReadsUtf8Mark());
    // The same source at every call.
    EXPECT_EQ(&input.Source(), &input.Source());
}

TEST(PointInput, AMarkMakesAnyEncodingUtf8) {
    const std::string path = Write("input-mark.csv", "\xEF\xBB\xBFP,1,2\n");
    PointInput input;
    ASSERT_EQ(input.Open({path, "GB18030", {}}, -1), "");
    EXPECT_EQ(ReadAll(input.Source()), "\xEF\xBB\xBFP,1,2\n");
    EXPECT_TRUE(input.ReadsUtf8Mark());
    // Without an encoding named there is nothing to override.
    PointInput plain;
    ASSERT_EQ(plain.Open({path, {}, {}}, -1), "");
    EXPECT_EQ(ReadAll(plain.Source()), "\xEF\xBB\xBFP,1,2\n");
    EXPECT_FALSE(plain.ReadsUtf8Mark());
}

TEST(PointInput, ReadsStandardInputFromTheDescriptorGiven) {
    const std::string path = Write("input-stdin.csv", "A,1,2\n");
    const FdCloser fd{platform::OpenToRead(path)};
    PointInput input;
    ASSERT_EQ(input.Open({"-", {}, {}}, fd.fd), "");
    EXPECT_EQ(input.Name(), "<stdin>");
    EXPECT_EQ(ReadAll(input.Source()), "A,1,2\n");
}

TEST(PointInput, StandardInputThatIsAWorkbookIsRefused) {
    const std::string zip = "PK\x03\x04\x14\x00\x06\x00rest of a workbook";
    const std::string ole = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "xls";
    for (const std::string& bytes : {zip, ole}) {
        const std::string path = Write("input-piped.bin", bytes);
        const FdCloser fd{platform::OpenToRead(path)};
        PointInput input;
        ASSERT_EQ(input.Open({"-", {}, {}}, fd.fd), "");
        try {
            ReadAll(input.Source());
            ADD_FAILURE() << "a piped workbook read as text";
        } catch (const IoError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "standard input is an Excel workbook, which is read "
                      "from its file alone: name the file");
        }
    }
    // Text that is shorter than the marks, or starts like one only in part, reads whole.
    for (const std::string text : {"", "P", "PK,1,2\n", "PK\x03,1,2\nB,3,4\n"}) {
        const std::string path = Write("input-piped.txt", text);
        const FdCloser fd{platform::OpenToRead(path)};
        PointInput input;
        ASSERT_EQ(input.Open({"-", {}, {}}, fd.fd), "");
        EXPECT_EQ(ReadAll(input.Source()), text);
    }
    // A named file is not looked at: a text file may start as it likes.
    const std::string named = Write("input-named.csv", "PK\x03\x04,1,2\n");
    PointInput file;
    ASSERT_EQ(file.Open({named, {}, {}}, -1), "");
    EXPECT_EQ(ReadAll(file.Source()), "PK\x03\x04,1,2\n");
}

TEST(PointInput, SaysWhyAFileCannotBeRead) {
    PointInput missing;
    const std::string none = ::testing::TempDir() + "no-such-input.csv";
    EXPECT_EQ(missing.Open({none, {}, {}}, -1), CannotRead(none, "No such file or directory"));
    PointInput folder;
    EXPECT_EQ(folder.Open({::testing::TempDir(), {}, {}}, -1),
              CannotRead(::testing::TempDir(), ItIsAFolder()));
    // An encoding the system does not know fails at the reading, as an I/O error.
    const std::string path = Write("input-enc.csv", "A,1,2\n");
    PointInput unknown;
    ASSERT_EQ(unknown.Open({path, "NO-SUCH-ENCODING", {}}, -1), "");
    EXPECT_THROW(unknown.Source(), IoError);
}

TEST(PointInput, TellsTheProgressAndStopsWhenTold) {
    const std::string text(100000, '\n');
    const std::string path = Write("input-progress.csv", text);
    PointInput input;
    ASSERT_EQ(input.Open({path, {}, {}}, -1), "");
    std::uint64_t lastRead = 0, lastTotal = 0;
    int calls = 0;
    input.Watch([&](std::uint64_t read, std::uint64_t total) {
        lastRead = read;
        lastTotal = total;
        return ++calls < 3;
    });
    ByteSource& source = input.Source();
    char buffer[1000];
    EXPECT_EQ(source.Read(buffer, sizeof buffer), sizeof buffer);
    EXPECT_EQ(source.Read(buffer, sizeof buffer), sizeof buffer);
    EXPECT_EQ(lastRead, 1000u);
    EXPECT_EQ(lastTotal, text.size());
    EXPECT_THROW(source.Read(buffer, sizeof buffer), InputCancelled);
}

TEST(ReadInputHead, ReadsATextFilesStartInItsEncoding) {
    const std::string path = Write("input-head.csv", "# c\n\xCB\xAE,1,2\nB,3,4\n");
    const FileHead head = ReadInputHead({path, "GB18030", {}}, false, 10);
    ASSERT_EQ(head.lines.size(), 2u);
    EXPECT_EQ(head.lines[0].number, 2u);
    EXPECT_EQ(head.lines[0].fields.at(0), "\xE6\xB0\xB4");
    EXPECT_EQ(ReadInputBytes({path, {}, {}}, 4).bytes, "# c\n");
    EXPECT_FALSE(ReadInputBytes({path, {}, {}}, 4).whole);
    EXPECT_THROW(ReadInputHead({path + ".none", {}, {}}, false, 10), IoError);
}

}  // namespace
}  // namespace quorvel::engine
