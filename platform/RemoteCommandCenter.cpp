#include "RemoteCommandCenter.h"

#include <QCoreApplication>

RemoteCommandCenter &RemoteCommandCenter::sharedCommandCenter()
{
    static RemoteCommandCenter *const center
        = new RemoteCommandCenter(QCoreApplication::instance());
    return *center;
}

void RemoteCommandCenter::setCanPlay(bool canPlay)
{
    if (m_canPlay == canPlay)
        return;
    m_canPlay = canPlay;
    Q_EMIT canPlayChanged();
}

void RemoteCommandCenter::setVolume(double volume)
{
    if (m_volume == volume)
        return;
    m_volume = volume;
    Q_EMIT volumeChanged();
}

void RemoteCommandCenter::play()
{
    Q_EMIT playCommand();
}

void RemoteCommandCenter::pause()
{
    Q_EMIT pauseCommand();
}

void RemoteCommandCenter::togglePlayPause()
{
    Q_EMIT togglePlayPauseCommand();
}

void RemoteCommandCenter::changeVolume(double volume)
{
    Q_EMIT changeVolumeCommand(volume);
}
