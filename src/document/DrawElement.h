#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// A point in picture coordinates: pixels of the background picture, origin at its top-left
// corner, y downward. Not rounded.
struct TPointD
{
    double x;
    double y;
};

inline TPointD operator+(TPointD a, TPointD b)
{
    return { a.x + b.x, a.y + b.y };
}
inline TPointD operator-(TPointD a, TPointD b)
{
    return { a.x - b.x, a.y - b.y };
}
inline bool operator==(TPointD a, TPointD b)
{
    return a.x == b.x && a.y == b.y;
}

enum ElementKind : std::int32_t {
    KindLine = 0,
    KindQuadBezier = 1,
    KindCubicBezier = 2,
    KindEllipse = 66,
};

// One drawing element. The layout is also the project file's record layout, so it is fixed
// byte for byte (little-endian, 144 bytes).
struct TDrawElement
{
    std::int32_t ChainPos; // position in its chain, 0 = chain start
    std::int32_t Kind; // ElementKind
    TPointD Start;
    TPointD End;
    TPointD Ctrl1;
    TPointD Ctrl2;
    TPointD DragStart; // copies taken when a point is selected for dragging
    TPointD DragEnd;
    TPointD DragCtrl1;
    TPointD DragCtrl2;
    std::uint8_t ClosesChain; // 1 = a closing line runs from End to the chain's first Start
    std::uint8_t SelStart;
    std::uint8_t SelEnd;
    std::uint8_t SelCtrl1;
    std::uint8_t SelCtrl2;
    std::uint8_t Reserved[3];
};

static_assert(std::endian::native == std::endian::little,
    "the element record is stored in files exactly as it is in memory");
static_assert(sizeof(double) == 8);
static_assert(sizeof(TDrawElement) == 144);
static_assert(offsetof(TDrawElement, ChainPos) == 0);
static_assert(offsetof(TDrawElement, Kind) == 4);
static_assert(offsetof(TDrawElement, Start) == 8);
static_assert(offsetof(TDrawElement, End) == 24);
static_assert(offsetof(TDrawElement, Ctrl1) == 40);
static_assert(offsetof(TDrawElement, Ctrl2) == 56);
static_assert(offsetof(TDrawElement, DragStart) == 72);
static_assert(offsetof(TDrawElement, DragEnd) == 88);
static_assert(offsetof(TDrawElement, DragCtrl1) == 104);
static_assert(offsetof(TDrawElement, DragCtrl2) == 120);
static_assert(offsetof(TDrawElement, ClosesChain) == 136);
static_assert(offsetof(TDrawElement, SelStart) == 137);
static_assert(offsetof(TDrawElement, SelEnd) == 138);
static_assert(offsetof(TDrawElement, SelCtrl1) == 139);
static_assert(offsetof(TDrawElement, SelCtrl2) == 140);
static_assert(offsetof(TDrawElement, Reserved) == 141);

// Whether two records are the same byte for byte, editing state included.
inline bool sameRecord(const TDrawElement &a, const TDrawElement &b)
{
    return std::memcmp(&a, &b, sizeof(TDrawElement)) == 0;
}
