#pragma once

#include "Clock.h"
#include "StreamPlayer.h"

#include <chrono>
#include <memory>

// The stream player on GStreamer: one playbin for the player's whole life, read on the main
// thread. Recovers by itself: when the stream fails, ends, stalls or the network comes back
// while it should be playing, it reconnects with growing waits, and says nothing about it.
class GstStreamPlayer final : public StreamPlayer
{
    Q_OBJECT

public:
    struct Options
    {
        // Factory of the audio output; the sound server's by default.
        QByteArray audioSink = "pulsesink";
        std::chrono::milliseconds firstRetryDelay{ 500 };
        std::chrono::milliseconds longestRetryDelay{ 10'000 };
        // No audio for this long while playing counts as a failed stream.
        std::chrono::milliseconds stallTimeout{ 6'000 };
        // No audio this long after a resume means the kept connection is gone.
        std::chrono::milliseconds resumeTimeout{ 1'000 };
        // A resume after a pause at least this long reconnects, so it plays live audio.
        std::chrono::milliseconds longPause{ 15'000 };
        const Clock *clock = &Clock::system();
    };

    explicit GstStreamPlayer(QObject *parent = nullptr);
    explicit GstStreamPlayer(const Options &options, QObject *parent = nullptr);
    ~GstStreamPlayer() override;

    void replaceCurrentItem(const QUrl &url) override;
    void play() override;
    void pause() override;
    void setVolume(float volume) override;

    void setOutputDevice(const QString &name) override;
    QString outputDevice() const override;
    QString currentOutput() const override;

    // The gain applied, after clamping. Public for tests: nothing else shows that a volume past
    // 1.0, which playbin would take as amplification, is held at full.
    double appliedVolume() const;
    // Where playback is in the current connection's stream; negative when unknown.
    std::chrono::milliseconds position() const;
    // How many pieces of audio have reached the output so far, over all connections.
    quint64 audioBuffersPlayed() const;

Q_SIGNALS:
    // Audio of the current connection reached the output for the first time.
    void audioStarted();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
