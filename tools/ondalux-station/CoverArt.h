#pragma once

#include "DemoTracks.h"

#include <QByteArray>

// A square cover for a track, carrying its title and artist, in the station's style. Needs a
// QGuiApplication (for fonts). Main thread.
namespace CoverArt {

constexpr int size = 600;

QByteArray png(const DemoStation &station, const DemoTrack &track);

} // namespace CoverArt
