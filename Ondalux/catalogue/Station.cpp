#include "Station.h"

#include <utility>

Station::Station(QString name, QUrl url, QString artworkName, QUrl nowPlayingJSON, QUrl lastTenJSON)
    : Station(QUuid::createUuid(), std::move(name), std::move(url), std::move(artworkName),
              std::move(nowPlayingJSON), std::move(lastTenJSON))
{ }

Station::Station(QUuid id, QString name, QUrl url, QString artworkName, QUrl nowPlayingJSON,
                 QUrl lastTenJSON)
    : m_id(id)
    , m_name(std::move(name))
    , m_url(std::move(url))
    , m_artworkName(std::move(artworkName))
    , m_nowPlayingJSON(std::move(nowPlayingJSON))
    , m_lastTenJSON(std::move(lastTenJSON))
{ }

size_t qHash(const Station &station, size_t seed) noexcept
{
    return qHashMulti(seed, station.id(), station.name(), station.url(), station.artworkName(),
                      station.nowPlayingJSON(), station.lastTenJSON());
}
