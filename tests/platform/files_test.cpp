// Files by descriptor under UTF-8 names: bytes as written, identity through several names,
// temporary files and folders.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "platform/platform_fixture.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;

using Files = ScratchFolder;

const std::string kChineseFolder = "测量成果";
const std::string kChineseFile = "控制点坐标.csv";

TEST(Paths, ChineseTextSurvivesThePathAndBack) {
    const std::string name = "D:/工程/" + kChineseFile;
    EXPECT_EQ(Utf8Path(PathFromUtf8(name)), name);
    EXPECT_EQ(Utf8Path(PathFromUtf8(name).filename()), kChineseFile);
    EXPECT_EQ(Utf8Path(PathFromUtf8(name).extension()), ".csv");
}

TEST_F(Files, BytesReadAreTheBytesWrittenLineEndsIncluded) {
    const std::string bytes = std::string("a\nb\r\nc\r\r\n\x1a") + '\0' + "end";
    std::string name = Path(".w-XXXXXX.txt");
    const int fd = CreateUnique(name, 4);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
    EXPECT_EQ(WriteSome(fd, bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
    EXPECT_EQ(SyncFile(fd), 0);
    ASSERT_EQ(CloseFile(fd), 0);

    const int in = OpenToRead(name);
    ASSERT_GE(in, 0);
    char buffer[64];
    const long got = ReadSome(in, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got > 0 ? got : 0)), bytes);
    EXPECT_EQ(ReadSome(in, buffer, sizeof buffer), 0);
    CloseFile(in);
}

TEST_F(Files, ChineseFolderAndFileNamesOpenAndKeepTheirNames) {
    fs::create_directory(PathFromUtf8(Path(kChineseFolder)));
    Put(kChineseFolder + "/" + kChineseFile, "点号,X,Y\n");
    const int fd = OpenToRead(Path(kChineseFolder + "/" + kChineseFile));
    ASSERT_GE(fd, 0);
    FileInfo info;
    ASSERT_TRUE(InfoOf(fd, info));
    EXPECT_EQ(info.kind, FileKind::Regular);
    EXPECT_EQ(info.size, std::string("点号,X,Y\n").size());
    CloseFile(fd);
    EXPECT_EQ(Names(kChineseFolder), std::set<std::string>{kChineseFile});
}

TEST_F(Files, MissingFilesAndFoldersFailWithTheirReason) {
    FileInfo info;
    errno = 0;
    EXPECT_LT(OpenToRead(Path("none.csv")), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(InfoAt(Path("no folder/none.csv"), info));
    EXPECT_EQ(errno, ENOENT);
    std::string name = Path("no folder/.t-XXXXXX");
    EXPECT_LT(CreateUnique(name, 0), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_LT(OpenTemporary(Path("no folder")), 0);
}

TEST_F(Files, AFolderIsToldFromAFile) {
    fs::create_directory(PathFromUtf8(Path(kChineseFolder)));
    FileInfo info;
    ASSERT_TRUE(InfoAt(Path(kChineseFolder), info));
    EXPECT_EQ(info.kind, FileKind::Folder);
    ASSERT_TRUE(EntryInfoAt(Path(kChineseFolder), info));
    EXPECT_EQ(info.kind, FileKind::Folder);
    EXPECT_TRUE(OwnedByUser(info));
}

TEST_F(Files, OneFileThroughTwoNamesIsTheSameFileAndACopyIsNot) {
    Put("a.csv", "1,2\n");
    Put("copy.csv", "1,2\n");
    fs::create_directory(PathFromUtf8(Path(kChineseFolder)));
    fs::create_hard_link(PathFromUtf8(Path("a.csv")),
                         PathFromUtf8(Path(kChineseFolder + "/" + kChineseFile)));
    FileInfo a, link, dotted, copy;
    ASSERT_TRUE(InfoAt(Path("a.csv"), a));
    ASSERT_TRUE(InfoAt(Path(kChineseFolder + "/" + kChineseFile), link));
    ASSERT_TRUE(InfoAt(Path(kChineseFolder + "/../a.csv"), dotted));
    ASSERT_TRUE(InfoAt(Path("copy.csv"), copy));
    EXPECT_TRUE(SameFile(a, link));
    EXPECT_TRUE(SameFile(a, dotted));
    EXPECT_FALSE(SameFile(a, copy));

    // The file an open descriptor reads is the one its name gives.
    const int fd = OpenToRead(Path("a.csv"));
    ASSERT_GE(fd, 0);
    FileInfo open;
    ASSERT_TRUE(InfoOf(fd, open));
    CloseFile(fd);
    EXPECT_TRUE(SameFile(open, link));

    // Folders are never "the input": no run reads one.
    FileInfo folder;
    ASSERT_TRUE(InfoAt(Path(kChineseFolder), folder));
    EXPECT_FALSE(SameFile(folder, folder));
}

TEST_F(Files, ATemporaryFileReadsBackAndIsGoneOnceClosed) {
    const int fd = OpenTemporary(dir_);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(WriteSome(fd, "spool\r\n", 7), 7);
    ASSERT_EQ(SeekToStart(fd), 0);
    char buffer[16];
    EXPECT_EQ(ReadSome(fd, buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer, 7), "spool\r\n");
    CloseFile(fd);
    EXPECT_TRUE(Names().empty());
}

TEST_F(Files, UniqueNamesNeverTakeAnExistingOne) {
    std::set<std::string> made;
    for (int i = 0; i < 20; ++i) {
        std::string name = Path(kChineseFile + ".XXXXXX");
        const int fd = CreateUnique(name, 0);
        ASSERT_GE(fd, 0);
        CloseFile(fd);
        EXPECT_TRUE(made.insert(name).second);
    }
    std::string folder = Path("stage.XXXXXX");
    ASSERT_EQ(CreateUniqueFolder(folder), 0);
    EXPECT_EQ(Names().size(), 21u);
    std::string bad = Path("no X here");
    EXPECT_NE(CreateUnique(bad, 0), 0);
}

TEST_F(Files, AReadOnlyFileIsSeenAsOne) {
    Put("r.csv", "kept");
    MakeReadOnly("r.csv");
    FileInfo info;
    ASSERT_TRUE(InfoAt(Path("r.csv"), info));
    EXPECT_EQ(info.mode & 0222, 0u);
}

TEST(Processes, TheProgramIsAliveAndAnUnusedIdIsGone) {
    EXPECT_GT(ProcessId(), 0);
    EXPECT_FALSE(ProcessGone(ProcessId()));
    EXPECT_TRUE(ProcessGone(0x3FFFFFF0L));
}

}  // namespace
}  // namespace quorvel::platform
