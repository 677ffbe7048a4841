#include "TableFixture.h"
#include "raster/scan/ScanDelivery.h"
#include "raster/ui/ScanLibrary.h"
#include "raster/ui/ScannerSelectDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Collects the scanned pictures posted to it, as the main window does.
class Receiver : public QWidget
{
public:
    std::vector<std::uintptr_t> keys;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == kScanEventType) {
            keys.push_back(static_cast<ScanEvent *>(e)->wParam());
            return true;
        }
        return QWidget::event(e);
    }
};

class ScanUi : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QFile dll(s_dir->filePath(QStringLiteral("dll.conf")));
        ASSERT_TRUE(dll.open(QIODevice::WriteOnly));
        dll.write("test\n");
        QFile conf(s_dir->filePath(QStringLiteral("test.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("number_of_devices 2\nmode Color\nresolution 25\n"
                   "test-picture \"Color pattern\"\nbr_x 40\nbr_y 30\n");
        qputenv("SANE_CONFIG_DIR", s_dir->path().toLocal8Bit());
        // Remembered settings go to a private folder too.
        qputenv("XDG_CONFIG_HOME", s_dir->filePath(QStringLiteral("config")).toLocal8Bit());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QCoreApplication::setOrganizationName(QStringLiteral("LinovexTest"));
    }
    static void TearDownTestSuite() { delete s_dir; }
    static QTemporaryDir *s_dir;
};

QTemporaryDir *ScanUi::s_dir = nullptr;

} // namespace

TEST_F(ScanUi, SelectionDialogSaysSoWhenThereIsNoScanner)
{
    ScannerList none;
    ScannerSelectDialog dialog(none, QString(), nullptr);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("NoScannerLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().contains(QStringLiteral("kein Scanner")));
    auto *box = dialog.findChild<QDialogButtonBox *>();
    EXPECT_FALSE(box->button(QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(dialog.selectedDevice().isEmpty());
}

// The dialog is made when the menu item is chosen, after the start-up walk has translated the
// windows, so its texts are looked up when it is built.
class ScanUiTranslated : public TableFixture
{
};

TEST_F(ScanUiTranslated, SelectionDialogShowsTheCurrentLanguage)
{
    const QString noScanner = QStringLiteral(
        "Es wurde kein Scanner gefunden. Bitte schließen Sie einen Scanner an und schalten Sie "
        "ihn ein.");
    start(1);
    {
        // The first showing adds the records, still in German.
        ScannerSelectDialog first(ScannerList {}, QString(), nullptr);
        EXPECT_EQ(first.windowTitle(), QStringLiteral("Scanner wählen"));
    }
    setTranslation(QStringLiteral("Scanner wählen"), 1, "Select Scanner");
    setTranslation(noScanner, 1, "No scanner was found.");
    setTranslation(QStringLiteral("Abbrechen"), 1, "Cancel");
    start(1);
    ScannerSelectDialog dialog(ScannerList {}, QString(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Scanner"));
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("NoScannerLabel"))->text(),
        QStringLiteral("No scanner was found."));
    auto *box = dialog.findChild<QDialogButtonBox *>();
    EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
    Translator::setInstance(nullptr);
}

TEST_F(ScanUi, SelectionDialogPreselectsTheRememberedScanner)
{
    ScannerList list;
    list.devices = { { QStringLiteral("a:0"), QStringLiteral("V"), QStringLiteral("M"), {} },
        { QStringLiteral("b:1"), QStringLiteral("V"), QStringLiteral("N"), {} } };
    ScannerSelectDialog remembered(list, QStringLiteral("b:1"), nullptr);
    EXPECT_EQ(remembered.selectedDevice(), QStringLiteral("b:1"));
    ScannerSelectDialog unknown(list, QStringLiteral("gone:7"), nullptr);
    EXPECT_EQ(unknown.selectedDevice(), QStringLiteral("a:0"));
}

TEST_F(ScanUi, TwoScansArriveAsTwoEventsEachTakenOnce)
{
    setChosenScanner(QStringLiteral("test:1"));
    EXPECT_EQ(chosenScanner(), QStringLiteral("test:1"));
    Receiver window;
    TWAIN_ScanImage(&window);
    TWAIN_ScanImage(&window);
    QCoreApplication::sendPostedEvents(&window);
    ASSERT_EQ(window.keys.size(), 2u);
    for (std::uintptr_t key : window.keys) {
        TDibRec rec;
        GetScanedDib(rec, key);
        Dib picture(rec);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.bitCount(), 24);
    }
}
