#include "StreamTypes.h"

#include <utility>

namespace StreamTypes {

QByteArray capsForContentType(QByteArrayView contentType)
{
    // Unparsed, so the parser finds the frames: a live stream is joined mid-frame.
    static const std::pair<const char *, const char *> types[] = {
        { "audio/mpeg", "audio/mpeg, mpegversion=(int)1, parsed=(boolean)false" },
        { "audio/mp3", "audio/mpeg, mpegversion=(int)1, parsed=(boolean)false" },
        { "audio/x-mpeg", "audio/mpeg, mpegversion=(int)1, parsed=(boolean)false" },
        { "audio/aac", "audio/mpeg, mpegversion=(int)4, framed=(boolean)false" },
        { "audio/aacp", "audio/mpeg, mpegversion=(int)4, framed=(boolean)false" },
        { "audio/x-aac", "audio/mpeg, mpegversion=(int)4, framed=(boolean)false" },
        { "audio/ogg", "application/ogg" },
        { "application/ogg", "application/ogg" },
        { "audio/x-ogg", "application/ogg" },
    };
    const qsizetype parameters = contentType.indexOf(';');
    const QByteArray type = contentType.first(parameters < 0 ? contentType.size() : parameters)
                                .trimmed()
                                .toByteArray()
                                .toLower();
    for (const auto &[name, caps] : types) {
        if (type == name)
            return caps;
    }
    return {};
}

} // namespace StreamTypes
