#pragma once

#include "MprisArtworkFiles.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

class NowPlayingInfoCenter;
class RemoteCommandCenter;

// What the MPRIS player shows and what it asks for, with no bus involved: derives the changing
// Player properties from the Now Playing dictionary and the command center, and turns the
// desktop's requests into commands and signals. Main thread only.
class MprisController : public QObject
{
    Q_OBJECT

public:
    // Follows `info` and `commands` for its whole life; both must outlive it. The artwork
    // files go into `artworkDirectory` (none when it is empty).
    MprisController(NowPlayingInfoCenter &info, RemoteCommandCenter &commands,
                    const QString &artworkDirectory, QObject *parent = nullptr);

    // "Stopped" without a dictionary, "Paused" at rate 0, "Playing" otherwise.
    QString playbackStatus() const { return m_playbackStatus; }
    // Empty without a dictionary; otherwise mpris:trackid, the same for the same title and
    // artist, and what the dictionary has of xesam:title, xesam:artist and mpris:artUrl.
    QVariantMap metadata() const { return m_metadata; }
    bool canPlay() const { return m_canPlay; }
    // The engine's volume, 0 to 1.
    double volume() const { return m_volume; }
    // Asks the engine for `volume`, clamped to 0 to 1; NaN asks nothing.
    void setVolume(double volume);

    void play();
    void pause();
    void playPause();
    // Pauses: a live station is stopped by pausing it, and stays on show to resume.
    void stop();
    void raise();
    void quit();

Q_SIGNALS:
    void raiseRequested();
    void quitRequested();
    // The Player properties whose values changed, by their MPRIS names, with the new values.
    void playerPropertiesChanged(const QVariantMap &changed);

private:
    void update();
    QVariantMap metadataFrom(const QVariantMap &info);

    NowPlayingInfoCenter &m_info;
    RemoteCommandCenter &m_commands;
    MprisArtworkFiles m_artwork;
    QString m_playbackStatus;
    QVariantMap m_metadata;
    bool m_canPlay = false;
    double m_volume = 1.0;
};
