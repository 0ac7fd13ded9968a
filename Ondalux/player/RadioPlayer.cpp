#include "RadioPlayer.h"

#include "Assets.h"
#include "AudioSession.h"
#include "GstStreamPlayer.h"
#include "HttpSession.h"
#include "NowPlayingInfoCenter.h"
#include "RemoteCommandCenter.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

#include <atomic>
#include <cstdio>

namespace {

// `text` cut at a character boundary, with an ellipsis, when longer than `length`.
QString clipped(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    graphemes.setPosition(length - 1);
    if (!graphemes.isAtBoundary())
        graphemes.toPreviousBoundary();
    return text.left(std::max<qsizetype>(graphemes.position(), 0)) + QChar(0x2026);
}

} // namespace

RadioPlayer::RadioPlayer(StreamPlayer &player, NowPlayingInfoCenter &nowPlayingInfoCenter,
                         HttpSession &session, QObject *parent)
    : RadioPlayer(player, nowPlayingInfoCenter, session, RemoteCommandCenter::sharedCommandCenter(),
                  parent)
{ }

RadioPlayer::RadioPlayer(StreamPlayer &player, NowPlayingInfoCenter &nowPlayingInfoCenter,
                         HttpSession &session, RemoteCommandCenter &remoteCommands, QObject *parent)
    : QObject(parent)
    , m_player(player)
    , m_nowPlayingInfoCenter(nowPlayingInfoCenter)
    , m_remoteCommands(remoteCommands)
    , m_songInfo(session)
{
    configureAudioSession();
    setupRemoteCommands();
    connect(&m_player, &StreamPlayer::timedMetadata, this, &RadioPlayer::metadataOutput);
    connect(&m_songInfo, &SongInfoFetcher::nowPlayingTextReady, this, &RadioPlayer::applyTrackText);
    connect(&m_songInfo, &SongInfoFetcher::artworkReady, this, &RadioPlayer::applyTrackArtwork);
}

RadioPlayer &RadioPlayer::shared()
{
    static RadioPlayer *const instance = [] {
        // Owned by the application object, so it goes before the event loop does.
        auto *engine = new RadioPlayer(*new GstStreamPlayer, NowPlayingInfoCenter::defaultCenter(),
                                       HttpSession::shared(), QCoreApplication::instance());
        engine->m_player.setParent(engine);
        return engine;
    }();
    return *instance;
}

void RadioPlayer::configureAudioSession()
{
    // The stream declares its role and identity (music, Ondalux, our icon) to the sound server
    // itself; what is left is to find out early whether playback can work at all. The program
    // goes on either way, and says so once, however many engines a process makes.
    static std::atomic_bool reported = false;
    const std::optional<QString> error = AudioSession::checkPlayback();
    if (error && !reported.exchange(true)) {
        std::printf("Audio session error: %s\n", qUtf8Printable(*error));
        std::fflush(stdout);
    }
}

void RadioPlayer::setupRemoteCommands()
{
    // Play is offered only when it can start something: a paused station, or the station the
    // window shows. Otherwise a remote play would report playback while nothing plays.
    updateCanPlay();
    connect(this, &RadioPlayer::isPlayingChanged, this, &RadioPlayer::updateCanPlay);
    connect(&m_remoteCommands, &RemoteCommandCenter::playCommand, this, &RadioPlayer::remotePlay);
    connect(&m_remoteCommands, &RemoteCommandCenter::pauseCommand, this, &RadioPlayer::pause);
    connect(&m_remoteCommands, &RemoteCommandCenter::togglePlayPauseCommand, this,
            &RadioPlayer::togglePlayPause);
    m_remoteCommands.setVolume(m_volume);
    connect(&m_remoteCommands, &RemoteCommandCenter::changeVolumeCommand, this,
            [this](double volume) { setVolume(static_cast<float>(volume)); });
}

void RadioPlayer::updateCanPlay()
{
    m_remoteCommands.setCanPlay(m_currentStation || m_stationToStart);
}

void RadioPlayer::setStationToStart(const Station &station)
{
    m_stationToStart = station;
    updateCanPlay();
}

void RadioPlayer::remotePlay()
{
    if (m_currentStation)
        resume();
    else if (m_stationToStart)
        play(*m_stationToStart);
}

void RadioPlayer::togglePlayPause()
{
    if (m_isPlaying)
        pause();
    else
        remotePlay();
}

