#include "ArtworkDecoder.h"

#include "ImageDecoder.h"

namespace ArtworkDecoder {

QImage decode(const QByteArray &bytes)
{
    return ImageDecoder::decode(bytes, { .largestSide = largestSide });
}

} // namespace ArtworkDecoder
