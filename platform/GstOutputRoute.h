#pragma once

// Which of the sound server's outputs an audio sink's stream plays on. Internal to the platform
// layer.

#include <QString>

#include <gst/gst.h>

namespace GstOutputRoute {

// Sends `sink`'s stream to the output named `name`, or, when `name` is empty, to whichever
// output is the server's default from now on, moving with it whenever it changes. Takes effect
// on a stream that is open, without interrupting what feeds the sink. Main thread.
void apply(GstElement *sink, const QString &name);

} // namespace GstOutputRoute
