#pragma once

#include "SongInfoFetcher.h"
#include "Station.h"
#include "StreamPlayer.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

class HttpSession;
class NowPlayingInfoCenter;
class RemoteCommandCenter;

// The playback engine: one per process, on the main thread. Plays one station's live stream at
// a time and publishes what the window draws. Every published property notifies on each
// assignment, also when the value does not change.
class RadioPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(QString nowPlaying READ nowPlaying NOTIFY nowPlayingChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(QImage artworkImage READ artworkImage NOTIFY artworkImageChanged)

public:
    // The track's text is shown and published at most this long, an ellipsis ending a cut one.
    static constexpr qsizetype maxNowPlayingLength = 500;

    // Uses the given services for the engine's whole life; they must outlive it. Without a
    // command center, the process's shared one delivers the remote commands.
    RadioPlayer(StreamPlayer &player, NowPlayingInfoCenter &nowPlayingInfoCenter,
                HttpSession &session, QObject *parent = nullptr);
    RadioPlayer(StreamPlayer &player, NowPlayingInfoCenter &nowPlayingInfoCenter,
                HttpSession &session, RemoteCommandCenter &remoteCommands,
                QObject *parent = nullptr);

    // The process's one engine on the real services, created on first use.
    static RadioPlayer &shared();

    // The last transport command's outcome.
    bool isPlaying() const { return m_isPlaying; }
    // The station's name right after it starts, then the track on air.
    QString nowPlaying() const { return m_nowPlaying; }
    // Output volume exactly as assigned; the audio player limits what it applies.
    float volume() const { return m_volume; }
    void setVolume(float volume);
    // The current track's artwork; null when there is none.
    QImage artworkImage() const { return m_artworkImage; }

    StreamPlayer &player() const { return m_player; }
    // The station last passed to play(); public for tests, as nothing else asks.
    const std::optional<Station> &currentStation() const { return m_currentStation; }
    // What a remote play starts while no station has started yet: the one the window shows.
    void setStationToStart(const Station &station);
    // What the desktop's media panel shows: the station's artwork, then the track's. Public for
    // tests, which compare the window's artwork with it.
    QImage currentArtwork() const { return m_currentArtwork; }

    // Starts `station` from scratch at its live point, also when it is already playing.
    void play(const Station &station);
    // Pauses, keeping the stream for resume().
    void pause();
    // Continues the paused stream.
    void resume();

    // Two of the three writes of the desktop's description of what is playing, which the
    // player makes itself; public so tests can make them in any order.
    void refreshNowPlayingInfo();
    void updateNowPlayingRate(int rate);

Q_SIGNALS:
    void isPlayingChanged();
    void nowPlayingChanged();
    void volumeChanged();
    void artworkImageChanged();

private:
    // The messages the transport sends to the audio player.
    enum class Transport { Play, Pause };

    void applyTransport(Transport message, bool playing, int rate);
    // The first write of the desktop's description: the station, from scratch.
    void publishNowPlayingInfo();
    // The stream announced new metadata: the track has probably changed.
    void metadataOutput(const QList<TimedMetadataGroup> &groups);
    // Asks for the current station's song info; the text and artwork follow when it arrives.
    void fetchSongInfo();
    void configureAudioSession();
    void setupRemoteCommands();
    void togglePlayPause();
    void remotePlay();
    void updateCanPlay();
    void setIsPlaying(bool playing);
    void setNowPlaying(const QString &text);
    void setArtworkImage(const QImage &image);
    void applyTrackText(const QString &text);
    void applyTrackArtwork(const QImage &image);

    bool m_isPlaying = false;
    QString m_nowPlaying;
    float m_volume = 0.8F;
    QImage m_artworkImage;

    StreamPlayer &m_player;
    std::optional<Station> m_currentStation;
    std::optional<Station> m_stationToStart;
    QImage m_currentArtwork;

    NowPlayingInfoCenter &m_nowPlayingInfoCenter;
    RemoteCommandCenter &m_remoteCommands;
    SongInfoFetcher m_songInfo;
};
