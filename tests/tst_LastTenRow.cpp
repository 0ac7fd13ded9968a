#include "AccessibilityProbe.h"
#include "ArtworkThumb.h"
#include "ElidedLabel.h"
#include "HttpSession.h"
#include "LastTenRow.h"
#include "LinkLabel.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "UrlCatcher.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

using TestFixtures::json;

const QUrl baseURL(u"https://softorbit.example/songInfo/lastTen.json"_s);

// The record one document entry decodes to, through the real decoder.
LastTenItem itemFrom(const QByteArray &entry)
{
    const std::optional<QList<LastTenItem>> list = decodeItems("[" + entry + "]");
    if (!list || list->size() != 1)
        qFatal("entry does not decode");
    return list->first();
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Image plugins this process has loaded beyond the readers of the formats covers come in.
QStringList foreignImagePlugins()
{
    QFile maps(u"/proc/self/maps"_s);
    QStringList found;
    if (!maps.open(QIODevice::ReadOnly))
        return { u"no /proc/self/maps"_s };
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype at = line.indexOf("/imageformats/");
        const QString name = QString::fromUtf8(line.mid(at + 14));
        if (at >= 0 && !found.contains(name)
            && !QStringList{ u"libqgif.so"_s, u"libqjpeg.so"_s, u"libqwebp.so"_s }.contains(name))
            found << name;
    }
    return found;
}

QByteArray encoded(const QImage &image, const char *format)
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

