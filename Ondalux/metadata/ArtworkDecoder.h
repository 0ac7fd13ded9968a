#pragma once

#include <QByteArray>
#include <QImage>

// Turns downloaded bytes into a cover image. Safe to call on any thread.
namespace ArtworkDecoder {

// Covers are kept at most this large on each side: the window draws them 240 points wide, at
// two pixels a point on a high-density screen, and the media panel's file is smaller still.
inline constexpr int largestSide = 480;

// The whole picture in `bytes` (PNG, JPEG, GIF, WebP or BMP, told by content), reduced to fit
// largestSide x largestSide; a null image when the bytes are not one of those or would decode
// past ImageDecoder::maxDecodedBytes.
QImage decode(const QByteArray &bytes);

} // namespace ArtworkDecoder
