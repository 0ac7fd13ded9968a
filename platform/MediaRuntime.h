#pragma once

#include <QString>

// The media framework underneath the player, started once per process.
namespace MediaRuntime {

// Starts the framework if it is not running yet. Returns an empty string on success, otherwise
// a description of why it cannot run. Safe to call more than once; main thread only.
QString initialize();

// The framework's version, for diagnostics: "GStreamer 1.22.0".
QString versionString();

} // namespace MediaRuntime
