#include "MediaRuntime.h"

#include "GstHandles.h"
#include "StreamTrust.h"

#include <QByteArray>
#include <QList>

#include <gst/gst.h>

#include <algorithm>
#include <gio/gio.h>
#include <mutex>
#include <thread>

namespace {

// What a radio station sends: MP3, AAC, Ogg and FLAC, maybe behind ID3 or APE tags. Typefinding
// a stream joined mid-frame asks every typefinder, and the others guess video, subtitles or
// images with full confidence now and then.
constexpr const char *streamTypefinders[] = {
    "audio/mpeg",  "audio/aac",           "application/ogg",     "audio/x-flac",
    "audio/x-wav", "application/x-id3v2", "application/x-id3v1", "application/x-apetag",
};

// Kinds of element an audio player never needs. Some video sinks crash when merely probed for
// what they accept, so none of them may even be loaded.
constexpr const char *foreignKinds[] = { "Video", "Image", "Subtitle", "Text", "Visualization" };

bool servesAudio(GstPluginFeature *feature)
{
    if (GST_IS_TYPE_FIND_FACTORY(feature)) {
        const char *name = gst_plugin_feature_get_name(feature);
        return std::any_of(std::begin(streamTypefinders), std::end(streamTypefinders),
                           [name](const char *kept) { return g_str_equal(name, kept); });
    }
    // Device providers too: the output list would otherwise load the video capture cards'.
    const char *klass = nullptr;
    if (GST_IS_ELEMENT_FACTORY(feature)) {
        klass = gst_element_factory_get_metadata(GST_ELEMENT_FACTORY(feature),
                                                 GST_ELEMENT_METADATA_KLASS);
    } else if (GST_IS_DEVICE_PROVIDER_FACTORY(feature)) {
        klass = gst_device_provider_factory_get_metadata(GST_DEVICE_PROVIDER_FACTORY(feature),
                                                         GST_ELEMENT_METADATA_KLASS);
    }
    if (klass == nullptr)
        return true;
    const QList<QByteArray> kinds = QByteArray(klass).split('/');
    return std::none_of(std::begin(foreignKinds), std::end(foreignKinds),
                        [&kinds](const char *foreign) { return kinds.contains(foreign); });
}

// Any thread that loads a plugin. Loading a plugin registers all its features again, those
// removed before among them, so each is checked as it comes.
void onFeatureAdded(GstRegistry *registry, GstPluginFeature *feature, gpointer)
{
    if (!servesAudio(feature))
        gst_registry_remove_feature(registry, feature);
}

// Leaves this process's registry with audio parts only: nothing of video or text is ever
// typefound, autoplugged or loaded, whatever a stream contains.
void restrictToAudio()
{
    GstRegistry *registry = gst_registry_get();
    g_signal_connect(registry, "feature-added", G_CALLBACK(&onFeatureAdded), nullptr);
    for (const GType type : { GST_TYPE_TYPE_FIND_FACTORY, GST_TYPE_ELEMENT_FACTORY,
                              GST_TYPE_DEVICE_PROVIDER_FACTORY }) {
        const gsthandles::FeatureList features(gst_registry_get_feature_list(registry, type));
        for (GList *item = features.get(); item != nullptr; item = item->next) {
            if (!servesAudio(GST_PLUGIN_FEATURE(item->data)))
                gst_registry_remove_feature(registry, GST_PLUGIN_FEATURE(item->data));
        }
    }
}

} // namespace

namespace MediaRuntime {

QString initialize()
{
    static std::once_flag once;
    static QString error;
    // A caller that comes while another thread starts it waits for that start.
    std::call_once(once, [] {
        if (gst_is_initialized())
            return;
        GError *raw = nullptr;
        const bool initialized = gst_init_check(nullptr, nullptr, &raw);
        const gsthandles::Error failure(raw);
        if (initialized)
            restrictToAudio();
        else if (failure != nullptr)
            error = QString::fromUtf8(failure->message);
        else
            error = QStringLiteral("GStreamer could not be initialized");
    });
    return error;
}

void initializeInBackground()
{
    // Joined at exit, so the process never ends in the middle of starting the framework.
    static std::jthread starter([] {
        if (initialize().isEmpty())
            preloadStreamingParts();
    });
}

void preloadStreamingParts()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // libav's decoders rank first or level with the small libraries made for MP3 and AAC,
        // and loading libav maps tens of megabytes of codec libraries; faad decodes HE-AAC
        // too, as AAC stations send it.
        for (const char *small : { "mpg123audiodec", "faad" }) {
            if (const gsthandles::Object<GstPluginFeature> decoder{
                    gst_registry_lookup_feature(gst_registry_get(), small) })
                gst_plugin_feature_set_rank(decoder.get(), GST_RANK_PRIMARY + 1);
        }
        // Joined at exit, so the process never ends in the middle of loading a library.
        static std::jthread loader([] {
            // What making the player loads comes first, so it rarely has to wait for a library.
            for (const char *name : { "playback", "pulseaudio", "coreelements", "volume",
                                      "typefindfunctions", "soup", "icydemux", "id3demux",
                                      "audioparsers", "mpg123", "audioconvert", "audioresample" }) {
                const gsthandles::Object<GstPlugin> plugin(gst_plugin_load_by_name(name));
            }
            // The TLS backend is a module of its own, loaded at the first secure connection, and
            // the index of authorities reads every system certificate once.
            g_tls_backend_get_default();
            const gsthandles::GObject<GTlsDatabase> trust(StreamTrust::database());
        });
    });
}

} // namespace MediaRuntime
