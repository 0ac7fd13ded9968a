#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QUrl>

#include <optional>

class HttpSession;

// Thumbnails already decoded for one session's URLs, so a thumbnail built again for the same URL
// draws its image in its first frame: no busy indicator, no request. Bounded in kilobytes of
// pixels; the least recently used go first. Main thread.
class ThumbnailCache : public QObject
{
    Q_OBJECT

public:
    // The cache of `session`, made on first use and gone with it.
    static ThumbnailCache &of(HttpSession &session);

    std::optional<QImage> find(const QUrl &url) const;
    void insert(const QUrl &url, const QImage &image);

private:
    explicit ThumbnailCache(QObject *parent);

    QCache<QUrl, QImage> m_images{ 16 * 1024 }; // cost in KiB
};
