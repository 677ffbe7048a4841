#include "document/ProjectFile.h"
#include "support/SequentialBytes.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

Dib whitePicture(int w, int h)
{
    Dib d = Dib::create(w, h, 24);
    const TDibRec &r = d.rec();
    std::memset(r.Bits, 255, static_cast<std::size_t>(r.BytesPerLine) * h);
    return d;
}

TDrawElement element(std::int32_t chainPos, std::int32_t kind, double seed)
{
    TDrawElement e {};
    e.ChainPos = chainPos;
    e.Kind = kind;
    e.Start = { seed, seed + 1 };
    e.End = { seed + 2, seed + 3 };
    e.Ctrl1 = { seed + 4, seed + 5 };
    e.Ctrl2 = { seed + 6, seed + 7 };
    e.DragStart = { -seed, 0.125 };
    e.DragCtrl2 = { 1e300, -0.0 };
    e.ClosesChain = 1;
    e.SelEnd = 1;
    e.SelCtrl2 = 1;
    return e;
}

QByteArray save(const TElementList &list, const TDibRec &pic, std::uint32_t color, double width)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeProject(buf, list, pic, color, width));
    return bytes;
}

ProjectReadResult load(const QByteArray &bytes)
{
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return readProject(buf);
}

template <typename T> T valueAt(const QByteArray &bytes, qsizetype offset)
{
    T v;
    std::memcpy(&v, bytes.constData() + offset, sizeof v);
    return v;
}

} // namespace

TEST(ProjectFile, StartUpDocumentLayout)
{
    TDrawElement *cur = nullptr;
    TElementList list(&cur);
    Dib pic = whitePicture(320, 320);
    const QByteArray bytes = save(list, pic.rec(), 0x000000FF, 3.0);

    ASSERT_EQ(bytes.size(), 4 + 4 + 4 + 40 + 320 * 960 + 4 + 8);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 0), 0);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 4), 40);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 8), 0);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 12), 40); // biSize
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 16), 320); // biWidth
    EXPECT_EQ(valueAt<std::uint16_t>(bytes, 26), 24); // biBitCount
    EXPECT_EQ(static_cast<unsigned char>(bytes[52]), 255);
    const qsizetype trailer = 52 + 320 * 960;
    EXPECT_EQ(valueAt<std::uint32_t>(bytes, trailer), 0x000000FFu);
    EXPECT_EQ(valueAt<double>(bytes, trailer + 4), 3.0);
}

TEST(ProjectFile, HeaderSizeFollowsColourCount)
{
    EXPECT_EQ(projectHeaderSize(1).headerSize, 48);
    EXPECT_EQ(projectHeaderSize(4).headerSize, 104);
    EXPECT_EQ(projectHeaderSize(8).headerSize, 1064);
    EXPECT_EQ(projectHeaderSize(8).colorCount, 256);
    EXPECT_EQ(projectHeaderSize(16).headerSize, 40);
    EXPECT_EQ(projectHeaderSize(24).colorCount, 0);
    EXPECT_EQ(projectHeaderSize(32).headerSize, 40); // 2^32 wraps to 0 colours
    EXPECT_EQ(projectHeaderSize(32).colorCount, 0);
}

TEST(ProjectFile, RoundTripKeepsEverythingByteForByte)
{
    TDrawElement *cur = nullptr;
    TElementList list(&cur);
    *list.Append() = element(0, KindLine, 1);
    *list.Append() = element(1, KindCubicBezier, 10);
    *list.Append() = element(0, KindEllipse, 20);
    list.Get(0)->Reserved[1] = 0x5A; // reserved bytes travel unchanged too

    TBitmapInfo colors {};
    for (int i = 0; i < 256; ++i)
        colors.bmiColors[i] = { static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
            static_cast<std::uint8_t>(i / 2), 0 };
    Dib pic = Dib::create(5, 3, 8, &colors, 256);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            setpixel(pic.rec(), x, y, static_cast<std::uint32_t>(y * 5 + x));

    const QByteArray bytes = save(list, pic.rec(), 0x00336699, 2.5);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 4 + 3 * 144), 1064);
    EXPECT_EQ(valueAt<std::int32_t>(bytes, 8 + 3 * 144), 256);

    ProjectReadResult r = load(bytes);
    ASSERT_TRUE(r.ok) << r.reason.toStdString();
    ASSERT_EQ(r.contents.elements->Count(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&r.contents.elements->at(i), &list.at(i), 144), 0) << i;
    const Dib &back = r.contents.picture;
    ASSERT_EQ(back.width(), 5);
    ASSERT_EQ(back.height(), 3);
    ASSERT_EQ(back.bitCount(), 8);
    EXPECT_EQ(std::memcmp(back.rec().BitmapInfo->bmiColors, colors.bmiColors, 1024), 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(getpixel(back.rec(), x, y), static_cast<std::uint32_t>(y * 5 + x));
    EXPECT_EQ(r.contents.penColor, 0x00336699u);
    EXPECT_EQ(r.contents.lineWidth, 2.5);

    // Writing what was read gives the same file.
    EXPECT_EQ(
        save(*r.contents.elements, back.rec(), r.contents.penColor, r.contents.lineWidth), bytes);
}

