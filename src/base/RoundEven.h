#pragma once

#include <climits>
#include <cmath>

// The nearest integer to q, halves going to the even neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
// Every place where a real number becomes a pixel or a percentage uses this, so the screen,
// the rulers and the exports agree on which pixel a point lands on. Values beyond the 32-bit
// range saturate and NaN gives 0, so a damaged coordinate can never turn into undefined
// behaviour further down.
inline int RoundEven(long double q)
{
    if (std::isnan(q))
        return 0;
    if (q >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (q <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    // lrint rounds in the current mode, which the program never changes from the default
    // round-to-nearest-even. (nearbyint gives the same result but saves and restores the
    // floating-point environment on every call, which shows in a repaint of a large drawing.)
    return static_cast<int>(std::lrint(q));
}
