#include "app/Prompts.h"

#include "app/FileDialogComponent.h"
#include "base/DynaArray.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>

namespace {

QString &storedTitle()
{
    static QString title;
    return title;
}

} // namespace

void setApplicationTitle(const QString &title)
{
    storedTitle() = title;
}

QString applicationTitle()
{
    return storedTitle().isEmpty() ? QCoreApplication::applicationName() : storedTitle();
}

Prompts Prompts::standard()
{
    Prompts p;
    p.askYesNo = [](QWidget *parent, const QString &text, const QString &caption) {
        return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
    };
    p.showMessage = [](QWidget *parent, const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    };
    p.chooseColor = [](QWidget *parent, const QColor &initial) -> std::optional<QColor> {
        // Opened in full, without an alpha channel: the pen colour is any opaque colour.
        const QColor c = QColorDialog::getColor(initial, parent);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };
    p.chooseFile = [](QWidget *parent, const FileDialogComponent &dialog) {
        return dialog.run(parent);
    };
    p.runModal = [](QDialog *dialog) { dialog->exec(); };
    p.showInfo = [](QWidget *parent, const QString &caption, const QString &text) {
        QMessageBox::information(parent, caption, text);
    };
    p.showError = [](QWidget *parent, const QString &text) {
        QMessageBox box(QMessageBox::Critical, applicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    };
    return p;
}

void installAllocationFailureBox()
{
    DynaArrayBase::setAllocationFailureHandler([](const std::string &message) {
        QMessageBox::critical(nullptr, applicationTitle(), QString::fromStdString(message));
    });
}
