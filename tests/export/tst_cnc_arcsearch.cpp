// The fast choice of an arc's middle point against the walk over all 1999 candidates: the two
// must agree on every piece, since every byte of a cutting file follows from that choice.
#include "export/ArcCandidateSearch.h"
#include "export/ArcSense.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

namespace {

// The problem fitArc builds from a piece's start, middle and end point.
ArcCandidateProblem problemFor(TPointD a, TPointD m, TPointD e)
{
    const TPointD h { (e.x - a.x) / 2, (e.y - a.y) / 2 };
    return { { (a.x + e.x) / 2, (a.y + e.y) / 2 }, { h.y, -h.x }, m };
}

// Number of random pieces; LINOVEX_ARC_PIECES raises it for a long run.
long pieceCount()
{
    if (const char *text = std::getenv("LINOVEX_ARC_PIECES"))
        return std::atol(text);
    return 1'000'000;
}

} // namespace

TEST(ArcCandidateSearch, PlainCases)
{
    // The middle point on the chord: the straight candidate.
    EXPECT_EQ(closedFormCandidate(problemFor({ 0, 0 }, { 1, 0 }, { 2, 0 })), 0);
    // On a half circle the best candidates stop at the last one, 999 or -999 by the side.
    const int up = closedFormCandidate(problemFor({ -1, 0 }, { 0, -1 }, { 1, 0 }));
    const int down = closedFormCandidate(problemFor({ -1, 0 }, { 0, 1 }, { 1, 0 }));
    EXPECT_EQ(std::abs(up), 999);
    EXPECT_EQ(up, -down);
    // Far beyond the last candidate the choice stays there.
    EXPECT_EQ(closedFormCandidate(problemFor({ -1, 0 }, { 0, 50 }, { 1, 0 })),
        literalCandidate(problemFor({ -1, 0 }, { 0, 50 }, { 1, 0 })));
    // A chord of zero length makes every candidate equally near: the first one, 999, stays.
    EXPECT_EQ(literalCandidate(problemFor({ 3, 3 }, { 4, 4 }, { 3, 3 })), 999);
    bool fellBack = false;
    EXPECT_EQ(closedFormCandidate(problemFor({ 3, 3 }, { 4, 4 }, { 3, 3 }), &fellBack), 999);
    EXPECT_TRUE(fellBack);
}

TEST(ArcCandidateSearch, CandidatePointsUseTheWalksScaleBitForBit)
{
    // The fast search and the arc take k / 1000 from a table made when the program is built;
    // every entry must be the double the walk divides out at run time.
    const ArcCandidateProblem p { { 1234.5678, -876.54321 }, { 3.3333333, -0.7777777 }, {} };
    for (int k = -MaxArcCandidate; k <= MaxArcCandidate; ++k) {
        volatile int runTime = k;
        const double s = runTime / 1000.0;
        const TPointD q = candidatePoint(p, k);
        ASSERT_EQ(q.x, p.c.x + s * p.w.x) << k;
        ASSERT_EQ(q.y, p.c.y + s * p.w.y) << k;
    }
}

TEST(ArcCandidateSearch, ExactTiesGoToTheLargerCandidate)
{
    // M exactly halfway between candidates 100 and 101 along a chord on the x axis of half length
    // 1: distances are equal, and the walk keeps the larger k because it meets it first.
    for (int k = -998; k < 999; k += 37) {
        const double mid = (k / 1000.0 + (k + 1) / 1000.0) / 2;
        const ArcCandidateProblem p { { 0, 0 }, { 0, 1 }, { 0, mid } };
        EXPECT_EQ(closedFormCandidate(p), literalCandidate(p)) << k;
    }
}

