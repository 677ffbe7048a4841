#pragma once

#include <QByteArray>
#include <cstdint>

// The picture size that a file's header declares, read without decoding anything. It covers
// the formats whose decoders cannot report their size before allocating the whole picture
// (GIF, IFF/ILBM, JPEG 2000), so that a forged header is refused before any memory is spent.
struct DeclaredSize
{
    bool known = false;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

DeclaredSize declaredPictureSize(const QByteArray &data);
