#include "ArtworkThumb.h"
#include "ElidedLabel.h"
#include "HttpSession.h"
#include "LastTenRow.h"
#include "LinkLabel.h"
#include "TestHttpServer.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

// JSON written with single quotes, so test data needs no escaping; the quotes become double.
QByteArray json(const char *text)
{
    QByteArray bytes(text);
    bytes.replace('\'', '"');
    return bytes;
}

const QUrl baseURL(u"https://softorbit.example/songInfo/lastTen.json"_s);

// The record one document entry decodes to, through the real decoder.
LastTenItem itemFrom(const QJsonObject &entry)
{
    const QByteArray body = "[" + QJsonDocument(entry).toJson(QJsonDocument::Compact) + "]";
    const std::optional<QList<LastTenItem>> list = decodeItems(body);
    if (!list || list->size() != 1)
        qFatal("entry does not decode");
    return list->first();
}

LastTenItem itemFrom(const QByteArray &json)
{
    return itemFrom(QJsonDocument::fromJson(json).object());
}

QByteArray encoded(const QImage &image, const char *format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// One-pixel black and white columns: blurred to grey unless drawn pixel for pixel.
QImage stripes(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, x % 2 ? 0xffffffff : 0xff000000);
    }
    return image;
}

// Made-up cover art for the screenshot: a soft two-colour gradient with rings.
QImage cover(int seed, int side = 480)
{
    static const QList<std::pair<QColor, QColor>> palettes{
        { QColor(0xff7e5f), QColor(0xfeb47b) }, { QColor(0x2b5876), QColor(0x4e4376) },
        { QColor(0x11998e), QColor(0x38ef7d) }, { QColor(0xee0979), QColor(0xff6a00) },
        { QColor(0x1d2b64), QColor(0xf8cdda) }, { QColor(0x355c7d), QColor(0xc06c84) },
        { QColor(0x0f2027), QColor(0x2c5364) },
    };
    const auto &[from, to] = palettes.at(seed % palettes.size());
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 4; ++ring) {
        painter.setPen(QPen(QColor(255, 255, 255, 40 + ring * 25), side / 40.0));
        const qreal r = side * (0.12 + 0.09 * ring);
        const QPointF centre(side * (0.3 + 0.1 * (seed % 4)), side * (0.65 - 0.05 * (seed % 3)));
        painter.drawEllipse(centre, r, r);
    }
    painter.end();
    return image;
}

// A PNG whose header promises far more pixels than anyone should allocate.
QByteArray hugePngHeader()
{
    QByteArray png = encoded(stripes(4));
    // IHDR's width and height sit right after the signature and the chunk's length and type.
    const auto put32 = [&png](qsizetype at, quint32 value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>(value >> (24 - 8 * i));
    };
    put32(16, 60000);
    put32(20, 60000);
    // The chunk's CRC covers its type and data.
    quint32 crc = 0xffffffff;
    for (qsizetype i = 12; i < 29; ++i) {
        crc ^= static_cast<uchar>(png.at(i));
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    put32(29, ~crc);
    return png;
}

// Stands in for the desktop's URL opener.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

const QStringList caughtSchemes{ u"http"_s,       u"https"_s, u"file"_s,  u"smb"_s,
                                 u"javascript"_s, u"itms"_s,  u"mailto"_s };

} // namespace

class tst_LastTenRow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHttpServer> server;
    std::unique_ptr<HttpSession> session;
    UrlCatcher catcher;

    // A shown thumbnail for `path` on the test server, its load started.
    std::unique_ptr<ArtworkThumb> shownThumb(const QString &path,
                                             std::chrono::milliseconds idle = 10s)
    {
        auto thumb = std::make_unique<ArtworkThumb>(server->url(path), *session);
        thumb->setIdleTimeout(idle);
        thumb->show();
        return thumb;
    }

