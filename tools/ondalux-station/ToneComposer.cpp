#include "ToneComposer.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int beatsPerBar = 4;
constexpr std::array<int, 7> majorScale = { 0, 2, 4, 5, 7, 9, 11 };
constexpr std::array<int, 7> minorScale = { 0, 2, 3, 5, 7, 8, 10 };
// Positions in an eight-step bar, as indices into the chord's notes an octave up (3 = top).
constexpr std::array<std::array<int, 8>, 4> figures = { {
    { 0, 1, 2, 3, 2, 1, 0, 1 },
    { 0, 2, 1, 3, 0, 2, 1, 2 },
    { 3, 2, 1, 0, 1, 2, 3, 2 },
    { 0, 1, 2, 1, 3, 1, 2, 1 },
} };
constexpr double twoPi = 2.0 * std::numbers::pi;

double frequencyOf(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// The note of scale degree `degree` (any integer) in the tune's key.
int noteOf(const Tune &tune, int degree)
{
    const auto &scale = tune.minor ? minorScale : majorScale;
    const int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
    return tune.tonic + 12 * octave + scale[static_cast<size_t>(degree - 7 * octave)];
}

class Mixer
{
public:
    explicit Mixer(size_t frames)
        : m_left(frames)
        , m_right(frames)
    { }

    size_t frames() const { return m_left.size(); }

    // A tone with a few harmonics under an attack-decay envelope; pan -1 left .. 1 right.
    void tone(double start, double length, double frequency, double level, double attack,
              double decay, double brightness, double pan)
    {
        const double gainLeft = level * std::sqrt((1.0 - pan) / 2.0);
        const double gainRight = level * std::sqrt((1.0 + pan) / 2.0);
        // A rotating phasor and a decaying factor instead of sin() and exp() on every sample.
        const double step = twoPi * frequency / ToneComposer::sampleRate;
        const double stepCos = std::cos(step);
        const double stepSin = std::sin(step);
        const double fall = std::exp(-1.0 / (decay * ToneComposer::sampleRate));
        double s = 0.0;
        double c = 1.0;
        double decayed = 1.0;
        forEachSample(start, length, [&](size_t i, double t) {
            const double envelope
                = std::min(1.0, t / attack) * decayed * std::min(1.0, (length - t) / 0.02);
            // sin 2x = 2 sin x cos x; sin 3x = 3 sin x - 4 sin^3 x
            const double value = s + brightness * 0.5 * (2 * s * c)
                + brightness * brightness * 0.33 * (3 * s - 4 * s * s * s);
            m_left[i] += gainLeft * envelope * value;
            m_right[i] += gainRight * envelope * value;
            const double nextS = s * stepCos + c * stepSin;
            c = c * stepCos - s * stepSin;
            s = nextS;
            decayed *= fall;
        });
    }

    // A bass drum: a sine falling in pitch.
    void kick(double start, double level)
    {
        double phase = 0.0;
        forEachSample(start, 0.35, [&](size_t i, double t) {
            phase += twoPi * (45.0 + 90.0 * std::exp(-t / 0.03)) / ToneComposer::sampleRate;
            const double value = level * std::exp(-t / 0.12) * std::sin(phase);
            m_left[i] += value;
            m_right[i] += value;
        });
    }

    // Hi-hat or snare: a burst of noise.
    void noise(double start, double decay, double level, double pan)
    {
        double previous = 0.0;
        forEachSample(start, decay * 6, [&](size_t i, double t) {
            m_seed = m_seed * 1664525u + 1013904223u;
            const double white = static_cast<double>(m_seed >> 8) / (1u << 24) * 2.0 - 1.0;
            const double bright = white - previous; // tilts the noise upwards
            previous = white;
            const double value = level * std::exp(-t / decay) * bright;
            m_left[i] += value * (1.0 - pan) / 2.0;
            m_right[i] += value * (1.0 + pan) / 2.0;
        });
    }

    QByteArray toPcm() const
    {
        double peak = 1e-9;
        for (size_t i = 0; i < frames(); ++i)
            peak = std::max({ peak, std::abs(m_left[i]), std::abs(m_right[i]) });
        const double gain = 0.6 * 32767.0 / peak;
        // Fades at both ends, so notes still ringing at the loop's end stop without a click.
        const double fadeFrames = 0.03 * ToneComposer::sampleRate;
        QByteArray pcm(static_cast<qsizetype>(frames() * 2 * sizeof(qint16)), Qt::Uninitialized);
        auto *out = reinterpret_cast<uchar *>(pcm.data());
        for (size_t i = 0; i < frames(); ++i) {
            const double edge
                = std::min(static_cast<double>(std::min(i, frames() - 1 - i)), fadeFrames);
            const double g = gain * edge / fadeFrames;
            qToLittleEndian(static_cast<qint16>(std::lround(m_left[i] * g)), out);
            qToLittleEndian(static_cast<qint16>(std::lround(m_right[i] * g)), out + 2);
            out += 4;
        }
        return pcm;
    }

private:
    template<typename F> void forEachSample(double start, double length, F &&f)
    {
        const auto first = static_cast<size_t>(start * ToneComposer::sampleRate);
        const auto count = static_cast<size_t>(length * ToneComposer::sampleRate);
        for (size_t n = 0; n < count && first + n < frames(); ++n)
            f(first + n, static_cast<double>(n) / ToneComposer::sampleRate);
    }

    std::vector<double> m_left;
    std::vector<double> m_right;
    quint32 m_seed = 12345;
};

} // namespace

