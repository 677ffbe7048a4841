#include "raster/scan/SaneScanner.h"

#include "raster/DibLimits.h"

#include <cstring>
#include <sane/sane.h>
#include <sane/saneopts.h>

namespace {

// The process's SANE session: started at the first use and ended when the program ends.
// Some backends do not come back cleanly from sane_exit followed by another sane_init in the
// same process (the test backend then forgets its configuration), so it is started only once.
class SaneSession
{
public:
    static SaneSession &instance()
    {
        static SaneSession session;
        return session;
    }
    SaneSession() { m_status = sane_init(nullptr, nullptr); }
    ~SaneSession()
    {
        if (m_status == SANE_STATUS_GOOD)
            sane_exit();
    }
    SaneSession(const SaneSession &) = delete;
    SaneSession &operator=(const SaneSession &) = delete;
    bool ok() const { return m_status == SANE_STATUS_GOOD; }
    QString error() const { return QString::fromUtf8(sane_strstatus(m_status)); }

private:
    SANE_Status m_status;
};

class SaneDevice
{
public:
    explicit SaneDevice(const QString &name)
    {
        m_status = sane_open(name.toUtf8().constData(), &m_handle);
        if (m_status != SANE_STATUS_GOOD)
            m_handle = nullptr;
    }
    ~SaneDevice()
    {
        if (m_handle) {
            sane_cancel(m_handle);
            sane_close(m_handle);
        }
    }
    SaneDevice(const SaneDevice &) = delete;
    SaneDevice &operator=(const SaneDevice &) = delete;
    SANE_Handle handle() const { return m_handle; }
    SANE_Status status() const { return m_status; }

private:
    SANE_Handle m_handle = nullptr;
    SANE_Status m_status;
};

QString statusText(SANE_Status status)
{
    return QString::fromUtf8(sane_strstatus(status));
}

// Asks for colour scanning where the device offers a mode option with a colour entry.
void chooseColourMode(SANE_Handle handle)
{
    for (SANE_Int i = 1;; ++i) {
        const SANE_Option_Descriptor *opt = sane_get_option_descriptor(handle, i);
        if (!opt)
            return;
        if (!opt->name || std::strcmp(opt->name, SANE_NAME_SCAN_MODE) != 0)
            continue;
        if (opt->type != SANE_TYPE_STRING || opt->constraint_type != SANE_CONSTRAINT_STRING_LIST
            || !SANE_OPTION_IS_SETTABLE(opt->cap))
            return;
        for (const SANE_String_Const *s = opt->constraint.string_list; *s; ++s) {
            if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_COLOR) == 0) {
                std::vector<char> value(static_cast<std::size_t>(opt->size) + 1, 0);
                std::strncpy(value.data(), *s, static_cast<std::size_t>(opt->size));
                sane_control_option(handle, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
                return;
            }
        }
        return;
    }
}

// The raw samples of one page: one buffer per frame, each bytesPerLine x lines.
struct Page
{
    SANE_Parameters params {};
    std::vector<std::uint8_t> gray; // SANE_FRAME_GRAY or SANE_FRAME_RGB
    std::vector<std::uint8_t> channel[3]; // SANE_FRAME_RED, GREEN, BLUE
    bool separateChannels = false;
};

// Samples of one frame as 8 bits per sample (16-bit samples keep their high byte).
std::uint8_t sample8(const std::vector<std::uint8_t> &data, std::size_t index, int depth)
{
    if (depth == 16) {
        // SANE delivers 16-bit samples in the machine's byte order.
        std::uint16_t v;
        std::memcpy(&v, data.data() + index * 2, 2);
        return static_cast<std::uint8_t>(v >> 8);
    }
    return data[index];
}

