#include "Assets.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QResource>
#include <QSvgRenderer>

#include <cmath>

namespace Assets {

namespace {

// Asset names are ours, but a stray "/" or ".." must never escape the resource folder.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/'))
        && !name.startsWith(QLatin1Char('.'));
}

QString symbolPath(const QString &name)
{
    return QStringLiteral(":/assets/symbols/") + name + QStringLiteral(".svg");
}

QColor colorFor(QIcon::Mode mode)
{
    const QPalette palette = QGuiApplication::palette();
    switch (mode) {
    case QIcon::Disabled:
        return palette.color(QPalette::Disabled, QPalette::ButtonText);
    case QIcon::Selected:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active:
        break;
    }
    return palette.color(QPalette::Active, QPalette::ButtonText);
}

// Draws from the drawing each time, so every size and scale factor stays sharp.
class SymbolIconEngine final : public QIconEngine
{
public:
    explicit SymbolIconEngine(const QString &name)
        : m_name(name)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const int side = qMin(rect.width(), rect.height());
        const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pixmap = symbolPixmap(m_name, side, colorFor(mode), dpr);
        if (pixmap.isNull())
            return;
        QRect target(0, 0, side, side);
        target.moveCenter(rect.center());
        painter->drawPixmap(target, pixmap);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        // `size` is in device pixels here; the result reports its own ratio.
        const int side = qMin(size.width(), size.height());
        const qreal ratio = scale > 0 ? scale : 1.0;
        return symbolPixmap(m_name, qRound(side / ratio), colorFor(mode), ratio);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return { side, side };
    }

    QString key() const override { return QStringLiteral("OndaluxSymbol"); }
    QIconEngine *clone() const override { return new SymbolIconEngine(m_name); }
    bool isNull() override { return !hasSymbol(m_name); }

private:
    QString m_name;
};

} // namespace

QImage image(const QString &name)
{
    if (!isPlainName(name))
        return {};
    constexpr int side = ONDALUX_ART_SIZE;
    constexpr qsizetype bytesPerLine = side * qsizetype(sizeof(QRgb));
    const QResource resource(QStringLiteral(":/assets/") + name + QStringLiteral(".argb"));
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression
        || resource.size() != side * bytesPerLine) {
        return {};
    }
    // Shown where it lies in the program's file: nothing to decode, and nothing copied unless
    // the resource data is not aligned for whole pixels.
    const uchar *pixels = resource.data();
    const QImage inPlace(pixels, side, side, bytesPerLine, QImage::Format_ARGB32_Premultiplied);
    if (reinterpret_cast<quintptr>(pixels) % alignof(QRgb) == 0)
        return inPlace;
    return inPlace.copy();
}

bool hasSymbol(const QString &name)
{
    return isPlainName(name) && QFile::exists(symbolPath(name));
}

QIcon symbol(const QString &name)
{
    if (!hasSymbol(name))
        return {};
    return QIcon(new SymbolIconEngine(name));
}

QPixmap symbolPixmap(const QString &name, int side, const QColor &color, qreal devicePixelRatio)
{
    if (side <= 0 || !hasSymbol(name))
        return {};
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int pixels = qMax(1, qRound(side * dpr));
    const QString key
        = QStringLiteral("ondalux-symbol:%1:%2:%3").arg(name).arg(pixels).arg(color.rgba(), 0, 16);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        QSvgRenderer renderer(symbolPath(name));
        if (!renderer.isValid())
            return {};
        QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
        // The drawings are black shapes; keep their coverage and take the colour given.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(canvas.rect(), color);
        painter.end();
        pixmap = QPixmap::fromImage(std::move(canvas));
        QPixmapCache::insert(key, pixmap);
    }
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

} // namespace Assets
