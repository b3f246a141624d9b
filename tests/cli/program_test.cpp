// quorvel-batch run as a program: exit statuses, messages, files replaced whole or not at all.
#include <fcntl.h>
#include <gdal.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli/batch_runner.h"
#include "cli/command.h"
#include "core/datum.h"
#include "core/number_text.h"
#include "core/packed_angle.h"
#include "core/parameter_file.h"
#include "csv_fixture.h"
#include "engine/writers/gis_output.h"

namespace quorvel::cli {
namespace {

// The engine in process, to compare the program with.
using namespace engine;

namespace fs = std::filesystem;

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvel-batch-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        work = dir / "work";
        fs::create_directory(work);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the program in `work` with standard input read from `file`.
    Outcome RunWithInputFile(const std::vector<std::string>& args, const fs::path& file) {
        return RunBatch(args, work, file, dir / "stdout", dir / "stderr", env);
    }

    // Runs the program in `work` with `input` on standard input (`stdoutPath` may redirect
    // standard output to a file of the caller's, such as /dev/full).
    Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& stdoutPath = "") {
        WriteFile(dir / "stdin", input);
        const fs::path out = stdoutPath.empty() ? dir / "stdout" : fs::path(stdoutPath);
        return RunBatch(args, work, dir / "stdin", out, dir / "stderr", env);
    }

    // Names in `work` other than the given ones: left-over temporary files.
    std::vector<std::string> Strays(std::initializer_list<std::string> expected) {
        std::vector<std::string> strays;
        for (const auto& e : fs::directory_iterator(work)) {
            const std::string name = e.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
                strays.push_back(name);
            }
        }
        return strays;
    }

    // Every reference vector through the program, one run per meridian, against its shown texts.
    void ExpectFixtureThroughProgram(const std::string& file, const std::string& mode,
                                     const std::string& a, const std::string& b,
                                     const std::string& shownA, const std::string& shownB) {
        std::map<std::pair<std::string, std::string>, std::vector<quorvel::testing::Row>> groups;
        for (const auto& row : quorvel::testing::ReadFixture(file)) {
            const std::string ls = row.count("Ls_text") ? row.at("Ls_text") : "";
            groups[{row.at("Lo_text"), ls}].push_back(row);
        }
        std::size_t checked = 0;
        for (const auto& [meridians, rows] : groups) {
            std::string input = "# " + file + "\n";
            for (const auto& row : rows)
                input += row.at("id") + "\t" + row.at(a) + "\t" + row.at(b) + "\n";
            std::vector<std::string> args = {mode, "--lo", meridians.first};
            if (mode == "zone") args.insert(args.end(), {"--ls", meridians.second});
            const Outcome o = Run(args, input);
            std::istringstream lines(o.out);
            std::string line;
            std::getline(lines, line);
            // Points far out are refused by their lines, for the classic series alone.
            std::map<std::size_t, std::string> refused;
            std::istringstream messages(o.err);
            while (std::getline(messages, line)) {
                if (line.starts_with("<stdin>:") && line.find(": warning: ") == std::string::npos) {
                    refused[std::stoul(line.substr(8))] = line;
                }
            }
            ASSERT_EQ(o.status, refused.empty() ? 0 : 1) << o.err;
            std::size_t number = 1;
            for (const auto& row : rows) {
                if (refused.contains(++number)) {
                    EXPECT_NE(refused[number].find("classic series"), std::string::npos)
                        << refused[number];
                    ++checked;
                    continue;
                }
                ASSERT_TRUE(std::getline(lines, line));
                const std::string expected = row.at("id") + "," + row.at(a) + "," + row.at(b) +
                                             "," + row.at(shownA) + "," + row.at(shownB) + "\r";
                EXPECT_EQ(line, expected);
                ++checked;
            }
        }
        EXPECT_EQ(checked, quorvel::testing::ReadFixture(file).size());
    }

    // The runner's environment without its language, and `language` (such as "LANG=C").
    void UseLanguage(std::initializer_list<std::string> language) { env = EnvironmentIn(language); }

    fs::path dir, work;
    std::vector<std::string> env;  // empty: the runner's
};

const std::string kPoints = "P1,116.3045,30.3030\nP2,117.2930,30.3030\n";

TEST_F(Program, AllPointsWrittenExitsZeroWithASummary) {
    const Outcome o = Run({"forward", "--lo", "117"}, kPoints);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out,
              "name,L,B,X,Y\r\n"
              "P1,116.3045,30.3030,3376626.6403,453203.4506\r\n"
              "P2,117.2930,30.3030,3376628.3754,547196.5246\r\n");
    EXPECT_EQ(o.err, "2 points, 0 rejected\n");
    EXPECT_EQ(Run({"inverse", "--lo", "117"}, "K,3380000,39512345.678\n").err,
              "1 point, 0 rejected, 1 easting with the zone number of the central meridian taken "
              "off\n");
    EXPECT_EQ(Run({"forward", "--lo", "117", "--quiet"}, kPoints).err, "");

    WriteFile(work / "in.csv", kPoints);
    EXPECT_EQ(Run({"forward", "--lo", "117", "in.csv"}).out, o.out);
    EXPECT_EQ(Run({"forward", "--lo", "117", "-"}, kPoints).out, o.out);
}

