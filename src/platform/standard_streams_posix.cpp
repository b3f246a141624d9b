#include "platform/standard_streams.h"

namespace quorvel::platform {

void PrepareStandardStreams() {}

}  // namespace quorvel::platform
