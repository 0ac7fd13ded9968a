#pragma once

#include "StreamPlayer.h"

#include <QStringList>

// A stream player that only records what it is told, for tests of the engine.
class FakeStreamPlayer final : public StreamPlayer
{
    Q_OBJECT

public:
    using StreamPlayer::StreamPlayer;

    void replaceCurrentItem(const QUrl &url) override
    {
        m_calls << QStringLiteral("replace ") + url.toString();
    }
    void play() override { m_calls << QStringLiteral("play"); }
    void pause() override { m_calls << QStringLiteral("pause"); }
    void setVolume(float volume) override { m_calls << QStringLiteral("volume %1").arg(volume); }

    void setOutputDevice(const QString &name) override
    {
        m_calls << QStringLiteral("output ") + name;
        m_output = name;
    }
    QString outputDevice() const override { return m_output; }
    QString currentOutput() const override { return {}; } // plays nowhere

    // Every call so far, oldest first: "replace URL", "play", "pause", "volume V".
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    void announce(const QList<TimedMetadataGroup> &groups) { Q_EMIT timedMetadata(groups); }

private:
    QStringList m_calls;
    QString m_output;
};
