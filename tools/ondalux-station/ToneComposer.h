#pragma once

#include "DemoTracks.h"

#include <QByteArray>

// Plays a Tune once through: one bar per chord, starting and ending in silence so that the
// loop joins without a click.
namespace ToneComposer {

constexpr int sampleRate = 44100;
constexpr int channels = 2;

// Interleaved signed 16-bit little-endian stereo samples at sampleRate.
QByteArray render(const Tune &tune);

} // namespace ToneComposer
