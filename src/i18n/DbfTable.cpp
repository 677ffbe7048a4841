#include "i18n/DbfTable.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <shapefil.h>

namespace {

// shapelib hands every file operation to these hooks. The SAFile it passes around is our own
// record, so each open table remembers whether any write or flush on it has failed: shapelib's
// write paths do not report short writes to their callers.
struct HookFile
{
    FILE *file = nullptr;
    bool failed = false;
};

QString g_hookError;
bool g_closeFailed = false;

HookFile *hookFile(SAFile f)
{
    return reinterpret_cast<HookFile *>(f);
}

SAFile hookOpen(const char *name, const char *access)
{
    FILE *file = std::fopen(name, access);
    if (!file)
        return nullptr;
    return reinterpret_cast<SAFile>(new HookFile { file, false });
}

SAOffset hookRead(void *p, SAOffset size, SAOffset count, SAFile f)
{
    return std::fread(p, size, count, hookFile(f)->file);
}

SAOffset hookWrite(void *p, SAOffset size, SAOffset count, SAFile f)
{
    const SAOffset written = std::fwrite(p, size, count, hookFile(f)->file);
    if (written != count)
        hookFile(f)->failed = true;
    return written;
}

SAOffset hookSeek(SAFile f, SAOffset offset, int whence)
{
    return static_cast<SAOffset>(std::fseek(hookFile(f)->file, static_cast<long>(offset), whence));
}

SAOffset hookTell(SAFile f)
{
    return static_cast<SAOffset>(std::ftell(hookFile(f)->file));
}

int hookFlush(SAFile f)
{
    const int rc = std::fflush(hookFile(f)->file);
    if (rc != 0)
        hookFile(f)->failed = true;
    return rc;
}

int hookClose(SAFile f)
{
    HookFile *h = hookFile(f);
    const int rc = std::fclose(h->file);
    g_closeFailed = h->failed || rc != 0;
    delete h;
    return rc;
}

void hookError(const char *message)
{
    g_hookError = QString::fromLocal8Bit(message);
}

SAHooks makeHooks()
{
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = hookOpen;
    hooks.FRead = hookRead;
    hooks.FWrite = hookWrite;
    hooks.FSeek = hookSeek;
    hooks.FTell = hookTell;
    hooks.FFlush = hookFlush;
    hooks.FClose = hookClose;
    hooks.Error = hookError;
    return hooks;
}

quint32 le16(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8;
}

quint32 le32(const QByteArray &b, int at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

void stampToday(DBFInfo *dbf)
{
    const QDate today = QDate::currentDate();
    DBFSetLastModifiedDate(dbf, today.year() - 1900, today.month(), today.day());
}

} // namespace

namespace {
DBFHandle handle(void *p)
{
    return static_cast<DBFHandle>(p);
}
} // namespace

DbfTable::~DbfTable()
{
    close();
}

QString DbfTable::checkFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Die Datei kann nicht gelesen werden.");
    const qint64 size = file.size();
    const QByteArray head = file.read(32);
    if (head.size() < 32)
        return QStringLiteral("Der Dateikopf ist unvollständig.");
    if ((quint8(head[0]) & 0x07) != 0x03)
        return QStringLiteral("Die Datei ist keine dBase-Tabelle.");
    const quint32 count = le32(head, 4);
    const quint32 headerLength = le16(head, 8);
    const quint32 recordLength = le16(head, 10);
    if (headerLength < 32 + 32 + 1 || headerLength > size)
        return QStringLiteral("Die Kopflänge passt nicht zur Datei.");
    if (recordLength < 2)
        return QStringLiteral("Die Satzlänge ist ungültig.");
    const QByteArray descriptors = file.read(headerLength - 32);
    if (descriptors.size() != int(headerLength - 32))
        return QStringLiteral("Der Dateikopf ist unvollständig.");
    // The descriptors end at a 0x0D byte; shapelib instead counts them from the header
    // length, so both readings have to describe the same fields.
    quint32 widths = 1;
    int fields = 0;
    for (int at = 0; at + 32 <= descriptors.size() && descriptors[at] != '\r'; at += 32) {
        const quint32 width = quint8(descriptors[at + 16]);
        if (width == 0)
            return QStringLiteral("Ein Feld hat die Breite 0.");
        widths += width;
        ++fields;
    }
    if (fields == 0 || fields != int((headerLength - 32) / 32))
        return QStringLiteral("Die Feldbeschreibungen sind beschädigt.");
    if (widths != recordLength)
        return QStringLiteral("Die Satzlänge passt nicht zu den Feldern.");
    if (qint64(headerLength) + qint64(count) * qint64(recordLength) > size)
        return QStringLiteral("Die Datei enthält weniger Sätze, als ihr Kopf angibt.");
    return {};
}

