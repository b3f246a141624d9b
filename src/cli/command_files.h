#pragma once

#include <string>

#include "core/atomic_file.h"
#include "engine/reading/text_io.h"
#include "platform/files.h"

namespace quorvel::engine {
class GisOutput;
}  // namespace quorvel::engine

namespace quorvel::cli {

using engine::FdCloser;
using engine::GisOutput;

// The files of a command that runs a job: the input it reads, the files it replaces.

// The input of a run: a file the command opened, or standard input.
struct InputFile {
    FdCloser file;
    int fd = -1;
    std::string name = "<stdin>";
    platform::FileInfo st;
};

// Opens `path` ("-": standard input, `stdinFd`) into `input`. Returns why it cannot be read
// ("cannot read NAME: REASON", a folder included), empty when it can.
std::string OpenInputFile(const std::string& path, int stdinFd, InputFile& input);

// Every file given (null: none) complete on disk before any replaces what was there, and all
// of them or none: when the last cannot be published the others are undone. Throws IoError.
void PublishTogether(AtomicFile* output, GisOutput* gis, AtomicFile* last);

}  // namespace quorvel::cli
