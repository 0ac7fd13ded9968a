#pragma once

#include <QString>

// The media framework underneath the player, started once per process.
namespace MediaRuntime {

// Starts the framework if it is not running yet, with only the parts that play audio: no video,
// image or text part is ever loaded into the process. Returns an empty string on success,
// otherwise a description of why it cannot run. Safe to call more than once, from any thread.
QString initialize();

// Starts initialize() and preloadStreamingParts() on a worker thread, so they overlap the
// window's making instead of holding up the main thread; a later initialize() waits for it.
void initializeInBackground();

// Loads, on a worker thread, the parts a radio stream needs (HTTP and TLS, ICY, the MP3 parser
// and decoder, the sound server's output), so the first play does not wait for them to be
// read from disk. Also makes the lighter mpg123 decoder the first choice for MP3. Once per
// process; call after initialize() succeeded.
void preloadStreamingParts();

} // namespace MediaRuntime
