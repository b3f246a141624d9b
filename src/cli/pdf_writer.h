#pragma once

#include "cli/run.h"

namespace quorvel::cli {

// The PDF report writer of this build; empty when it was built without Qt.
PdfWriter PdfWriterOfThisBuild();

}  // namespace quorvel::cli