TEST_F(Program, RejectedLinesExitOneAndTheGoodOnesAreStillWritten) {
    WriteFile(work / "in.csv", "P1,116.3045,30.3030\nP2,x,30\n\nP3,117\n");
    const Outcome o = Run({"forward", "--lo", "117", "-o", "out.csv", "in.csv"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err,
              "in.csv:2: L: \"x\" is not a number\n"
              "in.csv:4: expected at least 3 fields (name, L, B), found 2\n"
              "1 point, 2 rejected\n");
    EXPECT_EQ(ReadFile(work / "out.csv"),
              "name,L,B,X,Y\r\nP1,116.3045,30.3030,3376626.6403,453203.4506\r\n");
    EXPECT_EQ(Run({"forward", "--lo", "117"}, "P1,a,b\n").err,
              "<stdin>:1: L: \"a\" is not a number\n0 points, 1 rejected\n");
}

// What the classic series would compute into nonsense, or kilometres off, is refused by its line.
TEST_F(Program, ClassicResultsFarFromTheExactOnesExitOne) {
    const struct {
        std::vector<std::string> args;
        std::string input;
        std::string says;
    } cases[] = {
        {{"inverse", "--lo", "117"},
         "R,10001965,522200\n",
         "<stdin>:1: X \"10001965\", Y \"522200\": the point lies 89°33′17″ from the central "
         "meridian 117, beyond 35 degrees"},
        {{"zone", "--lo", "117", "--ls", "297"},
         "A,3380000,612345.678\n",
         "<stdin>:1: X1 \"3380000\", Y1 \"612345.678\": the point lies 178°49′46″ from the "
         "target meridian 297"},
        {{"forward", "--lo", "117"},
         "a,152,0\n",
         "<stdin>:1: L \"152\", B \"0\": the classic series are 444.51 m off the exact "
         "transverse Mercator here, more than 1 m: compute it with --method exact"},
        {{"forward", "--lo", "117"},
         "a,161,0\n",
         "<stdin>:1: L \"161\", B \"0\": the point lies 44°00′00″ from the central meridian 117"},
    };
    for (const auto& c : cases) {
        const Outcome o = Run(c.args, c.input);
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_EQ(o.out.find("\n"), o.out.size() - 1) << o.out;  // the header alone
        EXPECT_EQ(o.err.substr(0, c.says.size()), c.says);
    }
    // 12° out on the equator: computed, with a warning naming the size.
    const Outcome o = Run({"forward", "--lo", "117"}, "a,129,0\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err.substr(0, o.err.find('\n')),
              "<stdin>:1: warning: the classic series are 84 mm off the exact transverse Mercator "
              "here, more than 1 cm (--method exact is accurate to 5 nm)");
}

TEST_F(Program, UsageErrorsExitTwoWithTheUsageAndTouchNoFile) {
    WriteFile(work / "out.csv", "precious\n");
    WriteFile(work / "in.csv", kPoints);
    fs::create_directory(work / "folder");
    // Files that cannot be read or written, and jobs whose output cannot hold what they
    // compute: the command line is right, so no usage follows.
    const std::vector<std::vector<std::string>> runErrors = {
        {"forward", "--lo", "117", "--format", "kml", "-o", "out.kml", "in.csv"},
        {"inverse", "--lo", "117", "--format", "dat", "-o", "out.dat", "in.csv"},
        {"inverse", "--lo", "117", "--format", "dxf", "-o", "out.dxf", "in.csv"},
        {"forward", "--lo", "117", "-o", "out.csv", "missing.csv"},
        {"forward", "--lo", "117", "-o", "out.csv", "folder"},
        {"forward", "--lo", "117", "-o", "no/such/dir/out.csv", "in.csv"},
        {"forward", "--lo", "117", "-o", "folder", "in.csv"},
    };
    const std::vector<std::vector<std::string>> cases = {
        {"sideways", "--lo", "117", "-o", "out.csv", "in.csv"},
        {"forward", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "abc", "-o", "out.csv", "in.csv"},
        {"zone", "--lo", "117", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "--bogus", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "-o", "out.csv", "--report", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "-o", "out.csv", "--report", "r.doc", "in.csv"},
        {"forward", "--lo", "360.0001", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "--fields", "1,2,2", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "--fields", "0,1,2", "-o", "out.csv", "in.csv"},
        {"forward", "--lo", "117", "--encoding", "latin1", "-o", "out.csv", "in.csv"},
    };
    for (const auto* list : {&cases, &runErrors}) {
        for (const auto& args : *list) {
            const Outcome o = Run(args);
            std::string shown;
            for (const auto& a : args) shown += a + " ";
            EXPECT_EQ(o.status, 2) << shown;
            EXPECT_EQ(o.out, "") << shown;
            EXPECT_EQ(o.err.rfind("quorvel-batch: ", 0), 0u) << shown << o.err;
            EXPECT_EQ(o.err.find("usage: quorvel-batch forward") != std::string::npos,
                      list == &cases)
                << shown << o.err;
            EXPECT_EQ(ReadFile(work / "out.csv"), "precious\n") << shown;
            EXPECT_EQ(Strays({"out.csv", "in.csv", "folder"}), std::vector<std::string>{}) << shown;
        }
    }
    EXPECT_NE(Run({"forward", "--lo", "117", "missing.csv"}).err.find("cannot read missing.csv"),
              std::string::npos);
}

// Under a Chinese locale every message is Chinese, the results the same bytes; C is English.
TEST_F(Program, SpeaksTheLanguageOfTheLocale) {
    const locale_t zh = newlocale(LC_ALL_MASK, "zh_CN.UTF-8", nullptr);
    ASSERT_NE(zh, nullptr) << "no zh_CN.UTF-8 locale: scripts/install-deps.sh test generates it";
    freelocale(zh);
    const std::string input = "P1,116.3045,30.3030\nP2,x,30\nP3,117.6000,30.3030\n";
    const std::string chinese =
        "<stdin>:2: L：\"x\" 不是数值\n"
        "<stdin>:3: 警告：L 117.6000 含 60 分：度.分秒的分和秒都应小于 60；这是十进制度数吗？\n"
        "2 点，1 行被拒绝\n";
    UseLanguage({"LANG=C"});
    const Outcome english = Run({"forward", "--lo", "117"}, input);
    EXPECT_EQ(english.err.substr(0, 33), "<stdin>:2: L: \"x\" is not a number") << english.err;
    for (const auto& language : {std::initializer_list<std::string>{"LANG=zh_CN.UTF-8"},
                                 {"LANG=C", "LC_MESSAGES=zh_CN.UTF-8"},
                                 {"LANG=C", "LC_ALL=zh_CN.UTF-8"}}) {
        UseLanguage(language);
        const Outcome o = Run({"forward", "--lo", "117"}, input);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, english.out);
        EXPECT_EQ(o.err, chinese);
    }
    UseLanguage({"LANG=zh_CN.UTF-8", "LC_ALL=C"});
    EXPECT_EQ(Run({"forward", "--lo", "117"}, input).err, english.err);

    UseLanguage({"LANG=zh_CN.UTF-8"});
    Outcome o = Run({"forward", "--lo", "117", "--bogus"});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.starts_with("quorvel-batch: 未知选项 --bogus\n用法：quorvel-batch forward"))
        << o.err;
    o = Run({"forward", "--lo", "117", "missing.csv"});
    EXPECT_TRUE(o.err.starts_with("quorvel-batch: 无法读取 missing.csv：")) << o.err;
}

TEST_F(Program, AFailedWriteExitsTwoAndIsNotReportedAsSuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail the writes";
    const Outcome o = Run({"forward", "--lo", "117"}, kPoints, "/dev/full");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("cannot write standard output"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("points,"), std::string::npos);
}