bool DbfTable::create(const QString &path, const std::vector<DbfField> &fields, QString *reason)
{
    const QFileInfo target(path);
    // shapelib replaces any extension by ".dbf", so the temporary name keeps that extension.
    const QString temp = target.absoluteDir().filePath(target.completeBaseName() + "-new.dbf");
    QFile::remove(temp);
    SAHooks hooks = makeHooks();
    g_hookError.clear();
    DBFInfo *dbf = DBFCreateLL(QFile::encodeName(temp).constData(), "LDID/87", &hooks);
    if (!dbf) {
        if (reason)
            *reason = QStringLiteral("Die Datei kann nicht angelegt werden.");
        return false;
    }
    bool ok = true;
    for (const DbfField &f : fields)
        ok = ok && DBFAddField(dbf, f.name.constData(), FTString, f.width, 0) >= 0;
    stampToday(dbf);
    DBFClose(dbf);
    ok = ok && !g_closeFailed;
    if (ok && !QFile::rename(temp, path))
        ok = false;
    if (!ok) {
        QFile::remove(temp);
        if (reason)
            *reason = QStringLiteral("Die Datei kann nicht angelegt werden.");
    }
    return ok;
}

bool DbfTable::open(const QString &path, Mode mode, QString *reason)
{
    close();
    const QString problem = checkFile(path);
    if (!problem.isEmpty()) {
        if (reason)
            *reason = problem;
        return false;
    }
    SAHooks hooks = makeHooks();
    g_hookError.clear();
    const char *access = mode == Mode::ReadWrite ? "rb+" : "rb";
    m_dbf = DBFOpenLL(QFile::encodeName(path).constData(), access, &hooks);
    if (!m_dbf) {
        if (reason)
            *reason = g_hookError.isEmpty()
                ? QStringLiteral("Die Datei kann nicht geöffnet werden.")
                : g_hookError;
        return false;
    }
    m_path = path;
    m_readOnly = mode == Mode::ReadOnly;
    m_current = 0;
    m_filter = nullptr;
    m_offsets.clear();
    m_widths.clear();
    for (int i = 0; i < handle(m_dbf)->nFields; ++i) {
        m_offsets.push_back(handle(m_dbf)->panFieldOffset[i]);
        m_widths.push_back(handle(m_dbf)->panFieldSize[i]);
    }
    if (!m_readOnly)
        stampToday(handle(m_dbf));
    return true;
}

void DbfTable::close()
{
    if (handle(m_dbf))
        DBFClose(handle(m_dbf));
    m_dbf = nullptr;
    m_current = 0;
    m_filter = nullptr;
}

int DbfTable::fieldCount() const
{
    return static_cast<int>(m_widths.size());
}

QByteArray DbfTable::fieldName(int field) const
{
    if (!m_dbf || field < 0 || field >= fieldCount())
        return {};
    char name[XBASE_FLDNAME_LEN_READ + 1] = {};
    DBFGetFieldInfo(handle(m_dbf), field, name, nullptr, nullptr);
    return QByteArray(name);
}

int DbfTable::recordCount() const
{
    return m_dbf ? handle(m_dbf)->nRecords : 0;
}

bool DbfTable::isDeleted(int recNo) const
{
    if (!m_dbf || recNo < 1 || recNo > recordCount())
        return true;
    return DBFIsRecordDeleted(handle(m_dbf), recNo - 1) != 0;
}

QByteArray DbfTable::field(int recNo, int field) const
{
    if (!m_dbf || recNo < 1 || recNo > recordCount() || field < 0 || field >= fieldCount())
        return {};
    // The raw record is read instead of DBFReadStringAttribute, which also strips leading
    // blanks; a field keeps them and loses only its padding.
    const char *raw = DBFReadTuple(handle(m_dbf), recNo - 1);
    if (!raw)
        return {};
    QByteArray value(raw + m_offsets[field], m_widths[field]);
    // A zero byte cannot be part of a text; some writers pad with zeros instead of blanks.
    const int nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    int end = value.size();
    while (end > 0 && value[end - 1] == ' ')
        --end;
    value.truncate(end);
    return value;
}

void DbfTable::scanField(
    int field, const std::function<void(int recNo, const QByteArray &value)> &visit)
{
    if (!m_dbf || field < 0 || field >= fieldCount())
        return;
    DBFHandle dbf = handle(m_dbf);
    // Reading around shapelib is safe because every write is posted and flushed at once.
    const int offset = m_offsets[std::size_t(field)];
    const int width = m_widths[std::size_t(field)];
    const qint64 recordLength = dbf->nRecordLength;
    // Whole runs of records are read into one reused buffer: far fewer system calls than a
    // read per record, and no more memory than a few hundred kilobytes for any table size.
    const qint64 perChunk = std::max<qint64>(1, (256 * 1024) / recordLength);
    QByteArray chunk(int(perChunk * recordLength), Qt::Uninitialized);
    QFile file(m_path);
    bool ok =
        file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && file.seek(dbf->nHeaderLength);
    int recNo = 1;
    while (ok && recNo <= dbf->nRecords) {
        const qint64 count = std::min<qint64>(perChunk, dbf->nRecords - recNo + 1);
        ok = file.read(chunk.data(), count * recordLength) == count * recordLength;
        for (qint64 i = 0; ok && i < count; ++i, ++recNo) {
            const char *record = chunk.constData() + i * recordLength;
            if (record[0] == '*')
                continue;
            const char *value = record + offset;
            const void *nul = std::memchr(value, '\0', std::size_t(width));
            int end = nul ? int(static_cast<const char *>(nul) - value) : width;
            while (end > 0 && value[end - 1] == ' ')
                --end;
            visit(recNo, QByteArray(value, end));
        }
    }
    // A read that falls short (the file changed under the program) ends with the records
    // that shapelib reads one by one, which report what is missing as empty fields.
    for (; recNo <= recordCount(); ++recNo) {
        if (!isDeleted(recNo))
            visit(recNo, this->field(recNo, field));
    }
}

