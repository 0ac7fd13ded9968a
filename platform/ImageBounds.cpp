#include "ImageBounds.h"

#include <algorithm>

namespace ImageBounds {

qint64 pixelsToDecode(const QByteArray &bytes, QSize reported)
{
    const qint64 pixels = qint64(std::max(reported.width(), 0)) * std::max(reported.height(), 0);
    // "GIF87a" or "GIF89a", then the screen's width and height, little-endian.
    if (bytes.size() < 10 || !bytes.startsWith("GIF8"))
        return pixels;
    const auto word = [&bytes](int at) {
        return qint64(quint8(bytes[at])) | qint64(quint8(bytes[at + 1])) << 8;
    };
    return std::max(pixels, word(6) * word(8));
}

} // namespace ImageBounds