namespace ToneComposer {

QByteArray render(const Tune &tune)
{
    const double beat = 60.0 / std::max(tune.beatsPerMinute, 30);
    const double bar = beat * beatsPerBar;
    const auto bars = std::max<qsizetype>(tune.progression.size(), 1);
    // A short tail of silence lets the last notes ring out before the loop starts again.
    Mixer mix(static_cast<size_t>((bar * static_cast<double>(bars) + 0.05) * sampleRate));
    const auto &figure = figures[static_cast<size_t>(tune.pattern) % figures.size()];

    for (qsizetype b = 0; b < bars; ++b) {
        const int degree = tune.progression.value(b);
        const double at = bar * static_cast<double>(b);
        const std::array<int, 4> chord = { noteOf(tune, degree), noteOf(tune, degree + 2),
                                           noteOf(tune, degree + 4), noteOf(tune, degree + 7) };
        // A soft pad holding the chord, slightly apart in the two ears.
        for (size_t n = 0; n < 3; ++n) {
            const double f = frequencyOf(chord[n]);
            mix.tone(at, bar, f * 0.998, 0.05, 0.4, bar * 2, 0.1, -0.6);
            mix.tone(at, bar, f * 1.002, 0.05, 0.4, bar * 2, 0.1, 0.6);
        }
        // The figure an octave up, plucked.
        const double step = bar / static_cast<double>(figure.size());
        for (size_t s = 0; s < figure.size(); ++s) {
            const int note = chord[static_cast<size_t>(figure[s])] + 12;
            const double pan = s % 2 == 0 ? -0.35 : 0.35;
            mix.tone(at + step * static_cast<double>(s), step * 2.5, frequencyOf(note), 0.16, 0.004,
                     tune.drums ? 0.12 : 0.35, tune.brightness, pan);
        }
        // The bass on the chord's root.
        const int bassNotes = tune.drums ? beatsPerBar : 2;
        for (int n = 0; n < bassNotes; ++n) {
            const double length = bar / bassNotes;
            mix.tone(at + length * n, length, frequencyOf(chord[0] - 24), 0.22, 0.01, 0.5, 0.3,
                     0.0);
        }
        if (tune.drums) {
            for (int n = 0; n < beatsPerBar; ++n) {
                const double t = at + beat * n;
                mix.kick(t, 0.55);
                mix.noise(t + beat / 2, 0.025, 0.10, 0.3);
                if (n % 2 == 1)
                    mix.noise(t, 0.07, 0.16, -0.1);
            }
        }
    }
    return mix.toPcm();
}

} // namespace ToneComposer
