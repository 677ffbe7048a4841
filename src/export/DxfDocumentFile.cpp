#include "export/DxfDocumentFile.h"

#include "dxf/DXFExport.h"

#include <QSaveFile>
#include <algorithm>
#include <ostream>
#include <streambuf>
#include <vector>

namespace {

// Hands the bytes of a std::ostream to a Qt device in large blocks and remembers whether
// the device took them all.
class DeviceStreamBuf : public std::streambuf
{
public:
    explicit DeviceStreamBuf(QIODevice &device)
        : m_device(device)
        , m_buffer(1 << 16)
    {
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

    bool ok() const { return m_ok; }

protected:
    int_type overflow(int_type ch) override
    {
        if (!flushBuffer())
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    std::streamsize xsputn(const char *data, std::streamsize count) override
    {
        if (count > epptr() - pptr()) {
            if (!flushBuffer())
                return 0;
            if (count >= static_cast<std::streamsize>(m_buffer.size()))
                return writeThrough(data, count) ? count : 0;
        }
        std::copy(data, data + count, pptr());
        pbump(static_cast<int>(count));
        return count;
    }

    int sync() override { return flushBuffer() ? 0 : -1; }

private:
    bool writeThrough(const char *data, std::streamsize count)
    {
        if (m_ok && m_device.write(data, count) != count)
            m_ok = false;
        return m_ok;
    }

    bool flushBuffer()
    {
        const std::streamsize pending = pptr() - pbase();
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
        return pending == 0 ? m_ok : writeThrough(m_buffer.data(), pending);
    }

    QIODevice &m_device;
    std::vector<char> m_buffer;
    bool m_ok = true;
};

} // namespace

QString saveDocumentAtomically(TsgDXFExport &document, const QString &fileName)
{
    QSaveFile file(fileName);
    // The stream buffer already hands over large blocks; a second buffer in the device would
    // only copy them again.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    DeviceStreamBuf buffer(file);
    std::ostream stream(&buffer);
    const bool written = document.SaveToStream(stream) && buffer.ok();
    if (!written) {
        const QString reason = file.errorString();
        file.cancelWriting();
        // A device that refused the bytes may not say why.
        return reason.isEmpty() ? QStringLiteral("write error") : reason;
    }
    if (!file.commit())
        return file.errorString().isEmpty() ? QStringLiteral("commit failed") : file.errorString();
    return {};
}
