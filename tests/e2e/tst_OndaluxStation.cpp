#include "LastTenItem.h"
#include "LastTenRow.h"
#include "Mp3Encoder.h"
#include "SongInfoPayload.h"
#include "StationProcess.h"
#include "TestFixtures.h"
#include "TlsTrust.h"

#include <QElapsedTimer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int bytesPerSecond = 16000;

struct Fetched
{
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

Fetched fetch(QNetworkAccessManager &network, const QUrl &url, const QByteArray &method = "GET")
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    return { reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
             reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->readAll() };
}

// A listener of one stream that asks for ICY metadata and takes the stream apart.
class IcyListener
{
public:
    explicit IcyListener(const QUrl &url)
    {
        QObject::connect(&socket, &QSslSocket::readyRead, &socket, [this] { read(); });
        socket.connectToHostEncrypted(url.host(), static_cast<quint16>(url.port()));
        socket.write("GET " + url.path().toUtf8() + " HTTP/1.1\r\nHost: " + url.authority().toUtf8()
                     + "\r\nIcy-MetaData: 1\r\n\r\n");
        clock.start();
    }

    QSslSocket socket;
    QElapsedTimer clock;
    QByteArray head;
    QByteArray audio;
    QStringList titles;
    int metaInt = 0;

private:
    void read()
    {
        m_input += socket.readAll();
        if (metaInt == 0) {
            const qsizetype end = m_input.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            head = m_input.left(end);
            m_input.remove(0, end + 4);
            for (const QByteArray &line : head.split('\n')) {
                if (line.toLower().startsWith("icy-metaint:"))
                    metaInt = line.mid(12).trimmed().toInt();
            }
            m_untilBlock = metaInt;
            if (metaInt <= 0)
                return;
        }
        for (;;) {
            if (m_untilBlock > 0) {
                const qsizetype take = std::min<qsizetype>(m_untilBlock, m_input.size());
                audio += m_input.left(take);
                m_input.remove(0, take);
                m_untilBlock -= static_cast<int>(take);
                if (m_untilBlock > 0)
                    return;
            }
            if (m_input.isEmpty())
                return;
            const qsizetype length = static_cast<uchar>(m_input.at(0)) * 16;
            if (m_input.size() < 1 + length)
                return;
            const QByteArray block = m_input.mid(1, length);
            m_input.remove(0, 1 + length);
            m_untilBlock = metaInt;
            const QString text = QString::fromUtf8(block.left(block.indexOf('\0')));
            if (text.startsWith(u"StreamTitle='"_s) && text.endsWith(u"';"_s))
                titles.append(text.mid(13, text.size() - 15));
        }
    }

    QByteArray m_input;
    int m_untilBlock = 0;
};

QString streamTitle(const QJsonObject &track)
{
    const QString mix = track.value(u"mix"_s).toString();
    return track.value(u"artist"_s).toString() + u" - "_s + track.value(u"title"_s).toString()
        + (mix.isEmpty() ? QString() : u' ' + mix);
}

} // namespace

