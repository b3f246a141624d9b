// quorvel-batch: the window's three computations on files of points.
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/pdf_loader.h"
#include "cli/run.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    quorvel::cli::RememberCommandLine(argv);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
#ifdef QUORVEL_BATCH_PDF
    constexpr bool kPdfReports = true;
#else
    constexpr bool kPdfReports = false;
#endif
    const quorvel::cli::Environment env{0,         1,           std::cout,
                                        std::cerr, kPdfReports, quorvel::cli::LoadPdfWriter};
    return quorvel::cli::RunCommand(args, env);
}
