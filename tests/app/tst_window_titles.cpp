// The captions of the program's windows as the X server holds them (_NET_WM_NAME, read with
// xdotool), so that nothing Qt adds on the way goes unseen. Runs on a virtual X display.
#include "PromptRecorder.h"
#include "app/AppWindows.h"
#include "app/TAboutBox.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/ui/TTranslateForm.h"
#include "print/ui/TPrintForm.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString titleOnScreen(const QWidget *window)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
        { QStringLiteral("getwindowname"), QString::number(window->winId()) });
    if (!xdotool.waitForFinished(10000))
        return QStringLiteral("(xdotool did not answer)");
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

} // namespace

TEST(WindowTitles, TheWindowSystemShowsTheCaptionsExactly)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    linovex::test::useScratchProgramFolders(dir.path());
    QCoreApplication::setApplicationName(QStringLiteral("Linovex"));

    AppWindows windows({});
    PromptRecorder prompts;
    prompts.install(windows.mainForm());
    windows.mainForm().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows.mainForm()));
    // The first edit marks the document as changed in the main window's caption.
    windows.mainForm().findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"))->setValue(5);

    const std::pair<QWidget *, QString> expected[] = {
        { &windows.mainForm(), QStringLiteral("Mervane Linovex 1.0*") },
        { windows.printForm(), QStringLiteral("Bild drucken...") },
        { windows.aboutBox(), QStringLiteral("Info") },
        { windows.dxfExportForm(), QStringLiteral("DXF Export") },
        { windows.translateForm(), QStringLiteral("Übersetzen") },
    };
    for (const auto &[window, caption] : expected) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << caption.toStdString();
        // The caption reaches the server on its own time.
        QString shown;
        for (int i = 0; i < 50 && (shown = titleOnScreen(window)) != caption; ++i)
            QTest::qWait(100);
        EXPECT_EQ(shown.toStdString(), caption.toStdString());
        if (window != &windows.mainForm())
            window->hide();
    }
}
