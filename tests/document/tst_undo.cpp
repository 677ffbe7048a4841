#include "document/UndoHistory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

TDrawElement line(int chainPos, double x0, double y0, double x1, double y1)
{
    TDrawElement e;
    std::memset(&e, 0, sizeof e);
    e.ChainPos = chainPos;
    e.Kind = KindLine;
    e.Start = { x0, y0 };
    e.End = { x1, y1 };
    return e;
}

std::vector<TDrawElement> contents(const TElementList &list)
{
    std::vector<TDrawElement> out;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(list.Count()); ++i)
        out.push_back(list.at(i));
    return out;
}

bool sameBytes(const std::vector<TDrawElement> &a, const std::vector<TDrawElement> &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TDrawElement)) == 0);
}

// A document as the window holds it, with the history watching it.
struct Document
{
    TDrawElement *cursor = nullptr;
    TElementList list { &cursor };
    Dib picture = Dib::create(8, 8, 24);
    std::uint32_t pen = 0x0000FF;
    double width = 3;
    double dpi = 200;
    UndoHistory history;

    Document() { history.reset(list, pen, width); }
    explicit Document(int maxSteps, std::size_t maxBytes)
        : history(maxSteps, maxBytes)
    {
        history.reset(list, pen, width);
    }
    UndoDocument doc() { return { list, picture, pen, width, &dpi }; }
    void append(const TDrawElement &e)
    {
        *list.Append() = e;
        history.checkpoint(list, pen, width);
    }
    bool undo() { return history.undo(doc()); }
    bool redo() { return history.redo(doc()); }
    void replacePicture(Dib fresh)
    {
        history.pictureReplaced(std::move(picture), dpi);
        picture = std::move(fresh);
    }
};

TEST(UndoHistory, AppendedElementsUndoAndRedoOneByOneAndANewChangeClearsRedo)
{
    Document d;
    EXPECT_FALSE(d.history.canUndo());
    d.append(line(0, 0, 0, 10, 0));
    d.append(line(1, 10, 0, 10, 10));
    d.append(line(2, 10, 10, 0, 10));
    const auto three = contents(d.list);
    ASSERT_EQ(d.history.undoCount(), 3);

    ASSERT_TRUE(d.undo());
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.list.Count(), 1u);
    // The cursor never refers to a record that is gone.
    EXPECT_TRUE(d.cursor == nullptr || d.cursor == d.list.Get(0));
    ASSERT_TRUE(d.redo());
    ASSERT_TRUE(d.redo());
    EXPECT_TRUE(sameBytes(contents(d.list), three));
    EXPECT_FALSE(d.redo());

    d.undo();
    d.append(line(0, 50, 50, 60, 60));
    EXPECT_FALSE(d.history.canRedo());
    EXPECT_EQ(d.list.Count(), 3u);
    EXPECT_EQ(d.list.at(2).Start.x, 50);
}

TEST(UndoHistory, AChangeInTheMiddleRestoresEveryByteAndMovesTheTailBack)
{
    Document d;
    for (int i = 0; i < 250; ++i)
        *d.list.Append() = line(i % 5, i, i, i + 1, i + 1);
    d.history.reset(d.list, d.pen, d.width);
    const auto before = contents(d.list);

    // An area delete of two inner elements bridges the chain: the next one is stretched back
    // and the chain positions behind it go down.
    d.list.Delete(121);
    d.list.Delete(121);
    d.list.Get(121)->Start = { 121, 121 };
    d.list.Get(121)->ChainPos = 1;
    ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
    const auto after = contents(d.list);
    // Only the changed run is kept, not the drawing.
    EXPECT_LT(d.history.bytes(), 8 * sizeof(TDrawElement) + 1024);

    ASSERT_TRUE(d.undo());
    EXPECT_TRUE(sameBytes(contents(d.list), before));
    EXPECT_EQ(d.list.allocatedBytes(), 300 * 144);
    ASSERT_TRUE(d.redo());
    EXPECT_TRUE(sameBytes(contents(d.list), after));
}