namespace {

struct DifferentialCounts
{
    long mismatches = 0;
    long fallbacks = 0;
    long ordinary = 0; // pieces whose chord is not tiny against their coordinates
    long ordinaryFallbacks = 0;
};

// Compares both searches on `pieces` random pieces drawn from `seed`.
DifferentialCounts compareSearches(std::uint64_t seed, long pieces)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_real_distribution<double> logScale(-12, 12);
    std::uniform_int_distribution<int> kind(0, 9);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    DifferentialCounts counts;
    for (long i = 0; i < pieces; ++i) {
        // A coordinate offset and a chord size of independent magnitudes: pieces of a normal
        // drawing, tiny chords far from the origin, huge and tiny everything.
        const double offset = std::pow(10.0, logScale(random));
        const double size = std::pow(10.0, logScale(random));
        const TPointD base { unit(random) * offset, unit(random) * offset };
        TPointD a { base.x + unit(random) * size, base.y + unit(random) * size };
        TPointD e { base.x + unit(random) * size, base.y + unit(random) * size };
        // The middle point near the arc through the ends, as a piece of a smooth curve gives it,
        // or anywhere nearby.
        const double bend = unit(random) * 1.2;
        TPointD m { (a.x + e.x) / 2 + bend * (e.y - a.y) / 2 + unit(random) * size * 0.05,
            (a.y + e.y) / 2 - bend * (e.x - a.x) / 2 + unit(random) * size * 0.05 };
        const int variant = kind(random);
        switch (variant) {
        case 0: // degenerate: zero chord, M on the chord, M at an end
            if (i % 3 == 0)
                e = a;
            else if (i % 3 == 1)
                m = { (a.x + e.x) / 2, (a.y + e.y) / 2 };
            else
                m = a;
            break;
        case 1: // extreme magnitudes and values that are not numbers
            if (i % 5 == 0)
                a.x = nan;
            else if (i % 5 == 1)
                m.y = inf;
            else if (i % 5 == 2)
                a = { a.x * 1e290, a.y * 1e290 };
            else if (i % 5 == 3)
                m = { m.x * 1e-300, m.y * 1e-300 };
            else
                e = { e.x + 1e-310, e.y };
            break;
        case 2: // integer pixels over a millimetre scale, the common case
            a = { std::round(a.x * 1000) / 2.834651, std::round(a.y * 1000) / 2.834651 };
            e = { std::round(e.x * 1000) / 2.834651, std::round(e.y * 1000) / 2.834651 };
            break;
        default:
            break;
        }
        const ArcCandidateProblem p = problemFor(a, m, e);
        bool fellBack = false;
        const int fast = closedFormCandidate(p, &fellBack);
        counts.fallbacks += fellBack;
        if (variant > 2 && size > offset * 1e-6) {
            ++counts.ordinary;
            counts.ordinaryFallbacks += fellBack;
        }
        if (fast != literalCandidate(p) && ++counts.mismatches <= 3) {
            ADD_FAILURE() << std::hexfloat << "a " << a.x << " " << a.y << " m " << m.x << " "
                          << m.y << " e " << e.x << " " << e.y << ": " << fast
                          << " != " << literalCandidate(p);
        }
    }
    return counts;
}

} // namespace

TEST(ArcCandidateSearch, AgreesWithTheWalkOnMillionsOfPieces)
{
    // The walk costs about 2000 distances per piece, so the pieces are shared out over threads.
    const long pieces = pieceCount();
    const unsigned threadCount = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<DifferentialCounts> results(threadCount);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, pieces, threadCount, &results] {
            results[t] = compareSearches(1000 + t, pieces / threadCount);
        });
    }
    DifferentialCounts total;
    for (unsigned t = 0; t < threadCount; ++t) {
        threads[t].join();
        total.mismatches += results[t].mismatches;
        total.fallbacks += results[t].fallbacks;
        total.ordinary += results[t].ordinary;
        total.ordinaryFallbacks += results[t].ordinaryFallbacks;
    }
    EXPECT_EQ(total.mismatches, 0);
    // For pieces of an ordinary drawing the walk is a rare exception.
    EXPECT_GT(total.ordinary, pieces / 10);
    EXPECT_LT(total.ordinaryFallbacks, total.ordinary / 1000 + 1);
    std::printf("%ld pieces, %ld decided by the walk; %ld ordinary pieces, %ld by the walk\n",
        pieces, total.fallbacks, total.ordinary, total.ordinaryFallbacks);
}

