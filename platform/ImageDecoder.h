#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QThreadPool>

#include <optional>

// The one way server bytes become an image: PNG, JPEG, GIF, WebP or BMP, told by content; no
// other image plugin ever reads them. Safe to call on any thread.
namespace ImageDecoder {

// What decoding may allocate for the picture at most, in bytes, measured in the pixel format
// the decoder produces.
inline constexpr qint64 maxDecodedBytes = 64 * 1024 * 1024;

enum class Shape {
    Whole, // the whole picture, reduced to fit inside largestSide x largestSide
    MiddleSquare, // its middle square, as a square fill crops it, at most largestSide a side
};

struct Bounds
{
    int largestSide = 1024;
    Shape shape = Shape::Whole;
};

// What the header says, read without decoding; none for bytes that are not an allowed image.
struct Header
{
    QByteArray format;
    QSize size;
    qint64 pixels = 0; // what decoding fills, which for a GIF may be more than `size` holds
    int bitsPerPixel = 32; // of what decoding fills, 32 at the least

    // Whether decoding the picture allocates at most `bytes` for it; past maxDecodedBytes it is
    // never decoded.
    bool decodesWithin(qint64 bytes) const;
};
std::optional<Header> readHeader(const QByteArray &bytes);

// The image kept within `bounds`, in a format of at most 32 bits a pixel; null when the bytes
// are not an allowed image, would decode past maxDecodedBytes or do not decode.
QImage decode(const QByteArray &bytes, const Bounds &bounds);

// Where to run decode() off the main thread. Not Qt's global pool: Qt splits large fills and
// conversions over that one and waits for the pieces, painting on the main thread included, so
// decodes there made the window wait for them.
QThreadPool &workers();

} // namespace ImageDecoder