Dib toDib(const Page &page, int lines)
{
    const SANE_Parameters &p = page.params;
    const int width = p.pixels_per_line;
    const std::size_t bpl = static_cast<std::size_t>(p.bytes_per_line);
    if (width <= 0 || lines <= 0 || !dibSizeAcceptable(width, lines, 24))
        return {};

    const bool colour = page.separateChannels || p.format == SANE_FRAME_RGB;
    // A row must hold every sample the device announced, or the copies below would read past it.
    const std::int64_t samples = p.format == SANE_FRAME_RGB ? 3 * std::int64_t(width) : width;
    const std::int64_t rowBytes = p.depth == 1 ? (samples + 7) / 8 : samples * (p.depth / 8);
    if (static_cast<std::int64_t>(bpl) < rowBytes)
        return {};
    if (colour) {
        Dib dib = Dib::create(width, lines, 24);
        if (dib.isNull())
            return {};
        const TDibRec &r = dib.rec();
        const std::size_t samplesPerLine = p.depth == 16 ? bpl / 2 : bpl;
        for (int y = 0; y < lines; ++y) {
            // SANE sends the top row first; the record stores the bottom row first.
            std::uint8_t *row = r.Bits + static_cast<std::size_t>(lines - 1 - y) * r.BytesPerLine;
            for (int x = 0; x < width; ++x) {
                std::uint8_t rgb[3];
                for (int c = 0; c < 3; ++c) {
                    if (page.separateChannels)
                        rgb[c] = sample8(page.channel[c], y * samplesPerLine + x, p.depth);
                    else
                        rgb[c] = sample8(page.gray, y * samplesPerLine + 3 * x + c, p.depth);
                }
                row[3 * x] = rgb[2];
                row[3 * x + 1] = rgb[1];
                row[3 * x + 2] = rgb[0];
            }
        }
        return dib;
    }

    if (p.depth == 1) {
        // Line art: a set bit is black.
        TBitmapInfo colors {};
        colors.bmiColors[0] = { 255, 255, 255, 0 };
        colors.bmiColors[1] = { 0, 0, 0, 0 };
        Dib dib = Dib::create(width, lines, 1, &colors, 2);
        if (dib.isNull())
            return {};
        const TDibRec &r = dib.rec();
        for (int y = 0; y < lines; ++y) {
            std::uint8_t *row = r.Bits + static_cast<std::size_t>(lines - 1 - y) * r.BytesPerLine;
            std::memcpy(
                row, page.gray.data() + y * bpl, std::min<std::size_t>(bpl, r.BytesPerLine));
        }
        return dib;
    }

    TBitmapInfo greys {};
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        greys.bmiColors[i] = { v, v, v, 0 };
    }
    Dib dib = Dib::create(width, lines, 8, &greys, 256);
    if (dib.isNull())
        return {};
    const TDibRec &r = dib.rec();
    const std::size_t samplesPerLine = p.depth == 16 ? bpl / 2 : bpl;
    for (int y = 0; y < lines; ++y) {
        std::uint8_t *row = r.Bits + static_cast<std::size_t>(lines - 1 - y) * r.BytesPerLine;
        for (int x = 0; x < width; ++x)
            row[x] = sample8(page.gray, y * samplesPerLine + x, p.depth);
    }
    return dib;
}

} // namespace

ScannerList listScanners()
{
    ScannerList list;
    SaneSession &session = SaneSession::instance();
    if (!session.ok()) {
        list.error = session.error();
        return list;
    }
    const SANE_Device **devices = nullptr;
    const SANE_Status status = sane_get_devices(&devices, SANE_TRUE);
    if (status != SANE_STATUS_GOOD) {
        list.error = statusText(status);
        return list;
    }
    for (const SANE_Device **d = devices; d && *d; ++d) {
        list.devices.push_back({ QString::fromUtf8((*d)->name), QString::fromUtf8((*d)->vendor),
            QString::fromUtf8((*d)->model), QString::fromUtf8((*d)->type) });
    }
    return list;
}