TEST_F(Program, OutputReplacesAFileWholeKeepingItsModeAndLinks) {
    WriteFile(work / "out.csv", "old\n");
    chmod((work / "out.csv").c_str(), 0640);
    EXPECT_EQ(Run({"forward", "--lo", "117", "-o", "out.csv"}, kPoints).status, 0);
    EXPECT_EQ(ReadFile(work / "out.csv").substr(0, 12), "name,L,B,X,Y");
    struct stat st {};
    stat((work / "out.csv").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A new file gets the usual mode for the umask, not the 0600 of a temporary file.
    const mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(Run({"forward", "--lo", "117", "-o", "new.csv"}, kPoints).status, 0);
    stat((work / "new.csv").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);

    fs::create_directory(work / "real");
    WriteFile(work / "real" / "target.csv", "old\n");
    fs::create_symlink("real/target.csv", work / "link.csv");
    EXPECT_EQ(Run({"forward", "--lo", "117", "-o", "link.csv"}, kPoints).status, 0);
    EXPECT_TRUE(fs::is_symlink(work / "link.csv"));
    EXPECT_EQ(ReadFile(work / "real" / "target.csv").substr(0, 12), "name,L,B,X,Y");

    EXPECT_EQ(Strays({"out.csv", "new.csv", "real", "link.csv"}), std::vector<std::string>{});

    // A file nobody may write is refused, as cp refuses it, even for root; so is a report.
    for (const std::string option : {"-o", "--report"}) {
        const std::string name = option == "-o" ? "ro.csv" : "ro.txt";
        WriteFile(work / name, "kept\n");
        chmod((work / name).c_str(), 0444);
        const Outcome o = Run({"forward", "--lo", "117", option, name}, kPoints);
        EXPECT_EQ(o.status, 2) << option;
        EXPECT_EQ(o.err, "quorvel-batch: cannot write " + name + ": the file is read-only\n");
        EXPECT_EQ(ReadFile(work / name), "kept\n");
    }
}

TEST_F(Program, NoRunWritesOverItsOwnInput) {
    WriteFile(work / "s.csv", kPoints);
    fs::create_hard_link(work / "s.csv", work / "hard.txt");
    fs::create_symlink("s.csv", work / "soft.txt");
    const std::vector<std::vector<std::string>> cases = {
        {"-o", "s.csv", "s.csv"},          {"--report", "s.txt", "s.txt"},
        {"-o", "hard.txt", "s.csv"},       {"-o", "./soft.txt", "s.csv"},
        {"--report", "soft.txt", "s.csv"}, {"--report", "hard.txt", "-"},
    };
    for (const auto& extra : cases) {
        WriteFile(work / "s.txt", "report\n");
        std::vector<std::string> args = {"forward", "--lo", "117"};
        args.insert(args.end(), extra.begin(), extra.end());
        // Standard input redirected from the file itself counts too.
        const Outcome o = extra.back() == "-" ? RunWithInputFile(args, work / "s.csv") : Run(args);
        EXPECT_EQ(o.status, 2) << extra[0] << ' ' << extra[1];
        EXPECT_NE(o.err.find("is the input file"), std::string::npos) << o.err;
        EXPECT_EQ(ReadFile(work / "s.csv"), kPoints);
        EXPECT_EQ(ReadFile(work / "s.txt"), "report\n");
    }
    EXPECT_EQ(Strays({"s.csv", "hard.txt", "soft.txt", "s.txt"}), std::vector<std::string>{});
}

TEST_F(Program, OutputAndReportArePublishedTogetherOrNotAtAll) {
    // The rows fit under the file size limit, the report does not: neither file is replaced.
    std::string input;
    for (int i = 0; i < 30; ++i) input += "P" + std::to_string(i) + ",116.3045,30.3030\n";
    WriteFile(work / "out.csv", "precious\n");
    WriteFile(work / "out.txt", "report\n");
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 2000;
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead of ending the program
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome o = Run({"forward", "--lo", "117", "-o", "out.csv", "--report", "out.txt"},
                          input.substr(0, 1000));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_NE(o.err.find("cannot write out.txt"), std::string::npos) << o.err;
    EXPECT_EQ(ReadFile(work / "out.csv"), "precious\n");
    EXPECT_EQ(ReadFile(work / "out.txt"), "report\n");
    EXPECT_EQ(Strays({"out.csv", "out.txt"}), std::vector<std::string>{});

    // The report cannot be renamed into place (its folder moved away during the run): the
    // output, already renamed, is put back.
    fs::create_directory(work / "rep");
    WriteFile(work / "rep" / "r.txt", "report\n");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    const pid_t pid =
        Spawn({"forward", "--lo", "117", "-o", "out.csv", "--report", "rep/r.txt"}, actions);
    close(pipeFds[0]);
    for (int i = 0; i < 500 && std::distance(fs::directory_iterator(work / "rep"),
                                             fs::directory_iterator()) < 2;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fs::rename(work / "rep", work / "moved");
    EXPECT_EQ(write(pipeFds[1], kPoints.data(), kPoints.size()),
              static_cast<ssize_t>(kPoints.size()));
    close(pipeFds[1]);
    Outcome moved;
    Wait(pid, moved);
    moved.err = ReadFile(dir / "stderr");
    EXPECT_EQ(moved.status, 2);
    EXPECT_NE(moved.err.find("cannot replace"), std::string::npos) << moved.err;
    EXPECT_EQ(ReadFile(work / "out.csv"), "precious\n");
    EXPECT_EQ(Strays({"out.csv", "out.txt", "moved"}), std::vector<std::string>{});
}

TEST_F(Program, ChineseWindowsFilesAndExcel) {
    // GB18030 as Excel saves CSV on Chinese Windows: names come out as UTF-8.
    std::string gb = "\xB5\xE3\xC3\xFB,L,B\r\n\xB1\xB1\xC3\xC5,116.3045,30.3030\r\n";
    Outcome o = Run({"forward", "--lo", "117", "--header", "--encoding", "GB18030", "--bom"}, gb);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out,
              "\xEF\xBB\xBFname,L,B,X,Y\r\n北门,116.3045,30.3030,3376626.6403,453203.4506\r\n");
    // A UTF-8 file (its byte order mark says so) stays UTF-8 whatever --encoding asks.
    o = Run({"forward", "--lo", "117", "--encoding", "gb18030", "--quiet"},
            "\xEF\xBB\xBF北门,116.3045,30.3030\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "name,L,B,X,Y\r\n北门,116.3045,30.3030,3376626.6403,453203.4506\r\n");
    EXPECT_EQ(o.err,
              "quorvel-batch: warning: <stdin>: starts with a UTF-8 byte order mark: read as "
              "UTF-8, not GB18030\n");
    o = Run({"forward", "--lo", "117", "--encoding", "gbk"}, "\xB1\xB1\xFF,117,30\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "<stdin>:1: not GBK text\n0 points, 1 rejected\n");
}

TEST_F(Program, DevicesAndPipesAreWrittenAsTheyAreNeverReplaced) {
    EXPECT_EQ(Run({"forward", "--lo", "117", "-o", "/dev/null"}, kPoints).status, 0);
    struct stat st {};
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A named pipe gets the rows through it, read on the other end.
    const fs::path fifo = work / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    const Outcome o = Run({"forward", "--lo", "117", "-o", "pipe"}, kPoints);
    reader.join();
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(received, Run({"forward", "--lo", "117"}, kPoints).out);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A report is a document, never written into a pipe or device.
    ASSERT_EQ(mkfifo((work / "r.txt").c_str(), 0600), 0);
    const Outcome r = Run({"forward", "--lo", "117", "--report", "r.txt"}, kPoints);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("r.txt is not a regular file"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_fifo(work / "r.txt"));
    EXPECT_EQ(Strays({"pipe", "r.txt"}), std::vector<std::string>{});
}

// Ends a run of `args` that waits for more input with `sig` once `ready` says its temporary
// files exist.
Outcome Interrupt(const fs::path& dir, const fs::path& work, int sig,
                  const std::vector<std::string>& args, const std::function<bool()>& ready) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    posix_spawn_file_actions_addopen(&actions, 1, (dir / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    const pid_t pid = Spawn(args, actions);
    close(pipeFds[0]);
    EXPECT_EQ(write(pipeFds[1], kPoints.data(), kPoints.size()),
              static_cast<ssize_t>(kPoints.size()));
    for (int i = 0; i < 500 && !ready(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, sig);
    close(pipeFds[1]);  // should the signal be lost, the run ends instead of waiting forever
    Outcome o;
    Wait(pid, o);
    o.err = ReadFile(dir / "stderr");
    return o;
}

// The names in `folder` that start with `prefix`, and the names in those that are folders.
int CountTemporaries(const fs::path& folder, const std::string& prefix) {
    int count = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().filename().string().rfind(prefix, 0) != 0) continue;
        ++count;
        if (e.is_directory())
            count += static_cast<int>(std::distance(fs::directory_iterator(e), {}));
    }
    return count;
}

TEST_F(Program, AnInterruptedRunLeavesTheOldFilesAndNoTemporaryOnes) {
    std::vector<std::string> reports = {"out.txt"};
    if (QUORVEL_BATCH_HAS_PDF) reports.push_back("out.pdf");  // the PDF writer's files too
    for (const std::string& report : reports) {
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            WriteFile(work / "out.csv", "precious\n");
            WriteFile(work / report, "report\n");
            const Outcome o = Interrupt(
                dir, work, sig, {"forward", "--lo", "117", "-o", "out.csv", "--report", report},
                [&] { return CountTemporaries(work, ".out.") == 2; });
            EXPECT_EQ(o.signal, sig);
            EXPECT_EQ(ReadFile(work / "out.csv"), "precious\n");
            EXPECT_EQ(ReadFile(work / report), "report\n");
            EXPECT_EQ(Strays({"out.csv", report}), std::vector<std::string>{}) << sig;
        }
        fs::remove(work / report);
    }
    // GDAL's files too, written in a folder of their own: a Shapefile's five.
    const std::vector<std::string> shapefile = {"out.shp", "out.shx", "out.dbf", "out.prj",
                                                "out.cpg"};
    fs::remove(work / "out.csv");
    for (int sig : {SIGINT, SIGTERM}) {
        for (const std::string& f : shapefile) WriteFile(work / f, "precious\n");
        const Outcome o = Interrupt(dir, work, sig,
                                    {"forward", "--lo", "117", "--format", "shp", "-o", "out.shp"},
                                    [&] { return CountTemporaries(work, ".out.") == 11; });
        EXPECT_EQ(o.signal, sig) << o.err;
        for (const std::string& f : shapefile) EXPECT_EQ(ReadFile(work / f), "precious\n") << f;
        EXPECT_EQ(Strays({"out.shp", "out.shx", "out.dbf", "out.prj", "out.cpg"}),
                  std::vector<std::string>{});
    }
}

TEST_F(Program, TextReportIsTheLayoutOfThePointsWritten) {
    const std::string input = "P1,116.3045,30.3030\nbad line\nP2,117.2930,30.3030\n";
    const Outcome o =
        Run({"forward", "--lo", "117", "-o", "out.csv", "--report", "out.txt"}, input);
    EXPECT_EQ(o.status, 1);

    ReportData data;
    data.mode = Computation::Forward;
    data.loText = "117";
    ReportSpool spool;
    for (auto [l, b] : {std::pair{"116.3045", "30.3030"}, {"117.2930", "30.3030"}}) {
        const std::vector<std::string_view> args = {"forward", "--lo", "117"};
        StringSource one(std::string("p,") + l + "," + b + "\n");
        StringSink sink;
        OutputBuffer out(sink);
        std::ostringstream err;
        ProcessPoints(ParseArguments(args, false), one, "x", out, err, &spool);
    }
    data.rows = spool.ReadAll();
    const std::string expected = RenderReportText(BuildReport(ToReportInput(data)));
    EXPECT_NE(expected.find("116.30450000"), std::string::npos);
    EXPECT_EQ(ReadFile(work / "out.txt"), expected);

    // A zone report, to standard output's side.
    const Outcome z =
        Run({"zone", "--lo", "117", "--ls", "120", "--report", "z.TXT"}, "1,3380000,612345.678\n");
    EXPECT_EQ(z.status, 0);
    EXPECT_NE(ReadFile(work / "z.TXT").find("Lx= 120"), std::string::npos);
}

TEST_F(Program, PdfReport) {
    WriteFile(work / "r.pdf", "old report\n");
    chmod((work / "r.pdf").c_str(), 0640);
    const Outcome o =
        Run({"inverse", "--lo", "117", "--report", "r.pdf"}, "a,3380000,612345.678\n");
#if QUORVEL_BATCH_HAS_PDF
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "1 point, 0 rejected\n");
    EXPECT_EQ(ReadFile(work / "r.pdf").substr(0, 5), "%PDF-");
    struct stat st {};
    stat((work / "r.pdf").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // the mode of the report it replaced
    EXPECT_NE(o.out.find("118.1014280635"), std::string::npos);
#else
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("no PDF reports"), std::string::npos) << o.err;
    EXPECT_EQ(ReadFile(work / "r.pdf"), "old report\n");
#endif
    EXPECT_EQ(Strays({"r.pdf"}), std::vector<std::string>{});
}

TEST_F(Program, VersionAndHelp) {
    Outcome o = Run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string("quorvel-batch ") + QUORVEL_VERSION_TEXT + "\n");
    o = Run({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("--report FILE"), std::string::npos);
    EXPECT_NE(o.out.find(std::to_string(LineReader::kMaxLine) + " bytes"), std::string::npos);
    EXPECT_EQ(o.err, "");
    // For the completion of --ellipsoid.
    o = Run({"--list-ellipsoids"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "krassovsky\nxian80\ncgcs2000\nwgs84\n");
}

// PROJ's cct run on `lines` ("x y z t"), its output lines as numbers; none without cct.
std::vector<std::vector<double>> Cct(const std::string& args, const std::string& lines,
                                     const fs::path& dir, int decimals = 9) {
    WriteFile(dir / "cct.in", lines);
    std::vector<std::vector<double>> rows;
    FILE* pipe = popen(("cct -d " + std::to_string(decimals) + " " + args + " " +
                        (dir / "cct.in").string() + " 2>/dev/null")
                           .c_str(),
                       "r");
    if (pipe == nullptr) return rows;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream in(line);
        std::vector<double>& row = rows.emplace_back();
        for (double v; in >> v;) row.push_back(v);
    }
    pclose(pipe);
    return rows;
}

// Exact forward on CGCS2000 in 3 and 6 deg zones, the zone number in front, is PROJ's tmerc
// with +x_0 = n 1e6 + 500000, zone borders and both sides of 0° and 180° included; the inverse
// reads the zone back and returns the points (modulo 360°), as PROJ's inverse does.
TEST_F(Program, ZonesAndPrefixesAgreeWithProjAndRoundTrip) {
    if (std::system("cct --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no cct (proj-bin)";
    const std::string tm = "+proj=tmerc +a=6378137 +rf=298.257222101 +k_0=1 ";
    // Packed: 114 and 120 begin 6 deg zones, 115.3 (115 deg 30 min), 118.3 and 1.3 begin 3 deg
    // zones; 359.3 lies in 3 deg zone 120, whose central meridian is 360 deg; east of 0 deg, 3 deg
    // zone 0 is written as 120 too.
    const std::vector<std::pair<double, double>> points = {
        {114, 30},   {120, 40.3},   {115.3, 25},       {118.3, 45.1234567},
        {1.3, 51.3}, {359.3, 51.3}, {117.2345, -33.5}, {0, 30},
        {1, 30},     {-1, 30},      {-1.3, 30},        {179, 30},
        {180, 30},   {-179, 30}};
    const auto turns = [](double degrees) { return std::remainder(degrees, 360.0); };
    std::string input;
    for (const auto& [l, b] : points)
        input += "P," + ShortestText(l) + "," + ShortestText(b) + "\n";
    for (const int width : {3, 6}) {
        const std::string w = std::to_string(width);
        const std::vector<std::string> exact = {"--method", "exact", "--ellipsoid", "cgcs2000"};
        std::vector<std::string> args = {"forward", "--zone", w, "--zone-prefix"};
        args.insert(args.end(), exact.begin(), exact.end());
        const Outcome f = Run(args, input);
        ASSERT_EQ(f.status, 0) << f.err;
        std::istringstream rows(f.out);
        std::string row;
        std::getline(rows, row);
        EXPECT_EQ(row, "name,L,B,X,Y\r");
        std::string plane;
        for (const auto& [l, b] : points) {
            ASSERT_TRUE(std::getline(rows, row));
            const double L = DecodePackedAngle(l), B = DecodePackedAngle(b);
            const int n = width == 3 ? static_cast<int>(std::floor(L / 3 + 0.5))
                                     : static_cast<int>(std::floor(L / 6)) + 1;
            const double lo = width == 3 ? 3.0 * n : 6.0 * n - 3;
            const int zones = 360 / width;  // numbered from 1: zone 0 is the last one
            const int prefix = ((n - 1) % zones + zones) % zones + 1;
            const auto proj = Cct(
                tm + "+lon_0=" + ShortestText(lo) + " +x_0=" + std::to_string(prefix) + "500000",
                ShortestText(L) + " " + ShortestText(B) + " 0 0\n", dir);
            ASSERT_EQ(proj.size(), 1u);
            const std::size_t c1 = row.find(',', row.find(',', 2) + 1), c2 = row.find(',', c1 + 1);
            const double X = std::stod(row.substr(c1 + 1)), Y = std::stod(row.substr(c2 + 1));
            EXPECT_NEAR(X, proj[0][1], 0.000051) << row;
            EXPECT_NEAR(Y, proj[0][0], 0.000051) << row;
            plane += "P," + row.substr(c1 + 1, row.size() - c1 - 2) + "\n";

            const auto back =
                Cct("-I " + tm + "+lon_0=" + ShortestText(lo) + " +x_0=500000",
                    ShortestText(Y - prefix * 1e6) + " " + ShortestText(X) + " 0 0\n", dir);
            ASSERT_EQ(back.size(), 1u);
            std::vector<std::string> inv = {"inverse", "--zone", w};
            inv.insert(inv.end(), exact.begin(), exact.end());
            const Outcome i = Run(inv, "P," + row.substr(c1 + 1, row.size() - c1 - 2) + "\n");
            ASSERT_EQ(i.status, 0) << i.err;
            const std::size_t at = i.out.find("\r\n") + 2;
            const std::string result = i.out.substr(at, i.out.size() - at - 2);
            const std::size_t r1 = result.rfind(','), r0 = result.rfind(',', r1 - 1);
            const double LP = std::stod(result.substr(r0 + 1)),
                         BP = std::stod(result.substr(r1 + 1));
            EXPECT_NEAR(turns(DecodePackedAngle(LP) - back[0][0]), 0, 1e-9) << result;
            EXPECT_NEAR(DecodePackedAngle(BP), back[0][1], 1e-9) << result;
            EXPECT_NEAR(turns(DecodePackedAngle(LP) - L), 0, 1e-8)
                << result;  // 0.05 mm of rounding
            EXPECT_NEAR(DecodePackedAngle(BP), B, 1e-8) << result;
        }
    }
}

// A layer of a file written through GDAL, as GDAL reads it back.
struct GisLayer {
    std::string name;
    std::string epsg;        // the layer's EPSG code; empty for none
    std::string geographic;  // that of its geographic system
    double meridian = std::nan("");
    struct Feature {
        double x = 0, y = 0;
        std::map<std::string, std::string> fields;  // those set
        std::string style;
    };
    std::vector<Feature> features;
};

std::vector<GisLayer> ReadGis(const fs::path& path) {
    GDALAllRegister();
    std::vector<GisLayer> layers;
    GDALDatasetH ds =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (ds == nullptr) {
        ADD_FAILURE() << "GDAL cannot open " << path;
        return layers;
    }
    for (int i = 0; i < GDALDatasetGetLayerCount(ds); ++i) {
        OGRLayerH l = GDALDatasetGetLayer(ds, i);
        GisLayer& layer = layers.emplace_back();
        layer.name = OGR_L_GetName(l);
        if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(l)) {
            const char* code = OSRGetAuthorityCode(srs, nullptr);
            layer.epsg = code != nullptr ? code : "";
            const char* geographic = OSRGetAuthorityCode(srs, "GEOGCS");
            layer.geographic = geographic != nullptr ? geographic : "";
            if (OSRIsProjected(srs)) {
                layer.meridian = OSRGetProjParm(srs, SRS_PP_CENTRAL_MERIDIAN, NAN, nullptr);
            }
        }
        OGR_L_ResetReading(l);
        while (OGRFeatureH f = OGR_L_GetNextFeature(l)) {
            GisLayer::Feature& feature = layer.features.emplace_back();
            OGRGeometryH g = OGR_F_GetGeometryRef(f);
            feature.x = OGR_G_GetX(g, 0);
            feature.y = OGR_G_GetY(g, 0);
            for (int k = 0; k < OGR_F_GetFieldCount(f); ++k) {
                if (!OGR_F_IsFieldSetAndNotNull(f, k)) continue;
                feature.fields[OGR_Fld_GetNameRef(OGR_F_GetFieldDefnRef(f, k))] =
                    OGR_F_GetFieldAsString(f, k);
            }
            if (const char* style = OGR_F_GetStyleString(f)) feature.style = style;
            OGR_F_Destroy(f);
        }
    }
    GDALClose(ds);
    return layers;
}

using quorvel::testing::Records;

// The CASS coordinate file: name,code,Y,X,H with the easting first, code and H from the
// columns the header names so, in GB18030 whatever the input's encoding (CASS on Chinese Windows
// reads nothing else); a separator in a text would shift CASS's fields, so it stops the run.
TEST_F(Program, CassCoordinateFile) {
    const std::string input =
        "点名,L,B,编码,H\nP1,116.3045,30.3030,JD,12.50\n山顶,117.2930,30.3030,,\n";
    const auto csv = Records(Run({"forward", "--lo", "117", "--header"}, input).out);
    ASSERT_EQ(csv.size(), 3u);
    // 山顶 in GB18030; a point without a height has none in the file either, not a 0.
    const std::string rows = "P1,JD," + csv[1][4] + "," + csv[1][3] +
                             ",12.5\r\n\xC9\xBD\xB6\xA5,," + csv[2][4] + "," + csv[2][3] + ",\r\n";
    const Outcome dat = Run({"forward", "--lo", "117", "--header", "--format", "dat"}, input);
    EXPECT_EQ(dat.status, 0) << dat.err;
    EXPECT_EQ(dat.out, rows);
    // The same bytes from the same points in GB18030; UTF-8 only when asked.
    const Outcome gb =
        Run({"forward", "--lo", "117", "--header", "--encoding", "gb18030", "--format", "dat"},
            "\xB5\xE3\xC3\xFB,L,B,\xB1\xE0\xC2\xEB,H\nP1,116.3045,30.3030,JD,12.50\n"
            "\xC9\xBD\xB6\xA5,117.2930,30.3030,,\n");
    EXPECT_EQ(gb.out, rows);
    const Outcome utf8 =
        Run({"forward", "--lo", "117", "--header", "--format", "dat", "--dat-encoding", "UTF-8"},
            input);
    EXPECT_EQ(utf8.out, "P1,JD," + csv[1][4] + "," + csv[1][3] + ",12.5\r\n山顶,," + csv[2][4] +
                            "," + csv[2][3] + ",\r\n");
    // Without a header no column names them.
    EXPECT_EQ(Run({"forward", "--lo", "117", "--format=dat"}, "P1,116.3045,30.3030,JD,12.5\n").out,
              "P1,," + csv[1][4] + "," + csv[1][3] + ",\r\n");
    // A zone change writes its plane results the same way.
    const auto zone =
        Records(Run({"zone", "--lo", "117", "--ls", "120"}, "A,3380000,612345.678\n").out);
    EXPECT_EQ(
        Run({"zone", "--lo", "117", "--ls", "120", "--format", "dat"}, "A,3380000,612345.678\n")
            .out,
        "A,," + zone[1][4] + "," + zone[1][3] + ",\r\n");

    // Each refusal says what the text holds; the old file stays.
    WriteFile(work / "out.dat", "old\r\n");
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"\"Hill, north\",117.2930,30.3030\n", "the name \"Hill, north\" holds a comma"},
        {"\"Hill\rnorth\",117.2930,30.3030\n",
         "the name \"Hill\\x0dnorth\" holds a carriage return"},
        {"P1,117.2930,30.3030,\"J\rD\"\n", "the code \"J\\x0dD\" holds a carriage return"},
        {"P1,117.2930,30.3030,JD,high\n", "the H \"high\" is not a number"},
        // A private-use character of GB18030-2000 that today's GB18030 maps elsewhere.
        {"P1,117.2930,30.3030,J\xEE\x9E\x8D\n",
         "the code \"J\xEE\x9E\x8D\" holds U+E78D, which "
         "GB18030 cannot hold"},
    };
    for (const auto& [line, why] : bad) {
        const Outcome o =
            Run({"forward", "--lo", "117", "--header", "--format", "dat", "-o", "out.dat"},
                "name,L,B,code,H\n" + line);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find("line 2: " + why), std::string::npos) << o.err;
        EXPECT_EQ(ReadFile(work / "out.dat"), "old\r\n");
        EXPECT_EQ(Strays({"out.dat"}), std::vector<std::string>{});
    }
    // That character is written in UTF-8 when asked.
    EXPECT_EQ(Run({"forward", "--lo", "117", "--format", "dat", "--dat-encoding", "utf-8"},
                  "P1,116.3045,30.3030\n\xEE\x9E\x8D,116.3045,30.3030\n")
                  .status,
              0);
}

