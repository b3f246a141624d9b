// quorvel-batch: the window's three computations on files of points. Built twice: as
// quorvel-batch, and with the PDF writer as quorvel-batch-pdf (QUORVEL_BATCH_PDF).
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "cli/pdf_loader.h"
#include "core/messages.h"
#include "platform/command_line.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Binary, and Chinese on a Windows console, before the first byte either way.
    quorvel::platform::PrepareStandardStreams();
    // Chinese under a Chinese locale, English otherwise (LANG=C: the English of the tests).
    quorvel::UseUserLanguage();
    // UTF-8 on every system: Chinese file names survive Windows' ANSI argv.
    const std::vector<std::string> arguments = quorvel::platform::CommandLineArguments(argc, argv);
    const std::vector<std::string_view> args(arguments.begin() + (arguments.empty() ? 0 : 1),
                                             arguments.end());
#if defined(QUORVEL_BATCH_PDF)
    const quorvel::cli::Environment env{0,         1,    std::cout,
                                        std::cerr, true, quorvel::cli::LoadPdfWriter};
#elif defined(QUORVEL_PDF_LIBEXEC_RELATIVE)
    if (quorvel::cli::AsksForPdfReport(args)) {
        // Returns only when the writer cannot start; nothing may be written before.
        const std::string why =
            quorvel::cli::ReplaceProcessWithPdfWriter(arguments, QUORVEL_PDF_LIBEXEC_RELATIVE);
        std::cerr << "quorvel-batch: " << why << '\n';
        return 2;
    }
    const quorvel::cli::Environment env{0, 1, std::cout, std::cerr, true, nullptr};
#else
    const quorvel::cli::Environment env{0, 1, std::cout, std::cerr, false, nullptr};
#endif
    return quorvel::cli::RunCommand(args, env);
}