TEST(UndoHistory, SelectingIsNoStepButAMoveOfTheSelectedPointsIs)
{
    Document d;
    d.append(line(0, 0, 0, 10, 0));
    d.append(line(1, 10, 0, 20, 0));

    TDrawElement *a = d.list.Get(0);
    a->SelEnd = 1;
    a->DragEnd = a->End;
    TDrawElement *b = d.list.Get(1);
    b->SelStart = 1;
    b->DragStart = b->Start;
    EXPECT_FALSE(d.history.checkpoint(d.list, d.pen, d.width));
    EXPECT_EQ(d.history.undoCount(), 2);

    // The node drag moves the joint of both elements: one step from press to release.
    d.list.Get(0)->End = { 12, 5 };
    d.list.Get(1)->Start = { 12, 5 };
    EXPECT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.list.at(0).End.x, 10);
    EXPECT_EQ(d.list.at(1).Start.x, 10);
    EXPECT_EQ(d.list.Count(), 2u);
}

TEST(UndoHistory, PictureColourAndWidthStepsAndTypedWidthsFormOneStep)
{
    Document d;
    d.append(line(0, 1, 2, 3, 4));
    const std::uint8_t *first = d.picture.rec().Bits;
    // A picture operation: new picture, moved drawing and new resolution in one step.
    d.replacePicture(Dib::create(16, 4, 8));
    d.list.Get(0)->Start = { 5, 6 };
    d.dpi = 300;
    const std::uint8_t *second = d.picture.rec().Bits;
    ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));

    d.pen = 0x00FF00;
    ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
    for (double w : { 1.0, 1.5, 2.5 }) {
        d.width = w;
        d.history.checkpoint(d.list, d.pen, d.width);
    }
    EXPECT_EQ(d.history.undoCount(), 4);

    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.width, 3);
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.pen, 0x0000FFu);
    ASSERT_TRUE(d.undo());
    // The old picture itself comes back, not a copy of it.
    EXPECT_EQ(d.picture.rec().Bits, first);
    EXPECT_EQ(d.list.at(0).Start.x, 1);
    EXPECT_EQ(d.dpi, 200);
    ASSERT_TRUE(d.redo());
    EXPECT_EQ(d.picture.rec().Bits, second);
    EXPECT_EQ(d.picture.width(), 16);
    EXPECT_EQ(d.list.at(0).Start.x, 5);
    EXPECT_EQ(d.dpi, 300);
}

TEST(UndoHistory, StateIdTellsWhetherTheDocumentIsTheSavedOne)
{
    Document d;
    const auto opened = d.history.stateId();
    d.append(line(0, 0, 0, 1, 1));
    EXPECT_NE(d.history.stateId(), opened);
    d.undo();
    EXPECT_EQ(d.history.stateId(), opened);
    // Another change at the same depth is another drawing.
    d.append(line(0, 5, 5, 6, 6));
    EXPECT_NE(d.history.stateId(), opened);
}

TEST(UndoHistory, KeepsTheNewestHundredSteps)
{
    Document d;
    for (int i = 0; i < 150; ++i)
        d.append(line(0, i, i, i, i));
    EXPECT_EQ(d.history.undoCount(), 100);
    while (d.undo()) { }
    EXPECT_EQ(d.list.Count(), 50u);
    EXPECT_EQ(d.history.redoCount(), 100);
}

