#include "Station.h"
#include "StationCatalogue.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_Station : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogue_addresses_data()
    {
        QTest::addColumn<Station>("station");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("artworkName");
        QTest::addColumn<QString>("webHost");
        QTest::addColumn<QString>("streamPath");
        QTest::addColumn<QString>("songInfoPath");
        QTest::newRow("softorbit") << StationCatalogue::softorbit() << u"Softorbit"_s
                                   << u"SoftorbitArt"_s << QStringLiteral(EXPECTED_SOFTORBIT_HOST)
                                   << u"/softorbit"_s << u"/songInfo/softorbit.json"_s;
        QTest::newRow("radiobeatloom")
            << StationCatalogue::radiobeatloom() << u"Radio Beatloom"_s << u"RadioBeatloomArt"_s
            << QStringLiteral(EXPECTED_RADIOBEATLOOM_HOST) << u"/radiobeatloom"_s
            << u"/songInfo/radiobeatloom.json"_s;
    }

    void catalogue_addresses()
    {
        QFETCH(Station, station);
        QFETCH(QString, name);
        QFETCH(QString, artworkName);
        QFETCH(QString, webHost);
        QFETCH(QString, streamPath);
        QFETCH(QString, songInfoPath);

        QCOMPARE(station.name(), name);
        QCOMPARE(station.artworkName(), artworkName);
        const auto https = [](const QString &hostAndPort, const QString &path) {
            return QUrl(QStringLiteral("https://") + hostAndPort + path);
        };
        QCOMPARE(station.url(), https(QStringLiteral(EXPECTED_STREAM_HOST), streamPath));
        QCOMPARE(station.nowPlayingJSON(), https(webHost, songInfoPath));
        QCOMPARE(station.lastTenJSON(), https(webHost, u"/songInfo/lastTen.json"_s));
        for (const QUrl &url : { station.url(), station.nowPlayingJSON(), station.lastTenJSON() }) {
            QVERIFY2(url.isValid(), qPrintable(url.errorString()));
            QCOMPARE(url.scheme(), u"https"_s);
        }
    }
};

QTEST_GUILESS_MAIN(tst_Station)
#include "tst_Station.moc"
