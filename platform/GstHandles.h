#pragma once

// RAII owners for GStreamer and GLib references. Internal to the platform layer.

#include <gst/gst.h>

#include <memory>

namespace gsthandles {

struct ObjectUnref
{
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct MessageUnref
{
    void operator()(GstMessage *message) const { gst_message_unref(message); }
};
struct EventUnref
{
    void operator()(GstEvent *event) const { gst_event_unref(event); }
};
struct CapsUnref
{
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
};
struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

using Element = std::unique_ptr<GstElement, ObjectUnref>;
using Bus = std::unique_ptr<GstBus, ObjectUnref>;
using Pad = std::unique_ptr<GstPad, ObjectUnref>;
using Clock = std::unique_ptr<GstClock, ObjectUnref>;
using Message = std::unique_ptr<GstMessage, MessageUnref>;
using Event = std::unique_ptr<GstEvent, EventUnref>;
using Caps = std::unique_ptr<GstCaps, CapsUnref>;
template<typename T> using GObject = std::unique_ptr<T, GObjectUnref>;

} // namespace gsthandles