class tst_OndaluxStation : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;
    std::unique_ptr<StationProcess> m_station; // airs each track for a minute

    std::unique_ptr<StationProcess> makeStation()
    {
        return std::make_unique<StationProcess>(QStringLiteral(STATION_EXECUTABLE),
                                                TestFixtures::path(u"server.pem"_s),
                                                TestFixtures::path(u"server.key"_s));
    }

    QImage imageAt(const QUrl &url)
    {
        const Fetched got = fetch(m_network, url);
        return got.status == 200 ? QImage::fromData(got.body) : QImage();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TlsTrust::trustInAddition(TestFixtures::read(u"ca.pem"_s)));
        m_station = makeStation();
        QVERIFY2(m_station->start({}, { u"--track-seconds"_s, u"60"_s }),
                 qPrintable(m_station->error()));
    }

    void webHost_describesTheTrackOnAir_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("name");
        QTest::newRow("Softorbit") << u"softorbit"_s << u"Softorbit"_s;
        QTest::newRow("Radio Beatloom") << u"radiobeatloom"_s << u"Radio Beatloom"_s;
    }

    // Read through the program's own decoders, as the program will read them.
    void webHost_describesTheTrackOnAir()
    {
        QFETCH(QString, station);
        QFETCH(QString, name);
        const QJsonObject onAir = m_station->track(station);
        const QUrl songInfoUrl = m_station->url(station, u"/songInfo/"_s + station + u".json"_s);
        const Fetched songInfo = fetch(m_network, songInfoUrl);
        QCOMPARE(songInfo.status, 200);
        const auto payload = SongInfoPayload::decode(songInfo.body);
        QVERIFY(payload);
        QCOMPARE(payload->nowPlayingText(name), StationProcess::nowPlayingText(onAir));
        const auto reference = payload->artworkReference();
        QVERIFY(reference);
        const auto cover = SongInfoPayload::resolveArtworkReference(*reference, songInfoUrl);
        QVERIFY(cover);
        QCOMPARE(imageAt(*cover).size(), QSize(600, 600));

        const QUrl lastTenUrl = m_station->url(station, u"/songInfo/lastTen.json"_s);
        const Fetched lastTen = fetch(m_network, lastTenUrl);
        QCOMPARE(lastTen.status, 200);
        const auto items = decodeItems(lastTen.body);
        QVERIFY(items);
        QCOMPARE(items->size(), 10);
        QCOMPARE(items->first().title, onAir.value(u"title"_s).toString());
        int withArtwork = 0;
        int withStoreLink = 0;
        for (const LastTenItem &item : *items) {
            QVERIFY(item.year && item.artist && item.title);
            if (const auto url = LastTenRow::artworkURL(item, lastTenUrl)) {
                QVERIFY2(!imageAt(*url).isNull(), qPrintable(url->toString()));
                ++withArtwork;
            }
            if (const auto url = LastTenRow::buyURL(item)) {
                QCOMPARE(url->scheme(), u"https"_s);
                QCOMPARE(fetch(m_network, *url).status, 200);
                ++withStoreLink;
            }
        }
        QVERIFY(withArtwork >= 7 && withArtwork < 10);
        QVERIFY(withStoreLink >= 2 && withStoreLink < 10);
    }

    void webHost_servesBothListShapes()
    {
        const auto first = [this](const QString &station) {
            return fetch(m_network, m_station->url(station, u"/songInfo/lastTen.json"_s))
                .body.left(1);
        };
        QCOMPARE(first(u"softorbit"_s), "[");
        QCOMPARE(first(u"radiobeatloom"_s), "{");
    }

    void hosts_keepToTheirOwnPaths_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::newRow("song info on the stream host")
            << u"stream"_s << QByteArray("GET") << u"/songInfo/softorbit.json"_s << 404;
        QTest::newRow("the other station's song info")
            << u"softorbit"_s << QByteArray("GET") << u"/songInfo/radiobeatloom.json"_s << 404;
        QTest::newRow("the other station's cover")
            << u"radiobeatloom"_s << QByteArray("GET") << u"/art/lumen-drift-glass-harbour.png"_s
            << 404;
        QTest::newRow("a stream on a web host")
            << u"softorbit"_s << QByteArray("GET") << u"/softorbit"_s << 404;
        QTest::newRow("a cover") << u"softorbit"_s << QByteArray("GET")
                                 << u"/art/lumen-drift-glass-harbour.png"_s << 200;
        QTest::newRow("POST") << u"softorbit"_s << QByteArray("POST") << u"/songInfo/lastTen.json"_s
                              << 405;
    }

    void hosts_keepToTheirOwnPaths()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(int, status);
        QCOMPARE(fetch(m_network, m_station->url(host, path), method).status, status);
    }

    void stream_changesTrackBetweenFramesWithSongInfoAndList()
    {
        const auto station = makeStation();
        QVERIFY2(station->start({}, { u"--track-seconds"_s, u"3"_s, u"--burst-seconds"_s, u"1"_s }),
                 qPrintable(station->error()));
        IcyListener listener(station->url(u"stream"_s, u"/radiobeatloom"_s));
        // Generous: the station encodes its tracks at start, slower on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(listener.metaInt, 16000, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(listener.audio.size() >= bytesPerSecond, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(listener.titles.size(), 1, 20000);
        QCOMPARE(listener.titles.first(), streamTitle(station->track(u"radiobeatloom"_s)));
        const QString firstTitle = station->track(u"radiobeatloom"_s).value(u"title"_s).toString();

        QTRY_VERIFY_WITH_TIMEOUT(listener.titles.size() == 2, 20000);
        const QJsonObject onAir = station->track(u"radiobeatloom"_s);
        QCOMPARE(listener.titles.last(), streamTitle(onAir));
        // The web host moved on with the stream.
        const auto payload = SongInfoPayload::decode(
            fetch(m_network, station->url(u"radiobeatloom"_s, u"/songInfo/radiobeatloom.json"_s))
                .body);
        QVERIFY(payload);
        QCOMPARE(payload->title, onAir.value(u"title"_s).toString());
        const auto items = decodeItems(
            fetch(m_network, station->url(u"radiobeatloom"_s, u"/songInfo/lastTen.json"_s)).body);
        QVERIFY(items);
        QCOMPARE(items->at(0).title, onAir.value(u"title"_s).toString());
        QCOMPARE(items->at(1).title, firstTitle);

        qsizetype at = 0;
        while (const qsizetype length = Mp3Encoder::frameLength(listener.audio, at))
            at += length;
        QVERIFY2(listener.audio.size() - at < 420, "the audio is not a run of whole MP3 frames");
        const double seconds = static_cast<double>(listener.clock.elapsed()) / 1000.0;
        QVERIFY2(static_cast<double>(listener.audio.size()) <= (seconds + 1.5) * bytesPerSecond,
                 "audio comes faster than its bit rate");
    }

    void terminate_endsListenersAndExitsCleanly()
    {
        const auto station = makeStation();
        QVERIFY2(station->start({}, {}), qPrintable(station->error()));
        IcyListener listener(station->url(u"stream"_s, u"/softorbit"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!listener.audio.isEmpty(), 20000);
        QSignalSpy disconnected(&listener.socket, &QSslSocket::disconnected);
        QCOMPARE(station->stop(), 0);
        QTRY_COMPARE(disconnected.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_OndaluxStation)
#include "tst_OndaluxStation.moc"
