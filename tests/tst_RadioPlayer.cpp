#include "EngineTest.h"
#include "GstStreamPlayer.h"
#include "TestFixtures.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using TestFixtures::png;

TimedMetadataItem text(const QString &value)
{
    return { value, value };
}

TimedMetadataItem other(const QVariant &value)
{
    return { std::nullopt, value };
}

} // namespace

class tst_RadioPlayer : public EngineTest
{
    Q_OBJECT

private:
    QVariantMap info() const { return m_center->nowPlayingInfo().value_or(QVariantMap{}); }

private Q_SLOTS:
    void init() { makeEngine(); }
    void cleanup() { endEngine(); }

    void transport_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("lastCalls");
        QTest::addColumn<bool>("playing");
        QTest::addColumn<QVariant>("rate");

        QTest::newRow("play from idle")
            << QStringList{ u"play A"_s }
            << QStringList{ u"replace A"_s, u"volume 0.8"_s, u"play"_s } << true << QVariant(1.0);
        QTest::newRow("play the playing station again")
            << QStringList{ u"play A"_s, u"play A"_s }
            << QStringList{ u"replace A"_s, u"volume 0.8"_s, u"play"_s } << true << QVariant(1.0);
        QTest::newRow("switch while paused")
            << QStringList{ u"play A"_s, u"pause"_s, u"play B"_s }
            << QStringList{ u"replace B"_s, u"volume 0.8"_s, u"play"_s } << true << QVariant(1.0);
        QTest::newRow("pause twice") << QStringList{ u"play A"_s, u"pause"_s, u"pause"_s }
                                     << QStringList{ u"pause"_s } << false << QVariant(0);
        QTest::newRow("resume after pause") << QStringList{ u"play A"_s, u"pause"_s, u"resume"_s }
                                            << QStringList{ u"play"_s } << true << QVariant(1);
        QTest::newRow("resume before any station")
            << QStringList{ u"resume"_s } << QStringList{ u"play"_s } << true << QVariant();
    }

    void transport()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, lastCalls);
        QFETCH(bool, playing);
        QFETCH(QVariant, rate);
        const Station a = station(u"Softorbit"_s);
        const Station b = station(u"Radio Beatloom"_s);
        const auto pick = [&](QStringView key) {
            return key == u"A" ? a : b;
        };
        QSignalSpy playingChanged(m_engine.get(), &RadioPlayer::isPlayingChanged);
        for (const QString &action : std::as_const(actions)) {
            m_stream->clearCalls();
            if (action.startsWith(u"play "_s))
                m_engine->play(pick(QStringView(action).mid(5)));
            else if (action == u"pause"_s)
                m_engine->pause();
            else
                m_engine->resume();
        }
        QStringList expected = lastCalls;
        for (QString &call : expected) {
            if (call.startsWith(u"replace "_s))
                call = u"replace "_s + pick(QStringView(call).mid(8)).url().toString();
        }
        QCOMPARE(m_stream->calls(), expected);
        QCOMPARE(m_engine->isPlaying(), playing);
        QCOMPARE(playingChanged.count(), actions.size()); // every assignment notifies
        QCOMPARE(m_center->nowPlayingInfo().has_value(), rate.isValid());
        if (rate.isValid()) {
            QCOMPARE(info().value(NowPlayingInfoCenter::PlaybackRate), rate);
            QCOMPARE(info().value(NowPlayingInfoCenter::PlaybackRate).typeId(), rate.typeId());
        }
    }

    void play_startsFromScratch_andPublishesTheStation()
    {
        const Station softorbit = station(u"Softorbit"_s);
        m_engine->play(softorbit);
        QTRY_COMPARE(m_engine->nowPlaying(), u"Ana – Rain"_s);

        QSignalSpy text(m_engine.get(), &RadioPlayer::nowPlayingChanged);
        QSignalSpy artwork(m_engine.get(), &RadioPlayer::artworkImageChanged);
        m_engine->play(softorbit);
        QCOMPARE(m_engine->nowPlaying(), u"Softorbit"_s);
        QCOMPARE(text.count(), 1);
        QCOMPARE(artwork.count(), 1);
        QVERIFY(m_engine->artworkImage().isNull());
        QCOMPARE(m_engine->currentStation(), softorbit);

        const QVariantMap published = info();
        QCOMPARE(published.keys().size(), 5);
        QCOMPARE(published.value(NowPlayingInfoCenter::IsLiveStream), QVariant(true));
        QCOMPARE(published.value(NowPlayingInfoCenter::PlaybackRate), QVariant(1.0));
        QCOMPARE(published.value(NowPlayingInfoCenter::Artist), QVariant(u"Softorbit"_s));
        QCOMPARE(published.value(NowPlayingInfoCenter::Title), QVariant(u"Softorbit"_s));
        const auto art = published.value(NowPlayingInfoCenter::Artwork).value<MediaItemArtwork>();
        QCOMPARE(art.boundsSize(), m_engine->currentArtwork().size());
        QCOMPARE(art.image(QSize(16, 16)), m_engine->currentArtwork());
        QCOMPARE(art.image(QSize(4000, 4000)), m_engine->currentArtwork());
        QTRY_COMPARE(m_server->requestCount(u"/songInfo.json"_s), 2);
    }

    void songInfo_setsTextThenArtwork_andRefreshesNowPlaying()
    {
        m_server->route(
            u"/songInfo.json"_s,
            TestHttpServer::json(R"({"artist":"Ana","title":"Rain","artwork_url":"cover.png"})"));
        m_server->route(u"/cover.png"_s,
                        TestHttpServer::bytes(png(QSize(40, 30), Qt::red), "image/png"));
        QStringList order;
        connect(m_engine.get(), &RadioPlayer::nowPlayingChanged, this,
                [&] { order << m_engine->nowPlaying(); });
        connect(m_engine.get(), &RadioPlayer::artworkImageChanged, this,
                [&] { order << (m_engine->artworkImage().isNull() ? u"no image"_s : u"image"_s); });
        m_engine->play(station(u"Softorbit"_s));
        QTRY_COMPARE(order.size(), 4);
        QCOMPARE(order,
                 (QStringList{ u"Softorbit"_s, u"no image"_s, u"Ana – Rain"_s, u"image"_s }));
        QCOMPARE(m_engine->currentArtwork(), m_engine->artworkImage());
        QCOMPARE(info().value(NowPlayingInfoCenter::Title), QVariant(u"Ana – Rain"_s));
        QCOMPARE(info().value(NowPlayingInfoCenter::Artwork).value<MediaItemArtwork>().boundsSize(),
                 QSize(40, 30));
        QCOMPARE(info().value(NowPlayingInfoCenter::PlaybackRate), QVariant(1.0));
    }

    // Song info may be a megabyte; the window lays the text out on every pass, the panel shows it.
    void songInfo_hugeTitle_isClippedWhereShownAndPublished()
    {
        const QString title(1'000'000, u'a');
        m_server->route(u"/songInfo.json"_s,
                        TestHttpServer::json(R"({"title":")" + title.toLatin1() + R"("})"));
        m_engine->play(station(u"Softorbit"_s));
        QTRY_VERIFY(m_engine->nowPlaying().startsWith(u"aaa"_s));
        QCOMPARE(m_engine->nowPlaying().size(), 500);
        QVERIFY(m_engine->nowPlaying().endsWith(QChar(0x2026)));
        QCOMPARE(info().value(NowPlayingInfoCenter::Title).toString(), m_engine->nowPlaying());
    }

    void volume_everyAssignmentNotifiesAndReachesThePlayer()
    {
        QSignalSpy changed(m_engine.get(), &RadioPlayer::volumeChanged);
        m_engine->setVolume(0.3F);
        m_engine->setVolume(0.3F);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(m_stream->calls(), (QStringList{ u"volume 0.3"_s, u"volume 0.3"_s }));
        m_engine->setVolume(1.5F); // the engine keeps what it was given
        QCOMPARE(m_engine->volume(), 1.5F);
        m_stream->clearCalls();
        m_engine->play(station(u"Softorbit"_s));
        QCOMPARE(m_stream->calls().at(1), u"volume 1.5"_s);
    }

    void nowPlayingInfo_withoutADictionary()
    {
        m_engine->updateNowPlayingRate(0);
        QVERIFY(!m_center->nowPlayingInfo().has_value());
        m_engine->refreshNowPlayingInfo(); // nothing current, no text: an empty dictionary
        QCOMPARE(m_center->nowPlayingInfo(), std::optional<QVariantMap>(QVariantMap{}));
    }

    void metadataOutput_fetchesOncePerNonEmptyText_data()
    {
        QTest::addColumn<QList<TimedMetadataGroup>>("groups");
        QTest::addColumn<int>("fetches");
        QTest::newRow("no groups") << QList<TimedMetadataGroup>{} << 0;
        QTest::newRow("two texts")
            << QList<TimedMetadataGroup>{ { text(u"A"_s), text(u"B"_s) } } << 2;
        QTest::newRow("two groups")
            << QList<TimedMetadataGroup>{ { text(u"A"_s) }, { text(u"B"_s) } } << 2;
        QTest::newRow("empty texts") << QList<TimedMetadataGroup>{ { text({}), text(u""_s) } } << 0;
        QTest::newRow("blank text") << QList<TimedMetadataGroup>{ { text(u" "_s) } } << 1;
        QTest::newRow("values that are not text")
            << QList<TimedMetadataGroup>{ { other(42), other(QByteArray("x")), other({}) } } << 0;
        QTest::newRow("empty text, text value")
            << QList<TimedMetadataGroup>{ { TimedMetadataItem{ u""_s, u"Song"_s } } } << 1;
    }

    void metadataOutput_fetchesOncePerNonEmptyText()
    {
        QFETCH(QList<TimedMetadataGroup>, groups);
        QFETCH(int, fetches);
        m_server->route(u"/marker.json"_s, TestHttpServer::json("{}"));
        m_engine->play(station(u"Softorbit"_s));
        m_stream->announce(groups);
        m_stream->announce(groups); // nothing is suppressed
        m_engine->play(station(u"Softorbit"_s, u"/marker.json"_s));
        QTRY_COMPARE(m_server->requestCount(u"/marker.json"_s), 1);
        QTRY_COMPARE(m_server->requestCount(u"/songInfo.json"_s), 1 + 2 * fetches);
    }

    // The whole chain on a real stream: a new StreamTitle brings the new song info.
    void icyTitleChange_fetchesSongInfo_andShowsTheNewTrack()
    {
        TestHttpServer::StreamOptions options;
        options.audio = TestFixtures::read(u"tone-a.mp3"_s);
        m_server->stream(u"/stream/softorbit"_s, options);
        GstStreamPlayer gst;
        RadioPlayer engine(gst, *m_center, *m_session);
        engine.play(station(u"Softorbit"_s));
        QTRY_COMPARE(engine.nowPlaying(), u"Ana – Rain"_s);
        QCOMPARE(m_server->requestCount(u"/songInfo.json"_s), 1);

        m_server->route(u"/songInfo.json"_s,
                        TestHttpServer::json(R"({"artist":"Bo","title":"Sun"})"));
        m_server->setStreamTitle(u"/stream/softorbit"_s, u"Bo - Sun"_s);
        QTRY_COMPARE_WITH_TIMEOUT(engine.nowPlaying(), u"Bo – Sun"_s, 10'000);
        QCOMPARE(m_server->requestCount(u"/songInfo.json"_s), 2);
    }
};

QTEST_GUILESS_MAIN(tst_RadioPlayer)
#include "tst_RadioPlayer.moc"
