#pragma once

#include <QString>

#include <optional>

// Whether this machine can play the stations at all. The stream itself declares its role and
// identity to the sound server (GstStreamPlayer); this only looks for what playback needs.
namespace AudioSession {

// Why playback cannot work here, in one line, or nothing when it can: the media framework
// starts, and the elements for an HTTP MP3 stream and an audio output are installed.
// Main thread only; does not touch the sound server.
std::optional<QString> checkPlayback();

} // namespace AudioSession
