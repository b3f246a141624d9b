// A file published under a new name: never over another file, never half, no temporary left.
// (Replacing a file is run through quorvel-batch's -o and --report in tests/cli.)
#include "core/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/errors.h"

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

}  // namespace
}  // namespace quorvel
