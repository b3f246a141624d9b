// quorvel-batch without Qt: a PDF report is written by quorvel-batch-pdf.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/pdf_loader.h"

namespace quorvel::cli {
namespace {
char** gArgv = nullptr;
}

void RememberCommandLine(char** argv) {
    gArgv = argv;
}

PdfWriter LoadPdfWriter(std::string& error) {
#ifdef QUORVEL_BATCH_PDF_PROGRAM
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || gArgv == nullptr) {
        error = "cannot find the PDF writer quorvel-batch-pdf: " + ec.message();
        return {};
    }
    const std::string program = (self.parent_path() / QUORVEL_BATCH_PDF_PROGRAM).string();
    ::execv(program.c_str(), gArgv);
    error = "cannot start the PDF writer " + program + ": " + std::strerror(errno);
#else
    error =
        "this build of quorvel-batch writes no PDF reports (built without Qt); use a .txt "
        "report";
#endif
    return {};
}

}  // namespace quorvel::cli
