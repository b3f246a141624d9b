#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

// The program's arguments in UTF-8, its name first: argv as it is on Linux; on Windows, where
// argv is in the ANSI code page and loses Chinese, the wide command line.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// One argument (UTF-8) as Windows' command line carries it, so that the C runtime of the program
// started reads it back as it is: quoted when empty or holding blanks or quotes, with quotes and
// the backslashes before them escaped.
std::string QuotedForWindows(std::string_view argument);

}  // namespace quorvel::platform
