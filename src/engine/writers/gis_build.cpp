#include "engine/writers/gdal_writer.h"

namespace quorvel::engine {

// Alone in its file so that a test can link a copy built without the module.
bool GisFormatsBuilt() {
#ifdef QUORVEL_GDAL_MODULE_RELATIVE
    return true;
#else
    return false;
#endif
}

}  // namespace quorvel::engine