TEST(UndoHistory, AStoreThatCannotGrowLeavesDocumentAndHistoryAsTheyWere)
{
    Document d;
    d.append(line(0, 0, 0, 1, 1));
    // Deleting 100 records and undoing needs a larger block, which is refused.
    for (int i = 0; i < 100; ++i)
        *d.list.Append() = line(1, i, 0, i + 1, 0);
    d.history.checkpoint(d.list, d.pen, d.width);
    while (d.list.Count() > 1)
        d.list.Delete(static_cast<std::int32_t>(d.list.Count()) - 1);
    d.history.checkpoint(d.list, d.pen, d.width);
    const auto before = contents(d.list);

    DynaArrayBase::setAllocationFailureHandler([](const std::string &) {});
    DynaArrayBase::setBlockAllocator([](std::size_t) -> void * { return nullptr; });
    EXPECT_FALSE(d.undo());
    DynaArrayBase::setBlockAllocator(nullptr);
    DynaArrayBase::setAllocationFailureHandler(nullptr);
    EXPECT_TRUE(sameBytes(contents(d.list), before));
    EXPECT_EQ(d.history.undoCount(), 3);
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.list.Count(), 101u);
}

// Deleting records all over a large list, as an area delete does, in the ways it can come out:
// whole chains gone, the elements behind a deleted one changed by the repair of their chain,
// neighbours that look alike, the ends of the list gone, and a change that also adds a record,
// which is no removal and is kept whole. Undo and redo restore every byte, the step holds
// little more than the deleted records, and the index the history tells stays current.
TEST(UndoHistory, ScatteredDeletesAreKeptAsTheirRunsAndRestoreEveryByte)
{
    struct Case
    {
        const char *name;
        int percent; // of the records deleted
        bool repairChains; // the element after a deleted one takes its Start and position
        bool lookAlikes; // every other element is the copy of the one before it
        bool dropEnds;
        bool appendOne;
    };
    const Case cases[] = {
        { "whole runs", 10, false, false, false, false },
        { "repaired chains", 10, true, false, false, false },
        { "look-alikes", 10, true, true, false, false },
        { "ends of the list", 5, true, false, true, false },
        { "a record added too", 10, true, false, false, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(3);
        std::uniform_int_distribution<int> percent(0, 99);
        Document d;
        for (int i = 0; i < 6000; ++i) {
            const int shape = c.lookAlikes ? i / 2 : i;
            *d.list.Append() = line(i % 8, shape, shape % 97, shape + 1, shape % 89);
        }
        d.history.reset(d.list, d.pen, d.width);
        const auto whole = contents(d.list);
        ElementIndex index;
        index.rebuild(d.list);

        std::vector<TDrawElement> kept;
        bool previousDeleted = false;
        int lowered = 0; // the chain positions the rest of the current chain lost
        for (std::size_t i = 0; i < whole.size(); ++i) {
            const bool end = i == 0 || i + 1 == whole.size();
            if (whole[i].ChainPos == 0)
                lowered = 0;
            if (c.dropEnds ? end : (!end && percent(random) < c.percent)) {
                previousDeleted = true;
                ++lowered;
                continue;
            }
            kept.push_back(whole[i]);
            if (c.repairChains && kept.back().ChainPos > 0) {
                if (previousDeleted)
                    kept.back().Start = whole[i - 1].Start;
                kept.back().ChainPos -= lowered;
            }
            previousDeleted = false;
        }
        if (c.appendOne)
            kept.push_back(line(0, -5, -5, -6, -6));
        d.list.Clear();
        d.list.AppendAll(kept.data(), static_cast<std::uint32_t>(kept.size()));
        index.rebuild(d.list);
        ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
        const std::size_t wholeRun = (whole.size() + kept.size()) * sizeof(TDrawElement);
        if (c.appendOne)
            EXPECT_GT(d.history.bytes(), wholeRun / 2);
        else
            EXPECT_LT(d.history.bytes(), wholeRun / 2);

        UndoDocument doc = d.doc();
        doc.index = &index;
        // An undo that needs a larger block fails, changing nothing, when none can be had.
        const bool undoGrows = (whole.size() + 99) / 100 != (kept.size() + 99) / 100;
        if (!c.appendOne && undoGrows) {
            DynaArrayBase::setAllocationFailureHandler([](const std::string &) {});
            DynaArrayBase::setBlockAllocator([](std::size_t) -> void * { return nullptr; });
            EXPECT_FALSE(d.history.undo(doc));
            DynaArrayBase::setBlockAllocator(nullptr);
            DynaArrayBase::setAllocationFailureHandler(nullptr);
            EXPECT_TRUE(sameBytes(contents(d.list), kept));
            index.query(d.list, { 0, 0, 1, 1 });
        }
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(d.history.undo(doc));
            EXPECT_TRUE(sameBytes(contents(d.list), whole));
            EXPECT_TRUE(index.current(d.list));
            ASSERT_TRUE(d.history.redo(doc));
            EXPECT_TRUE(sameBytes(contents(d.list), kept));
            EXPECT_TRUE(index.current(d.list));
        }
        // The history's own copy followed: a change made now is recorded against `kept`.
        d.list.Get(3)->End.x += 1;
        ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
        ASSERT_TRUE(d.undo());
        EXPECT_TRUE(sameBytes(contents(d.list), kept));
    }
}

