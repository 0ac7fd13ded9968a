#pragma once

#include "Station.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

class HttpSession;

// Fetches a station's song-info document and the cover it names, and announces the track's
// text, then its image, on the main thread. Text and image are announced only while their
// station is the current one and no later fetch for it has been applied, so what is shown
// never steps back. Nothing is cancelled or retried; a failure announces nothing.
class SongInfoFetcher : public QObject
{
    Q_OBJECT

public:
    // Covers are kept at most this large on each side: the window draws them 240 points wide,
    // at two pixels a point on a high-density screen, and the media panel's file is smaller.
    static constexpr int coverSide = 480;

    explicit SongInfoFetcher(HttpSession &session, QObject *parent = nullptr);

    // The whole picture in `bytes`, reduced to fit coverSide x coverSide; a null image when the
    // bytes are not an image ImageDecoder keeps. Any thread.
    static QImage decodeCover(const QByteArray &bytes);

    // The station now playing, compared by id; results for any other station are dropped.
    void setCurrentStation(const std::optional<Station> &station);

    // Requests the song-info document of `station`, which must be the current one; returns at
    // once.
    void fetchSongInfo(const Station &station);

    // Whether a download or a decode is still outstanding; nothing more will be announced
    // once this is false. Public for tests, which wait for it.
    bool isBusy() const { return m_outstanding > 0; }

Q_SIGNALS:
    // The composed now-playing text of the latest song-info response.
    void nowPlayingTextReady(const QString &text);
    // The cover named by that response, decoded.
    void artworkReady(const QImage &image);

private:
    void applySongInfo(const Station &station, quint64 serial, const QByteArray &body);
    void fetchArtwork(const QUrl &url, const QUuid &station, quint64 serial);
    void decodeArtwork(const QByteArray &bytes, const QUuid &station, quint64 serial);
    // Whether the response to fetch `serial` for `station` may still be shown.
    bool isLatest(const QUuid &station, quint64 serial) const;
    void beginWork() { ++m_outstanding; }
    void endWork() { --m_outstanding; }

    HttpSession &m_session;
    std::optional<QUuid> m_currentStation;
    quint64 m_lastSerial = 0;
    QHash<QUuid, quint64> m_lastApplied; // serial of the last applied song-info, per station
    int m_outstanding = 0;
};
