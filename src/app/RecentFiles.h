#pragma once

#include <QString>
#include <QStringList>

// A list of recently used files kept in the user's settings, newest first, each file once.
class RecentFiles
{
public:
    static constexpr int MaxEntries = 8;

    // `key` names the list in the settings, for example "RecentFiles/Projects".
    explicit RecentFiles(QString key);

    QStringList entries() const;
    // Puts the file, with its absolute path, in front; an older entry of it goes.
    void add(const QString &fileName);
    void remove(const QString &fileName);

private:
    void store(const QStringList &list) const;

    QString m_key;
};
