#pragma once

#include "Station.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

// The playback engine: one per process, living on the main thread. Every published property
// notifies on each assignment, also when the value does not change.
class RadioPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(QString nowPlaying READ nowPlaying NOTIFY nowPlayingChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(QImage artworkImage READ artworkImage NOTIFY artworkImageChanged)

public:
    explicit RadioPlayer(QObject *parent = nullptr);

    // The process's one engine, created on first use; lives until the application object ends.
    static RadioPlayer &shared();

    // The last transport command's outcome.
    bool isPlaying() const { return m_isPlaying; }
    // The station's name right after it starts, then the track on air.
    QString nowPlaying() const { return m_nowPlaying; }
    // Output volume as assigned, 0 to 1; not range-limited here.
    float volume() const { return m_volume; }
    void setVolume(float volume);
    // The current track's artwork; null when there is none.
    QImage artworkImage() const { return m_artworkImage; }

    // The station last passed to play().
    const std::optional<Station> &currentStation() const { return m_currentStation; }
    // What the desktop's media panel shows: the station's artwork, then the track's.
    QImage currentArtwork() const { return m_currentArtwork; }

    // Starts `station` from scratch at its live point, also when it is already playing.
    void play(const Station &station);
    void pause();
    void resume();

Q_SIGNALS:
    void isPlayingChanged();
    void nowPlayingChanged();
    void volumeChanged();
    void artworkImageChanged();

private:
    void setIsPlaying(bool playing);
    void setNowPlaying(const QString &text);
    void setArtworkImage(const QImage &image);

    bool m_isPlaying = false;
    QString m_nowPlaying;
    float m_volume = 0.8F;
    QImage m_artworkImage;
    std::optional<Station> m_currentStation;
    QImage m_currentArtwork;
};
