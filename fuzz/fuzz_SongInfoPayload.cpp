// Song-info bodies as a hostile server might send them: decoded, turned into the now-playing
// text, and their artwork reference resolved against the document's URL.
#include "SongInfoPayload.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstddef>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

const QUrl &baseUrl()
{
    static const QUrl url(u"https://softorbit.example/api/songinfo.json?station=1"_s);
    return url;
}

// A resolved reference must be absolute, as the contract promises.
void checkResolved(const QString &reference)
{
    if (const auto url = SongInfoPayload::resolveArtworkReference(reference, baseUrl());
        url && (!url->isValid() || url->isRelative()))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // Raw bytes as a reference too, so URL resolution is reached without valid JSON.
    checkResolved(QString::fromUtf8(body));
    const auto payload = SongInfoPayload::decode(body);
    if (!payload)
        return 0;
    (void)payload->nowPlayingText(u"Softorbit"_s);
    if (const auto reference = payload->artworkReference())
        checkResolved(*reference);
    return 0;
}
