#include "view/ui/FormStorage.h"

#include <QAction>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Window
{
    std::unique_ptr<QMainWindow> w = std::make_unique<QMainWindow>();
    QAction *rulers = new QAction(w.get());
    QWidget *panel = new QWidget(w.get());
    QDoubleSpinBox *value = new QDoubleSpinBox(w.get());
    FormStorage *storage;

    Window()
    {
        w->setObjectName(QStringLiteral("TTestForm"));
        rulers->setObjectName(QStringLiteral("Linealeanzeigen1"));
        rulers->setCheckable(true);
        rulers->setChecked(true);
        panel->setObjectName(QStringLiteral("Panel2"));
        value->setObjectName(QStringLiteral("DPIED"));
        value->setDecimals(8);
        value->setRange(1, 10000);
        value->setValue(72);
        storage = new FormStorage(w.get(), QStringLiteral("TTestForm"),
            { QStringLiteral("Linealeanzeigen1.Checked"), QStringLiteral("Panel2.Visible"),
                QStringLiteral("DPIED.Value") },
            FormStorage::Placement::StateAndPosition);
    }
};

class FormStorageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("LinovexTest"));
        QCoreApplication::setApplicationName(QStringLiteral("formstorage"));
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FormStorageTest, DefaultsStayWhenNothingWasStored)
{
    Window a;
    a.w->show();
    EXPECT_TRUE(a.rulers->isChecked());
    EXPECT_FALSE(a.panel->isHidden());
    EXPECT_EQ(a.value->value(), 72);
}

TEST_F(FormStorageTest, ValuesSurviveCloseAndAreRestoredOnShow)
{
    {
        Window a;
        a.w->show();
        a.rulers->setChecked(false);
        a.panel->hide();
        a.value->setValue(253.9995);
        a.w->setGeometry(40, 50, 600, 400);
        a.w->close();
    }
    {
        // A run that never shows the window holds only defaults; they must not replace the
        // stored values and placement.
        Window unseen;
        unseen.storage->save();
    }
    Window b;
    EXPECT_TRUE(b.rulers->isChecked()); // nothing is restored before the window shows
    b.w->show();
    EXPECT_FALSE(b.rulers->isChecked());
    EXPECT_TRUE(b.panel->isHidden());
    EXPECT_DOUBLE_EQ(b.value->value(), 253.9995);
    EXPECT_EQ(b.w->normalGeometry().size(), QSize(600, 400));
}

TEST_F(FormStorageTest, SavingFromAHiddenWindowKeepsChildVisibility)
{
    {
        Window a;
        a.w->show();
        a.w->hide();
        a.rulers->setChecked(false);
        a.storage->save(); // hidden: its children report invisible, yet none was hidden
    }
    Window b;
    b.w->show();
    EXPECT_FALSE(b.panel->isHidden());
    EXPECT_FALSE(b.rulers->isChecked());
}
