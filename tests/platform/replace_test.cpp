// Files put over others: one or several, all or none, never an old file gone before its new one
// is there, no temporary file left behind whatever fails.
#include "platform/replace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "platform/files.h"
#include "platform/platform_fixture.h"

namespace quorvel::platform {
namespace {

namespace fs = std::filesystem;

using Replace = ScratchFolder;

const std::string kChineseFolder = "测量成果";
const std::string kChineseFile = "控制点坐标.csv";

void Write(AtomicFile& file, const std::string& text) {
    ASSERT_EQ(WriteSome(file.fd(), text.data(), text.size()), static_cast<long>(text.size()));
}

TEST_F(Replace, ExchangedNamesKeepTheOldFileUntilItIsRemoved) {
    Put("new", "new");
    Put("target", "old");
    ASSERT_EQ(ExchangeNames(Path("new"), Path("target")), 0);
    EXPECT_EQ(Text("target"), "new");
    EXPECT_EQ(Text("new"), "old");
    EXPECT_EQ(Names(), (std::set<std::string>{"new", "target"}));  // no third name left
    errno = 0;
    EXPECT_NE(ExchangeNames(Path("new"), Path("missing")), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(Text("new"), "old");
}

TEST_F(Replace, AMoveReplacesOrRefusesATakenNameAsAsked) {
    Put("a", "a");
    Put("b", "b");
    Put("c", "c");
    ASSERT_EQ(MoveReplacing(Path("a"), Path("b")), 0);
    EXPECT_EQ(Text("b"), "a");
    errno = 0;
    EXPECT_NE(MoveToNewName(Path("c"), Path("b")), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Text("b"), "a");
    EXPECT_EQ(Text("c"), "c");
    ASSERT_EQ(MoveToNewName(Path("c"), Path(kChineseFile)), 0);
    EXPECT_EQ(Names(), (std::set<std::string>{"b", kChineseFile}));
    EXPECT_NE(RemoveFile(Path("c")), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Replace, OneFileReplacedInAChineseFolder) {
    fs::create_directory(PathFromUtf8(Path(kChineseFolder)));
    const std::string name = kChineseFolder + "/" + kChineseFile;
    Put(name, "old\n");
    AtomicFile file(Path(name));
    const fs::path temp = PathFromUtf8(file.TempPath());  // beside the target, named after it
    EXPECT_TRUE(fs::equivalent(temp.parent_path(), PathFromUtf8(Path(kChineseFolder))));
    EXPECT_EQ(Utf8Path(temp.filename()).rfind(".控制点坐标.csv.", 0), 0u) << file.TempPath();
    Write(file, "点,1\r\n");
    EXPECT_EQ(Text(name), "old\n");  // nothing replaced until committed
    file.Commit();
    EXPECT_EQ(Text(name), "点,1\r\n");
    EXPECT_EQ(Names(kChineseFolder), std::set<std::string>{kChineseFile});
}

TEST_F(Replace, ANewFileIsMadeWhereNoneWas) {
    AtomicFile file(Path(kChineseFile));
    Write(file, "new");
    file.Commit();
    EXPECT_EQ(Text(kChineseFile), "new");
    EXPECT_EQ(Names(), std::set<std::string>{kChineseFile});
}

TEST_F(Replace, SeveralFilesAreAllReplacedOrNone) {
    Put("out.csv", "old out");
    Put("report.txt", "old report");
    {
        AtomicFile out(Path("out.csv")), report(Path("report.txt"));
        Write(out, "new out");
        Write(report, "new report");
        out.Finish();
        report.Finish();
        // The second cannot be put in place: its temporary file is gone.
        ASSERT_EQ(RemoveFile(report.TempPath()), 0);
        const SignalsDeferred whole;
        out.Publish();
        EXPECT_THROW(report.Publish(), IoError);
        out.Undo();
        report.Undo();
    }
    EXPECT_EQ(Text("out.csv"), "old out");
    EXPECT_EQ(Text("report.txt"), "old report");
    EXPECT_EQ(Names(), (std::set<std::string>{"out.csv", "report.txt"}));
    {
        AtomicFile out(Path("out.csv")), report(Path("report.txt"));
        Write(out, "new out");
        Write(report, "new report");
        out.Publish();
        report.Publish();
        out.Settle();
        report.Settle();
    }
    EXPECT_EQ(Text("out.csv"), "new out");
    EXPECT_EQ(Text("report.txt"), "new report");
    EXPECT_EQ(Names(), (std::set<std::string>{"out.csv", "report.txt"}));
}

TEST_F(Replace, AFileUndoneWhereNoneWasIsGoneAgain) {
    Put("report.txt", "old report");
    {
        AtomicFile out(Path("new.csv"));
        Write(out, "new");
        out.Publish();
        EXPECT_EQ(Text("new.csv"), "new");
        out.Undo();
    }
    EXPECT_EQ(Names(), std::set<std::string>{"report.txt"});
}

TEST_F(Replace, AReadOnlyTargetIsRefusedAndKept) {
    Put("r.csv", "kept");
    MakeReadOnly("r.csv");
    EXPECT_THROW(AtomicFile(Path("r.csv")), IoError);
    EXPECT_EQ(Text("r.csv"), "kept");
    EXPECT_EQ(Names(), std::set<std::string>{"r.csv"});
}

TEST_F(Replace, AFolderIsNoTargetAndAMissingFolderTakesNoFile) {
    fs::create_directory(PathFromUtf8(Path(kChineseFolder)));
    try {
        AtomicFile file(Path(kChineseFolder));
        ADD_FAILURE() << "a folder taken as a file";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("is a folder"), std::string::npos) << e.what();
    }
    EXPECT_THROW(AtomicFile(Path("no folder/out.csv")), IoError);
    EXPECT_EQ(Names(), std::set<std::string>{kChineseFolder});
    EXPECT_TRUE(Names(kChineseFolder).empty());
}

TEST_F(Replace, NoTemporaryFileOutlivesAFileNeverCommitted) {
    Put("out.csv", "old");
    {
        AtomicFile file(Path("out.csv"));
        Write(file, "half");
        EXPECT_EQ(Names().size(), 2u);
    }
    EXPECT_EQ(Text("out.csv"), "old");
    EXPECT_EQ(Names(), std::set<std::string>{"out.csv"});
}

}  // namespace
}  // namespace quorvel::platform
