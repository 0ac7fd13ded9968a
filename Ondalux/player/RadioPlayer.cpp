#include "RadioPlayer.h"

#include "Assets.h"

#include <QCoreApplication>

RadioPlayer::RadioPlayer(QObject *parent)
    : QObject(parent)
{ }

RadioPlayer &RadioPlayer::shared()
{
    // Owned by the application object so it goes before the event loop does.
    static RadioPlayer *const instance = new RadioPlayer(QCoreApplication::instance());
    return *instance;
}

void RadioPlayer::setVolume(float volume)
{
    m_volume = volume;
    Q_EMIT volumeChanged();
}

void RadioPlayer::play(const Station &station)
{
    m_currentStation = station;
    setNowPlaying(station.name());
    setArtworkImage({});
    m_currentArtwork = Assets::image(station.artworkName());
    setIsPlaying(true);
}

void RadioPlayer::pause()
{
    setIsPlaying(false);
}

void RadioPlayer::resume()
{
    setIsPlaying(true);
}

void RadioPlayer::setIsPlaying(bool playing)
{
    m_isPlaying = playing;
    Q_EMIT isPlayingChanged();
}

void RadioPlayer::setNowPlaying(const QString &text)
{
    m_nowPlaying = text;
    Q_EMIT nowPlayingChanged();
}

void RadioPlayer::setArtworkImage(const QImage &image)
{
    m_artworkImage = image;
    Q_EMIT artworkImageChanged();
}
