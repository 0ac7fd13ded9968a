#include "HttpSession.h"
#include "SongInfoFetcher.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QBuffer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Response = TestHttpServer::Response;

Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

// A PNG of `side` x `side` pixels; a Mono one is small as a file whatever its side.
QByteArray png(int side = 16, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(side, side, format);
    image.fill(0);
    return TestFixtures::png(image);
}

// A BMP of black and white columns one pixel wide, at one bit a pixel.
QByteArray stripedBmp(QSize size)
{
    QImage image(size, QImage::Format_Mono);
    image.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    for (int y = 0; y < size.height(); ++y)
        memset(image.scanLine(y), 0x55, image.bytesPerLine());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

} // namespace

class tst_SongInfoFetcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<TestHttpServer>();
        m_session = std::make_unique<HttpSession>();
        m_fetcher = std::make_unique<SongInfoFetcher>(*m_session);
        m_events.clear();
        connect(m_fetcher.get(), &SongInfoFetcher::nowPlayingTextReady, this,
                [this](const QString &text) { m_events.append(u"text: "_s + text); });
        connect(m_fetcher.get(), &SongInfoFetcher::artworkReady, this, [this](const QImage &image) {
            m_events.append(u"image: %1x%2"_s.arg(image.width()).arg(image.height()));
        });
        m_softorbit.emplace(u"Softorbit"_s, QUrl(u"https://stream.example/so"_s), u"SoftorbitArt"_s,
                            m_server->url(u"/so/np.json"_s), QUrl());
        m_beatloom.emplace(u"Radio Beatloom"_s, QUrl(u"https://stream.example/rb"_s),
                           u"RadioBeatloomArt"_s, m_server->url(u"/rb/np.json"_s), QUrl());
        m_fetcher->setCurrentStation(m_softorbit);
    }

    void fetch_announcesWhatItCouldGet_data()
    {
        QTest::addColumn<Response>("songInfo");
        QTest::addColumn<Response>("artwork"); // at /so/c.png
        QTest::addColumn<QStringList>("events");
        const auto info = [](const QByteArray &picture, int status = 200) {
            return TestHttpServer::json(
                R"({"title":"Drive","picture":")" + picture + R"(","cover":"c.png"})", status);
        };
        const Response image = TestHttpServer::bytes(png(), "image/png");
        Response huge = TestHttpServer::json(R"({"title":"Drive"})");
        huge.paddedTo = qint64{ 200 } * 1024 * 1024;
        const QStringList both{ u"text: Drive"_s, u"image: 16x16"_s }, text{ u"text: Drive"_s };

        QTest::newRow("200") << info("c.png") << image << both;
        QTest::newRow("404 carrying song info") << info("c.png", 404) << image << both;
        QTest::newRow("artwork error page")
            << info("c.png") << Response{ .status = 404, .body = "<html>not found</html>" } << text;
        QTest::newRow("empty reference ends the search") << info("") << image << text;
        QTest::newRow("not JSON") << TestHttpServer::json("<html>busy</html>", 503) << image
                                  << QStringList();
        QTest::newRow("200 MiB of song info") << huge << image << QStringList();
    }

    void fetch_announcesWhatItCouldGet()
    {
        QFETCH(Response, songInfo);
        QFETCH(Response, artwork);
        QFETCH(QStringList, events);
        m_server->route(u"/so/np.json"_s, songInfo);
        m_server->route(u"/so/c.png"_s, artwork);
        fetchAndSettle(*m_softorbit);
        QCOMPARE(m_events, events);
        const bool fetchesArtwork = songInfo.body.contains("\"picture\":\"c.png\"");
        QCOMPARE(m_server->requestCount(u"/so/c.png"_s), fetchesArtwork ? 1 : 0);
    }

    void fetch_sameArtworkAgain_comesFromCache()
    {
        m_server->route(u"/so/np.json"_s,
                        TestHttpServer::json(R"({"title":"Drive","cover":"/art/c.png"})"));
        m_server->route(u"/art/c.png"_s, TestHttpServer::bytes(png(8), "image/png"));
        fetchAndSettle(*m_softorbit);
        fetchAndSettle(*m_softorbit);
        QCOMPARE(
            m_events,
            QStringList({ u"text: Drive"_s, u"image: 8x8"_s, u"text: Drive"_s, u"image: 8x8"_s }));
        QCOMPARE(m_server->requestCount(u"/so/np.json"_s), 2);
        QCOMPARE(m_server->requestCount(u"/art/c.png"_s), 1);
    }

    void fetch_stationNotPlaying_requestsNothing()
    {
        m_fetcher->setCurrentStation(std::nullopt);
        m_fetcher->fetchSongInfo(*m_softorbit);
        m_fetcher->setCurrentStation(m_beatloom);
        m_fetcher->fetchSongInfo(*m_softorbit);
        QVERIFY(!m_fetcher->isBusy());
        QVERIFY(m_server->requests().isEmpty());
    }

    void fetch_stationChangedMeanwhile_dropsOldStation_data()
    {
        QTest::addColumn<bool>("artworkInFlight");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("song info in flight") << false << QStringList({ u"text: Tape"_s });
        QTest::newRow("artwork in flight")
            << true << QStringList({ u"text: Drive"_s, u"text: Tape"_s });
    }

    void fetch_stationChangedMeanwhile_dropsOldStation()
    {
        QFETCH(bool, artworkInFlight);
        QFETCH(QStringList, events);
        m_server->route(u"/so/np.json"_s,
                        TestHttpServer::json(R"({"title":"Drive","cover":"c.png"})"));
        m_server->route(u"/so/c.png"_s, TestHttpServer::bytes(png(), "image/png"));
        m_server->route(u"/rb/np.json"_s, TestHttpServer::json(R"({"title":"Tape"})"));
        // The server answers only after this returns, so the old answer is still on its way.
        const QString inFlight = artworkInFlight ? u"/so/c.png"_s : u"/so/np.json"_s;
        connect(m_server.get(), &TestHttpServer::requestReceived, this,
                [this, inFlight](const TestHttpServer::Request &request) {
                    if (request.target != inFlight.toUtf8())
                        return;
                    m_fetcher->setCurrentStation(m_beatloom);
                    m_fetcher->fetchSongInfo(*m_beatloom);
                });
        fetchAndSettle(*m_softorbit);
        QCOMPARE(m_events, events);
        QCOMPARE(m_server->requestCount(u"/so/c.png"_s), artworkInFlight ? 1 : 0);
    }

    void fetch_overlapping_olderResponseLastIsDropped()
    {
        Response old = TestHttpServer::json(R"({"title":"Old","cover":"old.png"})");
        old.delay = 1s;
        m_server->route(u"/so/np.json"_s, old);
        m_server->route(u"/so/old.png"_s, TestHttpServer::bytes(png(), "image/png"));
        m_fetcher->fetchSongInfo(*m_softorbit);
        QTRY_COMPARE(m_server->requestCount(u"/so/np.json"_s), 1);
        m_server->route(u"/so/np.json"_s, TestHttpServer::json(R"({"title":"New"})"));
        m_fetcher->fetchSongInfo(*m_softorbit);
        QTRY_VERIFY(!m_fetcher->isBusy());
        QCOMPARE(m_events, QStringList({ u"text: New"_s }));
        QCOMPARE(m_server->requestCount(u"/so/old.png"_s), 0);
    }

    // The whole cover, kept in shape; the thumbnail's table in tst_LastTenRow holds the rest.
    void decode_onlyBoundedImages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size"); // invalid: no image
        QTest::addColumn<int>("grey"); // in the middle of what is kept; -1: not looked at
        // Measured at four bytes a pixel against the 64 MiB allowed.
        constexpr int side = SongInfoFetcher::coverSide;
        QTest::newRow("within the bound")
            << png(4000, QImage::Format_Mono) << QSize(side, side) << 0;
        // Black and white pixel by pixel, and halved twice by us (no BMP reader reduces).
        QTest::newRow("BMP 8000 x 2000, striped")
            << stripedBmp(QSize(8000, 2000)) << QSize(side, side / 4) << 128;
        QTest::newRow("past the bound") << png(4200, QImage::Format_Mono) << QSize() << -1;
        QTest::newRow("60,000 x 256, halved five times")
            << TestFixtures::pngFilled(QSize(60000, 256)) << QSize(side, 2) << 0x60;
        // Qt's smoothing of it in one step read past its end (found by fuzzing).
        QTest::newRow("BMP one pixel wide, 5 M tall")
            << TestFixtures::bmpDeclaring(QSize(1, 5177346)) << QSize(1, side) << -1;
        // Read as 551 x 256, decoded as 551 x 16512: kept whole, in shape.
        QTest::newRow("gif decoding taller than read")
            << QByteArray("GIF89a'\x02\x80@\0\0\0,#\0\0\0\0\0\0\x01+\0\0", 25) << QSize(16, 480)
            << -1;
    }

    void decode_onlyBoundedImages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(int, grey);
        const QImage cover = SongInfoFetcher::decodeCover(bytes);
        QCOMPARE(cover.size(), size.isValid() ? size : QSize(0, 0));
        if (grey >= 0)
            QCOMPARE_LE(qAbs(qGray(cover.pixel(cover.width() / 2, cover.height() / 2)) - grey), 2);
    }

private:
    void fetchAndSettle(const Station &station)
    {
        m_fetcher->fetchSongInfo(station);
        QVERIFY(m_fetcher->isBusy());
        QTRY_VERIFY(!m_fetcher->isBusy());
    }

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<HttpSession> m_session;
    std::unique_ptr<SongInfoFetcher> m_fetcher;
    std::optional<Station> m_softorbit;
    std::optional<Station> m_beatloom;
    QStringList m_events;
};

QTEST_GUILESS_MAIN(tst_SongInfoFetcher)
#include "tst_SongInfoFetcher.moc"
