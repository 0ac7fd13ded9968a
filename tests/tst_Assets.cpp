#include "Assets.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

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
            if (qAlpha(pixel) == 0)
                continue;
            ++ink.covered;
            if (qAlpha(pixel) > 200) {
                const QColor seen = QColor::fromRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
                ink.oneColour = ink.oneColour && qAbs(seen.red() - colour.red()) < 3
                    && qAbs(seen.green() - colour.green()) < 3
                    && qAbs(seen.blue() - colour.blue()) < 3;
            }
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

        for (const QString &name : { u"music.note"_s, u"play.fill"_s, u"pause.fill"_s }) {
            QTest::addRow("%s 22 at 1x", qPrintable(name))
                << name << 22 << 1.0 << QColor(Qt::black);
            QTest::addRow("%s 22 at 2x", qPrintable(name))
                << name << 22 << 2.0 << QColor(Qt::white);
            QTest::addRow("%s 17 at 1.5x", qPrintable(name))
                << name << 17 << 1.5 << QColor(0x4ca0ff);
        }
    }

    void symbolPixmap_drawsAtSizeScaleAndColour()
    {
        QFETCH(QString, name);
        QFETCH(int, side);
        QFETCH(qreal, dpr);
        QFETCH(QColor, colour);

        QVERIFY(Assets::hasSymbol(name));
        const QPixmap pixmap = Assets::symbolPixmap(name, side, colour, dpr);
        const int pixels = qRound(side * dpr);
        QCOMPARE(pixmap.size(), QSize(pixels, pixels));
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        const Ink ink = inkOf(pixmap.toImage(), colour);
        QVERIFY(ink.covered > pixels * pixels / 8);
        QVERIFY(ink.covered < pixels * pixels);
        QVERIFY(ink.oneColour);
    }

    void symbol_unknownOrPathLikeName_isNull()
    {
        for (const QString &name :
             { u"nope"_s, u"../SoftorbitArt"_s, u"symbols/play.fill"_s, u".hidden"_s, QString() }) {
            QVERIFY2(!Assets::hasSymbol(name), qPrintable(name));
            QVERIFY(Assets::symbol(name).isNull());
            QVERIFY(Assets::symbolPixmap(name, 16, Qt::black).isNull());
        }
        QVERIFY(Assets::symbolPixmap(u"play.fill"_s, 0, Qt::black).isNull());
    }

    void symbol_followsThePaletteOfTheMoment_data()
    {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("disabledText");
        QTest::newRow("light theme") << QColor(0x1d1d1f) << QColor(0xa0a0a0);
        QTest::newRow("dark theme") << QColor(0xf5f5f7) << QColor(0x5a5a5a);
    }

    void symbol_followsThePaletteOfTheMoment()
    {
        QFETCH(QColor, text);
        QFETCH(QColor, disabledText);
        const QIcon icon = Assets::symbol(u"play.fill"_s);
        QVERIFY(!icon.isNull());

        const QPalette original = QGuiApplication::palette();
        QPalette palette = original;
        palette.setColor(QPalette::ButtonText, text);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
        QGuiApplication::setPalette(palette);
        const QPixmap normal = icon.pixmap(QSize(24, 24), 2.0);
        const QPixmap disabled = icon.pixmap(QSize(24, 24), 2.0, QIcon::Disabled);
        QGuiApplication::setPalette(original);

        QCOMPARE(normal.size(), QSize(48, 48));
        QCOMPARE(normal.devicePixelRatio(), 2.0);
        QVERIFY(inkOf(normal.toImage(), text).oneColour);
        QVERIFY(inkOf(disabled.toImage(), disabledText).oneColour);
    }
};

QTEST_MAIN(tst_Assets)
#include "tst_Assets.moc"
