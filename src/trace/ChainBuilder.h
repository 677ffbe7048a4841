#pragma once

#include "trace/GreyPicture.h"
#include "trace/Outline.h"

#include <vector>

// Appends `outline` to `elements` as one closed chain in picture coordinates: lines become
// elements of kind 0, curves kind 2, an outline recognised as an ellipse one element of kind
// 66. A chain ends with a straight piece where it has one, so the closing line the last
// element's ClosesChain draws is that piece instead of a second line of no length on top of it.
void appendChain(
    const Outline &outline, const GreyPicture &picture, std::vector<TDrawElement> &elements);

// Appends `pieces` to `elements` as one open chain in picture coordinates.
void appendOpenChain(const std::vector<OutlinePiece> &pieces, const GreyPicture &picture,
    std::vector<TDrawElement> &elements);
