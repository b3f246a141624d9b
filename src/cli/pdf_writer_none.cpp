#include "cli/pdf_writer.h"

namespace quorvel::cli {

PdfWriter PdfWriterOfThisBuild() {
    return {};
}

}  // namespace quorvel::cli
