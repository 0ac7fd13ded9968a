// The streaming-thread half of GstStreamPlayer: GStreamer callbacks and pad probes. They copy
// what they need, touch no member of the player, and post to the main thread.
#include "GstStreamPlayerPrivate.h"
#include "HttpSession.h"
#include "StreamTrust.h"
#include "StreamTypes.h"

#include <utility>

// Runs on the thread that creates the source.
void GstStreamPlayer::Private::onSourceSetup(GstElement *, GstElement *source, gpointer self)
{
    auto *that = static_cast<Private *>(self);
    if (hasProperty(source, "user-agent")) {
        const QByteArray agent = HttpSession::userAgent();
        g_object_set(source, "user-agent", agent.constData(), nullptr);
    }
    if (hasProperty(source, "tls-database")) {
        if (gsthandles::GObject<GTlsDatabase> trust{ StreamTrust::database() })
            g_object_set(source, "tls-database", trust.get(), nullptr);
    }
    if (gsthandles::Pad pad{ gst_element_get_static_pad(source, "src") }) {
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &Private::onSourcePad,
                          new SourceWatch{ that->streaming, {}, false },
                          [](gpointer watch) { delete static_cast<SourceWatch *>(watch); });
    }
}

namespace {

// The value of the response header `name`, in any case, from souphttpsrc's "http-headers".
QByteArray responseHeader(const GstStructure *httpHeaders, const char *name)
{
    GstStructure *copy = nullptr; // gst_structure_get hands out a copy
    if (!gst_structure_get(httpHeaders, "response-headers", GST_TYPE_STRUCTURE, &copy, nullptr))
        return {};
    const gsthandles::Structure response(copy);
    QByteArray value;
    for (int field = 0; field < gst_structure_n_fields(response.get()); ++field) {
        const char *header = gst_structure_nth_field_name(response.get(), field);
        if (g_ascii_strcasecmp(header, name) == 0) {
            if (const char *text = gst_structure_get_string(response.get(), header))
                value = text;
        }
    }
    return value;
}

} // namespace

