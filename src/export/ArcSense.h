#pragma once

#include "document/DrawElement.h"

// Which way an arc of the CNC file turns. An arc runs from A to E around its centre U; its bulge
// is negative when the counter-clockwise sweep from A to E, seen from U, is half a turn or more.
// Both functions take the two radii, A - U and E - U, as the export computes them.
//
// arcSweepsHalfTurnByAngles() is the definition: the angles of both radii by atan2 and their
// counter-clockwise difference, compared with pi. arcSweepsHalfTurn() gives the same answer
// from the sign of the cross product of the radii wherever that sign is beyond doubt and the
// sweep lies more than about 1e-12 away from none and from half a turn, so that no rounding of
// the angles could change the comparison; elsewhere it asks the angles. `byAngles`, when given,
// tells which happened.
bool arcSweepsHalfTurnByAngles(TPointD toA, TPointD toE);
bool arcSweepsHalfTurn(TPointD toA, TPointD toE, bool *byAngles = nullptr);
