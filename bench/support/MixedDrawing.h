#pragma once

// The large mixed drawing the DXF export benchmarks share, so their figures compare.

#include "document/ElementList.h"

#include <cstring>
#include <malloc.h>
#include <random>

namespace benchdrawing {

// 100,000 elements in chains of ten, as a traced drawing has them: 40 % lines, 25 % quadratic and
// 25 % cubic curves, 10 % ellipses, on a picture of 4000 x 3000 pixels.
inline void makeDrawing(TElementList &list, int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> x(0, 4000), y(0, 3000), step(-40, 40);
    std::uniform_int_distribution<int> kind(0, 19);
    TPointD at { 0, 0 };
    for (int i = 0; i < count; ++i) {
        TDrawElement e;
        std::memset(&e, 0, sizeof e);
        e.ChainPos = i % 10;
        if (e.ChainPos == 0)
            at = { x(random), y(random) };
        e.Start = at;
        e.End = { at.x + step(random), at.y + step(random) };
        e.Ctrl1 = { at.x + step(random), at.y + step(random) };
        e.Ctrl2 = { e.End.x + step(random), e.End.y + step(random) };
        const int k = kind(random);
        e.Kind = k < 8 ? KindLine
            : k < 13   ? KindQuadBezier
            : k < 18   ? KindCubicBezier
                       : KindEllipse;
        e.ClosesChain = e.ChainPos == 9 && k % 2 == 0;
        at = e.End;
        *list.Append() = e;
    }
}

// Built once: the element store grows in blocks of 100 records and copies itself each time, which
// makes building 100,000 elements slower than exporting them.
inline TElementList &drawing()
{
    static TElementList list;
    if (list.Count() == 0) {
        // The store copies itself into a fresh block at every growth. Kept on the heap
        // instead of in mappings of their own, those blocks reuse memory that was already
        // touched, and building the list no longer costs a page fault per page copied.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        makeDrawing(list, 100000);
    }
    return list;
}

} // namespace benchdrawing
