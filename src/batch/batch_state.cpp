#include "batch/batch_state.h"

namespace quorvel {

int BatchState::StoredPointCount() const {
    if (!BatchComplete || CalcMode < 1 || CalcMode > 3 || Store.PointNames.empty()) return 0;
    return static_cast<int>(Store.PointNames.size()) - 1;
}

void Command1_Click(BatchState& state) {
    state.Constants = EllipsoidConstants::Load();
}

}  // namespace quorvel
