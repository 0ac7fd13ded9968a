#pragma once

#include <QByteArray>
#include <QImage>

// Turns downloaded bytes into a cover image. Safe to call on any thread.
namespace ArtworkDecoder {

// An image that would take more memory than this once decoded counts as no image.
inline constexpr qint64 maxDecodedBytes = 64 * 1024 * 1024;

// The image in `bytes` (PNG, JPEG, GIF, WebP or BMP, told by content), or a null image when the
// bytes are not one of those or would decode past maxDecodedBytes.
QImage decode(const QByteArray &bytes);

} // namespace ArtworkDecoder
