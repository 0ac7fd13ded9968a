#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

// One item of an in-band metadata announcement: its text, or failing that some other value.
struct TimedMetadataItem
{
    std::optional<QString> stringValue;
    QVariant value;

    friend bool operator==(const TimedMetadataItem &, const TimedMetadataItem &) = default;
};
using TimedMetadataGroup = QList<TimedMetadataItem>;

// The audio player under the engine: one current item at a time, played, paused and given a
// volume. Lives on the main thread; its signals are emitted there.
class StreamPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Replaces the current item with a new one for `url`: a fresh connection at the live point.
    // The new item waits for play().
    virtual void replaceCurrentItem(const QUrl &url) = 0;
    // Starts or continues the current item; nothing without one.
    virtual void play() = 0;
    // Pauses the current item, keeping it for a later play().
    virtual void pause() = 0;
    // Linear gain; values outside 0 to 1 are clamped, NaN is silence.
    virtual void setVolume(float volume) = 0;
    // The sound server's output to play on, by name; empty for the server's default, whichever
    // output that is at any time. Moves what is playing at once, without reconnecting.
    virtual void setOutputDevice(const QString &name) = 0;
    virtual QString outputDevice() const = 0;
    // The output the stream plays on, by name, as last learnt: it follows moves made here, by
    // the sound server and by other programs. Empty until known.
    virtual QString currentOutput() const = 0;

Q_SIGNALS:
    void currentOutputChanged();
    // The stream's own metadata changed (a new title, typically), emitted when playback reaches
    // the point of the stream that carried it. The same metadata sent again on one connection is
    // not announced again; a new connection announces what it carries.
    void timedMetadata(const QList<TimedMetadataGroup> &groups);
};