// Made-up cover art: a two-colour gradient.
QImage cover(int seed, int side = 480)
{
    QImage image(side, side, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, side, side);
    gradient.setColorAt(0, QColor::fromHsv(seed * 47 % 360, 150, 240));
    gradient.setColorAt(1, QColor::fromHsv((seed * 47 + 70) % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    return image;
}

const QStringList caughtSchemes{ u"http"_s, u"https"_s, u"file"_s, u"javascript"_s, u"data"_s };

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
    void initTestCase() { AccessibilityProbe::activate(); }

    void init()
    {
        server = std::make_unique<TestHttpServer>();
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
        QTest::addColumn<QString>("artworkURL");
        QTest::addColumn<QString>("buyURL");
        QTest::addColumn<QString>("titleLine");
        QTest::addColumn<QString>("artist");

        // Each row also pins an artwork and a store link rule of its own.
        const QString none, songInfo = u"https://softorbit.example/songInfo/"_s;
        const QString unknownTitle = u"Unknown Title"_s, unknownArtist = u"Unknown Artist"_s;
        QTest::newRow("nothing") << "{}"_ba << none << none << unknownTitle << unknownArtist;
        QTest::newRow("empty artist and store link; image_url resolves under songInfo")
            << json("{'artist':'','title':'T','buycd':'','image_url':'art/c.jpg'}")
            << songInfo + u"art/c.jpg"_s << none << u"T"_s << QString();
        QTest::newRow("artist untrimmed, blank mix; leading slash resolves at the root; https")
            << json("{'artist':'  Ana ','title':'Song','mix':' ','picture':'/covers/x.png',"
                    "'buycd':'https://music.apple.com/album/1?i=2'}")
            << u"https://softorbit.example/covers/x.png"_s
            << u"https://music.apple.com/album/1?i=2"_s << u"Song"_s << u"  Ana "_s;
        QTest::newRow("title over mix, trimmed; absolute artwork unchanged; file: store link")
            << json("{'title':' Song ','mix':' Club Mix\\n','buycd':'file:///etc/passwd',"
                    "'picture':'http://cdn.example:8080/a/b.jpg?s=1'}")
            << u"http://cdn.example:8080/a/b.jpg?s=1"_s << none << u"Song\nClub Mix"_s
            << unknownArtist;
        QTest::newRow("title and mix blank; empty artwork_url ends the search; javascript:")
            << json("{'title':' \\n\\t','mix':'  ','artwork_url':'','image':'i.jpg',"
                    "'buycd':'javascript:alert(1)'}")
            << none << none << unknownTitle << unknownArtist;
        QTest::newRow("mix without title; unparsable picture ends the search; itms:")
            << json("{'mix':'Dub','picture':'http://exa mple/x.jpg','image':'i.jpg',"
                    "'buycd':'itms://itunes.apple.com/album/1'}")
            << none << none << u"\nDub"_s << unknownArtist;
        QTest::newRow("cover before image; http without a host")
            << json("{'image':'i.jpg','cover':'c.jpg','buycd':'http:no-host'}")
            << songInfo + u"c.jpg"_s << none << unknownTitle << unknownArtist;
        QTest::newRow("picture first of all")
            << json("{'image_url':'5','image':'4','albumart':'3','coverart':'2','cover':'1',"
                    "'artwork':'0','artwork_url':'a','picture':'p.jpg'}")
            << songInfo + u"p.jpg"_s << none << unknownTitle << unknownArtist;
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
        QTest::addColumn<QString>("artist"); // always one line
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("mix");
        QTest::addColumn<bool>("artistCut");
        QTest::addColumn<int>("titleLines");
        QTest::addColumn<bool>("titleCut");

        const QString longText = u"The Extraordinarily Long Name Of Someone Who Never Stops "
                                 u"Adding Words To Their Name Just To See Where It Ends"_s;
        QTest::newRow("long artist, short title")
            << longText << u"Song"_s << QString() << true << 1 << false;
        QTest::newRow("artist with a line feed, long title")
            << u"First\nSecond"_s << longText + u' ' + longText << QString() << true << 2 << true;
        QTest::newRow("long title over mix")
            << u"Ana"_s << longText << u"Extended Mix"_s << false << 2 << true;
        QTest::newRow("one endless word")
            << u"Ana"_s << QString(300, u'x') << QString() << false << 2 << true;
    }

    void row_cutsLongTexts()
    {
        QFETCH(QString, artist);
        QFETCH(QString, title);
        QFETCH(QString, mix);
        QFETCH(bool, artistCut);
        QFETCH(int, titleLines);
        QFETCH(bool, titleCut);
        QJsonObject entry{ { u"artist"_s, artist }, { u"title"_s, title } };
        if (!mix.isEmpty())
            entry.insert(u"mix"_s, mix);
        LastTenRow row(itemFrom(QJsonDocument(entry).toJson()), baseURL, *session);
        row.resize(420, row.sizeHint().height());
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));

        for (const auto &[name, lines, cut] :
             { std::tuple(u"artist"_s, 1, artistCut),
               std::tuple(u"titleLine"_s, titleLines, titleCut) }) {
            const auto *label = row.findChild<ElidedLabel *>(name);
            QVERIFY(label);
            const QStringList shown = label->visibleLines();
            QCOMPARE(shown.size(), lines);
            QCOMPARE(shown.last().endsWith(QChar(0x2026)), cut);
            const QFontMetrics metrics = label->fontMetrics();
            for (const QString &line : shown)
                QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), qPrintable(line));
            QVERIFY(label->height() >= (lines - 1) * metrics.lineSpacing() + metrics.height());
        }
    }

    void row_yearLinksAndListItem_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("year"); // empty: no year shown
        QTest::addColumn<bool>("thumbIsLink");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("linkDescription"); // empty: no store link

        QTest::newRow("artwork and store page: both open it")
            << json("{'artist':'Mira Solenne','title':'Glass Horizon','mix':'Radio Edit',"
                    "'year':'2023','picture':'a.png','buycd':'https://music.apple.com/a/1'}")
            << u"2023"_s << true << u"Mira Solenne, Glass Horizon (Radio Edit), 2023"_s
            << u"Glass Horizon (Radio Edit) by Mira Solenne"_s;
        QTest::newRow("placeholder and http store page: only the text opens it; blank mix")
            << json("{'artist':'Ana','title':'Song','mix':' ','year':'',"
                    "'buycd':'http://store.example/t'}")
            << QString() << false << u"Ana, Song"_s << u"Song by Ana"_s;
        QTest::newRow("no link; line breaks read as spaces; mix sent in brackets")
            << json("{'artist':'First\\nSecond','title':' Song ','mix':'(Live)','year':'1999'}")
            << u"1999"_s << false << u"First Second, Song (Live), 1999"_s << QString();
        QTest::newRow("year kept as sent, file: store page: no link at all")
            << json("{'title':'T','year':' 84 ','picture':'a.png','buycd':'file:///etc/passwd'}")
            << u" 84 "_s << false << u"Unknown Artist, T, 84"_s << QString();
        QTest::newRow("javascript: store page; blank artist and title")
            << json("{'artist':'','mix':'Dub','buycd':'javascript:alert(1)'}") << QString() << false
            << u"Unknown Title (Dub)"_s << QString();
    }

    // The row is one named list item; its store link, its only child, opens the page on a click,
    // a key or the accessible press, as the artwork does beside it.
    void row_yearLinksAndListItem()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, year);
        QFETCH(bool, thumbIsLink);
        QFETCH(QString, name);
        QFETCH(QString, linkDescription);
        const bool storeLink = !linkDescription.isEmpty();
        server->route(u"/songInfo/a.png"_s,
                      TestHttpServer::bytes(TestFixtures::png(cover(1, 96)), "image/png"));
        const LastTenItem item = itemFrom(entry);
        LastTenRow row(item, server->url(u"/songInfo/lastTen.json"_s), *session);
        row.show();
        QVERIFY(QTest::qWaitForWindowExposed(&row));
        QTRY_VERIFY(row.thumb()->phase() != ArtworkThumb::Phase::Loading);

        const auto *yearLabel = row.findChild<ElidedLabel *>(u"year"_s);
        QCOMPARE(yearLabel ? yearLabel->text() : QString(), year);
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(&row);
        QCOMPARE(AccessibilityProbe::describe(node), u"ListItem '"_s + name + u'\'');
        const QStringList linkNode{ u"ListItem > Link 'Open in Apple Music'"_s };
        QCOMPARE(AccessibilityProbe::tree(node), storeLink ? linkNode : QStringList());
        auto *link = row.findChild<LinkLabel *>(u"storeLink"_s);
        QCOMPARE(link != nullptr, storeLink);
        QTest::mouseClick(row.thumb(), Qt::LeftButton);
        if (link) {
            QTest::mouseClick(link, Qt::LeftButton);
            QTest::keyClick(link, Qt::Key_Space);
            QAccessibleInterface *store = node->child(0);
            QCOMPARE(store->text(QAccessible::Description), linkDescription);
            QVERIFY(store->actionInterface());
            store->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        const QUrl page(item.buycd.value_or(QString()));
        QCOMPARE(catcher.opened, QList<QUrl>((thumbIsLink ? 1 : 0) + (storeLink ? 3 : 0), page));
        QCOMPARE(LastTenRow::openLink(page), storeLink);
    }

    void thumb_drawsImagePixelForPixelAtTheScaleFactor()
    {
        const qreal dpr = qApp->devicePixelRatio();
        const int pixels = qRound(ArtworkThumb::side * dpr);
        server->route(u"/stripes.png"_s,
                      TestHttpServer::bytes(TestFixtures::png(stripes(pixels)), "image/png"));
        const auto thumb = shownThumb(u"/stripes.png"_s);
        QCOMPARE(thumb->phase(), ArtworkThumb::Phase::Loading);
        QTRY_COMPARE(thumb->phase(), ArtworkThumb::Phase::Loaded);

        // Drawn without a window background, so what the thumbnail leaves out stays clear.
        QImage shot(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        shot.setDevicePixelRatio(dpr);
        shot.fill(Qt::transparent);
        thumb->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        // Neighbouring device pixels stay black and white, not the grey of an upscaled image.
        for (int x = pixels / 2 - 4; x < pixels / 2 + 4; ++x) {
            const int grey = qGray(shot.pixel(x, pixels / 2));
            QVERIFY2(x % 2 ? grey > 230 : grey < 25, qPrintable(QString::number(grey)));
        }
        QCOMPARE(qAlpha(shot.pixel(0, 0)), 0); // the corners are cut round
    }

    void thumb_decode_keepsAtMostKeptSideOnEachSide_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size"); // empty: refused
        using TestFixtures::pngFilled;
        const QSize kept(ArtworkThumb::keptSide, ArtworkThumb::keptSide);
        QTest::newRow("PNG larger on both sides: its middle")
            << TestFixtures::png(cover(1, 1200).copy(0, 0, 1200, 600)) << kept;
        // Qt reads this GIF's size as 551 x 256 but decodes 551 x 16512 (found by fuzzing): what
        // is kept is the middle of what was decoded.
        QTest::newRow("GIF whose screen is taller than its reported size")
            << QByteArray("GIF89a'\x02\x80@\0\0\0,#\0\0\0\0\0\0\x01+\0\0", 25) << kept;
        // Qt's smoothing of the whole strip read past its end (found by fuzzing).
        QTest::newRow("BMP one pixel wide, 5 M tall")
            << TestFixtures::bmpDeclaring(QSize(1, 5177346)) << QSize(1, 1);
        // 15 M pixels pass the memory bound; the middle square alone would be 256 x 256, but a
        // shape this far from square is reduced whole first, so no decoder holds 60 MB for it.
        QTest::newRow("60,000 x 256 strip") << pngFilled(QSize(60000, 256)) << QSize(38, 38);
        // Its decoder fills the whole screen the header declares: 551 x 32768, refused before.
        QTest::newRow("GIF whose screen is past the bound")
            << QByteArray("GIF89a'\x02\0\x80\0@\0,#\0\0\0\0\0\0\x01+\0\0", 25) << QSize();
        QTest::newRow("PNG declaring 100,000 x 100,000 pixels")
            << TestFixtures::pngDeclaring(QSize(100000, 100000)) << QSize();
        QTest::newRow("16-bit PNG, 4096 x 4096: 128 MiB at 8 bytes a pixel")
            << pngFilled(QSize(4096, 4096), 16) << QSize();
        QTest::newRow("16-bit PNG, 2048 x 2048") << pngFilled(QSize(2048, 2048), 16) << kept;
        QByteArray claimsTwoGigabytes = TestFixtures::png(cover(4, 32));
        claimsTwoGigabytes.insert(claimsTwoGigabytes.size() - 12, "\x7e\0\0\x25tEXtdate"_ba);
        QTest::newRow("PNG with a chunk claiming 2 GB (found by fuzzing)")
            << claimsTwoGigabytes << QSize();
        QTest::newRow("XPM, not a cover format")
            << QByteArray("/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n")
            << QSize();
        QTest::newRow("SVG, never parsed")
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'/>")
            << QSize();
    }

    void thumb_decode_keepsAtMostKeptSideOnEachSide()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const long peakBefore = peakResidentKiB();
        QCOMPARE(ArtworkThumb::decode(bytes).size(), size.isValid() ? size : QSize(0, 0));
        // Refused or kept, no hostile file may make decoding touch a large allocation.
        QCOMPARE_LT(peakResidentKiB() - peakBefore, 256 * 1024);
        // No other image plugin is even loaded to look at what a station sent.
        QCOMPARE(foreignImagePlugins(), QStringList());
    }

    void thumb_badArtwork_showsPlaceholder_data()
    {
        QTest::addColumn<TestHttpServer::Response>("response");
        using Response = TestHttpServer::Response;
        const QByteArray png = TestFixtures::png(cover(3, 64));

        QTest::newRow("404 with an image body") << Response{ .status = 404, .body = png };
        QTest::newRow("text, not an image") << TestHttpServer::bytes("hello", "image/png");
        QTest::newRow("body past 16 MiB")
            << TestHttpServer::bytes(png + QByteArray(16 * 1024 * 1024, '\0'), "image/png");
    }

    void thumb_badArtwork_showsPlaceholder()
    {
        QFETCH(TestHttpServer::Response, response);
        server->route(u"/art"_s, response);
        const auto thumb = shownThumb(u"/art"_s, 300ms);
        QSignalSpy phases(thumb.get(), &ArtworkThumb::phaseChanged);

        QTRY_COMPARE_WITH_TIMEOUT(thumb->phase(), ArtworkThumb::Phase::Failed, 10000);
        QCOMPARE(phases.count(), 1);
        const QImage shot = thumb->grab().toImage();
        QVERIFY(qAlpha(shot.pixel(shot.width() / 2, shot.height() / 2)) > 0); // the note
    }

    // Also: a large image is decoded on a worker thread and kept small, and a thumbnail built
    // again for a loaded URL shows it at once, without a request.
    void thumb_destroyedWhileLoading_dropsItsResult()
    {
        // Noise does not compress, so the body is large enough for a worker thread.
        QImage noisy(1500, 1000, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < noisy.height(); ++y)
            random.fillRange(reinterpret_cast<quint32 *>(noisy.scanLine(y)), noisy.width());
        auto slow = TestHttpServer::bytes(encoded(noisy, "JPG"), "image/jpeg");
        QVERIFY(slow.body.size() > 64 * 1024);
        slow.delay = 200ms;
        server->route(u"/slow.jpg"_s, slow);
        auto doomed = shownThumb(u"/slow.jpg"_s);
        QTRY_COMPARE(server->requestCount(u"/slow.jpg"_s), 1);
        doomed.reset();

        // A second thumbnail's answer comes after the first one's would have.
        {
            const auto survivor = shownThumb(u"/slow.jpg"_s);
            QTRY_COMPARE(survivor->phase(), ArtworkThumb::Phase::Loaded);
        }
        ArtworkThumb again(server->url(u"/slow.jpg"_s), *session);
        QCOMPARE(again.phase(), ArtworkThumb::Phase::Loaded);
        QCOMPARE(again.image().size(), QSize(ArtworkThumb::keptSide, ArtworkThumb::keptSide));
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(server->requestCount(u"/slow.jpg"_s), 2);
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
