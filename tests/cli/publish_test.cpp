// quorvel-batch's files as the system would have them: every format whole or the old file kept
// on a full disk and under signals while publishing, standard output written as it is, owners
// kept, links followed as open() follows them, names as long as the file system takes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/batch_runner.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;

const std::string kTwoPoints = "P1,116.3045,30.3030\nP2,117.2930,30.3030\n";

// A forward run on CGCS2000, which every format takes, into `out` in `format`.
std::vector<std::string> Forward(const std::string& format, const std::string& out) {
    return {"forward", "--lo",     "117",  "--ellipsoid", "cgcs2000", "--method",
            "exact",   "--format", format, "-o",          out};
}

// Runs `argv` (the program when argv[0] is empty) in `cwd`, standard input from `in`, standard
// output to the descriptor `out`; `started` gets the pid before the run is waited for.
Outcome RunProgram(std::vector<std::string> argv, const fs::path& cwd, const fs::path& in, int out,
                   const fs::path& errFile, const std::function<void(pid_t)>& started = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    const pid_t pid = SpawnProgram(argv, actions);
    Outcome o;
    if (pid == 0) return o;
    if (started) started(pid);
    Wait(pid, o);
    o.err = ReadFile(errFile);
    return o;
}

class Publish : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-publish-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        work = dir / "work";
        fs::create_directory(work);
    }
    void TearDown() override { fs::remove_all(dir); }

    // The program in `folder` (`work` when empty) with `input`, its standard output to `out`
    // (a file of dir's when −1).
    Outcome Run(std::vector<std::string> args, const std::string& input = kTwoPoints, int out = -1,
                const fs::path& folder = {}) {
        WriteFile(dir / "stdin", input);
        args.insert(args.begin(), "");
        const int fd = out >= 0 ? out : open((dir / "stdout").c_str(), O_WRONLY | O_CREAT, 0644);
        const Outcome o =
            RunProgram(args, folder.empty() ? work : folder, dir / "stdin", fd, dir / "stderr");
        if (out < 0) close(fd);
        return o;
    }

    // The files a format writes for `stem`.
    static std::vector<std::string> FilesOf(const std::string& format, const std::string& stem) {
        if (format != "shp") return {stem + "." + format};
        std::vector<std::string> files;
        for (const char* e : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) files.push_back(stem + e);
        return files;
    }

    std::vector<std::string> Names(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir, work;
};

bool IsRoot() {
    return geteuid() == 0;
}

// Runs `body` in a child process whose `folder` is a 1 MB file system of its own, which goes
// with the child; returns what the body found wrong, or "skip: ..." when no such file system
// can be had.
std::string OnSmallDisk(const fs::path& folder, const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "skip: no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string said;
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") != 0) {
            said = "skip: cannot mount a small tmpfs here: " + std::string(strerror(errno));
        } else {
            said = body();
        }
        if (write(fds[1], said.data(), said.size()) < 0) _exit(3);
        _exit(0);
    }
    close(fds[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) said.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return said;
}

