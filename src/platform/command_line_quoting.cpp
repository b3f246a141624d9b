#include "platform/command_line.h"

namespace quorvel::platform {

std::string QuotedForWindows(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal except before a quote, where each pair stands for one.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    // Before the closing quote, too.
    quoted.append(2 * backslashes, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace quorvel::platform
