// quorvel-batch: the window's three computations on files of points.
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/pdf_writer.h"
#include "cli/run.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const quorvel::cli::Environment env{0, 1, std::cout, std::cerr,
                                        quorvel::cli::PdfWriterOfThisBuild()};
    return quorvel::cli::RunCommand(args, env);
}