// Fills the file system of `folder` but for `free` bytes.
void Fill(const fs::path& folder, off_t free) {
    const int fd = open((folder / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string block(65536, 'f');
    off_t size = 0;
    for (ssize_t n; (n = write(fd, block.data(), block.size())) > 0;) size += n;
    if (ftruncate(fd, size > free ? size - free : 0) != 0) size = 0;
    close(fd);
}

TEST_F(Publish, OnAFullDiskEveryFormatIsWholeOrTheOldFileStaysAndTheRunFails) {
    if (!IsRoot()) GTEST_SKIP() << "a small file system to fill needs root";
    // Whole files, written where there is room; a KML of many points too.
    std::string many;
    for (int i = 0; i < 3000; ++i) {
        many += "P" + std::to_string(i) + ",116." + std::to_string(10 + i % 50) +
                std::to_string(10 + i / 50 % 50) + ",30.3030\n";
    }
    struct Case {
        std::string format, input;
        std::vector<off_t> free;  // bytes left, cutting the files at different places
    };
    const std::vector<Case> cases = {
        {"kml", kTwoPoints, {0, 4096, 8192}},
        {"kml", many, {0, 65536, 262144, 524288}},
        {"dxf", kTwoPoints, {0, 4096, 8192, 12288, 16384}},
        {"shp", kTwoPoints, {0, 4096, 8192, 12288, 16384, 20480}},
        {"csv", many, {0, 65536}},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        fs::create_directories(dir / "whole" / std::to_string(n));
        const Case& c = cases[n];
        ASSERT_EQ(
            Run(Forward(c.format, "o." + c.format), c.input, -1, dir / "whole" / std::to_string(n))
                .status,
            0);
    }
    const std::string found = OnSmallDisk(work, [&] {
        std::string wrong;
        for (std::size_t n = 0; n < cases.size(); ++n) {
            const Case& c = cases[n];
            const fs::path whole = dir / "whole" / std::to_string(n);
            for (off_t free : c.free) {
                const std::string at = c.format + " with " + std::to_string(free) + " bytes: ";
                fs::remove_all(work / "filler");
                for (const std::string& f : FilesOf(c.format, "o")) WriteFile(work / f, "old\n");
                Fill(work, free);
                const Outcome o = Run(Forward(c.format, "o." + c.format), c.input);
                for (const std::string& f : FilesOf(c.format, "o")) {
                    const std::string text = ReadFile(work / f);
                    if (o.status == 0 && text != ReadFile(whole / f))
                        wrong += at + f + " written short, and the run exited 0\n";
                    if (o.status != 0 && text != "old\n") wrong += at + f + " lost\n";
                }
                if (o.status != 0 &&
                    (o.status != 2 || o.err.find("No space left on device") == std::string::npos))
                    wrong += at + "exit " + std::to_string(o.status) + " (signal " +
                             std::to_string(o.signal) + "): " + o.err;
                for (const std::string& name : Names(work)) {
                    const std::vector<std::string> files = FilesOf(c.format, "o");
                    if (name != "filler" &&
                        std::find(files.begin(), files.end(), name) == files.end())
                        wrong += at + name + " left behind\n";
                }
                for (const std::string& f : FilesOf(c.format, "o")) fs::remove(work / f);
            }
        }
        return wrong;
    });
    if (found.starts_with("skip: ")) GTEST_SKIP() << found;
    EXPECT_EQ(found, "");
}

// Runs `args` under strace, each exchange of two names held up for a second, and sends `sig`
// once `first` is the new file: the others are still the old ones then. False when it never was.
bool InterruptMidPublish(const fs::path& dir, const fs::path& work,
                         const std::vector<std::string>& args, const std::string& first, int sig) {
    std::vector<std::string> traced = {"strace",
                                       "-f",
                                       "-o",
                                       "/dev/null",
                                       "-e",
                                       "inject=renameat2:delay_exit=1000000",
                                       QUORVEL_BATCH_PROGRAM};
    traced.insert(traced.end(), args.begin(), args.end());
    const int out = open((dir / "stdout").c_str(), O_WRONLY | O_CREAT, 0644);
    bool sent = false;
    RunProgram(traced, work, dir / "stdin", out, dir / "stderr", [&](pid_t strace) {
        const fs::path children =
            "/proc/" + std::to_string(strace) + "/task/" + std::to_string(strace) + "/children";
        for (int i = 0; i < 3000 && ReadFile(work / first) == "old\n"; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_t program = 0;
        std::istringstream(ReadFile(children)) >> program;
        sent = ReadFile(work / first) != "old\n" && program > 0 && kill(program, sig) == 0;
    });
    close(out);
    return sent;
}

TEST_F(Publish, ASignalWhileFilesAreExchangedWaitsUntilAllAreInPlace) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
    // A Shapefile's five files; fit's results and parameter file.
    const std::string common = QUORVEL_FIXTURES_DIR "/../../docs/examples/bj54-common.csv";
    WriteFile(dir / "common.csv", ReadFile(common));
    ASSERT_NE(ReadFile(dir / "common.csv"), "");
    const std::vector<std::string> fit = {"fit",
                                          "--from",
                                          "plane:krassovsky:zone3",
                                          "--to",
                                          "plane:cgcs2000:zone3",
                                          "--model",
                                          "4",
                                          "--header",
                                          (dir / "common.csv").string(),
                                          "-o",
                                          "out.csv",
                                          "-p",
                                          "p.txt"};
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> files;
    } cases[] = {{Forward("shp", "o.shp"), {"o.cpg", "o.dbf", "o.prj", "o.shp", "o.shx"}},
                 {fit, {"out.csv", "p.txt"}}};
    for (const auto& c : cases) {
        for (const fs::path& folder : {dir / "new", work}) {
            fs::remove_all(folder);
            fs::create_directory(folder);
        }
        ASSERT_EQ(Run(c.args, kTwoPoints, -1, dir / "new").status, 0);
        const std::string first = c.args[0] == "fit" ? "out.csv" : "o.shp";
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            for (const std::string& f : c.files) WriteFile(work / f, "old\n");
            WriteFile(dir / "stdin", kTwoPoints);
            ASSERT_TRUE(InterruptMidPublish(dir, work, c.args, first, sig))
                << first << " was never exchanged: " << ReadFile(dir / "stderr");
            for (const std::string& f : c.files) {
                EXPECT_EQ(ReadFile(work / f), ReadFile(dir / "new" / f))
                    << f << " after signal " << sig;
            }
            EXPECT_EQ(Names(work), c.files);
        }
    }
}

