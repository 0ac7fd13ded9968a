#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// MPEG-1 Layer III audio cut into whole frames, so a stream can change track between two.
struct Mp3Audio
{
    QByteArray bytes;
    QList<qsizetype> frameStarts; // each frame runs to the next start, the last to the end
    double frameSeconds = 0.0;

    qsizetype frameCount() const { return frameStarts.size(); }
    QByteArrayView frame(qsizetype index) const;
};

// LAME through GStreamer, at a constant 128 kbit/s.
namespace Mp3Encoder {

// Starts GStreamer; returns an error text when the encoder cannot be used.
QString initialize();
// Encodes interleaved signed 16-bit little-endian PCM; nothing when the encoder fails.
// Safe to call from several threads at once.
std::optional<Mp3Audio> encode(const QByteArray &pcm, int sampleRate, int channels);
// The length of the MPEG-1 Layer III frame whose header starts at `at`, whole or not; 0 when no
// header does.
qsizetype frameLength(QByteArrayView bytes, qsizetype at);
// The whole MPEG-1 Layer III frames in `bytes`, skipping anything else.
Mp3Audio split(const QByteArray &bytes);

} // namespace Mp3Encoder
