#pragma once

// Which of the sound server's outputs an audio sink's stream plays on. Internal to the platform
// layer.

#include <QString>

#include <gst/gst.h>

#include <functional>

namespace GstOutputRoute {

// Sends `sink`'s stream to the output named `name`, or, when `name` is empty, to whichever
// output is the server's default from now on, moving with it whenever it changes. Takes effect
// on a stream that is open, without interrupting what feeds the sink. Main thread.
void apply(GstElement *sink, const QString &name);

// Before `sink` opens a new stream, with none open: a sink that follows the default asks for
// it again. Main thread.
void prepare(GstElement *sink);

// Calls `changed` whenever the output `sink`'s stream plays on may have changed: a stream
// opened, or was moved by us, by the server or by another program. Called on the streaming
// thread or the sound server's; it must do no more than post to the main thread.
void watch(GstElement *sink, std::function<void()> changed);

// The output `sink`'s stream plays on, by name, as the sink last learnt it; empty while that is
// not known. Main thread.
QString current(GstElement *sink);

} // namespace GstOutputRoute