// GeoPackage and Shapefile layers: every point in order, every column, the coordinate system
// by its EPSG code where there is one, else written out.
TEST_F(Program, GisLayersHoldEveryPointAndColumnInTheirCoordinateSystem) {
    const std::string input =
        "name,L,B,description_long\nP1,116.3045,30.3030,水塔\nP2,117.2930,30.3030,\n"
        "P3,117.1,35.2,c\n";
    struct Case {
        std::vector<std::string> args;
        std::string file, layer, epsg, geographic;
        double meridian;
        std::string descriptionField;
    };
    const Case cases[] = {
        // Beijing 1954, 3° zone 39 with the number in front.
        {{"forward", "--zone", "3", "--zone-prefix"},
         "z.gpkg",
         "forward_zone39",
         "2415",
         "4214",
         117,
         "description_long"},
        // CGCS2000, 6° zone 20 with the number in front; a Shapefile's names hold 10 bytes.
        {{"forward", "--zone", "6", "--zone-prefix", "--ellipsoid", "cgcs2000", "--method",
          "exact"},
         "z.shp",
         "z",
         "4498",
         "4490",
         117,
         "descriptio"},
        // A central meridian of 117.5°, which no EPSG system has: written out on Beijing 1954.
        {{"forward", "--lo", "117.3"}, "m.gpkg", "forward", "", "4214", 117.5, "description_long"},
        // The inverse: geographic coordinates on Xi'an 1980.
        {{"inverse", "--lo", "117", "--ellipsoid", "xian80", "--method", "exact"},
         "g.gpkg",
         "inverse",
         "4610",
         "4610",
         NAN,
         "description_long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string in = input;
        if (c.args[0] == "inverse") {
            in = "name,X,Y,description_long\nP1,3376626.6403,453203.4506,水塔\n"
                 "P2,3376628.3754,547196.5246,\nP3,3897000,511000,c\n";
        }
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--header", "--full"});
        const auto csv = Records(Run(args, in).out);
        args.insert(args.end(), {"--format", c.file.substr(2), "-o", c.file});
        const Outcome o = Run(args, in);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err.find("description_long → descriptio") != std::string::npos,
                  c.descriptionField == "descriptio")
            << o.err;
        const std::vector<GisLayer> layers = ReadGis(work / c.file);
        ASSERT_EQ(layers.size(), 1u);
        const GisLayer& layer = layers[0];
        EXPECT_EQ(layer.name, c.layer);
        EXPECT_EQ(layer.epsg, c.epsg);
        EXPECT_EQ(layer.geographic, c.geographic);
        if (!std::isnan(c.meridian)) {
            EXPECT_EQ(layer.meridian, c.meridian);
        }
        ASSERT_EQ(layer.features.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            const std::vector<std::string>& row = csv[i + 1];
            const GisLayer::Feature& f = layer.features[i];
            if (c.args[0] == "inverse") {  // L, B from packed degrees
                EXPECT_NEAR(f.x, DecodePackedAngle(std::stod(row[3])), 1e-9);  // 0.1 mm
                EXPECT_NEAR(f.y, DecodePackedAngle(std::stod(row[4])), 1e-9);
            } else {  // easting, northing
                EXPECT_NEAR(f.x, std::stod(row[4]), 1e-4);
                EXPECT_NEAR(f.y, std::stod(row[3]), 1e-4);
            }
            EXPECT_EQ(f.fields.at("name"), row[0]);
            for (std::size_t k = 1; k <= 4; ++k) {
                // GDAL gives numbers back to 15 digits: angles to 1e-12°, metres to 0.1 mm.
                const double v = std::stod(row[k]);
                EXPECT_NEAR(std::stod(f.fields.at(csv[0][k])), v, std::fabs(v) < 1000 ? 1e-9 : 1e-4)
                    << csv[0][k];
            }
            EXPECT_EQ(f.fields.count(c.descriptionField) ? f.fields.at(c.descriptionField) : "",
                      row[5]);
        }
    }
}

