#include "GstStreamPlayer.h"
#include "ManualClock.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "TlsTrust.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
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
        QVERIFY(m_server->isListening());
        serveStream();
    }

    void play_pauseAndResume_continueTheSameConnection()
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
    }

    // A live stream is joined anywhere in a frame, so its type is never certain at once. Telling
    // it must not load libav, a large library, for a stream that GStreamer's own parts play.
    void play_aStreamJoinedMidFrame_doesNotLoadLibav()
    {
        serveStream(0ms, bytesPerSecond, TestFixtures::read(u"tone-a.mp3"_s).mid(333));
        GstStreamPlayer player(options());
        QVERIFY(playLive(player));
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libgstlibav"));
    }

    void replaceCurrentItem_opensANewConnection()
    {
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        for (int item = 1; item <= 2; ++item) {
            player.replaceCurrentItem(m_server->url(u"/live"_s));
            player.play();
            QTRY_COMPARE_WITH_TIMEOUT(started.count(), item, 10'000);
            QCOMPARE(m_server->requestCount(u"/live"_s), item);
        }
        QTRY_COMPARE(m_server->openStreamConnections(u"/live"_s), 1);
    }

    void resume_afterALongPause_reconnectsForLiveAudio()
    {
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        player.play();
        QVERIFY(started.wait(10'000));
        player.pause();
        m_clock.advance(20s);
        player.play();
        QVERIFY(started.wait(10'000));
        QCOMPARE(m_server->requestCount(u"/live"_s), 2);
    }

    void timedMetadata_arrivesWhenItsAudioPlays_onceForEachUpdate()
    {
        serveStream(4s); // the first title arrives at once but plays a second in
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
        const auto later = player.position() + 2500ms;
        QTRY_VERIFY_WITH_TIMEOUT(player.position() > later, 10'000);
        QCOMPARE(announced.count(), 2);
    }

    void droppedConnection_whilePlaying_reconnectsByItself()
    {
        GstStreamPlayer player(options());
        QVERIFY(playLive(player));
        m_server->dropStreamConnections(u"/live"_s);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(u"/live"_s), 2, 15'000);
        QVERIFY(audioFlowsOn(player));
    }

    void droppedConnection_whilePaused_waitsForResume()
    {
        GstStreamPlayer player(options());
        QVERIFY(playLive(player));
        player.pause();
        m_server->dropStreamConnections(u"/live"_s);
        QTest::qWait(800); // several retry delays
        QCOMPARE(m_server->requestCount(u"/live"_s), 1);

        player.play();
        m_clock.advance(GstStreamPlayer::Options{}.resumeTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(u"/live"_s), 2, 15'000);
        QVERIFY(audioFlowsOn(player));
    }

    void stalledStream_reconnectsAfterTheStallTimeout()
    {
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        player.play();
        QVERIFY(started.wait(10'000));

        m_server->setStreamPaused(u"/live"_s, true);
        QTest::qWait(1500); // the output runs dry
        m_clock.advance(GstStreamPlayer::Options{}.stallTimeout + 1s);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(u"/live"_s), 2, 5000);
        m_server->setStreamPaused(u"/live"_s, false);
        QVERIFY(started.wait(10'000));
    }

    // Each fault first, then the stream as it should be: audio comes back by itself.
    void faultyServer_audioComesBackOnceItIsWell_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("restarts") << u"restart"_s;
        QTest::newRow("sends a web page") << u"page"_s;
        QTest::newRow("sends noise as audio/mpeg") << u"noise"_s;
        QTest::newRow("sends one byte a second") << u"slow"_s;
    }

    void faultyServer_audioComesBackOnceItIsWell()
    {
        QFETCH(QString, fault);
        const auto pastStallTimeout = GstStreamPlayer::Options{}.stallTimeout + 1s;
        GstStreamPlayer player(options());
        QSignalSpy started(&player, &GstStreamPlayer::audioStarted);
        player.replaceCurrentItem(m_server->url(u"/live"_s));
        if (fault == u"restart") {
            player.play();
            QVERIFY(started.wait(10'000));
            m_server->setListening(false);
            QTest::qWait(1000); // down for a while: the player's attempts meanwhile are refused
            m_server->setListening(true);
        } else {
            if (fault == u"page") {
                m_server->route(u"/live"_s,
                                TestHttpServer::bytes("<html>busy</html>", "text/html"));
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
                m_clock.advance(pastStallTimeout);
            // It gave up on the first answer and asked again.
            QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount(u"/live"_s) >= 2, 10'000);
            QCOMPARE(started.count(), 0);
            serveStream();
            // A connection cut off halfway through the bad answer is given up as stalled.
            m_clock.advance(pastStallTimeout);
        }
        const qsizetype before = started.count();
        QTRY_COMPARE_WITH_TIMEOUT(started.count(), before + 1, 15'000);
    }

    void tls_onlyAValidCertificatePlays_data()
    {
        QTest::addColumn<Tls>("tls");
        QTest::newRow("valid") << Tls::Yes;
        QTest::newRow("for another host") << Tls::WrongHost;
        QTest::newRow("expired") << Tls::Expired;
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