// Pictures of every depth, with widths whose rows need padding, come back with the same
// header, colour table and rows; a reader that used the wrong stride or table size would shift
// every row after the first.
TEST(ProjectFile, EveryDepthComesBackWithColoursAndPixels)
{
    for (const int bits : { 1, 4, 8, 24 }) {
        const int width = 13;
        const int height = 4;
        const int colours = bits <= 8 ? 1 << bits : 0;
        TBitmapInfo table {};
        for (int i = 0; i < colours; ++i)
            table.bmiColors[i] = { static_cast<std::uint8_t>(3 * i), static_cast<std::uint8_t>(i),
                static_cast<std::uint8_t>(255 - i), 0 };
        Dib pic = Dib::create(width, height, bits, &table, colours);
        ASSERT_FALSE(pic.isNull()) << bits;
        const std::uint32_t mask = bits == 24 ? 0xFFFFFFu : (1u << bits) - 1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                setpixel(pic.rec(), x, y, static_cast<std::uint32_t>(x * 7919 + y * 104729) & mask);
        TElementList list;
        *list.Append() = element(0, KindCubicBezier, bits);

        const QByteArray bytes = save(list, pic.rec(), 0x00010203, 0.75);
        const std::int32_t stride = pic.rec().BytesPerLine;
        const ProjectHeaderSize hs = projectHeaderSize(bits);
        ASSERT_EQ(bytes.size(), 4 + 144 + 8 + hs.headerSize + stride * height + 12) << bits;

        const ProjectReadResult r = load(bytes);
        ASSERT_TRUE(r.ok) << bits << ": " << r.reason.toStdString();
        const Dib &back = r.contents.picture;
        ASSERT_EQ(back.bitCount(), bits);
        ASSERT_EQ(back.width(), width);
        ASSERT_EQ(back.rec().BytesPerLine, stride);
        EXPECT_EQ(std::memcmp(back.rec().Bits, pic.rec().Bits, std::size_t(stride) * height), 0)
            << bits;
        EXPECT_EQ(std::memcmp(back.rec().BitmapInfo->bmiColors, table.bmiColors, 4 * colours), 0)
            << bits;
        EXPECT_EQ(back.rec().HasPalette, bits <= 8 ? 1 : 0);
        ASSERT_EQ(r.contents.elements->Count(), 1u);
        EXPECT_EQ(std::memcmp(&r.contents.elements->at(0), &list.at(0), 144), 0) << bits;
    }
}

