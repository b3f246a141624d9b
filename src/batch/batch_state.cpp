#include "batch/batch_state.h"

namespace quorvel {

int BatchState::StoredPointCount() const {
    if (!BatchComplete || !BatchComputation) return 0;
    return static_cast<int>(Store.PointNames.size());
}

void Command1_Click(BatchState& state) {
    state.Constants = EllipsoidConstants::Load();
}

}  // namespace quorvel
