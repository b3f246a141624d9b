// Parameter files: any bytes either read or are refused with quorvel's own error, and a file
// that reads is written back to a text that reads to the same parameters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "core/parameter_file.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    quorvel::ParameterFile file;
    try {
        file = quorvel::ReadParameterFile(text);
    } catch (const quorvel::Error&) {
        return 0;  // refused, with a message
    }
    // What is written reads back, and writes the same text again: nothing is lost or changed on
    // the way (numbers in their shortest round-trip form).
    const std::string written = quorvel::WriteParameterFile(file);
    quorvel::ParameterFile again;
    try {
        again = quorvel::ReadParameterFile(written);
    } catch (const quorvel::Error& e) {
        std::fprintf(stderr, "%s\n%s\n", written.c_str(), e.what());
        Check(false, "a written parameter file reads back");
    }
    Check(again.parameters == file.parameters, "the parameters read back unchanged");
    Check(again.area == file.area, "the area reads back unchanged");
    Check(quorvel::WriteParameterFile(again) == written, "a file read back writes the same text");
    return 0;
}
