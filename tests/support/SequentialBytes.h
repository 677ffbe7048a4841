#pragma once

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <cstring>

// A device that can only be read front to back, like a pipe, so a reader cannot learn the size
// in advance and must cope with the bytes running out instead. Header-only: the fuzz entries use
// it too, without the rest of the test support.
class SequentialBytes : public QIODevice
{
public:
    explicit SequentialBytes(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_bytes.size() - m_pos);
        std::memcpy(data, m_bytes.constData() + m_pos, static_cast<std::size_t>(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_pos = 0;
};
