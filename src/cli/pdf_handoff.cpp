// quorvel-batch without Qt: a PDF report is written by quorvel-batch-pdf.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/options.h"
#include "cli/pdf_loader.h"
#include "core/messages.h"

namespace quorvel::cli {

namespace {
constexpr const char* kPdfProgram = "quorvel-batch-pdf";
}

bool AsksForPdfReport(std::span<const std::string_view> args) {
    try {
        const Options options = ParseArguments(args, /*pdfReports=*/true);
        return options.action == Options::Action::Run && options.reportKind == ReportKind::Pdf;
    } catch (const cli::UsageError&) {
        return false;
    }
}

std::string ReplaceProcessWithPdfWriter(char** argv, std::string_view libexecRelative) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return Fill(Tr("cannot find the PDF writer {0}: {1}"), {kPdfProgram, ec.message()});
    const std::filesystem::path folder = self.parent_path();
    std::string tried;
    int err = ENOENT;
    for (const std::filesystem::path& candidate :
         {folder / libexecRelative / kPdfProgram, folder / kPdfProgram}) {
        ::execv(candidate.c_str(), argv);
        err = errno;
        if (!tried.empty()) tried += ", ";
        tried += candidate.string();
        // Only a missing file makes the next place worth a try.
        if (err != ENOENT && err != ENOTDIR) break;
    }
    return Fill(Tr("cannot start the PDF writer ({0}): {1}"), {tried, std::strerror(err)});
}

}  // namespace quorvel::cli
