#pragma once

#include <QByteArray>
#include <QSize>

namespace ImageBounds {

// How many pixels decoding `bytes` allocates, whose reader reported `reported`: a GIF's decoder
// fills its whole logical screen, which the header may make far larger than the image.
qint64 pixelsToDecode(const QByteArray &bytes, QSize reported);

} // namespace ImageBounds
