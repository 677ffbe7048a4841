#include "app/TAboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *namedLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));

    auto *panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);

    auto *icon = namedLabel("ProgramIcon", QString(), panel);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/linovex.svg")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    m_productName = namedLabel("ProductName", QStringLiteral("Mervane Linovex"), panel);
    QFont bold = m_productName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.5);
    m_productName->setFont(bold);
    m_version = namedLabel("Version", QStringLiteral("Version 1.0"), panel);
    m_copyright = namedLabel("Copyright", QStringLiteral("Copyright © Mervane"), panel);
    m_comments = namedLabel("Comments",
        QStringLiteral("Zeichnet Bilder von Hand als Vektorzeichnung nach und exportiert sie als "
                       "DXF mit Splines, als DXF für CNC-Maschinen mit Kreisbögen und als EMF."),
        panel);
    m_comments->setWordWrap(true);

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_productName);
    texts->addWidget(m_version);
    texts->addWidget(m_copyright);
    texts->addSpacing(8);
    texts->addWidget(m_comments);
    texts->addStretch();

    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(icon);
    panelLayout->addLayout(texts, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(buttons);
    setFixedSize(360, 220);
}
