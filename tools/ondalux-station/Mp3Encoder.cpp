#include "Mp3Encoder.h"

#include "GstHandles.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <array>

namespace {

constexpr int samplesPerFrame = 1152;
constexpr std::array<int, 15> bitratesKbps
    = { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 };
constexpr std::array<int, 3> sampleRates = { 44100, 48000, 32000 };

// The length of the MPEG-1 Layer III frame whose header starts at `at`, or 0.
qsizetype frameLengthAt(QByteArrayView bytes, qsizetype at, int *sampleRate)
{
    if (at + 4 > bytes.size())
        return 0;
    const auto *h = reinterpret_cast<const uchar *>(bytes.constData() + at);
    const bool sync = h[0] == 0xFF && (h[1] & 0xE0) == 0xE0;
    const bool mpeg1 = ((h[1] >> 3) & 0x3) == 0x3;
    const bool layer3 = ((h[1] >> 1) & 0x3) == 0x1;
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 0x3;
    if (!sync || !mpeg1 || !layer3 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    *sampleRate = sampleRates[static_cast<size_t>(rateIndex)];
    const int padding = (h[2] >> 1) & 0x1;
    return 144000 * bitratesKbps[static_cast<size_t>(bitrateIndex)] / *sampleRate + padding;
}

} // namespace

QByteArrayView Mp3Audio::frame(qsizetype index) const
{
    const qsizetype start = frameStarts.at(index);
    const qsizetype end = index + 1 < frameStarts.size() ? frameStarts.at(index + 1) : bytes.size();
    return QByteArrayView(bytes).sliced(start, end - start);
}

namespace Mp3Encoder {

QString initialize()
{
    GError *error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        const QString text = QString::fromUtf8(error != nullptr ? error->message : "unknown");
        g_clear_error(&error);
        return text;
    }
    for (const char *name : { "appsrc", "audioconvert", "lamemp3enc", "appsink" }) {
        if (!gsthandles::Object<GstElementFactory>(gst_element_factory_find(name)))
            return QStringLiteral("the GStreamer element %1 is missing")
                .arg(QLatin1StringView(name));
    }
    return {};
}

std::optional<Mp3Audio> encode(const QByteArray &pcm, int sampleRate, int channels)
{
    const QByteArray description = "appsrc name=pcm format=time caps=audio/x-raw,format=S16LE,"
                                   "layout=interleaved,rate="
        + QByteArray::number(sampleRate) + ",channels=" + QByteArray::number(channels)
        + " ! audioconvert ! lamemp3enc target=bitrate bitrate=128 cbr=true"
          " ! appsink name=mp3 sync=false";
    GError *error = nullptr;
    gsthandles::Element pipeline(gst_parse_launch(description.constData(), &error));
    if (error != nullptr) {
        g_clear_error(&error);
        return std::nullopt;
    }
    gsthandles::Element source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "pcm"));
    gsthandles::Element sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "mp3"));
    if (!source || !sink)
        return std::nullopt;
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return std::nullopt;

    GstBuffer *buffer = gst_buffer_new_memdup(pcm.constData(), static_cast<gsize>(pcm.size()));
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(
        static_cast<guint64>(pcm.size()) / (2 * static_cast<guint64>(channels)), GST_SECOND,
        static_cast<guint64>(sampleRate));
    gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer);
    gst_app_src_end_of_stream(GST_APP_SRC(source.get()));

    QByteArray mp3;
    // A bounded wait: a pipeline that fails never delivers its end of stream.
    while (GstSample *sample
           = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 20 * GST_SECOND)) {
        GstMapInfo map;
        GstBuffer *out = gst_sample_get_buffer(sample);
        if (out != nullptr && gst_buffer_map(out, &map, GST_MAP_READ)) {
            mp3.append(reinterpret_cast<const char *>(map.data), static_cast<qsizetype>(map.size));
            gst_buffer_unmap(out, &map);
        }
        gst_sample_unref(sample);
    }
    const bool finished = gst_app_sink_is_eos(GST_APP_SINK(sink.get()));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (!finished)
        return std::nullopt;
    Mp3Audio audio = split(mp3);
    if (audio.frameCount() == 0)
        return std::nullopt;
    return audio;
}

qsizetype frameLength(QByteArrayView bytes, qsizetype at)
{
    int sampleRate = 0;
    return frameLengthAt(bytes, at, &sampleRate);
}

Mp3Audio split(const QByteArray &bytes)
{
    Mp3Audio audio;
    audio.bytes.reserve(bytes.size());
    int sampleRate = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype length = frameLengthAt(bytes, at, &sampleRate);
        if (length == 0 || at + length > bytes.size()) {
            ++at;
            continue;
        }
        audio.frameStarts.append(audio.bytes.size());
        audio.bytes.append(bytes.constData() + at, length);
        audio.frameSeconds = static_cast<double>(samplesPerFrame) / sampleRate;
        at += length;
    }
    return audio;
}

} // namespace Mp3Encoder
