#pragma once

// Turning GStreamer tags into timed-metadata announcements. Internal to the platform layer.

#include "StreamPlayer.h"

#include <gst/gst.h>

namespace GstTimedMetadata {

// Where a tag event was seen decides which of its tags count as the stream's own metadata.
enum class Source {
    IcyDemuxer, // ICY metadata blocks: StreamTitle and StreamUrl only
    TagDemuxer, // ID3 and similar tags inside the stream
    Decoder, // comment headers, as a new link of a chained Ogg stream carries them
};

// The source an element of this factory feeds announcements from, if any.
std::optional<Source> sourceOf(const gchar *factoryName);

// One group holding an item per announced value; empty when nothing in `tags` is an
// announcement (codec, bitrate, container and HTTP header tags are not).
QList<TimedMetadataGroup> groupsFrom(const GstTagList *tags, Source source);

} // namespace GstTimedMetadata
