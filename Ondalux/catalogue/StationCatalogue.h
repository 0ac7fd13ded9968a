#pragma once

#include "Station.h"

// The two stations this build plays. Each call builds a new record with a fresh id; the
// addresses are HTTPS on the hosts compiled into the build.
namespace StationCatalogue {

Station softorbit();
Station radiobeatloom();

} // namespace StationCatalogue
