#include "DemoTracks.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

struct Entry
{
    const char16_t *artist;
    const char16_t *title;
    const char16_t *mix;
    const char16_t *year;
    bool inStore;
};

// Chord loops that sound well in any key, as scale degrees.
const std::array<QList<int>, 6> progressions = {
    QList<int>{ 0, 4, 5, 3 }, QList<int>{ 5, 3, 0, 4 }, QList<int>{ 0, 5, 3, 4 },
    QList<int>{ 1, 4, 0, 5 }, QList<int>{ 0, 3, 6, 2 }, QList<int>{ 0, 5, 2, 6 },
};
constexpr std::array<int, 12> tonics = { 57, 60, 55, 62, 53, 58, 64, 56, 61, 59, 54, 63 };

QString slugOf(const QString &artist, const QString &title)
{
    // Plain ASCII, so the name needs no escaping in a URL.
    const QString text = QString(artist + u'-' + title).normalized(QString::NormalizationForm_KD);
    QString slug;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            slug += c.toLower();
        else if (c.isMark())
            continue;
        else if (!slug.endsWith(u'-'))
            slug += u'-';
    }
    return slug;
}

// Track i gets its own key, tempo, chords and figure, so every change is heard.
QList<DemoTrack> tracksOf(const std::initializer_list<Entry> entries, bool beats)
{
    QList<DemoTrack> tracks;
    int i = 0;
    for (const Entry &entry : entries) {
        DemoTrack track;
        track.artist = QString::fromUtf16(entry.artist);
        track.title = QString::fromUtf16(entry.title);
        track.mix = QString::fromUtf16(entry.mix);
        track.year = QString::fromUtf16(entry.year);
        track.inStore = entry.inStore;
        track.slug = slugOf(track.artist, track.title);
        Tune &tune = track.tune;
        tune.tonic = tonics[static_cast<size_t>(i) % tonics.size()] - (beats ? 0 : 3);
        tune.minor = i % 3 == 1;
        tune.progression = progressions[static_cast<size_t>(i * 5) % progressions.size()];
        tune.pattern = i % 4;
        tune.beatsPerMinute = beats ? 104 + (i * 7) % 24 : 68 + (i * 5) % 22;
        tune.brightness = beats ? 0.45 + 0.05 * (i % 5) : 0.1 + 0.05 * (i % 4);
        tune.drums = beats;
        tracks.append(track);
        ++i;
    }
    return tracks;
}

} // namespace

namespace DemoTracks {

DemoStation softorbit()
{
    return {
        u"softorbit"_s, u"Softorbit"_s, u"Ambient"_s,
        tracksOf(
            {
                { u"Lumen Drift", u"Glass Harbour", u"", u"2019", true },
                { u"Aster Vale", u"Slow Satellites", u"(Night Mix)", u"2021", false },
                { u"Nocturne Bay", u"Paper Moons", u"", u"2016", false },
                { u"Mira Solenne", u"Halcyon Loop", u"", u"2023", true },
                { u"Lumen Drift", u"Low Tide Lanterns", u"", u"2020", false },
                { u"The Quiet Orbit", u"Cassiopeia Waltz", u"(Extended)", u"2018", true },
                { u"Aster Vale", u"Velvet Static", u"", u"2022", false },
                { u"Nocturne Bay", u"Fjord Light", u"", u"2017", false },
                { u"Iris & the Tideline", u"Sleepwalk Radio", u"", u"2024", true },
                { u"Mira Solenne", u"Weightless Morning", u"(Ambient Version)", u"2023", false },
                { u"The Quiet Orbit", u"Perihelion", u"", u"2015", false },
                { u"Seren Hal\u00e9", u"Small Hours", u"", u"2025", true },
            },
            false)
    };
}

DemoStation radiobeatloom()
{
    return { u"radiobeatloom"_s, u"Radio Beatloom"_s, u"Electronic"_s,
             tracksOf(
                 {
                     { u"Brass Circuit", u"Loom Machine", u"", u"2022", true },
                     { u"Kettle & Pulse", u"Copper Stairs", u"(Club Edit)", u"2020", false },
                     { u"Dana Voltaire", u"Threadcount", u"", u"2019", false },
                     { u"Metro Fable", u"Night Bus Shuffle", u"", u"2024", true },
                     { u"Brass Circuit", u"Sawtooth Garden", u"", u"2021", false },
                     { u"Juniper Kick", u"Wool & Wire", u"(Dub)", u"2018", true },
                     { u"Kettle & Pulse", u"Tin Roof Rhythm", u"", u"2023", false },
                     { u"Ola M\u00e1rquez", u"Spindle Funk", u"", u"2017", false },
                     { u"Metro Fable", u"Neon Warp", u"(Radio Edit)", u"2025", true },
                     { u"Dana Voltaire", u"Shuttlecraft", u"", u"2016", false },
                     { u"Juniper Kick", u"Bobbin Bounce", u"", u"2022", false },
                     { u"Ola M\u00e1rquez", u"Last Train Loop", u"", u"2024", true },
                 },
                 true),
             true };
}

} // namespace DemoTracks
