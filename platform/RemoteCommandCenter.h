#pragma once

#include <QObject>

// The transport commands the desktop sends the player (media keys, media panels), whether
// play can do anything now, and the volume the desktop shows and may change. A plain object on
// the main thread: the desktop export calls the command functions, the engine handles the
// signals.
class RemoteCommandCenter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY canPlayChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)

public:
    using QObject::QObject;

    // The process's command center, for the engine and the desktop export to share.
    static RemoteCommandCenter &sharedCommandCenter();

    // False while a play command would have nothing to play; desktops grey out play then.
    bool canPlay() const { return m_canPlay; }
    void setCanPlay(bool canPlay);
    // The engine's volume, as the engine last set it.
    double volume() const { return m_volume; }
    void setVolume(double volume);

    // Each delivers its command at once as the matching signal.
    void play();
    void pause();
    void togglePlayPause();
    // Asks for the volume `volume`; the engine sets volume() when it has.
    void changeVolume(double volume);

Q_SIGNALS:
    void playCommand();
    void pauseCommand();
    void togglePlayPauseCommand();
    void changeVolumeCommand(double volume);
    // Only when the value differs.
    void canPlayChanged();
    void volumeChanged();

private:
    bool m_canPlay = false;
    double m_volume = 1.0;
};