// EPSG's codes of Quorvel's table are the Gauss-Krüger systems they stand for: datum,
// ellipsoid, central meridian and false easting, as GDAL knows them.
TEST(LayerCrs, EveryEpsgCodeIsTheSystemItNames) {
    struct Datum {
        Ellipsoid ellipsoid;
        std::string name;
    };
    const Datum datums[] = {
        {Krassovsky(), "Beijing 1954 / "}, {Xian80(), "Xian 1980 / "}, {Cgcs2000(), "CGCS2000 / "}};
    int checked = 0;
    for (const Datum& d : datums) {
        for (const ZoneWidth width : {ZoneWidth::Three, ZoneWidth::Six}) {
            const int first = width == ZoneWidth::Three ? 25 : 13;
            const int last = width == ZoneWidth::Three ? 45 : 23;
            for (const bool prefix : {true, false}) {
                for (int zone = first; zone <= last; ++zone) {
                    Job job;
                    job.geodesy.ellipsoid = d.ellipsoid;
                    job.geodesy.zone = width;
                    job.geodesy.zonePrefix = prefix;
                    const GdalCrs crs = LayerCrs(job, zone);
                    ASSERT_NE(crs.epsg, 0) << d.name << zone;
                    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
                    ASSERT_EQ(OSRImportFromEPSG(srs, crs.epsg), OGRERR_NONE) << crs.epsg;
                    const std::string name = OSRGetAttrValue(srs, "PROJCS", 0);
                    EXPECT_EQ(name.rfind(d.name, 0), 0u) << crs.epsg << " " << name;
                    EXPECT_NE(name.find(width == ZoneWidth::Three ? "3-degree" : "Gauss-Kruger"),
                              std::string::npos);
                    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_CENTRAL_MERIDIAN, 0, nullptr),
                              CentralMeridianOf(width, zone))
                        << crs.epsg;
                    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_FALSE_EASTING, 0, nullptr),
                              (prefix ? zone * 1e6 : 0) + 500000)
                        << crs.epsg;
                    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_SCALE_FACTOR, 0, nullptr), 1);
                    EXPECT_EQ(OSRGetSemiMajor(srs, nullptr), d.ellipsoid.a);
                    EXPECT_NEAR(OSRGetInvFlattening(srs, nullptr), d.ellipsoid.InverseFlattening(),
                                1e-9);
                    OSRDestroySpatialReference(srs);
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 3 * 2 * (21 + 11));
    // Beyond China's zones, or off the defaults, the system is written out.
    Job job;
    job.meridians.lo = 72;
    EXPECT_EQ(LayerCrs(job, -1).epsg, 0);
    job.meridians.lo = 117;
    job.geodesy.k0 = 0.9996;
    EXPECT_EQ(LayerCrs(job, -1).epsg, 0);
}

