#include "GstStreamPlayer.h"
#include "ManualClock.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "TlsTrust.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <limits>
#include <optional>
#include <utility>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

using Tls = TestHttpServer::Tls;
Q_DECLARE_METATYPE(Tls)

namespace {

constexpr int bytesPerSecond = 16000; // 128 kbit/s

QStringList titlesIn(const QList<QVariant> &signalArguments)
{
    QStringList titles;
    const auto groups = signalArguments.at(0).value<QList<TimedMetadataGroup>>();
    for (const TimedMetadataGroup &group : groups) {
        for (const TimedMetadataItem &item : group)
            titles << item.stringValue.value_or(u"<not text>"_s);
    }
    return titles;
}

// The length of an Ogg stream's header pages: those before the first with a granule position.
qsizetype oggHeaderSize(const QByteArray &ogg)
{
    qsizetype at = 0;
    while (at + 27 <= ogg.size() && ogg.sliced(at, 4) == "OggS") {
        const auto byte = [&](qsizetype i) {
            return quint8(ogg.at(at + i));
        };
        qint64 granule = 0;
        for (int i = 13; i >= 6; --i)
            granule = (granule << 8) | byte(i);
        if (granule > 0)
            return at;
        qsizetype size = 27 + byte(26);
        for (int segment = 0; segment < byte(26); ++segment)
            size += byte(27 + segment);
        at += size;
    }
    return at;
}

// What typefinding calls H.264 video: parameter sets and key frames, over and over.
QByteArray h264Like()
{
    QByteArray video;
    QRandomGenerator random(1);
    for (int frame = 0; frame < 20; ++frame) {
        video
            += QByteArray::fromHex("0000000167 42001e95a8280f64 0000000168 ce3c80 0000000165 8884");
        for (int i = 0; i < 300; ++i)
            video += char(random.bounded(1, 255));
    }
    return video;
}

const QStringList everyAudioDecoder{ u"libav"_s, u"faad"_s, u"ogg"_s, u"vorbis"_s, u"opus"_s };

// GStreamer plugins mapped into this process other than those that play MP3 from the network
// and `allowed`.
QStringList loadedPluginsBeyond(const QStringList &allowed)
{
    static const QStringList streaming{
        u"coreelements"_s,  u"playback"_s, u"typefindfunctions"_s,
        u"soup"_s,          u"icydemux"_s, u"id3demux"_s,
        u"audioparsers"_s,  u"mpg123"_s,   u"audioconvert"_s,
        u"audioresample"_s, u"volume"_s,   u"pulseaudio"_s,
    };
    QFile maps(u"/proc/self/maps"_s);
    if (!maps.open(QIODevice::ReadOnly))
        return { u"(no /proc/self/maps)"_s };
    static const QRegularExpression plugin(u"/gstreamer-1.0/libgst(\\w+)\\.so"_s);
    QStringList beyond;
    for (auto match = plugin.globalMatch(QString::fromLatin1(maps.readAll())); match.hasNext();) {
        const QString name = match.next().captured(1);
        if (!streaming.contains(name) && !allowed.contains(name) && !beyond.contains(name))
            beyond << name;
    }
    return beyond;
}

// Runs `action` once, as the first call the player's threads post to it after its first audio
// arrives: the report of that audio is then still on its way.
class BeforeTheFirstAudioIsHeard : public QObject
{
public:
    BeforeTheFirstAudioIsHeard(GstStreamPlayer &player, std::function<void()> action)
        : m_player(player)
        , m_action(std::move(action))
    {
        player.installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall && m_action && m_player.audioBuffersPlayed() > 0)
            std::exchange(m_action, {})();
        return false;
    }

private:
    GstStreamPlayer &m_player;
    std::function<void()> m_action;
};

} // namespace

