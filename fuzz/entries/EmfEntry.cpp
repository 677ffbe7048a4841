#include "FuzzBytes.h"
#include "FuzzEntries.h"
#include "emf/EmfReader.h"
#include "export/EmfExport.h"

#include <array>

namespace linovex::fuzz {

namespace {

bool inside(const emf::Point &p, const emf::Rect &r)
{
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

} // namespace

std::string emfExport(std::span<const std::uint8_t> data)
{
    // The zooms and widths the window can hand over, with their edges.
    static constexpr std::array<double, 8> kZoom { 100, 10, 1000, 30000, 1, 50, 333, 20000 };
    static constexpr std::array<double, 4> kWidth { 3, 0, 0.5, 250 };
    ByteReader in(data);
    const std::uint8_t options = in.byte();
    EmfExportSettings settings;
    settings.zoom = kZoom[options & 7];
    settings.lineWidth = kWidth[(options >> 3) & 3];
    settings.penColor = QColor::fromRgb(in.byte(), in.byte(), in.byte());
    TElementList list;
    decodeElements(in, list);

    const QByteArray bytes = emfBytes(list, settings);
    if (bytes.isEmpty())
        return "a small drawing gave no metafile";
    const emf::ReadResult file =
        emf::read(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()));
    if (!file.ok)
        return "the metafile is not well-formed: " + file.error;
    // Programs place and clip the picture by the header's bounds, so every point drawn must lie
    // within them.
    if (list.Count() > 0) {
        for (const emf::Record &r : file.records) {
            if (r.type == emf::EMR_MOVETOEX)
                continue; // a move draws nothing
            for (const emf::Point &p : r.points()) {
                if (!inside(p, file.header.bounds))
                    return "a point of record " + std::to_string(r.type)
                        + " lies outside the header's bounds";
            }
        }
    }
    return {};
}

} // namespace linovex::fuzz
