#include "ExportTestDrawing.h"
#include "InkCompare.h"
#include "export/EmfExport.h"
#include "export/PictureExport.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Another program reads the metafile and draws the lines where the editor draws them. Inkscape
// is large and not part of the test machine's packages; without it the test is skipped.
TEST(EmfRender, InkscapeDrawsTheMetafileLikeTheEditor)
{
    const QString inkscape = QStandardPaths::findExecutable(QStringLiteral("inkscape"));
    if (inkscape.isEmpty())
        GTEST_SKIP() << "inkscape is not installed; install the Debian package inkscape to run "
                        "this comparison";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExportTestDrawing d = ExportTestDrawing::everyKind();
    EmfExportSettings s;
    s.lineWidth = 3;
    const QString emfName = dir.filePath(QStringLiteral("drawing.emf"));
    const QString pngName = dir.filePath(QStringLiteral("inkscape.png"));
    ASSERT_TRUE(saveasemf(d.list, s, emfName).ok);

    QProcess p;
    p.setProcessEnvironment([&] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.path()); // keeps Inkscape's settings out of ours
        return env;
    }());
    // The standard reference device has 96 pixels per inch, so 96 dpi gives one pixel per unit.
    p.start(inkscape,
        { QStringLiteral("--export-type=png"), QStringLiteral("--export-dpi=96"),
            QStringLiteral("--export-area-page"), QStringLiteral("--export-background=white"),
            QStringLiteral("--export-background-opacity=1"),
            QStringLiteral("--export-filename=") + pngName, emfName });
    ASSERT_TRUE(p.waitForFinished(180000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage page = QImage(pngName).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    // The page is the frame: the whole screen, 508 x 286 mm.
    EXPECT_NEAR(page.width(), 1920, 1);
    EXPECT_NEAR(page.height(), 1081, 1);
    const QImage rendered = page.copy(0, 0, 240, 120);

    Dib picture = Dib::create(240, 120, 24);
    PictureExportSettings ps;
    ps.picture = &picture.rec();
    ps.withPicture = false;
    ps.lineWidth = 3;
    const QImage ours = exportPicture(d.list, ps);
    ASSERT_GT(inkCount(ours), 500);
    EXPECT_EQ(unmatchedInk(ours, rendered, 2), 0);
    EXPECT_EQ(unmatchedInk(rendered, ours, 2), 0);
    EXPECT_EQ(inkCount(page), inkCount(rendered)) << "nothing is drawn outside the drawing";
}
