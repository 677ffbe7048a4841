#include "document/RecoveryWriter.h"

#include "document/ProjectFile.h"

#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <algorithm>

namespace {

// The project writer takes an element list, and building one from the copied records would
// move them once per block of the store. So the count and the records are written here, and
// the writer adds the rest of the format for an empty list through this device, which leaves
// out the empty list's count. The layout of the file stays the writer's alone.
class SkipLeadingBytes : public QIODevice
{
public:
    SkipLeadingBytes(QIODevice &target, qint64 skip)
        : m_target(target)
        , m_skip(skip)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const qint64 skipped = std::min(m_skip, size);
        m_skip -= skipped;
        if (size > skipped && m_target.write(data + skipped, size - skipped) != size - skipped)
            return -1;
        return size;
    }

private:
    QIODevice &m_target;
    qint64 m_skip;
};

} // namespace

bool writeRecoveryFile(const QString &fileName, const std::vector<TDrawElement> &elements,
    const TDibRec &picture, std::uint32_t penColor, double lineWidth)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto count = static_cast<std::int32_t>(elements.size());
    const auto recordBytes = static_cast<qint64>(elements.size() * sizeof(TDrawElement));
    bool ok = file.write(reinterpret_cast<const char *>(&count), 4) == 4
        && (recordBytes == 0
            || file.write(reinterpret_cast<const char *>(elements.data()), recordBytes)
                == recordBytes);
    if (ok) {
        const TElementList none;
        SkipLeadingBytes rest(file, 4);
        ok = writeProject(rest, none, picture, penColor, lineWidth);
    }
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

RecoveryWriter::RecoveryWriter(QObject *parent)
    : QObject(parent)
{
}

RecoveryWriter::~RecoveryWriter()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

bool RecoveryWriter::start(std::vector<TDrawElement> elements, const TDibRec &picture,
    std::uint32_t penColor, double lineWidth)
{
    if (m_thread || m_fileName.isEmpty())
        return false;
    m_discardWhenDone = false;
    m_thread = QThread::create([this, fileName = m_fileName, elements = std::move(elements),
                                   picture, penColor, lineWidth] {
        m_ok = writeRecoveryFile(fileName, elements, picture, penColor, lineWidth);
    });
    // A write that wait() has already collected must not collect a later one.
    const std::uint64_t generation = ++m_generation;
    connect(
        m_thread, &QThread::finished, this,
        [this, generation] {
            if (m_thread && m_generation == generation)
                writeDone();
        },
        Qt::QueuedConnection);
    m_thread->start(QThread::LowPriority);
    return true;
}

void RecoveryWriter::writeDone()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_retired.clear();
    if (m_discardWhenDone) {
        m_discardWhenDone = false;
        QFile::remove(m_fileName);
    }
    emit finished(m_ok);
}

void RecoveryWriter::wait()
{
    if (m_thread) {
        m_thread->wait();
        writeDone();
    }
}

void RecoveryWriter::retire(Dib &&picture)
{
    if (m_thread)
        m_retired.push_back(std::move(picture));
    else
        picture.reset();
}

void RecoveryWriter::discard()
{
    if (m_thread)
        m_discardWhenDone = true;
    else if (!m_fileName.isEmpty())
        QFile::remove(m_fileName);
}
