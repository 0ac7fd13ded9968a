#include "ArtworkDecoder.h"

#include "ImageBounds.h"

#include <QBuffer>
#include <QImageReader>

namespace ArtworkDecoder {

QImage decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // Cover art comes in a few raster formats; other plugins are kept away from server bytes.
    static const QList<QByteArray> formats = { "png", "jpeg", "gif", "webp", "bmp" };
    if (!formats.contains(reader.format()))
        return {};
    // The size comes from the header, so an oversized image is refused before it is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || ImageBounds::pixelsToDecode(bytes, size) * 4 > maxDecodedBytes)
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.sizeInBytes() > maxDecodedBytes)
        return {};
    return image;
}

} // namespace ArtworkDecoder
