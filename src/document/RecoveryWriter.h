#pragma once

#include "document/DrawElement.h"
#include "raster/DibRec.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

class QThread;

// Writes a copy of the open document as a project file in the background, so that a crash or
// a kill loses little work. The file is replaced atomically: a write that fails or is cut
// short leaves the previous recovery file as it was.
//
// The element records are copied when a write starts; the picture is not, since it can be
// very large and the window never changes a picture in place. The caller therefore keeps the
// picture handed to start() alive until finished() arrives, and passes pictures it lets go of
// meanwhile to retire(), which releases them once the write is done.
class RecoveryWriter : public QObject
{
    Q_OBJECT

public:
    explicit RecoveryWriter(QObject *parent = nullptr);
    // Waits for a running write.
    ~RecoveryWriter() override;

    void setFileName(const QString &fileName) { m_fileName = fileName; }
    const QString &fileName() const { return m_fileName; }

    // Starts writing the document on a worker thread. Returns false, and does nothing, while a
    // previous write is still running or when there is no file name.
    bool start(std::vector<TDrawElement> elements, const TDibRec &picture, std::uint32_t penColor,
        double lineWidth);
    bool busy() const { return m_thread != nullptr; }
    // Blocks until the running write, if any, is done and its finished() has been sent.
    void wait();

    // Keeps a picture alive until the running write is done, or releases it now when idle.
    void retire(Dib &&picture);

    // Removes the recovery file, at once or as soon as the running write is done.
    void discard();

signals:
    // Sent on the owner's thread when a write has ended; ok is false when it failed.
    void finished(bool ok);

private:
    void writeDone();

    QString m_fileName;
    QThread *m_thread = nullptr;
    bool m_ok = false;
    std::uint64_t m_generation = 0;
    bool m_discardWhenDone = false;
    std::vector<Dib> m_retired;
};

// Writes a project file from a plain array of records: the count, the records, then the
// picture, pen colour and line width exactly as the project writer lays them out. The file is
// replaced only when everything was written.
bool writeRecoveryFile(const QString &fileName, const std::vector<TDrawElement> &elements,
    const TDibRec &picture, std::uint32_t penColor, double lineWidth);
