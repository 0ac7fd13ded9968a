#include "AudioSession.h"

#include "GstHandles.h"
#include "MediaRuntime.h"

#include <QStringList>

#include <gst/gst.h>

namespace AudioSession {

namespace {

bool hasElement(const char *factoryName)
{
    return gsthandles::Object<GstElementFactory>(gst_element_factory_find(factoryName)) != nullptr;
}

bool hasMp3Decoder()
{
    const gsthandles::FeatureList decoders(gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO,
        GST_RANK_MARGINAL));
    const gsthandles::Caps mp3(
        gst_caps_from_string("audio/mpeg, mpegversion=(int)1, layer=(int)3"));
    const gsthandles::FeatureList accepting(
        gst_element_factory_list_filter(decoders.get(), mp3.get(), GST_PAD_SINK, FALSE));
    return accepting != nullptr;
}

} // namespace

std::optional<QString> checkPlayback()
{
    const QString runtimeError = MediaRuntime::initialize();
    if (!runtimeError.isEmpty())
        return runtimeError;

    QStringList missing;
    for (const char *name : { "playbin", "souphttpsrc", "audioconvert", "audioresample" }) {
        if (!hasElement(name))
            missing << QString::fromLatin1(name);
    }
    if (!hasMp3Decoder())
        missing << QStringLiteral("an MP3 decoder");
    // GstStreamPlayer falls back to the automatic output when the sound server's is missing.
    if (!hasElement("pulsesink") && !hasElement("autoaudiosink"))
        missing << QStringLiteral("an audio output (pulsesink or autoaudiosink)");
    if (missing.isEmpty())
        return std::nullopt;
    return QStringLiteral("GStreamer elements missing: ") + missing.join(QStringLiteral(", "));
}

} // namespace AudioSession
