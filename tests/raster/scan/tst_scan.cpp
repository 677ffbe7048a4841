#include "raster/scan/SaneScanner.h"
#include "raster/scan/ScanDelivery.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// SANE's test backend behind a private configuration folder, so the test neither sees the
// machine's real scanners nor waits for them to be probed. SANE remembers the folder for the
// whole process, so all tests share one.
class ScanTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(s_dir->isValid());
        QFile dll(s_dir->filePath(QStringLiteral("dll.conf")));
        ASSERT_TRUE(dll.open(QIODevice::WriteOnly));
        dll.write("test\n");
        // Without test.conf the backend scans a single pixel. The scanner is left in grey mode
        // so that the test also proves colour is chosen by us.
        QFile conf(s_dir->filePath(QStringLiteral("test.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("number_of_devices 2\nmode Gray\ndepth 8\nresolution 50\n"
                   "test-picture \"Color pattern\"\ntl_x 0\ntl_y 0\nbr_x 80\nbr_y 100\n");
        qputenv("SANE_CONFIG_DIR", s_dir->path().toLocal8Bit());
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QTemporaryDir *s_dir;
};

QTemporaryDir *ScanTest::s_dir = nullptr;

} // namespace

TEST_F(ScanTest, ListsTheTestScanners)
{
    const ScannerList list = listScanners();
    EXPECT_TRUE(list.error.isEmpty());
    ASSERT_EQ(list.devices.size(), 2u);
    EXPECT_EQ(list.devices[0].name, QStringLiteral("test:0"));
    EXPECT_EQ(list.devices[1].name, QStringLiteral("test:1"));
}

TEST_F(ScanTest, ColourScanArrivesAsTwentyFourBitsMatchingTheDevice)
{
    std::vector<int> progress;
    ScanOutcome scan = scanPicture(QStringLiteral("test:0"), [&](int p) {
        progress.push_back(p);
        return true;
    });
    ASSERT_FALSE(scan.picture.isNull()) << scan.error.toStdString();
    EXPECT_FALSE(scan.cancelled);
    EXPECT_EQ(scan.picture.bitCount(), 24);
    // 80 x 100 mm at 50 dpi.
    EXPECT_EQ(scan.picture.width(), 157);
    EXPECT_EQ(scan.picture.height(), 196);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);

    // The same scan through SANE's own command-line front end must give the same pixels.
    const QString scanimage = QStandardPaths::findExecutable(QStringLiteral("scanimage"));
    if (scanimage.isEmpty())
        GTEST_SKIP() << "scanimage is not installed";
    QProcess p;
    p.start(scanimage,
        { QStringLiteral("-d"), QStringLiteral("test:0"), QStringLiteral("--mode"),
            QStringLiteral("Color"), QStringLiteral("--format=pnm") });
    ASSERT_TRUE(p.waitForFinished(20000));
    QImage reference;
    ASSERT_TRUE(reference.loadFromData(p.readAllStandardOutput(), "PPM"));
    const QImage ours = [&] {
        QImage img(scan.picture.width(), scan.picture.height(), QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(
                    x, y, 0xFF000000 | getpixel(scan.picture.rec(), x, img.height() - 1 - y));
        return img;
    }();
    ASSERT_EQ(reference.size(), ours.size());
    int differing = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x)
            differing += reference.pixel(x, y) != ours.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

TEST_F(ScanTest, CancelDeliversNothing)
{
    int calls = 0;
    ScanOutcome scan = scanPicture(QStringLiteral("test:1"), [&](int) { return ++calls < 2; });
    EXPECT_TRUE(scan.cancelled);
    EXPECT_TRUE(scan.picture.isNull());
    EXPECT_TRUE(scan.error.isEmpty());
}

TEST_F(ScanTest, UnknownDeviceFailsWithAReason)
{
    ScanOutcome scan = scanPicture(QStringLiteral("test:9"));
    EXPECT_TRUE(scan.picture.isNull());
    EXPECT_FALSE(scan.error.isEmpty());
}

TEST(ScanDelivery, EachPictureIsTakenOnce)
{
    Dib first = Dib::create(3, 2, 24);
    const std::uint8_t *bits = first.rec().Bits;
    const std::uintptr_t key = depositScannedPicture(std::move(first));
    EXPECT_NE(key, 0u);
    const std::uintptr_t other = depositScannedPicture(Dib::create(1, 1, 8));
    EXPECT_NE(other, key);

    TDibRec out;
    GetScanedDib(out, key);
    EXPECT_EQ(out.Bits, bits);
    Dib taken(out);

    GetScanedDib(out, key);
    EXPECT_EQ(out.Bits, nullptr);
    GetScanedDib(out, 987654);
    EXPECT_EQ(out.Bits, nullptr);

    GetScanedDib(out, other);
    Dib second(out);
    EXPECT_EQ(second.width(), 1);
}