TEST_F(Publish, StandardOutputAndOtherInheritedDescriptorsAreWrittenAsTheyAre) {
    const std::string rows = [&] {
        const int fd = open((dir / "rows").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        Run({"forward", "--lo", "117"}, kTwoPoints, fd);
        close(fd);
        return ReadFile(dir / "rows");
    }();
    ASSERT_NE(rows, "");
    // `>> log.txt`: appended to, never replaced.
    for (const std::string target : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "linked"}) {
        fs::remove(work / "linked");
        fs::create_symlink("/dev/stdout", work / "linked");
        WriteFile(work / "log.txt", "log\n");
        struct stat before {
        }, after{};
        stat((work / "log.txt").c_str(), &before);
        const int fd = open((work / "log.txt").c_str(), O_WRONLY | O_APPEND);
        const Outcome o = Run({"forward", "--lo", "117", "-o", target}, kTwoPoints, fd);
        close(fd);
        EXPECT_EQ(o.status, 0) << target << ": " << o.err;
        EXPECT_EQ(ReadFile(work / "log.txt"), "log\n" + rows) << target;
        stat((work / "log.txt").c_str(), &after);
        EXPECT_EQ(before.st_ino, after.st_ino) << target;
    }
    // Into a pipe, read on the other end.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) received.append(buffer, n);
    });
    const Outcome o = Run({"forward", "--lo", "117", "-o", "/dev/stdout"}, kTwoPoints, fds[1]);
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(received, rows);
    // A report is a document, never written there.
    fs::create_symlink("/dev/stdout", work / "r.txt");
    const int fd = open((work / "log.txt").c_str(), O_WRONLY | O_TRUNC);
    const Outcome r = Run({"forward", "--lo", "117", "--report", "r.txt"}, kTwoPoints, fd);
    close(fd);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("r.txt is not a regular file"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(work / "log.txt"), "");
    EXPECT_EQ(Names(work), (std::vector<std::string>{"linked", "log.txt", "r.txt"}));
}

TEST_F(Publish, AReplacedFileKeepsItsOwnerAndNeverASetIdBit) {
    if (!IsRoot()) GTEST_SKIP() << "files of another owner need root";
    for (const std::string format : {"csv", "shp"}) {
        const std::vector<std::string> files = FilesOf(format, "o");
        for (const std::string& f : files) {
            WriteFile(work / f, "old\n");
            ASSERT_EQ(chown((work / f).c_str(), 1234, 2345), 0);
            ASSERT_EQ(chmod((work / f).c_str(), 06775), 0);
        }
        const Outcome o = Run(Forward(format, "o." + format));
        EXPECT_EQ(o.status, 0) << o.err;
        for (const std::string& f : files) {
            struct stat st {};
            ASSERT_EQ(stat((work / f).c_str(), &st), 0);
            EXPECT_NE(ReadFile(work / f), "old\n") << f;
            EXPECT_EQ(st.st_mode & 07777, 0775u) << f;
            EXPECT_EQ(st.st_uid, 1234u) << f;
            EXPECT_EQ(st.st_gid, 2345u) << f;
        }
    }
}

