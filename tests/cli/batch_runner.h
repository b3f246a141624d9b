#pragma once

// quorvel-batch (or another program) run by the tests as a person's shell would run it, with
// default signal dispositions whatever the test runner ignores, and the files it leaves read back.
#include <spawn.h>
#include <sys/types.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace quorvel::cli {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;  // exit status, or -1 when ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& text);

// A CSV without quotes (CR LF or LF) as rows of cells named by its first line.
std::vector<std::map<std::string, std::string>> NamedRows(const std::string& csv);

// The runner's environment without its language, and `language` (such as "LANG=C").
std::vector<std::string> EnvironmentIn(std::initializer_list<std::string> language);

// Spawns `argv` (quorvel-batch when argv[0] is empty, else found on PATH) with `actions`, which
// it destroys, in `env` (the runner's environment when empty); the pid, 0 when it could not.
pid_t SpawnProgram(std::vector<std::string> argv, posix_spawn_file_actions_t& actions,
                   const std::vector<std::string>& env = {});

// quorvel-batch with `args` as SpawnProgram spawns it.
pid_t Spawn(const std::vector<std::string>& args, posix_spawn_file_actions_t& actions,
            const std::vector<std::string>& env = {});

// Waits for `pid` and puts how it ended in `o`.
void Wait(pid_t pid, Outcome& o);

// quorvel-batch with `args` in `cwd`, standard input from `in`, standard output and error into
// `out` and `err` (created or emptied); both read back, `out` only when it is a regular file
// (not /dev/full or /dev/null).
Outcome RunBatch(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& in,
                 const fs::path& out, const fs::path& err,
                 const std::vector<std::string>& env = {});

}  // namespace quorvel::cli
