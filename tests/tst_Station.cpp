#include "Station.h"
#include "StationCatalogue.h"

#include <QHash>
#include <QSet>
#include <QTest>

#include <unordered_set>

using namespace Qt::StringLiterals;

namespace {

const QUuid fixedId
    = QUuid::fromString(QLatin1StringView("{6f1c2a5e-2d1b-4c43-9a55-0d1f8e7b3c21}"));

Station sample()
{
    return Station(fixedId, QStringLiteral("Softorbit"),
                   QUrl(QStringLiteral("https://s.example/a")), QStringLiteral("SoftorbitArt"),
                   QUrl(QStringLiteral("https://w.example/n.json")),
                   QUrl(QStringLiteral("https://w.example/l.json")));
}

} // namespace

class tst_Station : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void equality_copy_isEqualAndHashesEqually()
    {
        const Station station = sample();
        const Station copy = station; // NOLINT(performance-unnecessary-copy-initialization)
        QCOMPARE(copy, station);
        QCOMPARE(qHash(copy), qHash(station));
        QCOMPARE(std::hash<Station>{}(copy), std::hash<Station>{}(station));
    }

    void equality_oneFieldDiffers_isUnequal_data()
    {
        QTest::addColumn<Station>("changed");
        const Station s = sample();
        QTest::newRow("id") << Station(QUuid::createUuid(), s.name(), s.url(), s.artworkName(),
                                       s.nowPlayingJSON(), s.lastTenJSON());
        QTest::newRow("name") << Station(s.id(), QStringLiteral("softorbit"), s.url(),
                                         s.artworkName(), s.nowPlayingJSON(), s.lastTenJSON());
        QTest::newRow("url") << Station(s.id(), s.name(),
                                        QUrl(QStringLiteral("https://s.example/b")),
                                        s.artworkName(), s.nowPlayingJSON(), s.lastTenJSON());
        QTest::newRow("artworkName") << Station(s.id(), s.name(), s.url(), QStringLiteral("Other"),
                                                s.nowPlayingJSON(), s.lastTenJSON());
        QTest::newRow("nowPlayingJSON")
            << Station(s.id(), s.name(), s.url(), s.artworkName(),
                       QUrl(QStringLiteral("https://w.example/other.json")), s.lastTenJSON());
        QTest::newRow("lastTenJSON")
            << Station(s.id(), s.name(), s.url(), s.artworkName(), s.nowPlayingJSON(),
                       QUrl(QStringLiteral("https://x.example/l.json")));
    }

    void equality_oneFieldDiffers_isUnequal()
    {
        QFETCH(Station, changed);
        const Station original = sample();
        QVERIFY(!(changed == original));
        QVERIFY(changed != original);
        // Distinct keys in both hash containers; equality, not the hash, keeps them apart.
        QCOMPARE(QSet<Station>({ original, changed }).size(), 2);
        QCOMPARE((std::unordered_set<Station>{ original, changed }.size()), size_t(2));
    }

    void construction_givesEachRecordAFreshId()
    {
        const Station first = StationCatalogue::softorbit();
        const Station second = StationCatalogue::softorbit();
        QVERIFY(!first.id().isNull());
        QVERIFY(first.id() != second.id());
        QCOMPARE(second.name(), first.name());
        QCOMPARE(second.url(), first.url());
        QCOMPARE(second.lastTenJSON(), first.lastTenJSON());
        QVERIFY(first != second);
        QVERIFY(qHash(first) != qHash(second));
    }

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

    void catalogue_lastTenAddresses_samePathDifferentHosts()
    {
        const QUrl first = StationCatalogue::softorbit().lastTenJSON();
        const QUrl second = StationCatalogue::radiobeatloom().lastTenJSON();
        QCOMPARE(first.path(), second.path());
        QVERIFY(first.authority() != second.authority());
        QVERIFY(first != second);
    }
};

QTEST_GUILESS_MAIN(tst_Station)
#include "tst_Station.moc"
