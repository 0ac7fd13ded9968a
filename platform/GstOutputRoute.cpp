#include "GstOutputRoute.h"

#include "GstHandles.h"

#include <atomic>

// How PulseAudio (16) routes a stream: one that asks for no output, or is moved by a client onto
// the default output, sits on the default and moves along when the default changes. A stream the
// server itself moves off an output that went away remembers that output, returns to it when it
// comes back, and a client's move onto the output it already sits on changes nothing; only a new
// stream forgets. pulsesink, given no device while its stream is open, asks the server to move
// the stream to no output, which fails and posts an error; and once a stream is open it takes
// the output the stream landed on as its device, so its next stream asks for that one by name.
// It keeps that device up to date when the server or another program moves the stream, and then
// sends "pulse-sink-changed" upstream from the sound server's thread; it also notifies
// "current-device", from the streaming thread, on any change of its stream.

namespace {

// The server's name for whatever output is its default when a stream is opened or moved.
constexpr char serverDefault[] = "@DEFAULT_SINK@";
constexpr char followsKey[] = "ondalux-follows-default";
constexpr char reopenField[] = "ondalux-reopen";
constexpr char sinkChangedEvent[] = "pulse-sink-changed";

// pulsesink replaces its device string unlocked, on the sound server's thread when its stream
// moves; so it is written only while no stream is open, or just before this thread reopens it,
// and never read back.
void setDevice(GstElement *sink, const char *device)
{
    g_object_set(sink, "device", device, nullptr);
}

bool followsDefault(GstElement *sink)
{
    return g_object_get_data(G_OBJECT(sink), followsKey) != nullptr;
}

// Streaming thread, once. Caps that differ from the current ones make the sink close its stream
// and open a new one, as for a change of format, while the decoder and the connection upstream
// keep running.
GstPadProbeReturn onReopen(GstPad *pad, GstPadProbeInfo *, gpointer)
{
    static std::atomic<int> reopenings{ 0 };
    GstElement *sink = GST_PAD_PARENT(pad);
    if (sink == nullptr || !followsDefault(sink)) // an output was chosen meanwhile
        return GST_PAD_PROBE_REMOVE;
    if (GstCaps *current = gst_pad_get_current_caps(pad)) {
        setDevice(sink, serverDefault);
        GstCaps *caps = gst_caps_make_writable(current);
        gst_caps_set_simple(caps, reopenField, G_TYPE_INT, ++reopenings, nullptr);
        gst_pad_send_event(pad, gst_event_new_caps(gsthandles::Caps(caps).get()));
    }
    return GST_PAD_PROBE_REMOVE;
}

using Callback = std::function<void()>;

void deleteCallback(gpointer callback)
{
    delete static_cast<Callback *>(callback);
}

// Streaming thread.
void onStreamChanged(GObject *, GParamSpec *, gpointer callback)
{
    (*static_cast<Callback *>(callback))();
}

// The sound server's thread, for a move of an open stream; pulsesink holds its lock.
GstPadProbeReturn onUpstreamEvent(GstPad *, GstPadProbeInfo *info, gpointer callback)
{
    if (gst_event_has_name(GST_PAD_PROBE_INFO_EVENT(info), sinkChangedEvent))
        (*static_cast<Callback *>(callback))();
    return GST_PAD_PROBE_OK;
}

} // namespace

void GstOutputRoute::watch(GstElement *sink, std::function<void()> changed)
{
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "current-device") != nullptr) {
        g_signal_connect_data(
            sink, "notify::current-device", G_CALLBACK(&onStreamChanged), new Callback(changed),
            [](gpointer callback, GClosure *) { deleteCallback(callback); }, GConnectFlags{});
    }
    // A stream moved while paused: no change is notified until it plays again.
    if (const gsthandles::Pad pad{ gst_element_get_static_pad(sink, "sink") }) {
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_EVENT_UPSTREAM, &onUpstreamEvent,
                          new Callback(std::move(changed)), &deleteCallback);
    }
}

QString GstOutputRoute::current(GstElement *sink)
{
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "current-device") == nullptr)
        return {};
    // Asked of the open stream under the sink's own lock; empty while none is open.
    gchar *raw = nullptr;
    g_object_get(sink, "current-device", &raw, nullptr);
    const gsthandles::Text device(raw);
    return device != nullptr && device.get()[0] != '@' ? QString::fromUtf8(device.get())
                                                       : QString();
}

void GstOutputRoute::prepare(GstElement *sink)
{
    // The last stream's output, which the sink took as its device, is not the default's.
    if (followsDefault(sink))
        setDevice(sink, serverDefault);
}

void GstOutputRoute::apply(GstElement *sink, const QString &name)
{
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "device") == nullptr)
        return;
    GstElementFactory *factory = gst_element_get_factory(sink);
    const bool pulse = factory != nullptr
        && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "pulsesink") == 0;
    if (!name.isEmpty() || !pulse) {
        g_object_set_data(G_OBJECT(sink), followsKey, nullptr);
        const QByteArray device = name.toUtf8();
        setDevice(sink, name.isEmpty() ? nullptr : device.constData());
        return;
    }

    const gsthandles::Pad pad(gst_element_get_static_pad(sink, "sink"));
    if (pad == nullptr)
        return;
    g_object_set_data(G_OBJECT(sink), followsKey, GINT_TO_POINTER(1));
    // An open stream is opened anew on the default: moved there instead, it would still
    // remember an output it was taken off, and the sink would name where it landed.
    if (gst_pad_has_current_caps(pad.get()))
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &onReopen, nullptr, nullptr);
    else
        setDevice(sink, serverDefault);
}
