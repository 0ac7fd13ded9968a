#include "TrackAudio.h"

#include "ToneComposer.h"

#include <QtConcurrent>

TrackAudio::~TrackAudio()
{
    m_pool.clear();
    m_pool.waitForDone();
}

void TrackAudio::prepare(const DemoTrack &track)
{
    if (m_audio.contains(track.slug))
        return;
    m_audio.insert(track.slug, QtConcurrent::run(&m_pool, [tune = track.tune] {
                       const QByteArray pcm = ToneComposer::render(tune);
                       return Mp3Encoder::encode(pcm, ToneComposer::sampleRate,
                                                 ToneComposer::channels)
                           .value_or(Mp3Audio{});
                   }));
}

Mp3Audio TrackAudio::audio(const DemoTrack &track)
{
    prepare(track);
    return m_audio.value(track.slug).result();
}
