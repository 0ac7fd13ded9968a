#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

// PNG files made without Qt's image writers: to write any format, those load every image plugin
// installed to ask each whether it would rather. Any thread.
namespace PngEncoder {

// `image` as an 8-bit PNG, RGBA or RGB as it has alpha or not, compressed for speed. Empty for a
// null image.
QByteArray encode(const QImage &image);

// Appends to `png` the chunk `type` (four letters) holding `data`, with its length and checksum.
void appendChunk(QByteArray &png, const char *type, QByteArrayView data);

} // namespace PngEncoder
