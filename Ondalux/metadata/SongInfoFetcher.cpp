#include "SongInfoFetcher.h"

#include "HttpSession.h"
#include "ImageDecoder.h"
#include "SongInfoPayload.h"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QtConcurrentRun>

using namespace std::chrono_literals;

Q_LOGGING_CATEGORY(lcMetadata, "ondalux.metadata", QtWarningMsg)

namespace {

constexpr auto songInfoIdleTimeout = 8s;
// Song info is a few kilobytes; even its 1 MiB bound arrives in 9 s at 1 Mbit/s.
constexpr auto songInfoDeadline = 15s;
constexpr qint64 maxSongInfoBytes = 1024 * 1024;
constexpr auto artworkIdleTimeout = 10s;
// A 1 MB cover arrives in 22 s at 384 kbit/s.
constexpr auto artworkDeadline = 30s;
constexpr qint64 maxArtworkBytes = 16 * 1024 * 1024;

} // namespace

SongInfoFetcher::SongInfoFetcher(HttpSession &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{ }

void SongInfoFetcher::setCurrentStation(const std::optional<Station> &station)
{
    m_currentStation = station ? std::optional(station->id()) : std::nullopt;
}

void SongInfoFetcher::fetchSongInfo(const Station &station)
{
    if (m_currentStation != station.id()) {
        qCDebug(lcMetadata) << "not fetching song info for" << station.name()
                            << "which is not playing";
        return;
    }
    const quint64 serial = ++m_lastSerial;
    beginWork();
    m_session.get({ .url = station.nowPlayingJSON(),
                    .cachePolicy = HttpSession::CachePolicy::ReloadIgnoringLocalCache,
                    .idleTimeout = songInfoIdleTimeout,
                    .deadline = songInfoDeadline,
                    .maxBodyBytes = maxSongInfoBytes },
                  this, [this, station, serial](const HttpSession::Result &result) {
                      // Any status will do: only the body says whether it is song info.
                      if (result.ok())
                          applySongInfo(station, serial, result.body);
                      else
                          qCDebug(lcMetadata) << "song info failed:" << result.errorText;
                      endWork();
                  });
}

void SongInfoFetcher::applySongInfo(const Station &station, quint64 serial, const QByteArray &body)
{
    const QUuid id = station.id();
    if (!isLatest(id, serial)) {
        qCDebug(lcMetadata) << "dropping song info" << serial << "for" << station.name();
        return;
    }
    const std::optional<SongInfoPayload> payload = SongInfoPayload::decode(body);
    if (!payload) {
        qCDebug(lcMetadata) << "song info of" << station.name() << "does not decode";
        return;
    }
    m_lastApplied.insert(id, serial);
    Q_EMIT nowPlayingTextReady(payload->nowPlayingText(station.name()));

    const std::optional<QString> reference = payload->artworkReference();
    if (!reference)
        return;
    const std::optional<QUrl> url
        = SongInfoPayload::resolveArtworkReference(*reference, station.nowPlayingJSON());
    // A slot of nowPlayingTextReady may have switched stations already.
    if (url && isLatest(id, serial))
        fetchArtwork(*url, id, serial);
}

void SongInfoFetcher::fetchArtwork(const QUrl &url, const QUuid &station, quint64 serial)
{
    beginWork();
    m_session.get({ .url = url,
                    .cachePolicy = HttpSession::CachePolicy::ReturnCacheDataElseLoad,
                    .idleTimeout = artworkIdleTimeout,
                    .deadline = artworkDeadline,
                    .maxBodyBytes = maxArtworkBytes },
                  this, [this, url, station, serial](const HttpSession::Result &result) {
                      // Any body may be an image; an error page will not decode.
                      if (!result.ok())
                          qCDebug(lcMetadata) << "artwork" << url << "failed:" << result.errorText;
                      else if (isLatest(station, serial))
                          decodeArtwork(result.body, station, serial);
                      endWork();
                  });
}

void SongInfoFetcher::decodeArtwork(const QByteArray &bytes, const QUuid &station, quint64 serial)
{
    beginWork();
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, station, serial] {
        const QImage image = watcher->result();
        watcher->deleteLater();
        if (image.isNull())
            qCDebug(lcMetadata) << "artwork is not an image";
        else if (isLatest(station, serial))
            Q_EMIT artworkReady(image);
        endWork();
    });
    watcher->setFuture(
        QtConcurrent::run(&ImageDecoder::workers(), &SongInfoFetcher::decodeCover, bytes));
}

QImage SongInfoFetcher::decodeCover(const QByteArray &bytes)
{
    return ImageDecoder::decode(bytes, { .largestSide = coverSide });
}

bool SongInfoFetcher::isLatest(const QUuid &station, quint64 serial) const
{
    return m_currentStation == station && serial >= m_lastApplied.value(station);
}
