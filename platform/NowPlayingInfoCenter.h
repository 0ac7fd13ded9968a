#pragma once

#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QSize>
#include <QVariantMap>

#include <optional>

// Artwork for the media panel: an image and its size, handing out the same image whatever
// size is asked for.
class MediaItemArtwork
{
public:
    MediaItemArtwork() = default;
    explicit MediaItemArtwork(const QImage &image);

    QSize boundsSize() const { return m_boundsSize; } // for tests: the published size
    QImage image(const QSize &requestedSize) const;

    friend bool operator==(const MediaItemArtwork &, const MediaItemArtwork &) = default;

private:
    QSize m_boundsSize;
    QImage m_image;
};
Q_DECLARE_METATYPE(MediaItemArtwork)

// The one description of what is playing that the desktop shows: absent, or a dictionary of
// the keys below. Lives on the main thread.
class NowPlayingInfoCenter : public QObject
{
    Q_OBJECT

public:
    // The dictionary's keys.
    static inline const QString IsLiveStream = QStringLiteral("isLiveStream"); // bool
    static inline const QString PlaybackRate = QStringLiteral("playbackRate"); // double or int
    static inline const QString Artist = QStringLiteral("artist"); // QString
    static inline const QString Title = QStringLiteral("title"); // QString
    static inline const QString Artwork = QStringLiteral("artwork"); // MediaItemArtwork

    using QObject::QObject;

    // The process's center, for the desktop export to read.
    static NowPlayingInfoCenter &defaultCenter();

    const std::optional<QVariantMap> &nowPlayingInfo() const { return m_info; }
    // Replaces the whole dictionary; absent clears it.
    void setNowPlayingInfo(const std::optional<QVariantMap> &info);

Q_SIGNALS:
    // After every write, also of an equal dictionary.
    void nowPlayingInfoChanged();

private:
    std::optional<QVariantMap> m_info;
};
