#include "MediaRuntime.h"

#include <gst/gst.h>

#include <gio/gio.h>
#include <mutex>
#include <thread>

namespace MediaRuntime {

QString initialize()
{
    if (gst_is_initialized())
        return {};
    GError *error = nullptr;
    if (gst_init_check(nullptr, nullptr, &error))
        return {};
    QString description = error != nullptr ? QString::fromUtf8(error->message)
                                           : QStringLiteral("GStreamer could not be initialized");
    g_clear_error(&error);
    return description;
}

void preloadStreamingParts()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Both MP3 decoders rank alike, so the name picked libav's, whose library alone took
        // 45 ms to load at the first play; mpg123 is small and made for the job.
        if (GstPluginFeature *mpg123
            = gst_registry_lookup_feature(gst_registry_get(), "mpg123audiodec")) {
            gst_plugin_feature_set_rank(mpg123, GST_RANK_PRIMARY);
            gst_object_unref(mpg123);
        }
        // A live stream is joined mid-frame, so the MP3 typefinder is never sure and every
        // other typefinder is asked too. libav's would load its library, 50 ms and 33 MiB, for
        // formats no radio station sends; GStreamer's own find MP3, AAC and Ogg.
        GstRegistry *registry = gst_registry_get();
        GList *libavFeatures = gst_registry_get_feature_list_by_plugin(registry, "libav");
        for (GList *item = libavFeatures; item != nullptr; item = item->next) {
            if (GST_IS_TYPE_FIND_FACTORY(item->data))
                gst_registry_remove_feature(registry, GST_PLUGIN_FEATURE(item->data));
        }
        gst_plugin_feature_list_free(libavFeatures);
        // Joined at exit, so the process never ends in the middle of loading a library.
        static std::jthread loader([] {
            for (const char *name : { "coreelements", "playback", "typefindfunctions", "soup",
                                      "icydemux", "id3demux", "audioparsers", "mpg123",
                                      "audioconvert", "audioresample", "volume", "pulseaudio" }) {
                if (GstPlugin *plugin = gst_plugin_load_by_name(name))
                    gst_object_unref(plugin);
            }
            // The TLS backend is a module of its own, loaded at the first secure connection.
            g_tls_backend_get_default();
        });
    });
}

QString versionString()
{
    gchar *text = gst_version_string();
    QString version = QString::fromUtf8(text);
    g_free(text);
    return version;
}

} // namespace MediaRuntime
