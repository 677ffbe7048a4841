#pragma once

#include "document/DrawElement.h"

#include <cmath>

// Chooses the middle point of the arc that replaces one piece of a curve. The candidates lie on
// the perpendicular bisector of the piece's chord: Q_k = C + (k / 1000) w for k = 999 down to
// -999, where C is the chord's middle and w the half chord turned by a right angle. The chosen
// candidate is the one nearest to the piece's middle point M; among equal distances the larger k
// wins, because the search runs from 999 downwards and only a strictly smaller distance replaces
// the choice.
//
// The exported files depend on every bit of that choice, so the fast search must pick exactly the
// k that walking all 1999 candidates picks. literalCandidate() is that walk and stays the
// reference; closedFormCandidate() finds the same k from the projection of M onto the bisector.
struct ArcCandidateProblem
{
    TPointD c; // middle of the chord
    TPointD w; // half chord turned by a right angle
    TPointD m; // middle point of the piece
};

constexpr int MaxArcCandidate = 999;

// The distance from candidate k to M, computed in the one way every search must share.
inline double candidateDistance(const ArcCandidateProblem &p, int k)
{
    const double s = k / 1000.0;
    const double dx = (p.c.x + s * p.w.x) - p.m.x;
    const double dy = (p.c.y + s * p.w.y) - p.m.y;
    return std::sqrt(dx * dx + dy * dy);
}

// Walks all 1999 candidates.
int literalCandidate(const ArcCandidateProblem &p);

// Projects M onto the bisector, compares the few candidates around the projection exactly as the
// walk would, and proves from rounding-error bounds that no other candidate can come as close.
// Where that proof fails (the chord is tiny against the coordinates, the numbers are huge, tiny
// or not finite) it walks all candidates instead. `fellBack`, when given, tells which happened.
int closedFormCandidate(const ArcCandidateProblem &p, bool *fellBack = nullptr);

// The candidate point for k.
TPointD candidatePoint(const ArcCandidateProblem &p, int k);
