// A file published under a new name: never over another file, never half, no temporary left.
// (Replacing a file is run through quorvel-batch's -o and --report in tests/cli.)
#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "core/errors.h"
#include "core/target_path.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

class NewFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-atomic-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
        return names;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(int fd, const std::string& text) {
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    fs::path dir;
};

TEST_F(NewFile, TakesTheFirstFreeNameAndLeavesTakenOnesAlone) {
    { std::ofstream(Path("r.pdf")) << "mine"; }
    const mode_t mask = ::umask(027);
    AtomicFile file(Path("r.pdf"), AtomicFile::NewName{});
    ::umask(mask);
    Write(file.fd(), "report");
    EXPECT_FALSE(file.PublishNew(Path("r.pdf")));
    EXPECT_EQ(Read(Path("r.pdf")), "mine");
    ASSERT_TRUE(file.PublishNew(Path("r (2).pdf")));
    EXPECT_EQ(Read(Path("r (2).pdf")), "report");
    EXPECT_EQ(Names(), (std::set<std::string>{"r.pdf", "r (2).pdf"}));
    struct stat st {};
    ASSERT_EQ(::stat(Path("r (2).pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the mode of a new file under the umask of its making";
}

TEST_F(NewFile, LeavesNothingWhenNeverPublished) {
    {
        AtomicFile file(Path("r.pdf"), AtomicFile::NewName{});
        Write(file.fd(), "report");
        file.Finish();
    }
    EXPECT_TRUE(Names().empty());
}

TEST_F(NewFile, SaysWhyWhenTheFolderIsMissing) {
    try {
        AtomicFile file(Path("gone/r.pdf"), AtomicFile::NewName{});
        FAIL() << "made a file in a missing folder";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), ENOENT);
        EXPECT_NE(std::string(e.what()).find(Path("gone/r.pdf")), std::string::npos) << e.what();
    }
}

TEST_F(NewFile, ASignalWhileFilesAreExchangedWaitsUntilAllAreInPlace) {
    { std::ofstream(Path("a.csv")) << "old a"; }
    { std::ofstream(Path("b.par")) << "old b"; }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AtomicFile a(Path("a.csv")), b(Path("b.par"));
        Write(a.fd(), "new a");
        Write(b.fd(), "new b");
        a.Finish();
        b.Finish();
        {
            const SignalsDeferred whole;
            a.Publish();
            // From another thread, which the signal reaches at once.
            std::thread([] { ::kill(::getpid(), SIGTERM); }).join();
            b.Publish();
            a.Settle();
            b.Settle();
        }
        ::_exit(0);  // the signal ended the program before this
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(Read(Path("a.csv")), "new a");
    EXPECT_EQ(Read(Path("b.par")), "new b");
    EXPECT_EQ(Names(), (std::set<std::string>{"a.csv", "b.par"}));
}

TEST_F(NewFile, LinksAreFollowedAsOpenFollowsThemAndLoopsRefused) {
    fs::create_symlink("b", Path("a"));
    fs::create_symlink("a", Path("b"));
    try {
        AtomicFile file(Path("a"));
        FAIL() << "wrote through a loop of links";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), ELOOP) << e.what();
    }
    EXPECT_TRUE(fs::is_symlink(Path("a")) && fs::is_symlink(Path("b")));
    fs::create_symlink("/dev/stdout", Path("out"));
    EXPECT_EQ(ResolveTarget(Path("out")).inheritedFd, 1);
    EXPECT_EQ(ResolveTarget("/dev/fd/7").inheritedFd, 7);
    EXPECT_EQ(ResolveTarget("/proc/self/fd/2").inheritedFd, 2);
    EXPECT_EQ(ResolveTarget("/proc/" + std::to_string(::getpid()) + "/fd/0").inheritedFd, 0);
    EXPECT_EQ(ResolveTarget("/dev/fd/x").inheritedFd, -1);
    EXPECT_EQ(ResolveTarget(Path("fd/1")).inheritedFd, -1);
}

TEST(TemporaryName, EveryNameTheFileSystemTakesLeavesRoomForTheTemporaryOne) {
    EXPECT_EQ(TemporaryName("out.csv", ".", ".csv", 255), ".out.csv.XXXXXX.csv");
    for (std::size_t length : {240u, 243u, 244u, 250u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".shp";
        const std::string temp = TemporaryName(name, ".123.", ".shp", 255);
        EXPECT_LE(temp.size(), 255u) << length;
        EXPECT_TRUE(temp.starts_with(".nnn") && temp.ends_with(".123.XXXXXX.shp")) << temp;
    }
    // A name cut between characters, never inside one (测 is three bytes).
    std::string chinese;
    for (int i = 0; i < 85; ++i) chinese += "测";
    const std::string temp = TemporaryName(chinese, ".", "", 255);
    EXPECT_EQ(temp, "." + chinese.substr(0, 246) + ".XXXXXX");
    EXPECT_EQ(TemporaryName("a." + std::string(40, 'e'), ".", "." + std::string(40, 'e'), 255),
              ".a." + std::string(40, 'e') + ".XXXXXX")
        << "an ending too long to keep is dropped";
}

}  // namespace
}  // namespace quorvel