// KML is WGS 84: CGCS2000 as it is (they differ by centimetres), Beijing 1954 through the
// parameter file; both as PROJ's cct computes them.
TEST_F(Program, KmlPlacemarksAtWgs84LongitudeAndLatitude) {
    if (std::system("cct --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no cct (proj-bin)";
    const std::string plane = "A,3380000,612345.678\nB,2500000,400000\n";
    Outcome o = Run({"zone", "--lo", "117", "--ls", "120", "--ellipsoid", "cgcs2000", "--method",
                     "exact", "--format", "kml", "-o", "z.kml"},
                    plane);
    ASSERT_EQ(o.status, 0) << o.err;
    std::vector<GisLayer> layers = ReadGis(work / "z.kml");
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].features.size(), 2u);
    const auto lb = Cct("-I +proj=tmerc +a=6378137 +rf=298.257222101 +k_0=1 +lon_0=117 +x_0=500000",
                        "612345.678 3380000 0 0\n400000 2500000 0 0\n", dir, 12);
    ASSERT_EQ(lb.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(layers[0].features[i].fields.at("Name"), i == 0 ? "A" : "B");
        EXPECT_NEAR(layers[0].features[i].x, lb[i][0], 1e-9);
        EXPECT_NEAR(layers[0].features[i].y, lb[i][1], 1e-9);
    }

    WriteFile(work / "p.txt",
              "model = 7\nconvention = coordinate-frame\nfrom = geodetic:krassovsky\nto = "
              "geodetic:cgcs2000\nheights = no\n"
              "dx = -15.4\ndy = 140.2\ndz = 85.1\nrx = 0.5\nry = -1.2\nrz = 2.1\nds = 3.2\n");
    o = Run({"forward", "--lo", "117", "--format", "kml", "-p", "p.txt", "-o", "b.kml"}, kPoints);
    ASSERT_EQ(o.status, 0) << o.err;
    layers = ReadGis(work / "b.kml");
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].features.size(), 2u);
    const ParameterFile p = ReadParameterFile(ReadFile(work / "p.txt"));
    const auto wgs = Cct(ProjPipeline(p.from, p.to, p.parameters),
                         ShortestText(DecodePackedAngle(116.3045)) + " " +
                             ShortestText(DecodePackedAngle(30.303)) + " 0 0\n" +
                             ShortestText(DecodePackedAngle(117.293)) + " " +
                             ShortestText(DecodePackedAngle(30.303)) + " 0 0\n",
                         dir, 12);
    ASSERT_EQ(wgs.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NEAR(layers[0].features[i].x, wgs[i][0], 1e-9);
        EXPECT_NEAR(layers[0].features[i].y, wgs[i][1], 1e-9);
    }
    // The parameters must start from the points' datum.
    o = Run({"forward", "--lo", "117.3", "--ellipsoid", "cgcs2000", "--method", "exact", "--format",
             "kml", "-p", "p.txt", "-o", "c.kml"},
            kPoints);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("transforms from krassovsky, and the points are on cgcs2000"),
              std::string::npos)
        << o.err;
}

