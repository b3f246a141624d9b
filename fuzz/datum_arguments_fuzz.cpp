// The arguments of `fit` and `transform`: any list of arguments either reads or is refused with
// a UsageError, never anything else.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "cli/datum_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The arguments are separated by NUL bytes, as in /proc/PID/cmdline.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\0', start);
        if (end == std::string_view::npos) end = input.size();
        args.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    quorvel::cli::IsDatumCommand(args);
    try {
        quorvel::cli::ParseDatumArguments(args);
    } catch (const quorvel::cli::UsageError&) {
    }
    return 0;
}
