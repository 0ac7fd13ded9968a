#pragma once

#include <QList>
#include <QString>

// How one track sounds: a loop of chords, one per bar, with an arpeggio over a bass line.
struct Tune
{
    int tonic = 57; // MIDI note number of the key's first degree
    bool minor = false;
    int beatsPerMinute = 90;
    QList<int> progression; // scale degrees counted from 0, one chord per bar
    int pattern = 0; // which arpeggio figure
    double brightness = 0.3; // 0 a pure tone .. 1 a bright one
    bool drums = false;
};

struct DemoTrack
{
    QString slug; // names its artwork and store page
    QString artist;
    QString title;
    QString mix; // empty when the track has none
    QString year;
    bool inStore = false; // has a store page
    Tune tune;
};

struct DemoStation
{
    QString id; // the stream's path and the song-info document's name
    QString name;
    QString genre;
    QList<DemoTrack> tracks; // in the order they air, looping
    // The last-ten document as an object holding the list under "data", not a bare list.
    bool lastTenWrapped = false;
};

// The two stations' programmes: made-up artists playing generated music.
namespace DemoTracks {

DemoStation softorbit();
DemoStation radiobeatloom();

} // namespace DemoTracks
