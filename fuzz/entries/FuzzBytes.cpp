#include "FuzzBytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <limits>

namespace linovex::fuzz {

QString scratchDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/linovex-fuzz-XXXXXX"));
    return dir.path();
}

DxfExportParams decodeParams(std::uint8_t selector)
{
    static constexpr std::array<double, 8> kDpi { 72.0, 1.0, 10000.0, 0.0, -5.0,
        std::numeric_limits<double>::quiet_NaN(), 1e300, 299.99 };
    DxfExportParams p;
    p.dpi = kDpi[selector & 7];
    p.millimetres = (selector & 8) != 0;
    p.pieces = static_cast<int>(selector >> 4) - 2; // -2 .. 13
    if (p.pieces == 13)
        p.pieces = 1000;
    return p;
}

namespace {

double coordinate(ByteReader &in, TPointD previous, bool isX)
{
    const std::uint8_t mode = in.byte();
    if (mode < 0xE0)
        return static_cast<double>(in.value<std::int16_t>()) / 8.0;
    // The previous point again gives chains, closed contours and degenerate curves.
    if (mode < 0xF0)
        return isX ? previous.x : previous.y;
    return in.value<double>();
}

TPointD point(ByteReader &in, TPointD previous)
{
    const double x = coordinate(in, previous, true);
    const double y = coordinate(in, previous, false);
    return { x, y };
}

} // namespace

void decodeElements(ByteReader &in, TElementList &list)
{
    TPointD last { 0, 0 };
    // Caps the list so one input never takes more than a moment.
    for (int n = 0; !in.atEnd() && n < 2000; ++n) {
        TDrawElement e {};
        const std::uint8_t kind = in.byte();
        switch (kind & 7) {
        case 0:
        case 1:
            e.Kind = KindLine;
            break;
        case 2:
            e.Kind = KindQuadBezier;
            break;
        case 3:
        case 4:
            e.Kind = KindCubicBezier;
            break;
        case 5:
            e.Kind = KindEllipse;
            break;
        default:
            e.Kind = static_cast<std::int32_t>(kind); // a kind no tool makes
            break;
        }
        e.ClosesChain = (kind & 0x08) ? 1 : 0;
        // Continue the chain from the previous end unless the input starts a new one.
        const bool continues = (kind & 0x10) != 0 && n > 0;
        e.ChainPos = continues ? 1 : 0;
        e.Start = continues ? last : point(in, last);
        e.End = point(in, e.Start);
        e.Ctrl1 = point(in, e.End);
        e.Ctrl2 = point(in, e.Ctrl1);
        if (kind & 0x20)
            e.ChainPos = in.value<std::int32_t>(); // a damaged chain position
        e.SelStart = (kind & 0x40) ? 1 : 0;
        last = e.End;
        if (TDrawElement *slot = list.Append())
            *slot = e;
    }
}

} // namespace linovex::fuzz
