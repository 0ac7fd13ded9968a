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
struct Free
{
    void operator()(gpointer memory) const { g_free(memory); }
};
struct ErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
struct FeatureListFree
{
    void operator()(GList *list) const { gst_plugin_feature_list_free(list); }
};
struct StructureFree
{
    void operator()(GstStructure *structure) const { gst_structure_free(structure); }
};
struct IteratorFree
{
    void operator()(GstIterator *iterator) const { gst_iterator_free(iterator); }
};
struct ObjectListFree
{
    void operator()(GList *list) const { g_list_free_full(list, gst_object_unref); }
};

using Element = std::unique_ptr<GstElement, ObjectUnref>;
using Bus = std::unique_ptr<GstBus, ObjectUnref>;
using Pad = std::unique_ptr<GstPad, ObjectUnref>;
using Message = std::unique_ptr<GstMessage, MessageUnref>;
using Event = std::unique_ptr<GstEvent, EventUnref>;
using Caps = std::unique_ptr<GstCaps, CapsUnref>;
template<typename T> using GObject = std::unique_ptr<T, GObjectUnref>;
template<typename T> using Object = std::unique_ptr<T, ObjectUnref>;
using Text = std::unique_ptr<gchar, Free>;
using Error = std::unique_ptr<GError, ErrorFree>;
using Structure = std::unique_ptr<GstStructure, StructureFree>;
using Iterator = std::unique_ptr<GstIterator, IteratorFree>;
using FeatureList = std::unique_ptr<GList, FeatureListFree>; // of GstPluginFeature
using ObjectList = std::unique_ptr<GList, ObjectListFree>; // of GstObject

} // namespace gsthandles