ScanOutcome scanPicture(const QString &deviceName, const ScanProgress &progress)
{
    ScanOutcome outcome;
    SaneSession &session = SaneSession::instance();
    if (!session.ok()) {
        outcome.error = session.error();
        return outcome;
    }
    QString name = deviceName;
    if (name.isEmpty()) {
        const SANE_Device **devices = nullptr;
        if (sane_get_devices(&devices, SANE_TRUE) != SANE_STATUS_GOOD || !devices || !devices[0]) {
            outcome.error = QStringLiteral("no scanner found");
            return outcome;
        }
        name = QString::fromUtf8(devices[0]->name);
    }
    SaneDevice device(name);
    if (!device.handle()) {
        outcome.error = statusText(device.status());
        return outcome;
    }
    chooseColourMode(device.handle());

    Page page;
    int lines = 0;
    for (;;) {
        SANE_Status status = sane_start(device.handle());
        if (status != SANE_STATUS_GOOD) {
            outcome.cancelled = status == SANE_STATUS_CANCELLED;
            if (!outcome.cancelled)
                outcome.error = statusText(status);
            return outcome;
        }
        SANE_Parameters params {};
        status = sane_get_parameters(device.handle(), &params);
        if (status != SANE_STATUS_GOOD) {
            outcome.error = statusText(status);
            return outcome;
        }
        if (params.bytes_per_line <= 0 || params.pixels_per_line <= 0
            || (params.depth != 1 && params.depth != 8 && params.depth != 16)) {
            outcome.error = QStringLiteral("the scanner delivers a format that cannot be read");
            return outcome;
        }
        page.params = params;
        std::vector<std::uint8_t> *target = &page.gray;
        switch (params.format) {
        case SANE_FRAME_RED:
        case SANE_FRAME_GREEN:
        case SANE_FRAME_BLUE:
            page.separateChannels = true;
            target = &page.channel[params.format - SANE_FRAME_RED];
            break;
        case SANE_FRAME_GRAY:
        case SANE_FRAME_RGB:
            break;
        default:
            outcome.error = QStringLiteral("the scanner delivers a format that cannot be read");
            return outcome;
        }

        // The expected length is known unless the device scans until the paper ends.
        const std::int64_t expected =
            params.lines > 0 ? static_cast<std::int64_t>(params.lines) * params.bytes_per_line : -1;
        if (expected > kMaxDibBytes) {
            outcome.error = QStringLiteral("the scan is too large");
            return outcome;
        }
        target->clear();
        if (expected > 0)
            target->reserve(static_cast<std::size_t>(expected));
        std::vector<std::uint8_t> chunk(64 * 1024);
        for (;;) {
            SANE_Int got = 0;
            status =
                sane_read(device.handle(), chunk.data(), static_cast<SANE_Int>(chunk.size()), &got);
            if (status == SANE_STATUS_EOF)
                break;
            if (status != SANE_STATUS_GOOD) {
                outcome.cancelled = status == SANE_STATUS_CANCELLED;
                if (!outcome.cancelled)
                    outcome.error = statusText(status);
                return outcome;
            }
            target->insert(target->end(), chunk.begin(), chunk.begin() + got);
            if (static_cast<std::int64_t>(target->size()) > kMaxDibBytes) {
                outcome.error = QStringLiteral("the scan is too large");
                return outcome;
            }
            if (progress) {
                const int percent = expected > 0
                    ? static_cast<int>(static_cast<std::int64_t>(target->size()) * 100 / expected)
                    : -1;
                if (!progress(percent)) {
                    sane_cancel(device.handle());
                    outcome.cancelled = true;
                    return outcome;
                }
            }
        }
        const int frameLines =
            static_cast<int>(target->size() / static_cast<std::size_t>(params.bytes_per_line));
        lines = lines == 0 ? frameLines : std::min(lines, frameLines);
        if (params.last_frame)
            break;
    }
    if (page.separateChannels) {
        for (const auto &c : page.channel) {
            if (c.empty())
                return outcome; // an incomplete three-pass scan delivers nothing
        }
    }
    outcome.picture = toDib(page, lines);
    return outcome;
}
