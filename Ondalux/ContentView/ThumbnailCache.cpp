#include "ThumbnailCache.h"

#include "HttpSession.h"

ThumbnailCache &ThumbnailCache::of(HttpSession &session)
{
    auto *cache = session.findChild<ThumbnailCache *>(QString(), Qt::FindDirectChildrenOnly);
    return cache ? *cache : *new ThumbnailCache(&session);
}

ThumbnailCache::ThumbnailCache(QObject *parent)
    : QObject(parent)
{ }

std::optional<QImage> ThumbnailCache::find(const QUrl &url) const
{
    const QImage *image = m_images.object(url);
    return image ? std::optional<QImage>(*image) : std::nullopt;
}

void ThumbnailCache::insert(const QUrl &url, const QImage &image)
{
    m_images.insert(url, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes() / 1024));
}
