#include "app/FileDialogComponent.h"

#include "app/DialogFilter.h"

#include <QFileDialog>

FileDialogComponent::FileDialogComponent(
    const QString &name, Mode mode, const QString &defaultExt, Options options, QObject *parent)
    : QObject(parent)
    , m_mode(mode)
    , m_defaultExt(defaultExt.startsWith(QLatin1Char('.')) ? defaultExt.mid(1) : defaultExt)
    , m_options(options)
{
    setObjectName(name);
}

void FileDialogComponent::setFilterPairs(const QString &pairs)
{
    m_filterPairs = pairs;
    m_filter = qtFileFilter(pairs);
}

QString FileDialogComponent::run(QWidget *parent) const
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(m_mode == Mode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // An open dialog whose file must exist takes only existing files; otherwise any name.
    dialog.setFileMode(m_mode == Mode::Open && m_options.testFlag(FileMustExist)
            ? QFileDialog::ExistingFile
            : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !m_options.testFlag(OverwritePrompt));
    dialog.setDefaultSuffix(m_defaultExt);
    if (!m_filter.isEmpty())
        dialog.setNameFilter(m_filter);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
