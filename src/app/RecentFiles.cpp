#include "app/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

RecentFiles::RecentFiles(QString key)
    : m_key(std::move(key))
{
}

QStringList RecentFiles::entries() const
{
    QStringList list = QSettings().value(m_key).toStringList();
    list.removeAll(QString());
    list.removeDuplicates();
    return list.mid(0, MaxEntries);
}

void RecentFiles::add(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList list = entries();
    list.removeAll(path);
    list.prepend(path);
    store(list.mid(0, MaxEntries));
}

void RecentFiles::remove(const QString &fileName)
{
    QStringList list = entries();
    list.removeAll(QFileInfo(fileName).absoluteFilePath());
    store(list);
}

void RecentFiles::store(const QStringList &list) const
{
    QSettings().setValue(m_key, list);
}