class tst_GstStreamPlayer : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestHttpServer> m_server;
    ManualClock m_clock;

    GstStreamPlayer::Options options()
    {
        GstStreamPlayer::Options options;
        options.firstRetryDelay = 100ms;
        options.clock = &m_clock;
        return options;
    }

    // Starts the live route and waits until its audio reaches the output.
    bool playLive(GstStreamPlayer &player)
    {
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        player.play();
        return started.wait(10'000);
    }

    // Audio keeps reaching the output from now on.
    static bool audioFlowsOn(const GstStreamPlayer &player)
    {
        const quint64 played = player.audioBuffersPlayed();
        return QTest::qWaitFor([&] { return player.audioBuffersPlayed() > played + 20; }, 15'000);
    }

    // Waits until audio stops reaching the output; how much had reached it by then.
    static std::optional<quint64> untilDry(const GstStreamPlayer &player)
    {
        quint64 played = 0;
        const bool dry = QTest::qWaitFor(
            [&] {
                QTest::qWait(1000);
                const quint64 before = std::exchange(played, player.audioBuffersPlayed());
                return before == played;
            },
            20'000);
        return dry ? std::optional(played) : std::nullopt;
    }

    void serveStream(std::chrono::milliseconds burst = 0ms, int rate = bytesPerSecond,
                     const QByteArray &audio = TestFixtures::read(u"tone-a.mp3"_s))
    {
        TestHttpServer::StreamOptions stream;
        stream.audio = audio;
        stream.bytesPerSecond = rate;
        stream.metaInt = bytesPerSecond;
        stream.burst = burst;
        m_server->stream(u"/live"_s, stream);
    }

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion(u"1.2.3"_s); }

    void init()
    {
        m_server = std::make_unique<TestHttpServer>();
        serveStream();
    }

    void play_pauseAndResume_continueTheSameConnectionUnlessThePauseWasLong()
    {
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        QCOMPARE(m_server->requestCount(u"/live"_s), 0);
        player.play();
        QVERIFY(started.wait(10'000));
        QCOMPARE(m_server->requests().constLast().header("User-Agent"),
                 QByteArray("Ondalux/1.2.3"));

        player.pause();
        // Pausing is asynchronous and slow under the sanitizers: wait for the position to settle.
        auto pausedAt = player.position();
        QVERIFY(QTest::qWaitFor(
            [&] {
                QTest::qWait(200);
                const auto before = std::exchange(pausedAt, player.position());
                return before == pausedAt;
            },
            10'000));
        QTest::qWait(500);
        QCOMPARE(player.position(), pausedAt);

        player.play();
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > pausedAt + 300ms, 5000);
        QCOMPARE(started.count(), 1);
        QCOMPARE(m_server->requestCount(u"/live"_s), 1);
        QCOMPARE(m_server->openStreamConnections(u"/live"_s), 1);

        // After a long pause the resume reconnects, for live audio.
        player.pause();
        m_clock.advance(GstStreamPlayer::Options{}.longPause);
        player.play();
        QVERIFY(started.wait(10'000));
        QCOMPARE(m_server->requestCount(u"/live"_s), 2);
    }

    // A live stream is joined at whatever byte the server is at, so typefinding is never sure
    // of it and sometimes guesses video or subtitles with full confidence. Every join must play
    // as audio and load nothing but audio parts: libav's parts are large, video sinks can crash.
    void play_aLiveStreamJoinedAnywhere_playsAsAudio_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<int>("metaInt");
        QTest::addColumn<int>("joins");
        QTest::addColumn<QByteArray>("joinedOn"); // the first bytes a listener gets
        QTest::addColumn<QStringList>("alsoLoaded");
        const QStringList none;
        // Typefinding calls this a lyrics file with full confidence.
        const QByteArray lyrics = "[00:01.00]\n";
        // And this a WAV file, which it is not either.
        const QByteArray wave("RIFF\x24\0\0\0WAVEfmt ", 16);
        // MP3 first: nothing of libav may be loaded for it.
        QTest::newRow("MP3 over ICY")
            << u"chord.mp3"_s << "audio/mpeg"_ba << 16000 << 200 << ""_ba << none;
        QTest::newRow("MP3 over ICY, joined where it reads as lyrics")
            << u"chord.mp3"_s << "audio/mpeg"_ba << 16000 << 5 << lyrics << none;
        QTest::newRow("MP3 over ICY, joined where it reads as WAV")
            << u"chord.mp3"_s << "audio/mpeg"_ba << 16000 << 5 << wave << none;
        QTest::newRow("MP3 joined where it reads as WAV")
            << u"chord.mp3"_s << "audio/mpeg"_ba << 0 << 5 << wave << none;
        QTest::newRow("MP3 typed in capitals, with a parameter")
            << u"chord.mp3"_s << "Audio/MPEG; charset=utf-8"_ba << 0 << 5 << wave << none;
        QTest::newRow("MP3, metadata inside the first guess")
            << u"chord.mp3"_s << "audio/mpeg"_ba << 1000 << 40 << ""_ba << none;
        QTest::newRow("MP3 without a type") << u"chord.mp3"_s << ""_ba << 0 << 60 << ""_ba << none;
        QTest::newRow("MP3 without a type, joined where it reads as lyrics")
            << u"chord.mp3"_s << "application/octet-stream"_ba << 0 << 5 << lyrics << none;
        // Nor for AAC: faad is a fraction of libav's size.
        QTest::newRow("AAC over ICY") << u"chord.aac"_s << "audio/aacp"_ba << 16000 << 40 << ""_ba
                                      << QStringList{ u"faad"_s };
        QTest::newRow("Ogg Vorbis") << u"chord-vorbis.ogg"_s << "application/ogg"_ba << 0 << 20
                                    << ""_ba << QStringList{ u"ogg"_s, u"vorbis"_s };
        QTest::newRow("Ogg Opus") << u"chord-opus.ogg"_s << "audio/ogg"_ba << 0 << 20 << ""_ba
                                  << QStringList{ u"opus"_s };
    }

    void play_aLiveStreamJoinedAnywhere_playsAsAudio()
    {
        QFETCH(QString, fixture);
        QFETCH(QByteArray, contentType);
        QFETCH(int, metaInt);
        QFETCH(int, joins);
        QFETCH(QByteArray, joinedOn);
        QFETCH(QStringList, alsoLoaded);
        // What earlier rows needed stays loaded.
        static QStringList loadedBefore;
        const auto keepLoaded = qScopeGuard([&] { loadedBefore += alsoLoaded; });
        TestHttpServer::StreamOptions stream;
        stream.audio = TestFixtures::read(fixture);
        stream.header = joinedOn;
        if (fixture.endsWith(u".ogg"_s)) {
            stream.header += stream.audio.first(oggHeaderSize(stream.audio));
            stream.audio.remove(0, oggHeaderSize(stream.audio));
        }
        stream.contentType = contentType;
        stream.metaInt = metaInt;
        stream.burst = 2s;
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        for (int join = 0; join < joins; ++join) {
            // Spread over the whole file, at every position within a frame.
            stream.joinAt = (qsizetype(join) * 7919 + 13) % stream.audio.size();
            stream.firstPiece = 200 + join * 397 % 1400;
            m_server->stream(u"/live"_s, stream);
            player.replaceCurrentItem(m_server->url(u"/live"_s));
            player.play();
            QVERIFY2(started.wait(10'000), qPrintable(u"joined at %1"_s.arg(stream.joinAt)));
            const QStringList foreign = loadedPluginsBeyond(loadedBefore + alsoLoaded);
            QVERIFY2(
                foreign.isEmpty(),
                qPrintable(
                    u"joined at %1, loaded %2"_s.arg(stream.joinAt).arg(foreign.join(u", "_s))));
        }
        QCOMPARE(m_server->requestCount(u"/live"_s), joins);
        QTRY_COMPARE(m_server->openStreamConnections(u"/live"_s), 1); // the old ones closed
    }

    // Audio the old connection still pushes while it stops, or reported but not yet delivered
    // when the item changes, is not the new connection's start.
    void replaceCurrentItem_justAfterTheFirstAudio_startsNothingUntilTheNewAudio()
    {
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        m_server->route(u"/silent"_s, { .mode = TestHttpServer::Response::Mode::NeverAnswer });
        BeforeTheFirstAudioIsHeard changeItem(player, [&] {
            player.replaceCurrentItem(m_server->url(u"/silent"_s));
            player.play();
        });
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        player.play();
        QTRY_VERIFY_WITH_TIMEOUT(player.audioBuffersPlayed() > 0, 10'000);
        QTest::qWait(1000);
        QCOMPARE(started.count(), 0);
    }

    void timedMetadata_arrivesWhenItsAudioPlays_onceForEachUpdateOrConnection()
    {
        TestHttpServer::StreamOptions stream;
        stream.audio = TestFixtures::read(u"tone-a.mp3"_s);
        stream.bytesPerSecond = bytesPerSecond;
        stream.metaInt = bytesPerSecond;
        stream.burst = 4s; // the first title arrives at once but plays a second in
        m_server->stream(u"/live"_s, stream);
        m_server->setStreamTitle(u"/live"_s, u"First Song"_s);
        GstStreamPlayer player(options());
        QSignalSpy announced(&player, &StreamPlayer::timedMetadata);
        QList<std::chrono::milliseconds> positions;
        connect(&player, &StreamPlayer::timedMetadata, this,
                [&] { positions << player.position(); });
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        player.play();

        QVERIFY(announced.wait(10'000));
        QCOMPARE(titlesIn(announced.at(0)), QStringList{ u"First Song"_s });
        // The block follows the first second of audio; the burst put it on the wire at once.
        QVERIFY2(positions.at(0) >= 900ms, qPrintable(QString::number(positions.at(0).count())));

        m_server->setStreamTitle(u"/live"_s, u"Second Song"_s);
        QTRY_COMPARE_WITH_TIMEOUT(announced.count(), 2, 10'000);
        QCOMPARE(titlesIn(announced.at(1)), QStringList{ u"Second Song"_s });
        QVERIFY(positions.at(1) > positions.at(0));

        // Codec and bitrate tags and the repeated empty blocks announce nothing.
        auto later = player.position() + 2500ms;
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > later, 10'000);
        QCOMPARE(announced.count(), 2);

        // Some servers send the title in every block; only a new connection announces it again.
        stream.metaInt = bytesPerSecond / 4;
        stream.repeatTitle = true;
        m_server->stream(u"/live"_s, stream); // which drops the connection
        m_server->setStreamTitle(u"/live"_s, u"Second Song"_s);
        QTRY_COMPARE_WITH_TIMEOUT(announced.count(), 3, 15'000);
        QCOMPARE(titlesIn(announced.at(2)), QStringList{ u"Second Song"_s });
        later = player.position() + 2s;
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > later, 10'000);
        QCOMPARE(announced.count(), 3);
    }

    void pause_withATitleStillToCome_sleepsUntilTheResume()
    {
        serveStream(4s); // the title's audio plays a second in
        m_server->setStreamTitle(u"/live"_s, u"First Song"_s);
        GstStreamPlayer player(options());
        QSignalSpy announced(&player, &StreamPlayer::timedMetadata);
        QVERIFY(playLive(player));
        auto *positionPoll = player.findChild<QTimer *>(u"positionPoll"_s);
        QVERIFY(QTest::qWaitFor([&] { return positionPoll->isActive(); }, 10'000));
        player.pause();
        QTRY_VERIFY(std::ranges::none_of(player.findChildren<QTimer *>(), &QTimer::isActive));
        QCOMPARE(announced.count(), 0);
        player.play();
        QVERIFY(announced.wait(10'000));
    }

    // Only a buffer that was full and ran dry makes playback wait for it to fill again; a pause
    // and resume in between must not play the refill in stutters.
    void resume_whileTheBufferRefills_waitsForItToFill()
    {
        serveStream(8s); // more than the buffer holds: it is full at once
        GstStreamPlayer player(options());
        QVERIFY(playLive(player));
        m_server->setStreamPaused(u"/live"_s, true);
        const std::optional<quint64> played = untilDry(player);
        QVERIFY(played);
        player.pause();
        player.play();
        m_server->setStreamPaused(u"/live"_s, false);
        QTest::qWait(1000);
        // At most the buffer the paused output takes to preroll; playing would be some forty.
        QVERIFY(player.audioBuffersPlayed() <= *played + 1);
        QVERIFY(audioFlowsOn(player));
    }

    // Each bad answer first, then the stream as it should be: audio comes back by itself. One
    // real case for each of the policy's answers the player carries out; the rules themselves
    // are tst_ReconnectPolicy's.
    void faultyServer_audioComesBackOnceItIsWell_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("sends a web page") << u"page"_s;
        QTest::newRow("sends a web page as audio/mpeg") << u"page as audio"_s;
        QTest::newRow("sends what typefinding calls video") << u"video"_s;
        QTest::newRow("hangs up while the type is being found") << u"hang-up"_s;
        QTest::newRow("sends noise as audio/mpeg") << u"noise"_s;
        QTest::newRow("sends one byte a second") << u"slow"_s;
    }

    void faultyServer_audioComesBackOnceItIsWell()
    {
        QFETCH(QString, fault);
        const auto pastStallTimeout = GstStreamPlayer::Options{}.stallTimeout + 1s;
        GstStreamPlayer::Options shortWaits = options();
        shortWaits.longestRetryDelay = 300ms;
        GstStreamPlayer player(shortWaits);
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        const QHash<QString, TestHttpServer::Response> answers{
            { u"page"_s, TestHttpServer::bytes("<html>busy</html>", "text/html") },
            { u"page as audio"_s, TestHttpServer::bytes("<html>busy</html>", "audio/mpeg") },
            { u"video"_s, TestHttpServer::bytes(h264Like(), "application/octet-stream") },
            // Less than a frame: the demuxer waits for more to find the type.
            { u"hang-up"_s,
              { .headers = { { "Content-Type", "audio/mpeg" }, { "icy-metaint", "16000" } },
                .body = TestFixtures::read(u"chord.mp3"_s).mid(100, 300) } },
        };
        if (answers.contains(fault)) {
            m_server->route(u"/live"_s, answers.value(fault));
        } else if (fault == u"noise") {
            QByteArray noise(64 * 1024, Qt::Uninitialized);
            QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()),
                                          noise.size() / 4);
            serveStream(0ms, bytesPerSecond, noise);
        } else {
            serveStream(0ms, 1);
        }
        player.play();
        if (fault == u"slow")
            m_clock.advance(pastStallTimeout); // the stall watchdog gives up on it
        // It gave up on the first answer and asked again.
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount(u"/live"_s) >= 2, 10'000);
        QCOMPARE(started.count(), 0);
        const QStringList foreign = loadedPluginsBeyond(everyAudioDecoder);
        QVERIFY2(foreign.isEmpty(), qPrintable(foreign.join(u", "_s)));
        serveStream();
        // A connection cut off halfway through the bad answer is given up as stalled.
        m_clock.advance(pastStallTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), 1, 15'000);
        QVERIFY(audioFlowsOn(player));
    }

    void tls_onlyAValidCertificatePlays_data()
    {
        QTest::addColumn<Tls>("tls");
        QTest::newRow("valid") << Tls::Yes;
        QTest::newRow("for another host") << Tls::WrongHost;
        QTest::newRow("expired") << Tls::Expired;
        QTest::newRow("signed in the authority's name by another key") << Tls::Impostor;
    }

    void tls_onlyAValidCertificatePlays()
    {
        QFETCH(Tls, tls);
        QVERIFY(TlsTrust::trustInAddition(TestFixtures::read(u"ca.pem"_s)));
        TestHttpServer secure(tls);
        TestHttpServer::StreamOptions stream;
        stream.audio = TestFixtures::read(u"tone-b.mp3"_s);
        secure.stream(u"/live"_s, stream);

        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(secure.url(u"/live"_s, TestHttpServer::Host::Localhost));
        player.play();
        if (tls == Tls::Yes) {
            QVERIFY(started.wait(10'000));
            return;
        }
        // Refused, and refused again when it tries again.
        QTRY_VERIFY_WITH_TIMEOUT(secure.failedHandshakes() >= 2, 10'000);
        QCOMPARE(started.count(), 0);
        QVERIFY(secure.requests().isEmpty());
    }

    void setVolume_clampsToTheValidRange_data()
    {
        QTest::addColumn<float>("assigned");
        QTest::addColumn<double>("applied");
        QTest::newRow("inside") << 0.25F << 0.25;
        QTest::newRow("below") << -1.0F << 0.0;
        QTest::newRow("above") << 7.5F << 1.0;
        QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 0.0;
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1.0;
    }

    void setVolume_clampsToTheValidRange()
    {
        QFETCH(float, assigned);
        QFETCH(double, applied);
        GstStreamPlayer player(options());
        player.setVolume(assigned);
        QCOMPARE(player.appliedVolume(), applied);
    }
};

QTEST_GUILESS_MAIN(tst_GstStreamPlayer)
#include "tst_GstStreamPlayer.moc"
