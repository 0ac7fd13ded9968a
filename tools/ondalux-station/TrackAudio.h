#pragma once

#include "DemoTracks.h"
#include "Mp3Encoder.h"

#include <QFuture>
#include <QHash>
#include <QString>

// Every track's audio, composed and encoded on worker threads, each once, in the order first
// asked for. Main thread.
class TrackAudio
{
public:
    // Starts making the track's audio unless it is made or on its way.
    void prepare(const DemoTrack &track);
    // The track's audio, waiting for it when it is still being made; empty when encoding failed.
    Mp3Audio audio(const DemoTrack &track);

private:
    QHash<QString, QFuture<Mp3Audio>> m_audio; // by slug
};