// The history's compact copy of the list gives back every byte however the list changes, and
// finds where it differs: records with and without zero words, drag copies and flags, joints of
// chains and look-alikes, changed in place, inserted, removed and cut at chunk boundaries.
TEST(ElementSnapshot, KeepsEveryByteAndFindsWhereTheListDiffers)
{
    std::mt19937 random(11);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const auto record = [&](const TDrawElement *before) {
        TDrawElement e = line(pick(3), pick(4) ? pick(50) : 0, pick(50), pick(50), 0.5 * pick(9));
        e.Kind = pick(2) ? KindLine : KindEllipse;
        if (before && pick(2))
            e.Start = before->End; // a joint
        if (pick(4) == 0)
            e.DragCtrl2 = { -0.0, 1e300 }; // -0.0 is not the zero word
        e.SelEnd = static_cast<std::uint8_t>(pick(2));
        e.Reserved[2] = static_cast<std::uint8_t>(pick(2) * 7);
        return e;
    };
    TDrawElement *cursor = nullptr;
    TElementList list(&cursor);
    std::vector<TDrawElement> mirror;
    ElementSnapshot snapshot;
    for (int round = 0; round < 300; ++round) {
        const auto kept = mirror;
        const auto count = static_cast<int>(mirror.size());
        const int from = pick(count + 1);
        const int to = from + pick(std::min(count - from, 150) + 1);
        const bool sameCount = pick(2) == 0;
        const int inserted = sameCount ? to - from : pick(140);
        std::vector<TDrawElement> fresh;
        for (int i = 0; i < inserted; ++i)
            fresh.push_back(record(fresh.empty() ? (from > 0 ? &mirror[from - 1] : nullptr) : &fresh.back()));
        mirror.erase(mirror.begin() + from, mirror.begin() + to);
        mirror.insert(mirror.begin() + from, fresh.begin(), fresh.end());
        list.Clear();
        list.AppendAll(mirror.data(), static_cast<std::uint32_t>(mirror.size()));
        const auto n = static_cast<std::int32_t>(mirror.size());
        const std::int32_t common = std::min(n, count);

        // Against the list as it was, before the snapshot learns of the change.
        std::int32_t prefix = 0;
        while (prefix < common && std::memcmp(&kept[prefix], &mirror[prefix], sizeof(TDrawElement)) == 0)
            ++prefix;
        std::int32_t suffix = 0;
        while (suffix < common - prefix
            && std::memcmp(&kept[count - 1 - suffix], &mirror[n - 1 - suffix], sizeof(TDrawElement)) == 0)
            ++suffix;
        ASSERT_EQ(snapshot.commonPrefix(list), prefix) << round;
        ASSERT_EQ(snapshot.commonSuffix(list, common - prefix), suffix) << round;

        if (round % 50 == 49)
            snapshot.assign(list);
        else
            snapshot.update(list, from, from + inserted);
        ASSERT_EQ(snapshot.size(), n);
        std::vector<TDrawElement> back(mirror.size());
        snapshot.read(0, n, back.data());
        ASSERT_TRUE(sameBytes(back, mirror)) << round;
        const std::int32_t start = n > 0 ? pick(n) : 0;
        ElementSnapshot::Reader reader(snapshot, start);
        for (std::int32_t i = start; i < n; ++i)
            ASSERT_EQ(std::memcmp(&reader.next(), &mirror[i], sizeof(TDrawElement)), 0) << round;
        ASSERT_EQ(snapshot.commonPrefix(list), n);
    }
    // Mostly zero words and joints: far smaller than the records.
    EXPECT_LT(snapshot.bytes(), mirror.size() * sizeof(TDrawElement) / 2);
}