void RadioPlayer::setVolume(float volume)
{
    m_volume = volume;
    Q_EMIT volumeChanged();
    m_player.setVolume(m_volume);
    m_remoteCommands.setVolume(m_volume);
}

void RadioPlayer::play(const Station &station)
{
    m_currentStation = station;
    m_songInfo.setCurrentStation(m_currentStation);
    // The stream is asked for first, so decoding the station's artwork does not delay it.
    m_player.replaceCurrentItem(station.url());
    m_player.setVolume(m_volume);
    m_player.play();
    setNowPlaying(station.name());
    setArtworkImage({});
    m_currentArtwork = Assets::image(station.artworkName());
    setIsPlaying(true);
    publishNowPlayingInfo();
    fetchSongInfo();
}

void RadioPlayer::pause()
{
    applyTransport(Transport::Pause, false, 0);
}

void RadioPlayer::resume()
{
    applyTransport(Transport::Play, true, 1);
}

void RadioPlayer::applyTransport(Transport message, bool playing, int rate)
{
    if (message == Transport::Play)
        m_player.play();
    else
        m_player.pause();
    setIsPlaying(playing);
    updateNowPlayingRate(rate);
}

void RadioPlayer::publishNowPlayingInfo()
{
    QVariantMap info{
        { NowPlayingInfoCenter::IsLiveStream, true },
        { NowPlayingInfoCenter::PlaybackRate, 1.0 },
    };
    if (m_currentStation) {
        info.insert(NowPlayingInfoCenter::Artist, m_currentStation->name());
        info.insert(NowPlayingInfoCenter::Title, m_nowPlaying);
    }
    if (!m_currentArtwork.isNull())
        info.insert(NowPlayingInfoCenter::Artwork,
                    QVariant::fromValue(MediaItemArtwork(m_currentArtwork)));
    m_nowPlayingInfoCenter.setNowPlayingInfo(info);
}

void RadioPlayer::refreshNowPlayingInfo()
{
    QVariantMap info = m_nowPlayingInfoCenter.nowPlayingInfo().value_or(QVariantMap{});
    if (m_currentStation)
        info.insert(NowPlayingInfoCenter::Artist, m_currentStation->name());
    if (!m_nowPlaying.isEmpty())
        info.insert(NowPlayingInfoCenter::Title, m_nowPlaying);
    else
        info.remove(NowPlayingInfoCenter::Title);
    if (!m_currentArtwork.isNull())
        info.insert(NowPlayingInfoCenter::Artwork,
                    QVariant::fromValue(MediaItemArtwork(m_currentArtwork)));
    m_nowPlayingInfoCenter.setNowPlayingInfo(info);
}

void RadioPlayer::updateNowPlayingRate(int rate)
{
    std::optional<QVariantMap> info = m_nowPlayingInfoCenter.nowPlayingInfo();
    if (info)
        info->insert(NowPlayingInfoCenter::PlaybackRate, rate);
    m_nowPlayingInfoCenter.setNowPlayingInfo(info);
}

void RadioPlayer::fetchSongInfo()
{
    if (m_currentStation)
        m_songInfo.fetchSongInfo(*m_currentStation);
}

void RadioPlayer::metadataOutput(const QList<TimedMetadataGroup> &groups)
{
    for (const TimedMetadataGroup &group : groups) {
        for (const TimedMetadataItem &item : group) {
            // The text only says that something changed; the song info says what.
            if (item.stringValue && !item.stringValue->isEmpty())
                fetchSongInfo();
            else if (item.value.typeId() == QMetaType::QString && !item.value.toString().isEmpty())
                fetchSongInfo();
        }
    }
}

void RadioPlayer::applyTrackText(const QString &text)
{
    // The station decides the length; the label lays it out on every pass.
    setNowPlaying(clipped(text, maxNowPlayingLength));
    refreshNowPlayingInfo();
}

void RadioPlayer::applyTrackArtwork(const QImage &image)
{
    setArtworkImage(image);
    m_currentArtwork = image;
    refreshNowPlayingInfo();
}

void RadioPlayer::setIsPlaying(bool playing)
{
    m_isPlaying = playing;
    Q_EMIT isPlayingChanged();
}

void RadioPlayer::setNowPlaying(const QString &text)
{
    m_nowPlaying = text;
    Q_EMIT nowPlayingChanged();
}

void RadioPlayer::setArtworkImage(const QImage &image)
{
    m_artworkImage = image;
    Q_EMIT artworkImageChanged();
}