TEST_F(Publish, LinksAreFollowedOnlyAsOpenWouldFollowThem) {
    // A loop is an error, and stays a loop.
    fs::create_symlink("b.csv", work / "a.csv");
    fs::create_symlink("a.csv", work / "b.csv");
    Outcome o = Run({"forward", "--lo", "117", "-o", "a.csv"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "quorvel-batch: cannot write a.csv: Too many levels of symbolic links\n");
    EXPECT_TRUE(fs::is_symlink(work / "a.csv") && fs::is_symlink(work / "b.csv"));
    if (!IsRoot()) GTEST_SKIP() << "links of another user need root";
    // Root writing into a shared sticky folder through another user's link to root's file.
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    WriteFile(work / "passwd", "root's\n");
    fs::create_symlink(work / "passwd", shared / "out.csv");
    ASSERT_EQ(lchown((shared / "out.csv").c_str(), 1234, 1234), 0);
    o = Run({"forward", "--lo", "117", "-o", (shared / "out.csv").string()});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "quorvel-batch: cannot write " + (shared / "out.csv").string() +
                         ": Permission denied\n");
    EXPECT_EQ(ReadFile(work / "passwd"), "root's\n");
    EXPECT_TRUE(fs::is_symlink(shared / "out.csv"));
    // The folder's owner's links, and the user's own, are followed.
    ASSERT_EQ(chown(shared.c_str(), 1234, 1234), 0);
    o = Run({"forward", "--lo", "117", "-o", (shared / "out.csv").string()});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(ReadFile(work / "passwd"), "root's\n");
    EXPECT_TRUE(fs::is_symlink(shared / "out.csv"));
}

TEST_F(Publish, EveryNameTheFileSystemTakesIsWritten) {
    const long max = pathconf(work.c_str(), _PC_NAME_MAX);
    for (const std::string format : {"csv", "shp", "kml"}) {
        for (long length : {max - 11, max - 1, max}) {
            const std::string stem(static_cast<std::size_t>(length) - 4, 'n');
            const std::string name = stem + "." + format;
            for (const std::string& f : FilesOf(format, stem)) WriteFile(work / f, "old\n");
            const Outcome o = Run(Forward(format, name));
            EXPECT_EQ(o.status, 0) << name.size() << ": " << o.err;
            EXPECT_NE(ReadFile(work / name), "old\n") << name.size();
            EXPECT_EQ(Names(work).size(), FilesOf(format, stem).size()) << "temporary files left";
            fs::remove_all(work);
            fs::create_directory(work);
        }
    }
    // The report's name too.
    const std::string report(static_cast<std::size_t>(max - 4), 'r');
    const Outcome o = Run({"forward", "--lo", "117", "--report", report + ".txt"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(fs::exists(work / (report + ".txt")));
}

TEST_F(Publish, FoldersLeftByAKilledRunAreRemovedByTheNextAndNothingElse) {
    // A process that has ended, for its id.
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string gone = std::to_string(ended);
    const auto stage = [&](const std::string& name, std::initializer_list<std::string> files) {
        fs::create_directory(work / name);
        for (const std::string& f : files) WriteFile(work / name / f, "GDAL's\n");
    };
    stage(".o.shp." + gone + ".Ab12Cd", {"points.shp", "points.dbf", "points.shx"});
    stage(".x.dxf." + gone + ".Xy34Zw", {"points.dxf", "points.dxf.tmp"});
    stage(".old.kml.1.Qq11Qq", {"points.kml"});  // of a live process, but two days old
    const auto twoDaysAgo = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(work / ".old.kml.1.Qq11Qq", twoDaysAgo);
    // Not of a run's: kept.
    stage(".live.kml.1.Zz99Zz", {"points.kml"});
    stage(".mine.csv." + gone + ".Ab12Cd", {"notes.txt"});
    stage(".deep.shp." + gone + ".Ab12Cd", {});
    fs::create_directory(work / (".deep.shp." + gone + ".Ab12Cd") / "points.sub");
    WriteFile(work / (".file.shp." + gone + ".Ab12Cd"), "a file\n");
    stage(".o.shp.x" + gone + ".Ab12Cd", {"points.shp"});

    const Outcome o = Run(Forward("kml", "o.kml"));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(Names(work), (std::vector<std::string>{
                               ".deep.shp." + gone + ".Ab12Cd", ".file.shp." + gone + ".Ab12Cd",
                               ".live.kml.1.Zz99Zz", ".mine.csv." + gone + ".Ab12Cd",
                               ".o.shp.x" + gone + ".Ab12Cd", "o.kml"}));
}

}  // namespace
}  // namespace quorvel::cli
