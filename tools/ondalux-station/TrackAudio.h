#pragma once

#include "DemoTracks.h"
#include "Mp3Encoder.h"

#include <QFuture>
#include <QHash>
#include <QString>
#include <QThreadPool>

// Every track's audio, composed and encoded on worker threads, each once, in the order first
// asked for. Main thread.
class TrackAudio
{
public:
    // Drops the tracks not yet started, so quitting waits only for those being made.
    ~TrackAudio();

    // Starts making the track's audio unless it is made or on its way.
    void prepare(const DemoTrack &track);
    // The track's audio, waiting for it when it is still being made; empty when encoding failed.
    Mp3Audio audio(const DemoTrack &track);

private:
    // Not the global pool: Qt's raster engine splits large fills over that one and waits for
    // them, so a queue of encodings there stalls every cover drawn on the main thread.
    QThreadPool m_pool;
    QHash<QString, QFuture<Mp3Audio>> m_audio; // by slug
};