TEST(ProjectFile, EveryTruncationIsRefused)
{
    TElementList list;
    *list.Append() = element(0, KindQuadBezier, 3);
    Dib pic = Dib::create(3, 2, 4);
    const QByteArray bytes = save(list, pic.rec(), 0, 1.0);
    ASSERT_TRUE(load(bytes).ok);
    for (qsizetype n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(load(bytes.left(n)).ok) << "prefix of " << n << " bytes";
}

TEST(ProjectFile, DamagedCountsAndHeadersAreRefusedBeforeAllocating)
{
    TElementList list;
    Dib pic = whitePicture(4, 4);
    const QByteArray good = save(list, pic.rec(), 0, 1.0);

    auto patched = [&](qsizetype offset, std::int32_t value) {
        QByteArray b = good;
        std::memcpy(b.data() + offset, &value, 4);
        return b;
    };
    EXPECT_FALSE(load(patched(0, -1)).ok);
    EXPECT_FALSE(load(patched(0, 0x7FFFFFFF)).ok); // 300 GB of elements in a small file
    EXPECT_FALSE(load(patched(4, 1064)).ok); // header size does not fit 24 bits
    EXPECT_FALSE(load(patched(4, 100000)).ok);
    EXPECT_FALSE(load(patched(4, 12)).ok);
    EXPECT_FALSE(load(patched(8, 256)).ok);
    EXPECT_FALSE(load(patched(16, 0x40000000)).ok); // width beyond the rows present
    EXPECT_FALSE(load(patched(20, -4)).ok); // top-down height
    EXPECT_FALSE(load(patched(20, 0x7FFFFFFF)).ok);

    QByteArray badBits = good;
    const std::uint16_t sixteen = 16;
    std::memcpy(badBits.data() + 26, &sixteen, 2);
    EXPECT_FALSE(load(badBits).ok);

    QByteArray extra = good;
    extra.append('\0');
    EXPECT_FALSE(load(extra).ok);

    QByteArray nanWidth = good;
    const double nan = std::nan("");
    std::memcpy(nanWidth.data() + nanWidth.size() - 8, &nan, 8);
    EXPECT_FALSE(load(nanWidth).ok);
}

// Read from a pipe, the elements arrive in pieces of growing size; every record must come
// through whole and in order across the pieces, and a count the pipe does not deliver is
// refused like a short file.
TEST(ProjectFile, PipeReadsElementsAcrossPiecesAndRefusesAForgedCount)
{
    TDrawElement *cur = nullptr;
    TElementList list(&cur);
    for (int i = 0; i < 5000; ++i)
        *list.Append() = element(i % 10, i % 4, i * 0.5);
    Dib pic = whitePicture(3, 2);
    QByteArray bytes = save(list, pic.rec(), 0x00123456, 2.5);

    SequentialBytes pipe(bytes);
    const ProjectReadResult read = readProject(pipe);
    ASSERT_TRUE(read.ok) << read.reason.toStdString();
    ASSERT_EQ(read.contents.elements->Count(), 5000u);
    for (int i = 0; i < 5000; i += 509) {
        const TDrawElement expected = element(i % 10, i % 4, i * 0.5);
        EXPECT_EQ(std::memcmp(&read.contents.elements->at(i), &expected, sizeof expected), 0) << i;
    }
    EXPECT_EQ(read.contents.penColor, 0x00123456u);

    const std::int32_t forged = 100'000'000;
    std::memcpy(bytes.data(), &forged, sizeof forged);
    SequentialBytes forgedPipe(bytes);
    const ProjectReadResult refused = readProject(forgedPipe);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.reason.contains(QLatin1String("fewer elements")))
        << refused.reason.toStdString();
}

// The records are read and checked in pieces of 1024, 2048, ... records, from files and pipes
// alike. Counts on either side of a piece's end must come through whole; a last record cut short
// or not a number must be refused however the pieces fall.
TEST(ProjectFile, ElementCountsAroundPieceEndsReadWholeAndTheirLastRecordIsChecked)
{
    Dib pic = whitePicture(2, 1);
    for (const int count : { 1023, 1024, 1025, 3071, 3072, 3073 }) {
        TElementList list;
        for (int i = 0; i < count; ++i)
            *list.Append() = element(i % 7, i % 3, i);
        const QByteArray bytes = save(list, pic.rec(), 0x00ABCDEF, 1.5);
        const qsizetype lastRecord = 4 + qsizetype(count - 1) * 144;

        QByteArray cut = bytes;
        cut.remove(lastRecord + 100, 1);
        QByteArray notANumber = bytes;
        const double inf = HUGE_VAL;
        std::memcpy(
            notANumber.data() + lastRecord + offsetof(TDrawElement, DragCtrl2) + 8, &inf, 8);

        for (const bool pipe : { false, true }) {
            const auto read = [&](const QByteArray &b) {
                if (!pipe)
                    return load(b);
                SequentialBytes in(b);
                return readProject(in);
            };
            const ProjectReadResult r = read(bytes);
            ASSERT_TRUE(r.ok) << count << " " << pipe << ": " << r.reason.toStdString();
            ASSERT_EQ(r.contents.elements->Count(), static_cast<std::uint32_t>(count));
            EXPECT_EQ(std::memcmp(&r.contents.elements->at(0), &list.at(0), count * 144u), 0)
                << count << " " << pipe;

            // One byte less in the last record shifts everything after it: the sizes no longer
            // add up, so the file is refused, wherever the reader notices it.
            EXPECT_FALSE(read(cut).ok) << count << " " << pipe;
            const ProjectReadResult bad = read(notANumber);
            EXPECT_FALSE(bad.ok) << count << " " << pipe;
            EXPECT_TRUE(bad.reason.contains(QLatin1String("not a number"))) << count << " " << pipe;
        }
    }
}