// Streaming thread of the network source. Plays the stream as the type its server named rather
// than as whatever typefinding guesses from bytes joined mid-frame, and reports the end of the
// connection, which nothing downstream reports while the type is still being found.
GstPadProbeReturn GstStreamPlayer::Private::onSourcePad(GstPad *pad, GstPadProbeInfo *info,
                                                        gpointer data)
{
    auto *watch = static_cast<SourceWatch *>(data);
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: // ICY: the demuxer is given the type in these caps
        watch->typed = true;
        break;
    case GST_EVENT_CUSTOM_DOWNSTREAM_STICKY: {
        // The response's headers, which arrive before its data: the type goes in front of it.
        if (!gst_event_has_name(event, "http-headers") || watch->typed)
            break;
        const GstStructure *headers = gst_event_get_structure(event);
        // An ICY stream is typed by its demuxer, below.
        if (!responseHeader(headers, "icy-metaint").isEmpty())
            break;
        const QByteArray declared
            = StreamTypes::capsForContentType(responseHeader(headers, "Content-Type"));
        if (!declared.isEmpty()) {
            watch->typed = true;
            const gsthandles::Caps caps(gst_caps_from_string(declared.constData()));
            gst_pad_push_event(pad, gst_event_new_caps(caps.get()));
        }
        break;
    }
    case GST_EVENT_EOS: {
        GstStreamPlayer *owner = watch->streaming->owner;
        const quint64 generation = watch->streaming->generation.load();
        QMetaObject::invokeMethod(
            owner, [owner, generation] { owner->d->onSourceEnded(generation); },
            Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
    return GST_PAD_PROBE_OK;
}

// Streaming thread of the ICY demuxer, before the decoder sees the pad: the demuxer found the
// type by typefinding, but the server said it in the header the demuxer was given.
void GstStreamPlayer::Private::onIcyPadAdded(GstElement *icyDemuxer, GstPad *pad, gpointer)
{
    const gsthandles::Pad sinkPad(gst_element_get_static_pad(icyDemuxer, "sink"));
    const gsthandles::Caps icyCaps(sinkPad ? gst_pad_get_current_caps(sinkPad.get()) : nullptr);
    const char *contentType = icyCaps && !gst_caps_is_empty(icyCaps.get())
        ? gst_structure_get_string(gst_caps_get_structure(icyCaps.get(), 0), "content-type")
        : nullptr;
    const QByteArray declared = StreamTypes::capsForContentType(contentType);
    if (!declared.isEmpty()) {
        gst_pad_store_sticky_event(
            pad,
            gsthandles::Event(
                gst_event_new_caps(gsthandles::Caps(gst_caps_from_string(declared)).get()))
                .get());
    }
}

// Runs on whichever thread adds the element.
void GstStreamPlayer::Private::onDeepElementAdded(GstBin *, GstBin *, GstElement *element,
                                                  gpointer data)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    const char *factoryName
        = factory != nullptr ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
    // Connected before the decoder's own handler, which is connected once the element is added.
    if (g_str_equal(factoryName, "icydemux"))
        g_signal_connect(element, "pad-added", G_CALLBACK(&Private::onIcyPadAdded), nullptr);
    const auto source = GstTimedMetadata::sourceOf(factoryName);
    if (!source)
        return;
    const auto &streaming = *static_cast<std::shared_ptr<Streaming> *>(data);
    auto *watch = new TagWatch{ streaming, *source, GST_SEQNUM_INVALID, {}, 0, {} };
    const gsthandles::Iterator pads(gst_element_iterate_src_pads(element));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(pads.get(), &item) == GST_ITERATOR_OK) {
        watchTags(GST_PAD(g_value_get_object(&item)), streaming, *source);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    g_signal_connect_data(
        element, "pad-added", G_CALLBACK(&Private::onPadAdded), watch,
        [](gpointer w, GClosure *) { delete static_cast<TagWatch *>(w); }, GConnectFlags{});
}

void GstStreamPlayer::Private::onPadAdded(GstElement *, GstPad *pad, gpointer watchSource)
{
    const auto *model = static_cast<TagWatch *>(watchSource);
    if (GST_PAD_DIRECTION(pad) == GST_PAD_SRC)
        watchTags(pad, model->streaming, model->source);
}

void GstStreamPlayer::Private::watchTags(GstPad *pad, const std::shared_ptr<Streaming> &streaming,
                                         GstTimedMetadata::Source source)
{
    auto *watch = new TagWatch{ streaming, source, GST_SEQNUM_INVALID, {}, 0, {} };
    gst_pad_add_probe(
        pad,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_BUFFER
                                     | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        &Private::onTagPad, watch, [](gpointer w) { delete static_cast<TagWatch *>(w); });
}

// Streaming thread. Sees each metadata update once, as it arrives, and sends a marker down
// the pipeline in front of the audio that follows it.
GstPadProbeReturn GstStreamPlayer::Private::onTagPad(GstPad *pad, GstPadProbeInfo *info,
                                                     gpointer data)
{
    auto *watch = static_cast<TagWatch *>(data);
    Streaming &streaming = *watch->streaming;
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) != 0) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_TAG)
            return GST_PAD_PROBE_OK;
        // A sticky tag sent again after a relink is not a new update.
        const guint32 seqnum = gst_event_get_seqnum(event);
        if (seqnum == watch->lastSeqnum)
            return GST_PAD_PROBE_OK;
        watch->lastSeqnum = seqnum;
        GstTagList *tags = nullptr;
        gst_event_parse_tag(event, &tags);
        QList<TimedMetadataGroup> groups = GstTimedMetadata::groupsFrom(tags, watch->source);
        if (groups.isEmpty())
            return GST_PAD_PROBE_OK;
        // Decoders repeat merged tags, and some servers the title in every ICY block: on one
        // connection only a change is an update.
        const quint64 generation = streaming.generation.load();
        if (groups == watch->lastGroups && generation == watch->lastGeneration)
            return GST_PAD_PROBE_OK;
        watch->lastGroups = groups;
        watch->lastGeneration = generation;
        const quint64 marker = ++streaming.nextMarker;
        {
            const std::lock_guard lock(streaming.mutex);
            streaming.announcements.emplace(marker, std::move(groups));
        }
        watch->unmarked.append(marker);
        return GST_PAD_PROBE_OK;
    }
    // The first buffer after an update: the marker goes out just in front of it.
    while (!watch->unmarked.isEmpty()) {
        const quint64 marker = watch->unmarked.takeFirst();
        GstStructure *structure
            = gst_structure_new(markerName, "marker", G_TYPE_UINT64, marker, nullptr);
        if (!gst_pad_push_event(pad,
                                gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, structure))) {
            // Nothing downstream carries it: announce now rather than never.
            const quint64 generation = streaming.generation.load();
            GstStreamPlayer *owner = streaming.owner;
            QMetaObject::invokeMethod(
                owner,
                [owner, generation, marker] {
                    owner->d->onMarkedAudio(generation, { marker }, GST_CLOCK_TIME_NONE);
                },
                Qt::QueuedConnection);
        }
    }
    return GST_PAD_PROBE_OK;
}

