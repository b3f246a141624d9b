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

// Every file given (null: none) complete on disk before any replaces what was there, and all
// of them or none: when the last cannot be published the others are undone. Throws IoError.
void PublishTogether(AtomicFile* output, GisOutput* gis, AtomicFile* last);

}  // namespace quorvel::cli