// When the store cannot grow to the count the file holds, the store reports it and the read is
// refused with that said, so the window shows no second message.
TEST(ProjectFile, ElementsBeyondMemoryAreRefusedAsSuch)
{
    TElementList list;
    *list.Append() = element(0, KindLine, 1);
    *list.Append() = element(1, KindLine, 2);
    Dib pic = whitePicture(2, 1);
    QByteArray bytes = save(list, pic.rec(), 0, 1);

    std::vector<std::string> messages;
    DynaArrayBase::setAllocationFailureHandler(
        [&](const std::string &m) { messages.push_back(m); });
    DynaArrayBase::setBlockAllocator([](std::size_t) -> void * { return nullptr; });
    for (const bool pipe : { false, true }) {
        QBuffer file(&bytes);
        file.open(QIODevice::ReadOnly);
        SequentialBytes sequential(bytes);
        const ProjectReadResult r = pipe ? readProject(sequential) : readProject(file);
        EXPECT_FALSE(r.ok) << pipe;
        EXPECT_TRUE(r.outOfMemory) << pipe;
    }
    DynaArrayBase::setBlockAllocator(nullptr);
    DynaArrayBase::setAllocationFailureHandler(nullptr);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], DynaArrayBase::allocationFailureMessage(100 * 144));
}

TEST(ProjectFile, ElementsWithCoordinatesThatAreNotNumbersAreRefused)
{
    for (double bad : { std::nan(""), HUGE_VAL, -HUGE_VAL }) {
        TElementList list;
        TDrawElement e = element(0, KindLine, 1);
        e.DragCtrl1.y = bad;
        *list.Append() = e;
        Dib pic = whitePicture(2, 2);
        EXPECT_FALSE(load(save(list, pic.rec(), 0, 1)).ok) << bad;
    }
}

TEST(ProjectFile, ProgressRunsFromZeroToHundredAndBack)
{
    std::vector<int> seen;
    TElementList list;
    Dib pic = whitePicture(2, 3);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writeProject(buf, list, pic.rec(), 0, 1, [&](int p) { seen.push_back(p); }));
    EXPECT_EQ(seen, (std::vector<int> { 0, 0, 50, 100, 0 }));

    seen.clear();
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    ASSERT_TRUE(readProject(in, [&](int p) { seen.push_back(p); }).ok);
    EXPECT_EQ(seen, (std::vector<int> { 0, 0, 50, 100, 0 }));

    EXPECT_EQ(projectRowProgress(0, 1), 0); // a one-row picture
    EXPECT_EQ(projectRowProgress(199, 200), 100);
    EXPECT_EQ(projectRowProgress(100, 200), 50); // 100 * 100 / 199, integer division
}

TEST(ProjectFile, FilesOnDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TElementList list;
    *list.Append() = element(0, KindLine, 0);
    Dib pic = whitePicture(7, 2);
    const QString path = dir.filePath(QStringLiteral("a.lvx"));

    ProjectLoad missing = loadProjectFile(dir.filePath(QStringLiteral("none.lvx")));
    EXPECT_TRUE(missing.cannotOpen);
    EXPECT_FALSE(missing.result.ok);

    ASSERT_TRUE(saveProjectFile(path, list, pic.rec(), 0xFF, 3));
    ProjectLoad loaded = loadProjectFile(path);
    ASSERT_TRUE(loaded.result.ok);
    EXPECT_FALSE(loaded.cannotOpen);
    EXPECT_EQ(loaded.result.contents.elements->Count(), 1u);

    // A save that cannot complete leaves the existing file as it was.
    const QByteArray before = readFile(path);
    EXPECT_FALSE(
        saveProjectFile(dir.filePath(QStringLiteral("no/such/dir/b.lvx")), list, pic.rec(), 0, 1));
    TDibRec noPicture {};
    EXPECT_FALSE(saveProjectFile(path, list, noPicture, 0, 1));
    EXPECT_EQ(readFile(path), before);
}

