#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::engine {

// The one way the engine says no to what a user asked for: a job's settings that do not go
// together, a value out of range, a format that cannot hold the results. Checks return
// std::optional<JobRefusal>, empty when the job may run, and never throw for it; exceptions are
// for what fails outside the program's control (IoError). The command line shows the words and,
// after a mistyped command, its usage text, and exits with status 2; the window shows the words
// beside the setting.
struct JobRefusal {
    std::string words;  // in the language of the messages
    // A mistyped command (false: a job well formed that its output cannot hold, such as inverse
    // results as a drawing, said without the usage text).
    bool usage = true;

    bool operator==(const JobRefusal&) const = default;
};

// A refusal of either kind, for the checks' returns.
inline std::optional<JobRefusal> Refuse(std::string words, bool usage = true) {
    return JobRefusal{std::move(words), usage};
}

// A value as the refusals quote it: "117.6".
inline std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

}  // namespace quorvel::engine
