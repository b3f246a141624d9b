// quorvel-batch without Qt: a PDF report is written by quorvel-batch-pdf.
#include <filesystem>

#include "cli/options.h"
#include "cli/pdf_loader.h"
#include "core/messages.h"
#include "platform/process_handoff.h"
#include "platform/program_folder.h"

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

std::string ReplaceProcessWithPdfWriter(const std::vector<std::string>& arguments,
                                        std::string_view libexecRelative) {
    const std::filesystem::path folder = platform::ProgramFolder();
    if (folder.empty()) {
        return Fill(Tr("cannot find the PDF writer {0}: {1}"),
                    {kPdfProgram, Tr("the program's folder is unknown")});
    }
    // quorvel-batch-pdf, or quorvel-batch-pdf.exe: named as the running program is.
    const std::string name = std::string(kPdfProgram) + platform::ProgramFileEnding();
    std::string tried;
    platform::HandoffFailure failure;
    for (const std::filesystem::path& candidate :
         {folder / libexecRelative / name, folder / name}) {
        failure = platform::HandOver(candidate, arguments);
        if (!tried.empty()) tried += ", ";
        const std::u8string utf8 = candidate.u8string();
        tried.append(utf8.begin(), utf8.end());
        // Only a missing file makes the next place worth a try.
        if (!failure.missing) break;
    }
    return Fill(Tr("cannot start the PDF writer ({0}): {1}"), {tried, failure.why});
}

}  // namespace quorvel::cli
