#include "ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace ImageDecoder {

namespace {

// A shape far from square is reduced whole before its middle is taken, so a decoder that reduces
// as it reads never holds more than this many times the pixels kept.
constexpr double reducedPixelsPerKept = 16;

// Cover art comes in a few raster formats, told here by their signatures; vector and exotic
// formats are never parsed. Only the reader of the format found is loaded: asking Qt to tell the
// format would load every image plugin installed, and each would read the bytes.
QByteArray formatOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (bytes.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return "gif";
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return "webp";
    if (bytes.startsWith("BM"))
        return "bmp";
    return {};
}

// A GIF's decoder fills its whole logical screen, which the header may make far larger than the
// image the reader reports.
qint64 pixelsToDecode(const QByteArray &bytes, QSize reported)
{
    const qint64 pixels = qint64(reported.width()) * reported.height();
    // "GIF87a" or "GIF89a", then the screen's width and height, little-endian.
    if (bytes.size() < 10 || !bytes.startsWith("GIF8"))
        return pixels;
    const auto word = [&bytes](int at) {
        return qint64(quint8(bytes[at])) | qint64(quint8(bytes[at + 1])) << 8;
    };
    return std::max(pixels, word(6) * word(8));
}

// libpng allocates a chunk at the length it declares and fills the allocation as it reads, so a
// few hundred bytes claiming gigabytes cost gigabytes. A chunk that runs past the end of the
// body makes the file broken, and it never reaches libpng.
bool pngChunksFit(const QByteArray &bytes)
{
    qint64 at = 8; // the signature
    while (at + 8 <= bytes.size()) {
        const qint64 length = qFromBigEndian<quint32>(bytes.constData() + at);
        const bool last = bytes.mid(at + 4, 4) == "IEND";
        at += 12 + length; // length, type, data, checksum
        if (at > bytes.size())
            return false;
        if (last)
            break;
    }
    return true;
}

// `reader` set to read `bytes` through `buffer` in the format their signature names; false for
// bytes of no allowed format.
bool openReader(QBuffer &buffer, QImageReader &reader, const QByteArray &bytes)
{
    const QByteArray format = formatOf(bytes);
    buffer.setData(bytes);
    if (format.isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return false;
    reader.setDevice(&buffer);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    return true;
}

std::optional<Header> headerOf(QImageReader &reader, const QByteArray &bytes)
{
    Header header;
    header.format = reader.format();
    if (header.format.isEmpty() || (header.format == "png" && !pngChunksFit(bytes)))
        return std::nullopt;
    header.size = reader.size();
    if (header.size.isEmpty())
        return std::nullopt;
    header.pixels = pixelsToDecode(bytes, header.size);
    // Reducing works at four bytes a pixel or more, whatever the stored depth; GIF and WebP
    // readers name no format before decoding, and decode to 32 bits.
    const QImage::Format format = reader.imageFormat();
    if (format != QImage::Format_Invalid)
        header.bitsPerPixel = std::max<int>(32, QImage::toPixelFormat(format).bitsPerPixel());
    return header;
}

// The size to have the reader produce: what `bounds` keep, or, for a shape far from square, the
// whole reduced further; the reader may do it as it decodes, with less memory.
QSize reducedSize(QSize size, const Bounds &bounds)
{
    const double side = bounds.largestSide;
    const double width = size.width();
    const double height = size.height();
    double factor = 1;
    if (bounds.shape == Shape::Whole) {
        factor = std::min(1.0, side / std::max(width, height));
    } else {
        factor = std::min(1.0, side / std::min(width, height));
        const double budget = reducedPixelsPerKept * side * side;
        const double pixels = width * factor * height * factor;
        if (pixels > budget)
            factor *= std::sqrt(budget / pixels);
    }
    if (factor >= 1)
        return size;
    return { std::max(1, qRound(width * factor)), std::max(1, qRound(height * factor)) };
}

// Qt splits converting or smooth-scaling a picture of more than 65,536 pixels over its GUI thread
// pool and waits for the pieces, and the window's painting waits in the same pool: a worker
// reducing a hostile cover that way froze the window. Pieces this small are never split.
constexpr qsizetype unsplitPixels = 65535;

// `image` at half its width, its height or both, each pixel the mean of those it stands for,
// made a tile at a time so no step is large enough for Qt to split. A picture already in the
// working format is read in place; converting it a tile at a time would cost an allocation for
// every pair of rows.
QImage halved(const QImage &image, bool acrossWidth, bool acrossHeight)
{
    constexpr QImage::Format format = QImage::Format_ARGB32_Premultiplied;
    const int stepX = acrossWidth ? 2 : 1;
    const int stepY = acrossHeight ? 2 : 1;
    const int width = image.width() / stepX;
    const int height = image.height() / stepY;
    QImage half(width, height, format);
    if (half.isNull())
        return {};
    const bool inPlace = image.format() == format;
    const int tileWidth
        = int(std::min<qsizetype>(stepX * width, unsplitPixels / 2)) / stepX * stepX;
    const int tileHeight
        = int(std::min<qsizetype>(stepY * height, unsplitPixels / tileWidth)) / stepY * stepY;
    for (int y0 = 0; y0 < stepY * height; y0 += tileHeight) {
        const int rows = std::min(tileHeight, stepY * height - y0);
        for (int x0 = 0; x0 < stepX * width; x0 += tileWidth) {
            const int span = std::min(tileWidth, stepX * width - x0);
            const QImage tile
                = inPlace ? image : image.copy(x0, y0, span, rows).convertToFormat(format);
            const int tileX = inPlace ? x0 : 0;
            const int tileY = inPlace ? y0 : 0;
            for (int y = 0; y < rows; y += stepY) {
                const auto *top
                    = reinterpret_cast<const QRgb *>(tile.constScanLine(tileY + y)) + tileX;
                const auto *bottom
                    = reinterpret_cast<const QRgb *>(tile.constScanLine(tileY + y + stepY - 1))
                    + tileX;
                auto *out = reinterpret_cast<QRgb *>(half.scanLine((y0 + y) / stepY)) + x0 / stepX;
                for (int x = 0; x < span / stepX; ++x) {
                    // Along an axis that is not halved, each pixel counts twice.
                    const QRgb a = top[stepX * x], b = top[stepX * x + stepX - 1],
                               c = bottom[stepX * x], d = bottom[stepX * x + stepX - 1];
                    const auto mean = [&](int shift) {
                        return ((((a >> shift) & 0xff) + ((b >> shift) & 0xff)
                                 + ((c >> shift) & 0xff) + ((d >> shift) & 0xff) + 2)
                                / 4)
                            << shift;
                    };
                    out[x] = mean(24) | mean(16) | mean(8) | mean(0);
                }
            }
        }
    }
    return half;
}

// `image` reduced to `size` by halving it along each side at least twice as large as wanted,
// then smoothing the rest, which is small enough by then not to be split. A side already small
// enough does not stop the other from being halved: a strip is not left whole to Qt.
QImage reducedTo(QImage image, QSize size)
{
    for (;;) {
        const bool acrossWidth = image.width() >= 2 * size.width();
        const bool acrossHeight = image.height() >= 2 * size.height();
        if (image.isNull() || (!acrossWidth && !acrossHeight))
            break;
        image = halved(image, acrossWidth, acrossHeight);
    }
    if (image.isNull() || image.size() == size)
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage middleSquare(QImage image)
{
    const int square = std::min(image.width(), image.height());
    if (image.width() == image.height())
        return image;
    return image.copy((image.width() - square) / 2, (image.height() - square) / 2, square, square);
}

// Some handlers decode other sizes than their header reported (a GIF's logical screen), so the
// bounds are applied again to what was decoded.
QImage kept(QImage image, const Bounds &bounds)
{
    const int side = bounds.largestSide;
    if (bounds.shape == Shape::MiddleSquare) {
        image = middleSquare(std::move(image));
        if (image.width() > side)
            image = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else if (image.width() > side || image.height() > side) {
        image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (image.depth() > 32) {
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    }
    return image;
}

} // namespace

QThreadPool &workers()
{
    static QThreadPool pool;
    return pool;
}

bool Header::decodesWithin(qint64 bytes) const
{
    // Divided, not multiplied, so no header can make the arithmetic overflow.
    return pixels <= bytes / (bitsPerPixel / 8);
}

std::optional<Header> readHeader(const QByteArray &bytes)
{
    QBuffer buffer;
    QImageReader reader;
    if (!openReader(buffer, reader, bytes))
        return std::nullopt;
    return headerOf(reader, bytes);
}

QImage decode(const QByteArray &bytes, const Bounds &bounds)
{
    QBuffer buffer;
    QImageReader reader;
    if (!openReader(buffer, reader, bytes))
        return {};
    reader.setAutoTransform(true);
    // Decided on the header, before anything is allocated for the pixels.
    const std::optional<Header> header = headerOf(reader, bytes);
    if (!header || !header->decodesWithin(maxDecodedBytes))
        return {};
    // A square box, so the reduction is the same whichever way the picture is turned.
    const QSize reduced = reducedSize(header->size, bounds);
    // JPEG reduces as it decodes; other readers decode whole and leave reducing to Qt.
    const bool readerReduces = reader.supportsOption(QImageIOHandler::ScaledSize);
    if (reduced != header->size && readerReduces)
        reader.setScaledSize(reduced);
    QImage image = reader.read();
    if (image.isNull() || image.sizeInBytes() > maxDecodedBytes)
        return {};
    // From what was decoded, which may not be the size the header reported.
    if (!readerReduces) {
        // All of it is in memory already, and a square keeps only its middle: that is all there
        // is to reduce, and Qt is never left to smooth a strip millions of pixels long.
        if (bounds.shape == Shape::MiddleSquare)
            image = middleSquare(std::move(image));
        image = reducedTo(image, reducedSize(image.size(), bounds));
    }
    return kept(std::move(image), bounds);
}

} // namespace ImageDecoder
