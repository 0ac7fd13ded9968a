#pragma once

#include "DemoTracks.h"
#include "HttpsHost.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <chrono>

// One station's programme: the track on air, which changes every track length, and the
// station's web host (song info, last ten, artwork, store pages), which follows it. Main thread.
class Programme : public QObject
{
    Q_OBJECT

public:
    Programme(DemoStation station, std::chrono::milliseconds trackLength,
              QObject *parent = nullptr);

    const DemoStation &station() const { return m_station; }
    // Index into station().tracks of the track on air.
    int currentIndex() const;
    const DemoTrack &current() const;
    // The track `back` places before the current one (0 is the current one).
    const DemoTrack &aired(int back) const;
    // "Artist - Title (Mix)", as the stream announces it.
    QString streamTitle() const;

    // Starts changing tracks.
    void start();
    // Draws the current track's cover ahead of its first request.
    void drawCover() const;
    // The web host's answer.
    HttpReply answer(const HttpRequest &request) const;

Q_SIGNALS:
    void trackChanged();

private:
    QJsonObject songInfo(const QString &origin) const;
    QByteArray lastTen(const QString &origin) const;
    QJsonObject lastTenEntry(const DemoTrack &track, const QString &origin) const;
    int indexOf(const QString &slug) const;
    QByteArray cover(const DemoTrack &track) const;

    DemoStation m_station;
    int m_aired = 0; // tracks started since the station opened
    QDateTime m_startedAt;
    QTimer m_timer;
    mutable QHash<QString, QByteArray> m_covers; // PNG by slug, drawn on first request
};