// Any thread that posts. The stream buffer reports its level some forty times a second, and
// each report woke the main thread; only a change between full and not full matters there.
GstBusSyncReply GstStreamPlayer::Private::onBusSync(GstBus *, GstMessage *message, gpointer data)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_BUFFERING)
        return GST_BUS_PASS;
    gint percent = 0;
    gst_message_parse_buffering(message, &percent);
    const int full = percent >= 100 ? 1 : 0;
    if (static_cast<Streaming *>(data)->bufferingFull.exchange(full) != full)
        return GST_BUS_PASS;
    const gsthandles::Message dropped(message); // a dropped message is the handler's to release
    return GST_BUS_DROP;
}

// Streaming thread of the audio output. Counts the audio that arrives, and finds where in the
// stream each marker's audio begins.
GstPadProbeReturn GstStreamPlayer::Private::onOutputPad(GstPad *pad, GstPadProbeInfo *info,
                                                        gpointer data)
{
    auto &streaming = *static_cast<Streaming *>(data);
    const quint64 generation = streaming.generation.load();
    GstStreamPlayer *owner = streaming.owner;
    if (streaming.outputGeneration != generation) {
        streaming.outputGeneration = generation;
        streaming.markersAhead.clear();
        streaming.audioReported = false;
    }
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) != 0) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CUSTOM_DOWNSTREAM
            || !gst_event_has_name(event, markerName))
            return GST_PAD_PROBE_OK;
        guint64 marker = 0;
        gst_structure_get_uint64(gst_event_get_structure(event), "marker", &marker);
        streaming.markersAhead.append(marker);
        return GST_PAD_PROBE_DROP;
    }

    ++streaming.audioBuffers;
    if (!streaming.audioReported) {
        streaming.audioReported = true;
        QMetaObject::invokeMethod(
            owner, [owner, generation] { owner->d->onAudioStarted(generation); },
            Qt::QueuedConnection);
    }
    if (streaming.markersAhead.isEmpty())
        return GST_PAD_PROBE_OK;

    GstBuffer *buffer = (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) != 0
        ? GST_PAD_PROBE_INFO_BUFFER(info)
        : gst_buffer_list_get(GST_PAD_PROBE_INFO_BUFFER_LIST(info), 0);
    GstClockTime streamTime = GST_CLOCK_TIME_NONE;
    if (buffer != nullptr && GST_BUFFER_PTS_IS_VALID(buffer)) {
        if (const gsthandles::Event segmentEvent{
                gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0) }) {
            const GstSegment *segment = nullptr;
            gst_event_parse_segment(segmentEvent.get(), &segment);
            streamTime
                = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        }
    }
    const QList<quint64> markers = std::exchange(streaming.markersAhead, {});
    QMetaObject::invokeMethod(
        owner,
        [owner, generation, markers, streamTime] {
            owner->d->onMarkedAudio(generation, markers, streamTime);
        },
        Qt::QueuedConnection);
    return GST_PAD_PROBE_OK;
}
