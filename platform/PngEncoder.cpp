#include "PngEncoder.h"

#include <QtEndian>

#include <zlib.h>

namespace PngEncoder {

QByteArray encode(const QImage &image)
{
    if (image.isNull())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage rows
        = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const qsizetype rowBytes = qsizetype(rows.width()) * (alpha ? 4 : 3);
    QByteArray raw;
    raw.reserve((1 + rowBytes) * rows.height());
    for (int y = 0; y < rows.height(); ++y) {
        raw.append('\0'); // no filter: quicker, for a file that only lives while it is shown
        raw.append(reinterpret_cast<const char *>(rows.constScanLine(y)), rowBytes);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef *>(data.data()), &size,
                  reinterpret_cast<const Bytef *>(raw.constData()), static_cast<uLong>(raw.size()),
                  Z_BEST_SPEED)
        != Z_OK) {
        return {};
    }
    data.truncate(static_cast<qsizetype>(size));

    QByteArray header(13, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(rows.width()), header.data());
    qToBigEndian<quint32>(static_cast<quint32>(rows.height()), header.data() + 4);
    header[8] = 8; // bits a sample
    header[9] = alpha ? 6 : 2; // RGBA or RGB
    QByteArray png("\x89PNG\r\n\x1a\n");
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", data);
    appendChunk(png, "IEND", {});
    return png;
}

void appendChunk(QByteArray &png, const char *type, QByteArrayView data)
{
    char word[4];
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), word);
    png.append(word, 4);
    const qsizetype start = png.size();
    png.append(type, 4).append(data);
    const QByteArrayView typed = QByteArrayView(png).sliced(start);
    qToBigEndian<quint32>(
        static_cast<quint32>(crc32(0, reinterpret_cast<const Bytef *>(typed.data()),
                                   static_cast<uInt>(typed.size()))),
        word);
    png.append(word, 4);
}

} // namespace PngEncoder
