#include "cli/command_files.h"

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
        if (!platform::InfoOf(input.fd, input.st)) input.st = {};
        return {};
    }
    input.name = path;
    input.file.fd = platform::OpenToRead(path);
    if (input.file.fd < 0 || !platform::InfoOf(input.file.fd, input.st)) {
        return Fill(Tr("cannot read {0}: {1}"), {path, std::strerror(errno)});
    }
    if (input.st.kind == platform::FileKind::Folder) {
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