// The drawing: per point a POINT and the name as text beside it, on the computation's layer,
// the easting as the drawing's x.
TEST_F(Program, DxfDrawingOfPointsAndNames) {
    const std::string input = "P1,116.3045,30.3030\n山顶,117.2930,30.3030\n";
    const auto csv = Records(Run({"forward", "--lo", "117", "--full"}, input).out);
    const Outcome o = Run({"forward", "--lo", "117", "--format", "dxf", "-o", "d.dxf"}, input);
    ASSERT_EQ(o.status, 0) << o.err;
    const std::vector<GisLayer> layers = ReadGis(work / "d.dxf");
    ASSERT_EQ(layers.size(), 1u);
    ASSERT_EQ(layers[0].features.size(), 4u);
    for (std::size_t i = 0; i < 2; ++i) {
        const GisLayer::Feature& point = layers[0].features[2 * i];
        const GisLayer::Feature& text = layers[0].features[2 * i + 1];
        EXPECT_EQ(point.fields.at("Layer"), "forward");
        EXPECT_EQ(point.fields.at("SubClasses"), "AcDbEntity:AcDbPoint");
        EXPECT_NEAR(point.x, std::stod(csv[i + 1][4]), 1e-4);
        EXPECT_NEAR(point.y, std::stod(csv[i + 1][3]), 1e-4);
        EXPECT_EQ(text.fields.at("Text"), csv[i + 1][0]);
        EXPECT_NEAR(text.y, point.y, 1e-4);
    }
}

