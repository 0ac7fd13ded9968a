#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace StreamTypes {

// The media type to play a stream as, in GStreamer's caps notation, for what its server named
// in Content-Type ("audio/mpeg", "audio/aacp; charset=…"); empty for a type that is not a
// radio audio format, which is then left to typefinding.
QByteArray capsForContentType(QByteArrayView contentType);

} // namespace StreamTypes
