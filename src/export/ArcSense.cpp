#include "export/ArcSense.h"

#include <cmath>
#include <numbers>

namespace {

// The cross product of the radii is |A - U| |E - U| sin(sweep). Beyond this share of the bound
// below, its sign is certain and the sweep is at least this far, in radians, from none and from
// half a turn: some ten thousand times what atan2 and the subtractions can be off by.
constexpr double DecisiveSine = 1e-12;

} // namespace

bool arcSweepsHalfTurnByAngles(TPointD toA, TPointD toE)
{
    const double angleA = std::atan2(toA.y, toA.x);
    const double angleE = std::atan2(toE.y, toE.x);
    const double sweep = angleE > angleA ? angleE - angleA : 2 * std::numbers::pi - angleA + angleE;
    return sweep >= std::numbers::pi;
}

bool arcSweepsHalfTurn(TPointD toA, TPointD toE, bool *byAngles)
{
    const double cross = toA.x * toE.y - toA.y * toE.x;
    // The product of the lengths in the 1-norm bounds the product of the lengths, and also the
    // two products the cross product is made of, so three units of rounding of it bound the
    // error of the computed cross product.
    const double bound =
        (std::fabs(toA.x) + std::fabs(toA.y)) * (std::fabs(toE.x) + std::fabs(toE.y));
    // Comparisons with a value that is not a number are false and lead to the angles, as do
    // products that overflow or vanish.
    if (std::fabs(cross) > DecisiveSine * bound && bound < HUGE_VAL && bound > 1e-290) {
        if (byAngles)
            *byAngles = false;
        return cross < 0;
    }
    if (byAngles)
        *byAngles = true;
    return arcSweepsHalfTurnByAngles(toA, toE);
}
