#pragma once

#include "HttpsHost.h"
#include "IcyFraming.h"
#include "Mp3Encoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <map>
#include <optional>

class QSslSocket;

// One station's endless MP3 stream, like an Icecast mount: each listener gets a burst on
// connecting, then the track on air at its bit rate, switching track between two frames,
// with ICY metadata every metaInt bytes for those who ask. Main thread.
class Mount : public QObject
{
    Q_OBJECT

public:
    static constexpr int metaInt = 16000;
    static constexpr int bytesPerSecond = 16000; // 128 kbit/s

    // A lead-in plays that much silence before each new track.
    Mount(QByteArray name, QByteArray genre, std::chrono::milliseconds burst,
          std::chrono::milliseconds leadIn = {}, QObject *parent = nullptr);
    ~Mount() override;

    // Every listener moves on to `audio` where its next title block falls (at its next frame
    // without titles), so the title it reads changes with the audio.
    void setTrack(const Mp3Audio &audio, const QString &title);
    // Answers `request` on `socket` with the stream, and keeps feeding it until it closes.
    void adopt(QSslSocket *socket, const HttpRequest &request);
    int listeners() const { return static_cast<int>(m_listeners.size()); }

private:
    struct Listener
    {
        std::optional<IcyFraming> icy;
        quint64 track = 0; // which setTrack() it is playing
        qsizetype frame = 0;
        qsizetype leadInFrame = 0; // < the lead-in's frame count while it plays
        qint64 owedBytes = 0; // audio earned but not sent, in bytes times 1000
        qint64 lastFedMs = 0;
    };

    void feedAll();
    void feed(QSslSocket *socket, Listener &listener, qint64 nowMs);

    QByteArray m_name;
    QByteArray m_genre;
    std::chrono::milliseconds m_burst;
    Mp3Audio m_audio;
    Mp3Audio m_leadIn;
    QString m_title;
    quint64 m_track = 0;
    QElapsedTimer m_clock;
    qint64 m_trackStartedMs = 0;
    QTimer m_ticker;
    std::map<QSslSocket *, Listener> m_listeners;
};
