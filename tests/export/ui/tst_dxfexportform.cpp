// The DXF export settings dialog: the coupled width and resolution fields, the values the exports
// read, and the values remembered across a restart.
#include "export/ui/TDXFExportForm.h"

#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every test gets settings of its own, so nothing leaks between tests or into the user's files.
class DxfExportForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(DxfExportForm, DefaultsAndNames)
{
    TDXFExportForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("DXF Export"));
    EXPECT_EQ(form.DivideEd->value(), 4);
    EXPECT_EQ(form.DPIED->value(), 72);
    EXPECT_TRUE(form.DXFismmCheck->isChecked());
    EXPECT_FALSE(form.DXFisZollCheck->isChecked());
    EXPECT_EQ(form.findChild<QDoubleSpinBox *>(QStringLiteral("DPIED")), form.DPIED);
    EXPECT_EQ(form.findChild<QSpinBox *>(QStringLiteral("DivideEd")), form.DivideEd);
}

TEST_F(DxfExportForm, WidthAndResolutionFollowEachOther)
{
    TDXFExportForm form;
    form.refreshWidth(1000);
    // 1000 x 25.39995 / 72 = 352.7770833..., shown with two decimals and a point.
    EXPECT_EQ(form.BreitEdValue->text(), QStringLiteral("352.78"));
    EXPECT_DOUBLE_EQ(form.BreitEdValue->value(), 352.78);

    form.BreitEdValue->setValue(100);
    EXPECT_EQ(form.DPIED->text(), QStringLiteral("253.99950000"));
    EXPECT_DOUBLE_EQ(form.params().dpi, 253.9995);
    // The width set by hand stays as typed: the change does not bounce back.
    EXPECT_DOUBLE_EQ(form.BreitEdValue->value(), 100);

    form.BreitEdValue->setValue(1);
    EXPECT_DOUBLE_EQ(form.DPIED->value(), 10000) << "25399.95 held to the field's range";

    form.DPIED->setValue(500);
    form.BreitEdValue->setValue(0);
    EXPECT_DOUBLE_EQ(form.DPIED->value(), 500) << "a width of 0 leaves the resolution alone";

    // Showing the dialog for another picture refreshes the width from the resolution.
    form.refreshWidth(2000);
    EXPECT_EQ(form.BreitEdValue->text(), QStringLiteral("101.60"));
}

TEST_F(DxfExportForm, ParamsGiveTheScaleOfTheSelectedUnit)
{
    TDXFExportForm form;
    form.DPIED->setValue(72);
    EXPECT_TRUE(form.params().millimetres);
    EXPECT_NEAR(72 / form.params().scaleDivisor(), 25.39995, 1e-12);
    form.DXFisZollCheck->setChecked(true);
    EXPECT_FALSE(form.DXFismmCheck->isChecked());
    EXPECT_DOUBLE_EQ(72 / form.params().scaleDivisor(), 1);
    form.DivideEd->setValue(25);
    EXPECT_EQ(form.params().pieces, 20);
    form.DivideEd->setValue(0);
    EXPECT_EQ(form.params().pieces, 1);
    form.DPIED->setValue(0.5);
    EXPECT_DOUBLE_EQ(form.params().dpi, 1);
    form.DPIED->setValue(1.123456789);
    EXPECT_DOUBLE_EQ(form.params().dpi, 1.12345679) << "read as shown, with eight decimals";
}

TEST_F(DxfExportForm, RemembersResolutionPiecesAndUnit)
{
    {
        TDXFExportForm form;
        form.DPIED->setValue(300);
        form.DivideEd->setValue(9);
        form.DXFisZollCheck->setChecked(true);
    }
    {
        QSettings settings;
        settings.beginGroup(QStringLiteral("TDXFExportForm"));
        EXPECT_DOUBLE_EQ(settings.value(QStringLiteral("DPIED.Value")).toDouble(), 300);
        EXPECT_EQ(settings.value(QStringLiteral("DivideEd.Value")).toInt(), 9);
        EXPECT_FALSE(settings.value(QStringLiteral("DXFismmCheck.Checked")).toBool());
        EXPECT_TRUE(settings.value(QStringLiteral("DXFisZollCheck.Checked")).toBool());
    }
    TDXFExportForm again;
    EXPECT_DOUBLE_EQ(again.DPIED->value(), 300);
    EXPECT_EQ(again.DivideEd->value(), 9);
    EXPECT_TRUE(again.DXFisZollCheck->isChecked());
}

TEST_F(DxfExportForm, ADialogNeverShownKeepsTheStoredPlacement)
{
    const QString key = QStringLiteral("TDXFExportForm/Geometry");
    {
        TDXFExportForm unseen;
        unseen.DPIED->setValue(300);
    }
    // The values are kept, but a placement the dialog never had would open it in the corner.
    EXPECT_DOUBLE_EQ(
        QSettings().value(QStringLiteral("TDXFExportForm/DPIED.Value")).toDouble(), 300);
    EXPECT_FALSE(QSettings().contains(key));

    {
        TDXFExportForm shown;
        shown.move(300, 200);
        shown.show();
        shown.hide();
    }
    const QByteArray stored = QSettings().value(key).toByteArray();
    ASSERT_FALSE(stored.isEmpty());
    {
        TDXFExportForm unseen;
        unseen.setGeometry(0, 0, 50, 50); // wherever a hidden dialog happens to lie
    }
    EXPECT_EQ(QSettings().value(key).toByteArray(), stored);
    TDXFExportForm again;
    again.show();
    EXPECT_EQ(again.pos(), QPoint(300, 200));
}