// Resident memory of this process in bytes.
std::size_t residentBytes()
{
    std::FILE *f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(f, "%lu %lu", &size, &resident);
    std::fclose(f);
    return read == 2 ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

Dib a4Scan(int shade)
{
    Dib scan = Dib::create(4960, 7016, 24);
    if (!scan.isNull()) {
        // Touch every page, so the picture really takes the memory a scan takes.
        std::memset(
            scan.rec().Bits, shade, static_cast<std::size_t>(scan.rec().BytesPerLine) * 7016);
    }
    return scan;
}

// A scan of an A4 page at 600 dpi and a drawing of 100,000 elements: a hundred changes of every
// kind, five of them new scans and one "Linien Neu", keep the history within its limit, the pictures it lets go of
// are really released, and the process does not grow by more than the history holds.
TEST(UndoHistory, MemoryStaysBoundedWithAnA4ScanAndAHundredThousandElements)
{
    Document d;
    for (int i = 0; i < 100000; ++i)
        *d.list.Append() = line(i % 10, i, 0, i + 1, 1);
    d.picture = a4Scan(255);
    ASSERT_FALSE(d.picture.isNull());
    d.history.reset(d.list, d.pen, d.width);
    int released = 0;
    d.history.setPictureReleaser([&released](Dib &&p) {
        ++released;
        p.reset();
    });
    const std::size_t residentBefore = residentBytes();

    int scans = 0;
    for (int step = 0; step < 100; ++step) {
        if (step % 20 == 5) {
            Dib scan = a4Scan(step);
            ASSERT_FALSE(scan.isNull());
            d.replacePicture(std::move(scan));
            ++scans;
        } else if (step == 10) {
            d.list.Clear(); // "Linien Neu" of the whole drawing
        } else if (step < 10) {
            d.list.Get(step * 9973)->End.y += 1; // a node drag
        } else {
            *d.list.Append() = line(0, step, step, step + 1, step); // an appended element
        }
        if (step % 7 == 0)
            d.width = 1 + step % 5;
        ASSERT_TRUE(d.history.checkpoint(d.list, d.pen, d.width));
        EXPECT_LE(d.history.bytes(), UndoHistory::DefaultMaxBytes) << step;
    }
    EXPECT_LE(d.history.undoCount(), 100);
    // Two old A4 scans fit in the limit beside the small steps; the others were let go.
    EXPECT_GE(released, scans - 2);
    if (residentBefore > 0) {
        EXPECT_LT(residentBytes(), residentBefore + UndoHistory::DefaultMaxBytes + (32 << 20));
    }

    // Undo still works from the newest step back as far as the history reaches, and redo
    // returns to the newest drawing.
    const std::uint8_t *newest = d.picture.rec().Bits;
    int undone = 0;
    while (d.undo())
        ++undone;
    EXPECT_GT(undone, 0);
    while (d.redo()) { }
    EXPECT_EQ(d.picture.rec().Bits, newest);
    EXPECT_EQ(d.list.Count(), 85u);
}

} // namespace
