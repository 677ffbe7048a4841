#include "raster/JpegEnd.h"

#include <array>
#include <vector>

namespace {

unsigned byteAt(const QByteArray &d, qsizetype pos)
{
    return pos >= 0 && pos < d.size() ? static_cast<unsigned char>(d[pos]) : 0;
}

unsigned be16(const QByteArray &d, qsizetype pos)
{
    return (byteAt(d, pos) << 8) | byteAt(d, pos + 1);
}

bool isFrameMarker(unsigned marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Which coefficients of which components the scans so far have brought to full precision.
class Coverage
{
public:
    void startFrame(const QByteArray &d, qsizetype segment, unsigned marker)
    {
        // SOF2, SOF6, SOF10 and SOF14 are progressive; the others carry every coefficient of a
        // component in one scan.
        m_progressive = (marker & 3) == 2;
        m_ids.clear();
        m_done.clear();
        const unsigned count = byteAt(d, segment + 9);
        for (unsigned i = 0; i < count; ++i) {
            m_ids.push_back(byteAt(d, segment + 10 + 3 * qsizetype(i)));
            m_done.push_back({});
        }
    }

    void addScan(const QByteArray &d, qsizetype segment)
    {
        const unsigned count = byteAt(d, segment + 4);
        const qsizetype params = segment + 5 + 2 * qsizetype(count);
        const unsigned first = m_progressive ? byteAt(d, params) : 0;
        const unsigned last = m_progressive ? byteAt(d, params + 1) : 63;
        const bool fullPrecision = !m_progressive || (byteAt(d, params + 2) & 0x0F) == 0;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned id = byteAt(d, segment + 5 + 2 * qsizetype(i));
            for (std::size_t c = 0; c < m_ids.size(); ++c) {
                if (m_ids[c] != id || !fullPrecision)
                    continue;
                for (unsigned k = first; k <= last && k < 64; ++k)
                    m_done[c][k] = true;
            }
        }
    }

    bool complete() const
    {
        if (m_ids.empty())
            return false;
        for (const auto &done : m_done)
            for (bool d : done)
                if (!d)
                    return false;
        return true;
    }

private:
    bool m_progressive = false;
    std::vector<unsigned> m_ids;
    std::vector<std::array<bool, 64>> m_done;
};

// The position of the first marker after the entropy-coded data that starts at `pos`, or the
// size of the data when none follows. A 0xFF byte is followed by a stuffed 0 or a restart
// marker inside the data; several 0xFF bytes may precede a marker as fill.
qsizetype afterEntropyData(const QByteArray &d, qsizetype pos)
{
    for (; pos + 1 < d.size(); ++pos) {
        if (byteAt(d, pos) != 0xFF)
            continue;
        const unsigned next = byteAt(d, pos + 1);
        if (next != 0 && next != 0xFF && (next < 0xD0 || next > 0xD7))
            return pos;
    }
    return d.size();
}

} // namespace

QByteArray jpegEndMarkerAdded(const QByteArray &data)
{
    if (be16(data, 0) != 0xFFD8)
        return {};
    Coverage coverage;
    qsizetype pos = 2;
    while (pos + 2 <= data.size()) {
        if (byteAt(data, pos) != 0xFF)
            return {};
        const unsigned marker = byteAt(data, pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0xD9)
            return {};
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const qsizetype end = pos + 2 + be16(data, pos + 2);
        // A segment cut short, or one without room for its own length, is left to the decoder.
        if (pos + 4 > data.size() || end < pos + 4 || end > data.size())
            return {};
        if (isFrameMarker(marker))
            coverage.startFrame(data, pos, marker);
        if (marker == 0xDA)
            coverage.addScan(data, pos);
        pos = marker == 0xDA ? afterEntropyData(data, end) : end;
    }
    if (!coverage.complete())
        return {};
    return data + QByteArray::fromHex("ffd9");
}
