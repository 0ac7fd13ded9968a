#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the event loop, so the program
// cleans up after itself (the media panel's artwork files) as when its window closes. A signal
// the program was started with ignored stays ignored; once the event loop has ended, or when a
// second signal comes before it could, a signal ends the process as it would without us.
namespace TerminationSignals {

// Installs the handlers; once per process, on the main thread, after the application object
// exists. Returns false, changing nothing, when they cannot be installed.
bool quitOnTermination();

} // namespace TerminationSignals