bool DbfTable::fail(const QString &reason)
{
    m_lastError = reason;
    return false;
}

bool DbfTable::writeRecord(int recNo, const QByteArray &raw)
{
    const int before = handle(m_dbf)->nRecords;
    DBFWriteTuple(handle(m_dbf), recNo - 1, const_cast<char *>(raw.constData()));
    DBFUpdateHeader(handle(m_dbf));
    auto *file = hookFile(handle(m_dbf)->fp);
    if (!file->failed)
        return true;
    // The disk refused the record. The table is taken back to its last good state in memory
    // and no further writes are tried, so the header written at close still describes only
    // the records that reached the file.
    handle(m_dbf)->nRecords = before;
    handle(m_dbf)->nCurrentRecord = -1;
    handle(m_dbf)->bCurrentRecordModified = 0;
    m_readOnly = true;
    return fail(QStringLiteral("Der Satz konnte nicht geschrieben werden."));
}

bool DbfTable::setField(int recNo, int field, const QByteArray &value)
{
    if (!m_dbf || m_readOnly)
        return fail(QStringLiteral("Die Tabelle ist schreibgeschützt."));
    if (recNo < 1 || recNo > recordCount() || field < 0 || field >= fieldCount())
        return fail(QStringLiteral("Diesen Satz gibt es nicht."));
    const char *current = DBFReadTuple(handle(m_dbf), recNo - 1);
    if (!current)
        return fail(QStringLiteral("Der Satz kann nicht gelesen werden."));
    QByteArray raw(current, handle(m_dbf)->nRecordLength);
    QByteArray padded = value.left(m_widths[field]);
    padded.append(QByteArray(m_widths[field] - padded.size(), ' '));
    raw.replace(m_offsets[field], m_widths[field], padded);
    return writeRecord(recNo, raw);
}

int DbfTable::append(const std::vector<QByteArray> &values)
{
    if (!m_dbf || m_readOnly) {
        fail(QStringLiteral("Die Tabelle ist schreibgeschützt."));
        return 0;
    }
    QByteArray raw(handle(m_dbf)->nRecordLength, ' ');
    for (int i = 0; i < fieldCount() && i < int(values.size()); ++i)
        raw.replace(m_offsets[i], values[i].left(m_widths[i]).size(), values[i].left(m_widths[i]));
    const int recNo = recordCount() + 1;
    if (!writeRecord(recNo, raw))
        return 0;
    m_current = recNo;
    return recNo;
}

bool DbfTable::setDeleted(int recNo, bool deleted)
{
    if (!m_dbf || m_readOnly)
        return fail(QStringLiteral("Die Tabelle ist schreibgeschützt."));
    if (recNo < 1 || recNo > recordCount())
        return fail(QStringLiteral("Diesen Satz gibt es nicht."));
    const char *current = DBFReadTuple(handle(m_dbf), recNo - 1);
    if (!current)
        return fail(QStringLiteral("Der Satz kann nicht gelesen werden."));
    QByteArray raw(current, handle(m_dbf)->nRecordLength);
    raw[0] = deleted ? '*' : ' ';
    return writeRecord(recNo, raw);
}

bool DbfTable::goTo(int recNo)
{
    if (!m_dbf || recNo < 1 || recNo > recordCount())
        return false;
    m_current = recNo;
    return true;
}

bool DbfTable::isVisible(int recNo) const
{
    return !isDeleted(recNo) && (!m_filter || m_filter(recNo));
}

bool DbfTable::first()
{
    for (int r = 1; r <= recordCount(); ++r) {
        if (isVisible(r))
            return goTo(r);
    }
    m_current = 0;
    return false;
}

bool DbfTable::next()
{
    for (int r = m_current + 1; r <= recordCount(); ++r) {
        if (isVisible(r))
            return goTo(r);
    }
    return false;
}

bool DbfTable::last()
{
    for (int r = recordCount(); r >= 1; --r) {
        if (isVisible(r))
            return goTo(r);
    }
    m_current = 0;
    return false;
}

bool DbfTable::prior()
{
    for (int r = std::min(m_current, recordCount() + 1) - 1; r >= 1; --r) {
        if (isVisible(r))
            return goTo(r);
    }
    return false;
}

std::vector<int> DbfTable::visibleRecords() const
{
    std::vector<int> out;
    for (int r = 1; r <= recordCount(); ++r) {
        if (isVisible(r))
            out.push_back(r);
    }
    return out;
}
