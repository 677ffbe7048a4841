#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

// One character field of a dBase III table.
struct DbfField
{
    QByteArray name;
    int width = 0;
};

// A small dBase III table engine over shapelib's DBF routines. Records are addressed by their
// record number, counting from 1 in file order. The engine keeps a current record and an
// optional record filter, and writes every change through to the file at once ("post"), record
// bytes first and the header's record count after them, so an interrupted write never leaves a
// header that promises more records than the file holds.
class DbfTable
{
public:
    enum class Mode { ReadWrite, ReadOnly };
    using Filter = std::function<bool(int recNo)>;

    DbfTable() = default;
    ~DbfTable();
    DbfTable(const DbfTable &) = delete;
    DbfTable &operator=(const DbfTable &) = delete;

    // Checks that the file is a dBase table whose header, field descriptors and record count
    // agree with each other and with the file's size. Returns an empty string when it does,
    // otherwise the reason in German.
    static QString checkFile(const QString &path);

    // Creates an empty table with the given character fields and the language driver byte of
    // Windows-1252. The file is built under a temporary name and renamed into place, so a
    // failed creation never leaves a damaged table behind. An existing file is not replaced.
    static bool create(const QString &path, const std::vector<DbfField> &fields, QString *reason);

    bool open(const QString &path, Mode mode, QString *reason);
    void close();

    bool isOpen() const { return m_dbf != nullptr; }
    bool isReadOnly() const { return m_readOnly; }
    QString path() const { return m_path; }

    int fieldCount() const;
    QByteArray fieldName(int field) const;
    // Record count as the header says, deleted records included.
    int recordCount() const;

    bool isDeleted(int recNo) const;
    // A field's bytes without trailing blanks; empty for a record or field that does not exist.
    QByteArray field(int recNo, int field) const;

    // Writes one field of an existing record and posts it. Texts wider than the field are cut.
    bool setField(int recNo, int field, const QByteArray &value);
    // Appends and posts a record whose fields take the given values (missing ones blank);
    // the new record becomes current. Returns its record number, or 0 when it failed.
    int append(const std::vector<QByteArray> &values);
    bool setDeleted(int recNo, bool deleted);

    // The current record, 0 when there is none. goTo ignores the filter: a record number
    // always names the same record.
    int current() const { return m_current; }
    bool goTo(int recNo);

    // Walks the records that are not deleted and pass the filter.
    bool first();
    bool next();
    bool last();
    bool prior();
    bool isVisible(int recNo) const;
    // Calls back with the record number and the field's bytes (as field() gives them) for every
    // record that is not deleted, in file order, ignoring the filter. Reads the file directly,
    // which at start-up is many times faster than fetching whole records one by one.
    void scanField(int field, const std::function<void(int recNo, const QByteArray &value)> &visit);
    // All visible record numbers in file order.
    std::vector<int> visibleRecords() const;

    void setFilter(Filter filter) { m_filter = std::move(filter); }
    void clearFilter() { m_filter = nullptr; }
    bool isFiltered() const { return static_cast<bool>(m_filter); }

    QString lastError() const { return m_lastError; }

private:
    bool writeRecord(int recNo, const QByteArray &raw);
    bool fail(const QString &reason);

    void *m_dbf = nullptr; // the shapelib handle, kept opaque so users need no shapelib headers
    QString m_path;
    bool m_readOnly = true;
    int m_current = 0;
    Filter m_filter;
    std::vector<int> m_offsets;
    std::vector<int> m_widths;
    mutable QString m_lastError;
};
