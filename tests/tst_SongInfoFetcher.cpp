#include "ArtworkDecoder.h"
#include "HttpSession.h"
#include "SongInfoFetcher.h"
#include "TestHttpServer.h"

#include <QBuffer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Response = TestHttpServer::Response;

Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray png(int side = 16)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return encoded(image, "PNG");
}

// A real image of `side` x `side` pixels that is small as a file whatever its side.
QByteArray bitmap(int side)
{
    QImage image(side, side, QImage::Format_Mono);
    image.fill(0);
    return encoded(image, "PNG");
}

Response songInfo(const QByteArray &json, std::chrono::milliseconds delay = 0ms)
{
    Response response = TestHttpServer::json(json);
    response.delay = delay;
    return response;
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

    void fetch_anyStatus_announcesTextThenImage_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("200") << 200;
        QTest::newRow("404") << 404;
    }

    void fetch_anyStatus_announcesTextThenImage()
    {
        QFETCH(int, status);
        m_server->route(u"/so/np.json"_s,
                        TestHttpServer::json(R"({"artist":"Nils","picture":"c.png"})", status));
        m_server->route(u"/so/c.png"_s, TestHttpServer::bytes(png(), "image/png"));
        fetchAndSettle(*m_softorbit);
        QCOMPARE(m_events, QStringList({ u"text: Nils"_s, u"image: 16x16"_s }));
    }

    void fetch_badSongInfo_announcesNothing_data()
    {
        QTest::addColumn<Response>("response");
        QTest::newRow("not JSON") << TestHttpServer::json("<html>busy</html>", 503);
        QTest::newRow("wrong type") << TestHttpServer::json(R"({"title":7})");
        QTest::newRow("empty body") << TestHttpServer::json("");
        QTest::newRow("past the bound")
            << TestHttpServer::json("{\"artist\":\"" + QByteArray(2 * 1024 * 1024, 'a') + "\"}");
        QTest::newRow("dropped connection")
            << Response{ .mode = Response::Mode::CloseWithoutAnswer };
        QTest::newRow("redirect to file:") << TestHttpServer::redirect(u"file:///etc/hostname"_s);
    }

    void fetch_badSongInfo_announcesNothing()
    {
        QFETCH(Response, response);
        m_server->route(u"/so/np.json"_s, response);
        fetchAndSettle(*m_softorbit);
        QCOMPARE(m_events, QStringList());
    }

    void fetch_badArtwork_announcesTextOnly_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<Response>("artwork");
        const Response page{ .status = 404, .body = "<html>not found</html>" };
        const Response image = TestHttpServer::bytes(png(), "image/png");
        QTest::newRow("error page") << u"c.png"_s << page;
        QTest::newRow("oversized image")
            << u"c.png"_s << TestHttpServer::bytes(bitmap(4200), "image/png");
        QTest::newRow("file reference") << u"file:///etc/hostname"_s << image;
        QTest::newRow("data reference") << u"data:image/png;base64,AAAA"_s << image;
        QTest::newRow("empty reference") << QString() << image;
    }

    void fetch_badArtwork_announcesTextOnly()
    {
        QFETCH(QString, reference);
        QFETCH(Response, artwork);
        m_server->route(u"/so/c.png"_s, artwork);
        m_server->route(u"/so/np.json"_s,
                        TestHttpServer::json(R"({"title":"Drive","picture":")" + reference.toUtf8()
                                             + R"(","cover":"c.png"})"));
        fetchAndSettle(*m_softorbit);
        QCOMPARE(m_events, QStringList({ u"text: Drive"_s }));
        QCOMPARE(m_server->requestCount(u"/so/c.png"_s), reference == u"c.png"_s ? 1 : 0);
    }

    void fetch_sameArtworkAgain_comesFromCache()
    {
        m_server->route(u"/so/np.json"_s, songInfo(R"({"title":"Drive","cover":"/art/c.png"})"));
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
        m_server->route(u"/so/np.json"_s, songInfo(R"({"title":"Drive","cover":"c.png"})"));
        m_server->route(u"/so/c.png"_s, TestHttpServer::bytes(png(), "image/png"));
        m_server->route(u"/rb/np.json"_s, songInfo(R"({"title":"Tape"})"));
        // The server answers only after this returns, so the old answer is still on its way.
        const QString inFlight = artworkInFlight ? u"/so/c.png"_s : u"/so/np.json"_s;
        connect(m_server.get(), &TestHttpServer::requestReceived, this,
                [this, inFlight](const TestHttpServer::Request &request) {
                    if (request.path != inFlight.toUtf8())
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
        m_server->route(u"/so/np.json"_s, songInfo(R"({"title":"Old","cover":"old.png"})", 1s));
        m_server->route(u"/so/old.png"_s, TestHttpServer::bytes(png(), "image/png"));
        m_fetcher->fetchSongInfo(*m_softorbit);
        QTRY_COMPARE(m_server->requestCount(u"/so/np.json"_s), 1);
        m_server->route(u"/so/np.json"_s, songInfo(R"({"title":"New"})"));
        m_fetcher->fetchSongInfo(*m_softorbit);
        QTRY_VERIFY(!m_fetcher->isBusy());
        QCOMPARE(m_events, QStringList({ u"text: New"_s }));
        QCOMPARE(m_server->requestCount(u"/so/old.png"_s), 0);
    }

    void decode_onlyBoundedImages_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size"); // invalid: no image
        QImage photo(40, 30, QImage::Format_RGB32);
        photo.fill(Qt::red);
        QTest::newRow("png") << png() << QSize(16, 16);
        QTest::newRow("jpeg") << encoded(photo, "JPEG") << QSize(40, 30);
        QTest::newRow("html") << QByteArray("<html><body>404</body></html>") << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
        QTest::newRow("svg") << QByteArray(
            "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'/>")
                             << QSize();
        // Measured at four bytes a pixel, the decoded size against the 64 MiB allowed.
        QTest::newRow("within the bound") << bitmap(4000) << QSize(4000, 4000);
        QTest::newRow("past the bound") << bitmap(4200) << QSize();
    }

    void decode_onlyBoundedImages()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QCOMPARE(ArtworkDecoder::decode(bytes).size(), size.isValid() ? size : QSize(0, 0));
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
