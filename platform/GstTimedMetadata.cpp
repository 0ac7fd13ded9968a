#include "GstTimedMetadata.h"

#include <QSet>

#include <cstring>

namespace GstTimedMetadata {

namespace {

// Tags that describe the encoding or the connection rather than what is on air.
bool isTechnical(const gchar *tag)
{
    static const char *const technical[] = {
        GST_TAG_AUDIO_CODEC,
        GST_TAG_VIDEO_CODEC,
        GST_TAG_CODEC,
        GST_TAG_SUBTITLE_CODEC,
        GST_TAG_CONTAINER_FORMAT,
        GST_TAG_BITRATE,
        GST_TAG_NOMINAL_BITRATE,
        GST_TAG_MINIMUM_BITRATE,
        GST_TAG_MAXIMUM_BITRATE,
        GST_TAG_ENCODER,
        GST_TAG_ENCODER_VERSION,
        "has-crc",
        GST_TAG_LANGUAGE_CODE,
        GST_TAG_SERIAL,
        GST_TAG_TRACK_GAIN,
        GST_TAG_TRACK_PEAK,
        GST_TAG_ALBUM_GAIN,
        GST_TAG_ALBUM_PEAK,
        GST_TAG_REFERENCE_LEVEL,
        GST_TAG_DURATION,
        "channel-mode",
        // icy-name, icy-genre and icy-url arrive as these, from the response headers
        GST_TAG_ORGANIZATION,
        GST_TAG_GENRE,
        GST_TAG_LOCATION,
    };
    for (const char *name : technical) {
        if (std::strcmp(tag, name) == 0)
            return true;
    }
    return false;
}

bool counts(const gchar *tag, Source source)
{
    if (source == Source::IcyDemuxer)
        return std::strcmp(tag, GST_TAG_TITLE) == 0 || std::strcmp(tag, GST_TAG_HOMEPAGE) == 0;
    return !isTechnical(tag);
}

TimedMetadataItem itemFrom(const GValue *value)
{
    TimedMetadataItem item;
    if (G_VALUE_HOLDS_STRING(value)) {
        const gchar *text = g_value_get_string(value);
        item.stringValue = QString::fromUtf8(text != nullptr ? text : "");
        item.value = *item.stringValue;
    } else if (G_VALUE_HOLDS_INT(value)) {
        item.value = g_value_get_int(value);
    } else if (G_VALUE_HOLDS_UINT(value)) {
        item.value = g_value_get_uint(value);
    } else if (G_VALUE_HOLDS_DOUBLE(value)) {
        item.value = g_value_get_double(value);
    } else if (G_VALUE_HOLDS_BOOLEAN(value)) {
        item.value = static_cast<bool>(g_value_get_boolean(value));
    } else {
        // Images, dates and the like: present, but nothing a title could be read from.
        item.value = QVariant::fromValue(QByteArray(G_VALUE_TYPE_NAME(value)));
    }
    return item;
}

} // namespace

std::optional<Source> sourceOf(const gchar *factoryName)
{
    if (factoryName == nullptr)
        return std::nullopt;
    const QByteArray name(factoryName);
    if (name == "icydemux")
        return Source::IcyDemuxer;
    if (name == "id3demux" || name == "apedemux")
        return Source::TagDemuxer;
    static const QSet<QByteArray> decoders = { "vorbisdec", "opusdec", "flacdec", "speexdec" };
    if (decoders.contains(name))
        return Source::Decoder;
    return std::nullopt;
}

QList<TimedMetadataGroup> groupsFrom(const GstTagList *tags, Source source)
{
    TimedMetadataGroup group;
    const int count = gst_tag_list_n_tags(tags);
    for (int i = 0; i < count; ++i) {
        const gchar *tag = gst_tag_list_nth_tag_name(tags, static_cast<guint>(i));
        if (!counts(tag, source))
            continue;
        const guint values = gst_tag_list_get_tag_size(tags, tag);
        for (guint v = 0; v < values; ++v)
            group.append(itemFrom(gst_tag_list_get_value_index(tags, tag, v)));
    }
    if (group.isEmpty())
        return {};
    return { group };
}

} // namespace GstTimedMetadata
