#include "cli/batch_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

extern char** environ;

namespace quorvel::cli {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> EnvironmentIn(std::initializer_list<std::string> language) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view v = *e;
        if (!v.starts_with("LANG") && !v.starts_with("LC_")) env.emplace_back(v);
    }
    env.insert(env.end(), language);
    return env;
}

pid_t SpawnProgram(std::vector<std::string> argv, posix_spawn_file_actions_t& actions,
                   const std::vector<std::string>& env) {
    if (argv.front().empty()) argv.front() = QUORVEL_BATCH_PROGRAM;
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&signals, sig);
    posix_spawnattr_setsigdefault(&attr, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attr, &signals);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawnp(&pid, args[0], &actions, &attr, args.data(),
                           env.empty() ? environ : envp.data()),
              0)
        << args[0];
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

pid_t Spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t& actions,
            const std::vector<std::string>& env) {
    std::vector<std::string> argv = {""};
    argv.insert(argv.end(), args.begin(), args.end());
    return SpawnProgram(argv, actions, env);
}

void Wait(pid_t pid, Outcome& o) {
    if (pid <= 0) return;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
}

Outcome RunBatch(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& in,
                 const fs::path& out, const fs::path& err, const std::vector<std::string>& env) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    Outcome o;
    Wait(Spawn(args, actions, env), o);
    if (fs::is_regular_file(out)) o.out = ReadFile(out);
    o.err = ReadFile(err);
    return o;
}

std::vector<std::map<std::string, std::string>> NamedRows(const std::string& csv) {
    std::vector<std::map<std::string, std::string>> rows;
    std::istringstream in(csv);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.emplace_back();
        if (names.empty()) {
            names = cells;
            continue;
        }
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < names.size() && i < cells.size(); ++i) row[names[i]] = cells[i];
    }
    return rows;
}

}  // namespace quorvel::cli
