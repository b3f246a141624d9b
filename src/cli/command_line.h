#pragma once

// What every command of quorvel-batch runs in, and how it says that a command line cannot run.

#include <functional>
#include <iosfwd>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel::engine {
class ReportLines;
}  // namespace quorvel::engine

namespace quorvel::cli {

// A command line that cannot be run as given: the message is shown with the usage, exit status
// 2. Thrown only inside the reading of a command line and caught at its top; the checks of a job
// return a JobRefusal (engine/run/refusal.h) instead.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A command well formed but asking what its output cannot hold: the reason alone, without the
// usage, exit status 2. Wherever a UsageError is caught this is one too.
class JobRefused : public UsageError {
  public:
    using UsageError::UsageError;
};

using engine::ReportLines;

// Writes a PDF report of `lines` into the open file `fd`; returns false with `error` set when
// it cannot.
using PdfWriter = std::function<bool(ReportLines& lines, int fd, std::string& error)>;

// What a command runs in: its standard input and output, its streams, its PDF writer.
struct Environment {
    int stdinFd = 0;
    int stdoutFd = 1;
    std::ostream& out;  // --help and --version
    std::ostream& err;
    bool pdfReports = false;  // whether this build has a PDF writer
    // Loads it when a PDF report is asked for; an empty writer and `error` when it cannot.
    std::function<PdfWriter(std::string& error)> loadPdfWriter;
};

// The mode word of a command line: the first argument that is neither an option nor the value of
// one of `valued`, or the word after "--"; empty when there is none.
std::string_view ModeWord(std::span<const std::string_view> args,
                          std::span<const std::string_view> valued);

// --help, -h or --version before "--" answered on env.out: whether one was.
bool AnswerHelpOrVersion(std::span<const std::string_view> args, const Environment& env);

std::string UsageText();  // the synopsis shown with a usage error, in the messages' language
std::string HelpText();   // --help: the synopsis and the options, in English

}  // namespace quorvel::cli