// What no format can do: overwrite the input (a Shapefile's .dbf included), KML from Beijing
// 1954 without a parameter file, a Shapefile over two zones; none leaves a file behind.
TEST_F(Program, FormatsRefuseWhatTheyCannotWrite) {
    WriteFile(work / "in.gpkg", kPoints);
    WriteFile(work / "in.dbf", kPoints);
    for (const auto& [format, output, input] :
         {std::tuple{"gpkg", "in.gpkg", "in.gpkg"}, {"shp", "in.shp", "in.dbf"}}) {
        const Outcome o = Run({"forward", "--lo", "117", "--format", format, "-o", output, input});
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find("is the input file " + std::string(input)), std::string::npos)
            << o.err;
        EXPECT_EQ(ReadFile(work / input), kPoints);
    }
    Outcome o = Run({"forward", "--lo", "117", "--format", "kml", "-o", "b.kml"}, kPoints);
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("points on Beijing 1954 need a datum transformation"), std::string::npos);
    WriteFile(work / "z.shp", "old\n");
    o = Run({"forward", "--zone", "3", "--format", "shp", "-o", "z.shp"},
            "A,116.3045,30.3030\nB,118.4,30.3030\n");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("the points lie in zones 39 and 40"), std::string::npos) << o.err;
    EXPECT_EQ(ReadFile(work / "z.shp"), "old\n");
    EXPECT_EQ(Strays({"in.gpkg", "in.dbf", "z.shp"}), std::vector<std::string>{});
}

TEST_F(Program, ForwardReferenceVectors) {
    ExpectFixtureThroughProgram("forward.csv", "forward", "L_text", "B_text", "X_text", "Y_text");
}

TEST_F(Program, InverseReferenceVectors) {
    ExpectFixtureThroughProgram("inverse.csv", "inverse", "X_text", "Y_text", "LP_text", "BP_text");
}

TEST_F(Program, ZoneReferenceVectors) {
    ExpectFixtureThroughProgram("zone.csv", "zone", "X1_text", "Y1_text", "X2_text", "Y2_text");
}

}  // namespace
}  // namespace quorvel::cli
