#include "Assets.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct Ink
{
    int covered = 0; // pixels with any coverage
    bool oneColour = true; // every covered pixel has the colour asked for
};

Ink inkOf(const QImage &image, const QColor &colour)
{
    Ink ink;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb pixel = argb.pixel(x, y);
            ink.covered += qAlpha(pixel) > 0 ? 1 : 0;
            const int off
                = std::max({ qAbs(qRed(pixel) - colour.red()), qAbs(qGreen(pixel) - colour.green()),
                             qAbs(qBlue(pixel) - colour.blue()) });
            ink.oneColour = ink.oneColour && (qAlpha(pixel) <= 200 || off < 3);
        }
    }
    return ink;
}

} // namespace

class tst_Assets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void symbolPixmap_drawsAtSizeScaleAndColour_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("side");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QColor>("colour");

        QTest::newRow("music.note 22 at 1x") << u"music.note"_s << 22 << 1.0 << QColor(Qt::black);
        QTest::newRow("play.fill 22 at 2x") << u"play.fill"_s << 22 << 2.0 << QColor(Qt::white);
        QTest::newRow("pause.fill 17 at 1.5x") << u"pause.fill"_s << 17 << 1.5 << QColor(0x4ca0ff);
    }

    void symbolPixmap_drawsAtSizeScaleAndColour()
    {
        QFETCH(QString, name);
        QFETCH(int, side);
        QFETCH(qreal, dpr);
        QFETCH(QColor, colour);
        const QPixmap pixmap = Assets::symbolPixmap(name, side, colour, dpr);
        const int pixels = qRound(side * dpr);
        QCOMPARE(pixmap.size(), QSize(pixels, pixels));
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        const Ink ink = inkOf(pixmap.toImage(), colour);
        QVERIFY(ink.covered > pixels * pixels / 8 && ink.covered < pixels * pixels);
        QVERIFY(ink.oneColour);
    }

    void image_stationArtIsDrawnWhereItLies()
    {
        for (const QString &name : { u"SoftorbitArt"_s, u"RadioBeatloomArt"_s }) {
            const QImage art = Assets::image(name);
            QCOMPARE(art.size(), QSize(480, 480));
            QCOMPARE(qAlpha(art.pixel(240, 240)), 255);
            QCOMPARE(Assets::image(name).constBits(), art.constBits());
        }
    }

    void symbol_unknownOrPathLikeName_isNull()
    {
        for (const QString &name :
             { u"nope"_s, u"../SoftorbitArt"_s, u"symbols/play.fill"_s, u".hidden"_s, QString() }) {
            QVERIFY2(!Assets::hasSymbol(name), qPrintable(name));
            QVERIFY(Assets::symbol(name).isNull());
            QVERIFY(Assets::symbolPixmap(name, 16, Qt::black).isNull());
            QVERIFY(Assets::image(name).isNull());
        }
        QVERIFY(Assets::symbolPixmap(u"play.fill"_s, 0, Qt::black).isNull());
    }

    void symbol_followsThePaletteOfTheMoment()
    {
        const QIcon icon = Assets::symbol(u"play.fill"_s);
        const QPalette original = QGuiApplication::palette();
        const auto restore = qScopeGuard([&original] { QGuiApplication::setPalette(original); });
        // A light theme, then a dark one: the same icon draws in the colours of each.
        for (const auto &[text, disabledText] : { std::pair(QColor(0x1d1d1f), QColor(0xa0a0a0)),
                                                  std::pair(QColor(0xf5f5f7), QColor(0x5a5a5a)) }) {
            QPalette palette = original;
            palette.setColor(QPalette::ButtonText, text);
            palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
            QGuiApplication::setPalette(palette);
            const QPixmap normal = icon.pixmap(QSize(24, 24), 2.0);
            QCOMPARE(normal.size(), QSize(48, 48));
            const Ink ink = inkOf(normal.toImage(), text);
            QVERIFY(ink.covered > 0 && ink.oneColour);
            const Ink disabled
                = inkOf(icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled).toImage(), disabledText);
            QVERIFY(disabled.covered > 0 && disabled.oneColour);
        }
    }
};

QTEST_MAIN(tst_Assets)
#include "tst_Assets.moc"
