#pragma once

#include <QObject>

// The transport commands the desktop sends the player (media keys, media panels), and whether
// play can do anything now. A plain object on the main thread: the desktop export calls the
// command functions, the engine handles the signals.
class RemoteCommandCenter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY canPlayChanged)

public:
    using QObject::QObject;

    // The process's command center, for the engine and the desktop export to share.
    static RemoteCommandCenter &sharedCommandCenter();

    // False while a play command would have nothing to play; desktops grey out play then.
    bool canPlay() const { return m_canPlay; }
    void setCanPlay(bool canPlay);

    // Each delivers its command at once as the matching signal.
    void play();
    void pause();
    void togglePlayPause();

Q_SIGNALS:
    void playCommand();
    void pauseCommand();
    void togglePlayPauseCommand();
    // Only when the value differs.
    void canPlayChanged();

private:
    bool m_canPlay = false;
};
