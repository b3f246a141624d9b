#pragma once

#include <string>

#include "cli/run.h"

namespace quorvel::cli {

// The PDF report writer. Qt's libraries alone take more memory than a whole run of plain points,
// so quorvel-batch itself is built without them; for a PDF report it hands the very same command
// line to quorvel-batch-pdf, the same program with the writer, found beside it. That happens
// here, before any input is read: on success this call does not return in quorvel-batch.
// Returns an empty writer with `error` set when there is no writer.
PdfWriter LoadPdfWriter(std::string& error);

// The command line to hand on; main() stores it first.
void RememberCommandLine(char** argv);

}  // namespace quorvel::cli
