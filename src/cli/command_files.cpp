#include "cli/command_files.h"

#include "core/errors.h"
#include "engine/writers/gis_output.h"

namespace quorvel::cli {

using namespace engine;

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