TEST(ProjectFile, MutatedFilesNeverCrashOrHang)
{
    TElementList list;
    for (int i = 0; i < 4; ++i)
        *list.Append() = element(i == 2 ? 0 : 1, i % 3, i);
    Dib pic = Dib::create(9, 5, 4);
    const QByteArray good = save(list, pic.rec(), 0x123456, 4.5);
    // Offsets of the fields whose damage matters most: the count, the header size and colour
    // count, and the header's width, height and bit count.
    const qsizetype header = 4 + 4 * 144;
    const qsizetype fields[] = { 0, 1, 3, header, header + 4, header + 8 + 4, header + 8 + 8,
        header + 8 + 11, header + 8 + 14 };

    std::uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int accepted = 0;
    for (int round = 0; round < 1000; ++round) {
        QByteArray b = good;
        switch (round % 4) {
        case 0:
            b.truncate(next() % b.size());
            break;
        case 1:
            b[fields[next() % std::size(fields)]] ^= static_cast<char>(1 + next() % 255);
            break;
        case 2: {
            const std::int32_t huge = static_cast<std::int32_t>(0x10000000 + next());
            std::memcpy(b.data() + fields[next() % 2 == 0 ? 0 : 3], &huge, 4);
            break;
        }
        default:
            b[next() % b.size()] ^= static_cast<char>(1 + next() % 255);
            break;
        }
        const ProjectReadResult r = load(b);
        if (r.ok) {
            ++accepted;
            // What is accepted is whole: the picture is there and the sizes add up.
            EXPECT_FALSE(r.contents.picture.isNull());
            EXPECT_TRUE(std::isfinite(r.contents.lineWidth));
        }
    }
    // Flipped pixel or element bytes still give a valid file; damaged structure does not.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 1000);
}

namespace {

// Saves in a child process whose files may not grow beyond `limit` bytes, as on a full disk or
// over a quota; the write that crosses the limit fails with EFBIG instead of the process
// being stopped. The exit code says whether saveProjectFile reported success.
int saveWithSizeLimit(const QString &path, const TElementList &list, const TDibRec &pic,
    std::uint32_t color, double width, rlim_t limit)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit r { limit, limit };
        if (::setrlimit(RLIMIT_FSIZE, &r) != 0)
            ::_exit(3);
        ::_exit(saveProjectFile(path, list, pic, color, width) ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

TEST(ProjectFile, SaveThatFailsPartWayKeepsTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("keep.lvx"));
    TElementList oldList;
    *oldList.Append() = element(0, KindLine, 1);
    Dib oldPic = whitePicture(30, 20);
    ASSERT_TRUE(saveProjectFile(path, oldList, oldPic.rec(), 0xFF, 1));
    const QByteArray before = readFile(path);

    TElementList list;
    for (int i = 0; i < 200; ++i)
        *list.Append() = element(i % 5, KindQuadBezier, i);
    Dib pic = Dib::create(400, 300, 24);
    const qint64 newSize = 4 + 200 * 144 + 8 + 40 + 1200 * 300 + 12;
    // Limits that cut the save in the element block, in the header, in the rows, and one byte
    // before the end.
    for (const rlim_t limit : { rlim_t(0), rlim_t(1000), rlim_t(4 + 200 * 144 + 20),
             rlim_t(newSize / 2), rlim_t(newSize - 1) }) {
        EXPECT_EQ(saveWithSizeLimit(path, list, pic.rec(), 0x00FF00, 2, limit), 1) << limit;
        EXPECT_EQ(readFile(path), before) << limit;
        // The temporary file of the failed save is gone too.
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("keep.lvx") })
            << limit;
    }
    // With room enough the same save goes through.
    EXPECT_EQ(saveWithSizeLimit(path, list, pic.rec(), 0x00FF00, 2, rlim_t(newSize)), 0);
    EXPECT_EQ(QFile(path).size(), newSize);
}
