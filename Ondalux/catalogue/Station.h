#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>

// One radio station: an immutable value, copied and never shared. Equality and hashing cover
// all six fields in declaration order, so records that differ only in `id` are different.
class Station
{
public:
    // A new record with a fresh random id.
    Station(QString name, QUrl url, QString artworkName, QUrl nowPlayingJSON, QUrl lastTenJSON);
    // A record with a given id, for rebuilding a known record.
    Station(QUuid id, QString name, QUrl url, QString artworkName, QUrl nowPlayingJSON,
            QUrl lastTenJSON);

    QUuid id() const { return m_id; }
    // Display name; also the artist in the desktop's media panel.
    QString name() const { return m_name; }
    // The live audio stream.
    QUrl url() const { return m_url; }
    // Name of the packaged image holding the station's artwork.
    QString artworkName() const { return m_artworkName; }
    // The song-info document naming the track on air.
    QUrl nowPlayingJSON() const { return m_nowPlayingJSON; }
    // The document listing the recently played tracks.
    QUrl lastTenJSON() const { return m_lastTenJSON; }

    friend bool operator==(const Station &, const Station &) = default;

private:
    QUuid m_id;
    QString m_name;
    QUrl m_url;
    QString m_artworkName;
    QUrl m_nowPlayingJSON;
    QUrl m_lastTenJSON;
};

size_t qHash(const Station &station, size_t seed = 0) noexcept;

template<> struct std::hash<Station>
{
    size_t operator()(const Station &station) const noexcept { return qHash(station); }
};
