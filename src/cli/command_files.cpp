#include "cli/command_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/errors.h"
#include "core/messages.h"
#include "engine/writers/gis_output.h"

namespace quorvel::cli {

using namespace engine;

std::string OpenInputFile(const std::string& path, int stdinFd, InputFile& input) {
    input.fd = stdinFd;
    if (path == "-") {
        if (::fstat(input.fd, &input.st) != 0) input.st = {};
        return {};
    }
    input.name = path;
    input.file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (input.file.fd < 0 || ::fstat(input.file.fd, &input.st) != 0) {
        return Fill(Tr("cannot read {0}: {1}"), {path, std::strerror(errno)});
    }
    if (S_ISDIR(input.st.st_mode)) {
        return Fill(Tr("cannot read {0}: {1}"), {path, Tr("it is a folder")});
    }
    input.fd = input.file.fd;
    return {};
}

void PublishTogether(AtomicFile* output, GisOutput* gis, AtomicFile* last) {
    if (output) output->Finish();
    if (gis) gis->Finish();
    if (last) last->Finish();
    const SignalsDeferred whole;  // never the one file replaced without the other
    if (output) output->Publish();
    if (gis) gis->Publish();
    try {
        if (last) last->Publish();
    } catch (const IoError&) {
        if (output) output->Undo();
        if (gis) gis->Undo();
        throw;
    }
    if (output) output->Settle();
    if (gis) gis->Settle();
    if (last) last->Settle();
}

}  // namespace quorvel::cli