namespace {

// The centre of the circle through three points, computed as the export computes it.
TPointD centreThrough(TPointD a, TPointD q, TPointD e)
{
    const double d = a.x * q.y + q.x * e.y + e.x * a.y - a.x * e.y - q.x * a.y - e.x * q.y;
    const double a2 = a.x * a.x + a.y * a.y;
    const double q2 = q.x * q.x + q.y * q.y;
    const double e2 = e.x * e.x + e.y * e.y;
    return { (a2 * (q.y - e.y) + q2 * (e.y - a.y) + e2 * (a.y - q.y)) / (2 * d),
        (a2 * (e.x - q.x) + q2 * (a.x - e.x) + e2 * (q.x - a.x)) / (2 * d) };
}

} // namespace

TEST(ArcSense, CrossProductAgreesWithTheAnglesOnMillionsOfArcs)
{
    // The sign of a bulge may come from the cross product only where the angles could not say
    // otherwise: sweeps close to none, to half a turn and to a full turn, radii of any length,
    // and the radii of real arcs through three points, whose centres run far away as the arcs
    // flatten.
    std::mt19937_64 random(77);
    std::uniform_real_distribution<double> unit(-1, 1);
    std::uniform_real_distribution<double> turn(-std::numbers::pi, std::numbers::pi);
    std::uniform_real_distribution<double> logScale(-150, 150);
    std::uniform_real_distribution<double> logNear(-19, -6);
    std::uniform_int_distribution<int> candidate(-999, 999);
    long mismatches = 0, byAngles = 0, realArcs = 0, realByAngles = 0;
    auto check = [&](TPointD toA, TPointD toE, bool real) {
        bool angles = false;
        const bool fast = arcSweepsHalfTurn(toA, toE, &angles);
        byAngles += angles;
        realArcs += real;
        realByAngles += real && angles;
        if (fast != arcSweepsHalfTurnByAngles(toA, toE) && ++mismatches <= 3)
            ADD_FAILURE() << std::hexfloat << toA.x << " " << toA.y << " / " << toE.x << " "
                          << toE.y;
    };
    for (int i = 0; i < 600'000; ++i) {
        const double a = turn(random);
        const double lengthA = std::pow(10.0, logScale(random) / (i % 2 ? 1 : 10));
        const double lengthE = lengthA * std::pow(10.0, unit(random) * 3);
        // Sweeps anywhere, and sweeps a hair from none and from half a turn either way.
        double sweep = turn(random);
        if (i % 3 == 1)
            sweep = std::copysign(std::pow(10.0, logNear(random)), unit(random));
        else if (i % 3 == 2)
            sweep = std::numbers::pi + std::copysign(std::pow(10.0, logNear(random)), unit(random));
        const TPointD toA { lengthA * std::cos(a), lengthA * std::sin(a) };
        const TPointD toE { lengthE * std::cos(a + sweep), lengthE * std::sin(a + sweep) };
        check(toA, toE, false);
        // Exactly equal, opposite and axis-parallel radii.
        if (i % 100 == 0) {
            check(toA, toA, false);
            check(toA, { -toA.x, -toA.y }, false);
            check({ lengthA, 0 }, { 0, -lengthE }, false);
            check({ 0, 0 }, toE, false);
            check({ NAN, 1 }, toE, false);
        }
    }
    for (int i = 0; i < 1'400'000; ++i) {
        // Pieces of a drawing: the chosen middle point k/1000 half chords off the chord.
        const double offset = std::pow(10.0, unit(random) * 4);
        const double size = std::pow(10.0, unit(random) * 4 - 2);
        const TPointD a { unit(random) * offset, unit(random) * offset };
        const TPointD e { a.x + unit(random) * size, a.y + unit(random) * size };
        const ArcCandidateProblem p = problemFor(a, a, e);
        // Now and then the flattest arcs, whose three points are nearly or exactly in line.
        const int k = i % 50 == 0 ? (i % 3) - 1 : candidate(random);
        const TPointD u = centreThrough(a, candidatePoint(p, k), e);
        if (std::isfinite(u.x) && std::isfinite(u.y))
            check({ a.x - u.x, a.y - u.y }, { e.x - u.x, e.y - u.y }, i % 50 != 0);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_LT(realByAngles, realArcs / 1000);
    std::printf("%ld radii pairs decided by the angles, %ld of %ld real arcs\n", byAngles,
        realByAngles, realArcs);
}