private Q_SLOTS:
    void init()
    {
        server = std::make_unique<TestHttpServer>();
        QVERIFY(server->isListening());
        session = std::make_unique<HttpSession>();
        for (const QString &scheme : caughtSchemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
        catcher.opened.clear();
    }

    void cleanup()
    {
        for (const QString &scheme : caughtSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
        session.reset();
        server.reset();
    }

    void derivedValues_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("artworkURL"); // empty: none
        QTest::addColumn<QString>("buyURL"); // empty: none
        QTest::addColumn<QString>("titleLine");
        QTest::addColumn<QString>("artist");

        const QString unknownTitle = u"Unknown Title"_s;
        const QString unknownArtist = u"Unknown Artist"_s;
        QTest::newRow("nothing") << "{}"_ba << QString() << QString() << unknownTitle
                                 << unknownArtist;
        QTest::newRow("empty artist stays empty")
            << json("{'artist':'','title':'T'}") << QString() << QString() << u"T"_s << QString();
        QTest::newRow("artist untrimmed")
            << json("{'artist':'  Ana '}") << QString() << QString() << unknownTitle << u"  Ana "_s;
        QTest::newRow("title trimmed, no mix") << json("{'title':'  Word \\n'}") << QString()
                                               << QString() << u"Word"_s << unknownArtist;
        QTest::newRow("title and mix blank") << json("{'title':' \\n\\t','mix':'  '}") << QString()
                                             << QString() << unknownTitle << unknownArtist;
        QTest::newRow("title over mix")
            << json("{'title':' Song ','mix':' Club Mix\\n'}") << QString() << QString()
            << u"Song\nClub Mix"_s << unknownArtist;
        QTest::newRow("mix without title")
            << json("{'mix':'Dub'}") << QString() << QString() << u"\nDub"_s << unknownArtist;
        QTest::newRow("blank mix") << json("{'title':'Song','mix':' '}") << QString() << QString()
                                   << u"Song"_s << unknownArtist;

        QTest::newRow("folder and file resolve under songInfo")
            << json("{'picture':'art/cover.jpg'}")
            << u"https://softorbit.example/songInfo/art/cover.jpg"_s << QString() << unknownTitle
            << unknownArtist;
        QTest::newRow("leading slash resolves at the root")
            << json("{'picture':'/covers/x.png'}") << u"https://softorbit.example/covers/x.png"_s
            << QString() << unknownTitle << unknownArtist;
        QTest::newRow("absolute reference unchanged")
            << json("{'picture':'http://cdn.example:8080/a/b.jpg?s=1'}")
            << u"http://cdn.example:8080/a/b.jpg?s=1"_s << QString() << unknownTitle
            << unknownArtist;
        QTest::newRow("empty artwork_url ends the search")
            << json("{'artwork_url':'','image':'i.jpg'}") << QString() << QString() << unknownTitle
            << unknownArtist;
        QTest::newRow("unparsable picture ends the search")
            << json("{'picture':'http://exa mple/x.jpg','image':'i.jpg'}") << QString() << QString()
            << unknownTitle << unknownArtist;
        QTest::newRow("cover before image") << json("{'image':'i.jpg','cover':'c.jpg'}")
                                            << u"https://softorbit.example/songInfo/c.jpg"_s
                                            << QString() << unknownTitle << unknownArtist;
        QTest::newRow("image_url last")
            << json("{'image_url':'iu.jpg'}") << u"https://softorbit.example/songInfo/iu.jpg"_s
            << QString() << unknownTitle << unknownArtist;
        QTest::newRow("picture first of all")
            << json("{'image_url':'5','image':'4','albumart':'3','coverart':'2','cover':'1',"
                    "'artwork':'0','artwork_url':'a','picture':'p.jpg'}")
            << u"https://softorbit.example/songInfo/p.jpg"_s << QString() << unknownTitle
            << unknownArtist;

        QTest::newRow("https store link")
            << json("{'buycd':'https://music.apple.com/album/1?i=2'}") << QString()
            << u"https://music.apple.com/album/1?i=2"_s << unknownTitle << unknownArtist;
        QTest::newRow("empty store link")
            << json("{'buycd':''}") << QString() << QString() << unknownTitle << unknownArtist;
        for (const char *link :
             { "file:///etc/passwd", "smb://nas/share", "javascript:alert(1)",
               "itms://itunes.apple.com/album/1", "mailto:dj@softorbit.example", "http:no-host" }) {
            QTest::addRow("store link %s", link)
                << QByteArray("{\"buycd\":\"" + QByteArray(link) + "\"}") << QString() << QString()
                << unknownTitle << unknownArtist;
        }
    }

    void derivedValues()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, artworkURL);
        QFETCH(QString, buyURL);
        QFETCH(QString, titleLine);
        QFETCH(QString, artist);
        const LastTenItem item = itemFrom(entry);

        const std::optional<QUrl> artwork = LastTenRow::artworkURL(item, baseURL);
        QCOMPARE(artwork ? artwork->toString() : QString(), artworkURL);
        const std::optional<QUrl> buy = LastTenRow::buyURL(item);
        QCOMPARE(buy ? buy->toString() : QString(), buyURL);
        QCOMPARE(LastTenRow::titleLine(item), titleLine);
        QCOMPARE(LastTenRow::artistText(item), artist);
    }

    void row_cutsLongTexts_data()
    {
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("mix");
        QTest::addColumn<int>("artistLines");
        QTest::addColumn<bool>("artistCut");
        QTest::addColumn<int>("titleLines");
        QTest::addColumn<bool>("titleCut");

        const QString longText = u"The Extraordinarily Long Name Of Someone Who Never Stops "
                                 u"Adding Words To Their Name Just To See Where It Ends"_s;
        QTest::newRow("short texts")
            << u"Ana"_s << u"Song"_s << QString() << 1 << false << 1 << false;
        QTest::newRow("long artist: one line")
            << longText << u"Song"_s << QString() << 1 << true << 1 << false;
        QTest::newRow("artist with a line feed: one line")
            << u"First\nSecond"_s << u"Song"_s << QString() << 1 << true << 1 << false;
        QTest::newRow("title over mix: two lines")
            << u"Ana"_s << u"Song"_s << u"Radio Edit"_s << 1 << false << 2 << false;
        QTest::newRow("long title: two lines")
            << u"Ana"_s << longText + u' ' + longText << QString() << 1 << false << 2 << true;
        QTest::newRow("long title over mix: two lines")
            << u"Ana"_s << longText << u"Extended Mix"_s << 1 << false << 2 << true;
        QTest::newRow("one endless word: two lines")
            << u"Ana"_s << QString(300, u'x') << QString() << 1 << false << 2 << true;
    }

    void row_cutsLongTexts()
    {
        QFETCH(QString, artist);
        QFETCH(QString, title);
        QFETCH(QString, mix);
        QFETCH(int, artistLines);
        QFETCH(bool, artistCut);
        QFETCH(int, titleLines);
        QFETCH(bool, titleCut);
        QJsonObject entry{ { u"artist"_s, artist }, { u"title"_s, title } };
        if (!mix.isEmpty())
            entry.insert(u"mix"_s, mix);
        LastTenRow row(itemFrom(entry), baseURL, *session);
        row.resize(420, row.sizeHint().height());
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));

        for (const auto &[name, lines, cut] :
             { std::tuple(u"artist"_s, artistLines, artistCut),
               std::tuple(u"titleLine"_s, titleLines, titleCut) }) {
            const auto *label = row.findChild<ElidedLabel *>(name);
            QVERIFY(label);
            const QStringList shown = label->visibleLines();
            QCOMPARE(shown.size(), lines);
            QCOMPARE(label->isElided(), cut);
            QCOMPARE(shown.last().endsWith(QChar(0x2026)), cut);
            const QFontMetrics metrics = label->fontMetrics();
            for (const QString &line : shown)
                QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), qPrintable(line));
            QVERIFY(label->height() >= (lines - 1) * metrics.lineSpacing() + metrics.height());
        }
    }

    void row_yearAndLinks_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("year"); // empty: no year shown
        QTest::addColumn<bool>("storeLink");
        QTest::addColumn<bool>("thumbIsLink");

        QTest::newRow("artwork and store page: both open it")
            << json("{'picture':'a.png','year':'1999','buycd':'https://music.apple.com/a/1'}")
            << u"1999"_s << true << true;
        QTest::newRow("placeholder and store page: only the text opens it")
            << json("{'year':'','buycd':'http://store.example/t'}") << QString() << true << false;
        QTest::newRow("year kept as sent, no store page")
            << json("{'picture':'a.png','year':' 84 '}") << u" 84 "_s << false << false;
        for (const char *link : { "file:///etc/passwd", "smb://nas/share", "javascript:alert(1)",
                                  "itms://itunes.apple.com/album/1", "mailto:dj@example.org" }) {
            QTest::addRow("store page %s: no link at all", link)
                << QByteArray("{\"picture\":\"a.png\",\"buycd\":\"" + QByteArray(link) + "\"}")
                << QString() << false << false;
        }
    }

    void row_yearAndLinks()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, year);
        QFETCH(bool, storeLink);
        QFETCH(bool, thumbIsLink);
        server->route(u"/songInfo/a.png"_s,
                      TestHttpServer::bytes(encoded(cover(1, 96)), "image/png"));
        const LastTenItem item = itemFrom(entry);
        LastTenRow row(item, server->url(u"/songInfo/lastTen.json"_s), *session);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        QTRY_VERIFY(row.thumb()->phase() != ArtworkThumb::Phase::Loading);

        const auto *yearLabel = row.findChild<ElidedLabel *>(u"year"_s);
        QCOMPARE(yearLabel ? yearLabel->text() : QString(), year);
        auto *link = row.findChild<LinkLabel *>(u"storeLink"_s);
        QCOMPARE(link != nullptr, storeLink);
        QTest::mouseClick(row.thumb(), Qt::LeftButton);
        if (link) {
            QCOMPARE(link->text(), u"Open in Apple Music"_s);
            QTest::mouseClick(link, Qt::LeftButton);
            QTest::keyClick(link, Qt::Key_Space);
        }
        const QUrl page(item.buycd.value_or(QString()));
        QCOMPARE(catcher.opened, QList<QUrl>((thumbIsLink ? 1 : 0) + (storeLink ? 2 : 0), page));
        QCOMPARE(LastTenRow::openLink(page), storeLink);
    }

    void thumb_drawsImagePixelForPixelAtTheScaleFactor()
    {
        const qreal dpr = qApp->devicePixelRatio();
        const int pixels = qRound(ArtworkThumb::side * dpr);
        server->route(u"/stripes.png"_s,
                      TestHttpServer::bytes(encoded(stripes(pixels)), "image/png"));
        const auto thumb = shownThumb(u"/stripes.png"_s);
        QCOMPARE(thumb->phase(), ArtworkThumb::Phase::Loading);
        QTRY_COMPARE(thumb->phase(), ArtworkThumb::Phase::Loaded);

        // Drawn without a window background, so what the thumbnail leaves out stays clear.
        QImage shot(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        shot.setDevicePixelRatio(dpr);
        shot.fill(Qt::transparent);
        thumb->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        // Neighbouring device pixels stay black and white, not the grey of an upscaled image.
        const int y = pixels / 2;
        for (int x = pixels / 2 - 4; x < pixels / 2 + 4; ++x) {
            const int grey = qGray(shot.pixel(x, y));
            QVERIFY2(x % 2 ? grey > 230 : grey < 25, qPrintable(QString::number(grey)));
        }
        // The corners are cut round.
        QCOMPARE(qAlpha(shot.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(shot.pixel(pixels - 1, pixels - 1)), 0);
    }

    void thumb_largeImage_isDecodedAndKeptSmall()
    {
        // Noise does not compress, so the body is large enough for a worker thread.
        QImage noisy(1500, 1000, QImage::Format_RGB32);
        for (int y = 0; y < noisy.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(noisy.scanLine(y));
            for (int x = 0; x < noisy.width(); ++x)
                line[x] = qRgb((x * 7 + y * 13) % 256, (x * y) % 251, (x ^ y) % 256);
        }
        const QByteArray body = encoded(noisy, "JPG");
        QVERIFY(body.size() > 64 * 1024);
        server->route(u"/big.jpg"_s, TestHttpServer::bytes(body, "image/jpeg"));
        const auto thumb = shownThumb(u"/big.jpg"_s);

        QTRY_COMPARE(thumb->phase(), ArtworkThumb::Phase::Loaded);
        QCOMPARE(thumb->image().size(), QSize(432, ArtworkThumb::keptSide));
    }

    void thumb_badArtwork_showsPlaceholder_data()
    {
        QTest::addColumn<TestHttpServer::Response>("response");
        using Response = TestHttpServer::Response;
        const QByteArray png = encoded(cover(3, 64));

        QTest::newRow("404 with an image body") << Response{ .status = 404, .body = png };
        QTest::newRow("500") << Response{ .status = 500, .body = png };
        QTest::newRow("text, not an image") << TestHttpServer::bytes("hello", "image/png");
        QTest::newRow("empty body") << TestHttpServer::bytes({}, "image/png");
        QTest::newRow("truncated PNG")
            << TestHttpServer::bytes(png.left(png.size() / 2), "image/png");
        QTest::newRow("PNG header promising 60000 x 60000 pixels")
            << TestHttpServer::bytes(hugePngHeader(), "image/png");
        QTest::newRow("body past 16 MiB")
            << TestHttpServer::bytes(png + QByteArray(16 * 1024 * 1024, '\0'), "image/png");
        QTest::newRow("server never answers") << Response{ .mode = Response::Mode::NeverAnswer };
        QTest::newRow("body stalls halfway")
            << Response{ .headers = { { "Content-Length", QByteArray::number(png.size()) } },
                         .body = png,
                         .mode = Response::Mode::TrickleThenStall,
                         .trickleBytes = 40,
                         .trickleChunk = 20,
                         .trickleInterval = 10ms };
        QTest::newRow("connection dropped")
            << Response{ .mode = Response::Mode::CloseWithoutAnswer };
        QTest::newRow("redirect to a file") << TestHttpServer::redirect(u"file:///etc/passwd"_s);
    }

    void thumb_badArtwork_showsPlaceholder()
    {
        QFETCH(TestHttpServer::Response, response);
        server->route(u"/art"_s, response);
        const auto thumb = shownThumb(u"/art"_s, 300ms);
        QSignalSpy phases(thumb.get(), &ArtworkThumb::phaseChanged);

        QTRY_COMPARE_WITH_TIMEOUT(thumb->phase(), ArtworkThumb::Phase::Failed, 10000);
        QCOMPARE(phases.count(), 1);
        QVERIFY(thumb->image().isNull());
        const QImage shot = thumb->grab().toImage();
        QVERIFY(qAlpha(shot.pixel(shot.width() / 2, shot.height() / 2)) > 0); // the note
    }

    void thumb_urlOfAnotherScheme_failsWithoutARequest()
    {
        ArtworkThumb thumb(QUrl(u"file:///etc/hostname"_s), *session);
        thumb.show();
        QTRY_COMPARE(thumb.phase(), ArtworkThumb::Phase::Failed);
        QVERIFY(thumb.image().isNull());
    }

    void thumb_builtAgainForTheSameURL_showsImageAtOnceWithoutARequest()
    {
        server->route(u"/again.png"_s, TestHttpServer::bytes(encoded(cover(4, 200)), "image/png"));
        {
            const auto first = shownThumb(u"/again.png"_s);
            QTRY_COMPARE(first->phase(), ArtworkThumb::Phase::Loaded);
        }
        QCOMPARE(server->requestCount(u"/again.png"_s), 1);

        ArtworkThumb second(server->url(u"/again.png"_s), *session);
        QCOMPARE(second.phase(), ArtworkThumb::Phase::Loaded);
        QCOMPARE(second.image().size(), QSize(200, 200));
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(server->requestCount(u"/again.png"_s), 1);
    }

    void thumb_destroyedWhileLoading_dropsItsResult()
    {
        auto slow = TestHttpServer::bytes(encoded(cover(5, 600)), "image/png");
        slow.delay = 200ms;
        server->route(u"/slow.png"_s, slow);
        auto doomed = shownThumb(u"/slow.png"_s);
        QTRY_COMPARE(server->requestCount(u"/slow.png"_s), 1);
        doomed.reset();

        // A second thumbnail's answer comes after the first one's would have.
        const auto survivor = shownThumb(u"/slow.png"_s);
        QTRY_COMPARE(survivor->phase(), ArtworkThumb::Phase::Loaded);
    }

    void list_ofTenRows_screenshot()
    {
        struct Track
        {
            const char *artist;
            const char *title;
            const char *mix;
            const char *year;
            bool artwork;
            bool link;
        };
        const Track tracks[] = {
            { "Mira Solenne", "Glass Horizon", nullptr, "2023", true, true },
            { "The Quiet Lanterns", "Paper Boats on a Midnight River", "Extended Mix", "2019", true,
              true },
            { "Oskar Vell", "Northbound", nullptr, "2021", false, true },
            { "Juniper & The Tidewalkers featuring the Harbour Street Strings and Friends",
              "A Very Long Song Title That Keeps On Going Well Past Where Any Sensible Title "
              "Would Have Stopped, Just To See How The Row Cuts It Off After Two Lines",
              nullptr, "2018", true, true },
            { "Lumen Drift", "Afterglow", "Radio Edit", nullptr, true, false },
            { nullptr, "Untitled Session 4", nullptr, "2020", false, false },
            { "Ayo Marchetti", "Sundial", nullptr, "2024", true, true },
            { "Coralline", "Slow Tide", "Live at the Lighthouse", "2016", true, true },
            { "Tessellate", nullptr, nullptr, "", false, true },
            { "Nadia Okafor", "Blue Hour Avenue", nullptr, "2022", true, true },
        };
        QList<LastTenItem> items;
        for (int i = 0; i < 10; ++i) {
            const Track &track = tracks[i];
            QJsonObject entry;
            if (track.artist)
                entry.insert(u"artist"_s, QString::fromUtf8(track.artist));
            if (track.title)
                entry.insert(u"title"_s, QString::fromUtf8(track.title));
            if (track.mix)
                entry.insert(u"mix"_s, QString::fromUtf8(track.mix));
            if (track.year)
                entry.insert(u"year"_s, QString::fromUtf8(track.year));
            if (track.link)
                entry.insert(u"buycd"_s, u"https://music.apple.com/album/%1"_s.arg(i));
            if (track.artwork) {
                const QString path = u"/songInfo/covers/%1.png"_s.arg(i);
                server->route(path, TestHttpServer::bytes(encoded(cover(i)), "image/png"));
                entry.insert(u"picture"_s, u"covers/%1.png"_s.arg(i));
            }
            items.append(itemFrom(entry));
        }
        const QUrl base = server->url(u"/songInfo/lastTen.json"_s);

        for (const bool dark : { false, true }) {
            // Laid out like the window's plain list: inset rows, hairlines between them.
            QScrollArea area;
            area.setFrameShape(QFrame::NoFrame);
            area.setWidgetResizable(true);
            auto *content = new QWidget;
            content->setBackgroundRole(QPalette::Base);
            content->setAutoFillBackground(true);
            auto *column = new QVBoxLayout(content);
            column->setContentsMargins(16, 4, 16, 4);
            column->setSpacing(0);
            QList<LastTenRow *> rows;
            for (const LastTenItem &item : items) {
                if (!rows.isEmpty()) {
                    auto *line = new QFrame(content);
                    line->setFixedHeight(1);
                    line->setAutoFillBackground(true);
                    line->setBackgroundRole(QPalette::Midlight);
                    column->addWidget(line);
                }
                rows.append(new LastTenRow(item, base, *session, content));
                column->addWidget(rows.last());
            }
            column->addStretch(1);
            area.setWidget(content);
            if (dark) {
                QPalette palette;
                palette.setColor(QPalette::Window, QColor(0x1e1e1e));
                palette.setColor(QPalette::Base, QColor(0x1e1e1e));
                palette.setColor(QPalette::WindowText, QColor(0xececec));
                palette.setColor(QPalette::Text, QColor(0xececec));
                palette.setColor(QPalette::Midlight, QColor(0x3a3a3a));
                palette.setColor(QPalette::Link, QColor(0x4ca0ff));
                area.setPalette(palette);
            }
            area.resize(560, content->sizeHint().height());
            area.show();
            QVERIFY(QTest::qWaitForWindowExposed(&area));
            for (LastTenRow *row : rows) {
                QTRY_VERIFY(row->thumb()->phase() != ArtworkThumb::Phase::Loading);
                QCOMPARE(row->thumb()->phase() == ArtworkThumb::Phase::Loaded,
                         row->item().picture.has_value());
            }

            QDir().mkpath(u"screenshots"_s);
            const QString file
                = dark ? u"screenshots/LastTenList-dark.png"_s : u"screenshots/LastTenList.png"_s;
            QVERIFY(area.grab().save(file));
        }
    }
};

int main(int argc, char *argv[])
{
    // Drawn as on a HiDPI screen, where a thumbnail drawn at 1x would look soft.
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    tst_LastTenRow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LastTenRow.moc"
