#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// Checks of a file's structure made before a decoder sees it. Some FreeImage decoders trust
// their input: a truncated run-length Targa file corrupts the heap, a truncated IFF file makes
// the chunk walk spin for ever, and a truncated PCX file decodes stale buffer contents without
// complaint. These checks walk the encoded data without decoding it and refuse files whose
// data ends early or whose runs overflow the picture.
//
// Other formats get a cheaper test: a file of n bytes cannot hold more pixels than the format's
// best possible compression allows, so a header that claims far more (a forged size, or a file
// cut off early) is refused before a decoder allocates and fills the whole picture.
enum class CheckedFormat {
    Targa,
    Iff,
    Pcx,
    Bmp,
    Gif,
    Jpeg,
    Png,
};

bool structureIntact(CheckedFormat format, const QByteArray &data);

// Whether the fourth byte of each pixel of a 32-bit BMP or Targa picture is alpha. A BMP holds
// alpha only where a colour mask names it (BI_BITFIELDS with an alpha mask in a header of 56 bytes
// or more, or BI_ALPHABITFIELDS); a Targa picture only where its descriptor declares alpha bits.
// Writers fill the spare byte of the others with anything, often 0, which taken for alpha would
// turn the whole picture into blank paper. True for every other file and format.
bool fourthByteIsAlpha(CheckedFormat format, const QByteArray &data);

// The check that belongs to a format as Qt's image reader names it ("bmp", "png", "jpeg", ...),
// so that Qt's decoders get the same checks as FreeImage's; none for formats without a check.
std::optional<CheckedFormat> checkedFormatForQt(const QByteArray &qtFormat);

// For formats without a check of their own (TIFF, PSD, WebP and the like): whether the file can
// plausibly hold a picture of this size. 65,536 pixels per byte is far beyond what a real picture
// compresses to, but it refuses a few hundred bytes that announce hundreds of millions of pixels
// before a decoder allocates them. Fax-coded TIFF pictures are the exception: a blank row costs
// one bit however wide it is, so a blank page scanned at 1200 dpi takes far fewer bytes; they
// get a bound of 262,144 pixels per byte, and at least one bit per row.
bool sizePlausibleForFile(std::int64_t width, std::int64_t height, const QByteArray &data);
