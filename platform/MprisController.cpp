#include "MprisController.h"

#include "NowPlayingInfoCenter.h"
#include "RemoteCommandCenter.h"

#include <QCryptographicHash>
#include <QDBusObjectPath>

#include <algorithm>
#include <cmath>

namespace {

// Outside /org/mpris, which the MPRIS specification keeps for itself.
const QString trackIdPrefix = QStringLiteral("/org/ondalux/Ondalux/track/");

QDBusObjectPath trackId(const QString &title, const QString &artist)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(title.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(artist.toUtf8());
    return QDBusObjectPath(trackIdPrefix + QString::fromLatin1(hash.result().toHex().left(16)));
}

} // namespace

MprisController::MprisController(NowPlayingInfoCenter &info, RemoteCommandCenter &commands,
                                 const QString &artworkDirectory, QObject *parent)
    : QObject(parent)
    , m_info(info)
    , m_commands(commands)
    , m_artwork(artworkDirectory)
{
    connect(&m_info, &NowPlayingInfoCenter::nowPlayingInfoChanged, this, &MprisController::update);
    connect(&m_commands, &RemoteCommandCenter::canPlayChanged, this, &MprisController::update);
    connect(&m_commands, &RemoteCommandCenter::volumeChanged, this, &MprisController::update);
    update();
}

void MprisController::play()
{
    m_commands.play();
}

void MprisController::pause()
{
    m_commands.pause();
}

void MprisController::playPause()
{
    m_commands.togglePlayPause();
}

void MprisController::stop()
{
    m_commands.pause();
}

void MprisController::setVolume(double volume)
{
    if (!std::isnan(volume))
        m_commands.changeVolume(std::clamp(volume, 0.0, 1.0));
}

void MprisController::raise()
{
    Q_EMIT raiseRequested();
}

void MprisController::quit()
{
    Q_EMIT quitRequested();
}

void MprisController::update()
{
    const std::optional<QVariantMap> &info = m_info.nowPlayingInfo();
    QString status = QStringLiteral("Stopped");
    if (info) {
        const QVariant rate = info->value(NowPlayingInfoCenter::PlaybackRate);
        status = rate.isValid() && rate.toDouble() == 0.0 ? QStringLiteral("Paused")
                                                          : QStringLiteral("Playing");
    }
    const QVariantMap metadata = info ? metadataFrom(*info) : QVariantMap{};
    if (!info)
        m_artwork.clear();

    QVariantMap changed;
    if (m_canPlay != m_commands.canPlay()) {
        m_canPlay = m_commands.canPlay();
        changed.insert(QStringLiteral("CanPlay"), m_canPlay);
    }
    if (m_metadata != metadata) {
        m_metadata = metadata;
        changed.insert(QStringLiteral("Metadata"), m_metadata);
    }
    if (m_playbackStatus != status) {
        m_playbackStatus = status;
        changed.insert(QStringLiteral("PlaybackStatus"), m_playbackStatus);
    }
    if (m_volume != m_commands.volume()) {
        m_volume = m_commands.volume();
        changed.insert(QStringLiteral("Volume"), m_volume);
    }
    if (!changed.isEmpty())
        Q_EMIT playerPropertiesChanged(changed);
}

QVariantMap MprisController::metadataFrom(const QVariantMap &info)
{
    const QString title = info.value(NowPlayingInfoCenter::Title).toString();
    const QString artist = info.value(NowPlayingInfoCenter::Artist).toString();
    const QUrl artUrl = m_artwork.urlFor(
        info.value(NowPlayingInfoCenter::Artwork).value<MediaItemArtwork>().image({}));

    QVariantMap metadata;
    if (info.contains(NowPlayingInfoCenter::Title))
        metadata.insert(QStringLiteral("xesam:title"), title);
    if (info.contains(NowPlayingInfoCenter::Artist))
        metadata.insert(QStringLiteral("xesam:artist"), QStringList{ artist });
    if (!artUrl.isEmpty())
        metadata.insert(QStringLiteral("mpris:artUrl"), artUrl.toString());
    if (!metadata.isEmpty())
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(trackId(title, artist)));
    return metadata;
}
