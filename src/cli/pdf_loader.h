#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "engine/run/run.h"

namespace quorvel::cli {

// Qt's libraries alone take more memory than a whole run of plain points, so quorvel-batch is
// built without them. A run that asks for a PDF report is handed, command line and all, to
// quorvel-batch-pdf: the same program with the PDF writer, installed in libexec.

// Whether the command line is a run that writes a PDF report (a usage error is not: the
// program reports it itself).
bool AsksForPdfReport(std::span<const std::string_view> args);

// Replaces this process with quorvel-batch-pdf running `arguments` (the program's name first),
// before any input is read (on Windows: runs it and exits with its status). Found relative to the
// running program: `libexecRelative` from its folder (the installed layout), then beside it (the
// build folder). Returns only when it cannot start; the text says why.
std::string ReplaceProcessWithPdfWriter(const std::vector<std::string>& arguments,
                                        std::string_view libexecRelative);

// quorvel-batch-pdf's writer.
cli::PdfWriter LoadPdfWriter(std::string& error);

}  // namespace quorvel::cli
