#include "NowPlayingInfoCenter.h"

#include <QCoreApplication>

MediaItemArtwork::MediaItemArtwork(const QImage &image)
    : m_boundsSize(image.size())
    , m_image(image)
{ }

QImage MediaItemArtwork::image(const QSize &requestedSize) const
{
    Q_UNUSED(requestedSize); // the panel scales it
    return m_image;
}

NowPlayingInfoCenter &NowPlayingInfoCenter::defaultCenter()
{
    static NowPlayingInfoCenter *const center
        = new NowPlayingInfoCenter(QCoreApplication::instance());
    return *center;
}

void NowPlayingInfoCenter::setNowPlayingInfo(const std::optional<QVariantMap> &info)
{
    m_info = info;
    Q_EMIT nowPlayingInfoChanged();
}
