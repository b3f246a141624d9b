#include "batch/projection_choice.h"

#include <cmath>

#include "batch/batch_state.h"

namespace quorvel {
namespace {

PlanePoint FromGrid(const GridPoint& g) {
    return {g.X, std::abs(g.y), (g.y > 0) - (g.y < 0)};
}

}  // namespace

PlanePoint ProjectForward(const BatchState& state, double B, double L, double Lo) {
    if (!state.Projection.projection) return ForwardProject(state.Constants, B, L, Lo);
    return FromGrid(state.Projection.projection->Forward(B, L, Lo));
}

GeodeticPoint ProjectInverse(const BatchState& state, double X, double Y, double Lo) {
    if (!state.Projection.projection) return InverseProject(state.Constants, X, Y, Lo);
    const GeoPoint g = state.Projection.projection->Inverse(X, Y, Lo);
    return {g.B, g.L};
}

PlanePoint ProjectZone(const BatchState& state, double X1, double Y1, double Lo, double Ls) {
    if (!state.Projection.projection) return ZoneTransform(state.Constants, X1, Y1, Lo, Ls);
    return FromGrid(state.Projection.projection->Zone(X1, Y1, Lo, Ls));
}

}  // namespace quorvel
