#include "SongInfoPayload.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<SongInfoPayload>)

namespace {

const QUrl songInfoUrl(u"https://softorbit.example/np/softorbit.json"_s);

SongInfoPayload payload(const QByteArray &json)
{
    return SongInfoPayload::decode(json).value_or(SongInfoPayload{});
}

} // namespace

class tst_SongInfoPayload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<SongInfoPayload>>("expected");
        const auto none = std::optional<SongInfoPayload>();
        const auto is = [](SongInfoPayload p) {
            return std::optional(p);
        };

        QTest::newRow("empty object") << QByteArray("{}") << is({});
        QTest::newRow("artist and title") << QByteArray(R"({"artist":"A","title":"T"})")
                                          << is({ .artist = u"A"_s, .title = u"T"_s });
        QTest::newRow("null is absent")
            << QByteArray(R"({"artist":null,"title":"T"})") << is({ .title = u"T"_s });
        QTest::newRow("kept as written")
            << QByteArray(R"({"artist":"  ","title":"caf\u00e9\n","picture":""})")
            << is({ .artist = u"  "_s, .title = u"café\n"_s, .picture = u""_s });
        QTest::newRow("names are exact")
            << QByteArray(R"({"Artist":"A","image_url":"x.jpg","year":1999})") << is({});
        QTest::newRow("other members of any type")
            << QByteArray(R"({"cover":"c.jpg","n":1,"o":{"a":[1]},"l":[true]})")
            << is({ .cover = u"c.jpg"_s });
        QTest::newRow("duplicate: last wins")
            << QByteArray(R"({"mix":"one","mix":"two"})") << is({ .mix = u"two"_s });
        QTest::newRow("number under a key") << QByteArray(R"({"artist":"A","title":7})") << none;
        QTest::newRow("bool under a key") << QByteArray(R"({"mix":false})") << none;
        QTest::newRow("object under a key") << QByteArray(R"({"cover":{"url":"c"}})") << none;
        QTest::newRow("array under a key") << QByteArray(R"({"albumart":["a"]})") << none;
        QTest::newRow("top-level array") << QByteArray(R"([{"artist":"A"}])") << none;
        QTest::newRow("top-level string") << QByteArray(R"("A")") << none;
        QTest::newRow("top-level null") << QByteArray("null") << none;
        QTest::newRow("not JSON") << QByteArray("<html>busy</html>") << none;
        QTest::newRow("cut short") << QByteArray(R"({"artist":"A")") << none;
        QTest::newRow("empty body") << QByteArray() << none;
        QTest::newRow("nested 100,000 deep") << QByteArray(
            R"({"title":"Drive","x":)" + QByteArray(100000, '[') + QByteArray(100000, ']') + '}')
                                             << none;
    }

    void decode()
    {
        QFETCH(QByteArray, body);
        QFETCH(std::optional<SongInfoPayload>, expected);
        QCOMPARE(SongInfoPayload::decode(body), expected);
    }

    void nowPlayingText_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("text");
        QTest::newRow("trimmed artist and title")
            << QByteArray(R"({"artist":" \tNils ","title":"Night Drive\n"})")
            << u"Nils \u2013 Night Drive"_s;
        QTest::newRow("unicode blanks")
            << QByteArray(R"({"artist":"\u00a0Nils\u2029","title":"\u0085Drive\u3000"})")
            << u"Nils \u2013 Drive"_s;
        QTest::newRow("artist alone") << QByteArray(R"({"artist":"Nils"})") << u"Nils"_s;
        QTest::newRow("title and mix") << QByteArray(R"({"title":"Drive","mix":"  Extended Mix "})")
                                       << u"Drive Extended Mix"_s;
        QTest::newRow("all three") << QByteArray(R"({"artist":"Nils","title":"Drive","mix":"Dub"})")
                                   << u"Nils \u2013 Drive Dub"_s;
        QTest::newRow("blank artist and title")
            << QByteArray(R"({"artist":"","title":"  ","mix":"Dub"})") << u"Softorbit"_s;
        QTest::newRow("mix alone") << QByteArray(R"({"mix":"Dub"})") << u"Softorbit"_s;
        QTest::newRow("empty object") << QByteArray("{}") << u"Softorbit"_s;
    }

    void nowPlayingText()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, text);
        QCOMPARE(payload(json).nowPlayingText(u"Softorbit"_s), text);
    }

    void artworkUrl_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("url"); // empty: no artwork request
        QTest::newRow("no artwork key") << QByteArray(R"({"image_url":"x.jpg"})") << QString();
        QTest::newRow("empty value wins")
            << QByteArray(R"({"picture":"","cover":"c.jpg"})") << QString();
        QTest::newRow("null is skipped") << QByteArray(R"({"picture":null,"cover":"c.jpg"})")
                                         << u"https://softorbit.example/np/c.jpg"_s;
        QTest::newRow("precedence") << QByteArray(R"({"albumart":"z.jpg","artwork":"a.jpg"})")
                                    << u"https://softorbit.example/np/a.jpg"_s;
        QTest::newRow("picture before artwork_url")
            << QByteArray(R"({"artwork_url":"u.jpg","picture":"p.jpg"})")
            << u"https://softorbit.example/np/p.jpg"_s;
        QTest::newRow("last choice")
            << QByteArray(R"({"albumart":"z.jpg"})") << u"https://softorbit.example/np/z.jpg"_s;
        QTest::newRow("rooted") << QByteArray(R"({"image":"/art/c.png"})")
                                << u"https://softorbit.example/art/c.png"_s;
        QTest::newRow("dot segments") << QByteArray(R"({"image":"../art/c.png"})")
                                      << u"https://softorbit.example/art/c.png"_s;
        QTest::newRow("network path")
            << QByteArray("{\"image\":\"//cdn.example/c.png\"}") << u"https://cdn.example/c.png"_s;
        QTest::newRow("absolute") << QByteArray("{\"coverart\":\"http://cdn.example/c.png?s=1\"}")
                                  << u"http://cdn.example/c.png?s=1"_s;
        QTest::newRow("space encoded") << QByteArray(R"({"artwork_url":"my cover.jpg"})")
                                       << u"https://softorbit.example/np/my%20cover.jpg"_s;
        QTest::newRow("other scheme kept")
            << QByteArray("{\"picture\":\"file:///etc/passwd\"}") << u"file:///etc/passwd"_s;
    }

    void artworkUrl()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, url);
        const std::optional<QString> reference = payload(json).artworkReference();
        const std::optional<QUrl> resolved = reference
            ? SongInfoPayload::resolveArtworkReference(*reference, songInfoUrl)
            : std::nullopt;
        QCOMPARE(resolved.value_or(QUrl()).toString(QUrl::FullyEncoded), url);
    }
};

QTEST_GUILESS_MAIN(tst_SongInfoPayload)
#include "tst_SongInfoPayload.moc"
