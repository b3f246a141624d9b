#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "engine/run/refusal.h"

namespace quorvel::cli {

// The pieces of a command line that every mode of quorvel-batch reads alike. Errors are
// UsageError (cli/command_line.h), thrown inside the reading of a command line and caught at
// its top. Here, not in src/cli, while the datum command line that reads them too lives in the
// engine (cli/command_line.h).

// The first of `names` among the arguments before any "--", such as --help: then nothing else is
// read.
std::optional<std::string_view> FindBeforeEnd(std::span<const std::string_view> args,
                                              std::initializer_list<std::string_view> names);

// A command line read option by option; the positional arguments ("-", those not starting with
// '-', and all after "--") are gathered on the way.
class ArgumentReader {
  public:
    explicit ArgumentReader(std::span<const std::string_view> args) : args_(args) {}

    // Moves to the next option; false at the end.
    bool Next();
    std::string_view Option() const { return args_[at_]; }
    const std::vector<std::string_view>& Positional() const { return positional_; }

    // The value of the option when it is `name`: "--lo 117", "--lo=117", "-o FILE" or "-oFILE".
    std::optional<std::string_view> Value(std::string_view name);
    // Value into `slot`, which must still be empty; false for another option.
    bool Valued(std::string_view name, std::optional<std::string>& slot);
    // Sets the option's `flag`, which must still be false; nullptr: an unknown option.
    void Flag(bool* flag) const;

  private:
    std::span<const std::string_view> args_;
    std::size_t at_ = 0;    // the option
    std::size_t next_ = 0;  // the argument after it, or after its value
    bool optionsEnded_ = false;
    std::vector<std::string_view> positional_;
};

// The input file among the positional arguments after the mode, if any, into `input`.
void ReadInputFile(std::span<const std::string_view> positional, std::string& input);

// -o as typed: the file, or empty for standard output ("-").
std::string ReadOutputFile(const std::string& typed);

// A job's check as the command line says it: a refusal thrown as JobRefused (without the usage
// text) or UsageError.
void ThrowIfRefused(const std::optional<engine::JobRefusal>& refusal);

// --sheet's value: a sheet's name, not empty. Throws UsageError.
std::string ReadSheet(const std::string& text);

// The iconv name of --encoding's value (engine::ReadEncoding); throws UsageError.
std::string ReadEncoding(const std::string& text);

}  // namespace quorvel::cli
