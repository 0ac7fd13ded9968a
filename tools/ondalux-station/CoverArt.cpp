#include "CoverArt.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace {

// The Softorbit look: planets on orbits.
void drawOrbits(QPainter &p, const QColor &accent, size_t seed)
{
    const QPointF centre(CoverArt::size * 0.62, CoverArt::size * 0.38);
    p.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 4; ++ring) {
        QColor line = accent.lighter(130);
        line.setAlphaF(0.55 - 0.1 * ring);
        p.setPen(QPen(line, 3));
        const double r = 48.0 * ring + static_cast<double>(seed % 17);
        p.drawEllipse(centre, r * 1.4, r * 0.55);
        const double angle
            = static_cast<double>((seed >> (ring * 3)) % 360) * std::numbers::pi / 180.0;
        p.setPen(Qt::NoPen);
        p.setBrush(accent.lighter(150));
        p.drawEllipse(centre + QPointF(std::cos(angle) * r * 1.4, std::sin(angle) * r * 0.55),
                      7.0 + ring * 2, 7.0 + ring * 2);
        p.setBrush(Qt::NoBrush);
    }
    QRadialGradient sun(centre, 60);
    sun.setColorAt(0, QColor(255, 250, 230));
    sun.setColorAt(1, accent);
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(centre, 52, 52);
}

// The Radio Beatloom look: a woven grid of level bars.
void drawWeave(QPainter &p, const QColor &accent, const QString &slug)
{
    const int columns = 14;
    const double width = CoverArt::size / static_cast<double>(columns);
    p.setPen(Qt::NoPen);
    for (int c = 0; c < columns; ++c) {
        const double level
            = 0.25 + static_cast<double>(qHash(slug, static_cast<size_t>(c)) % 60) / 100.0;
        QColor bar = c % 2 == 0 ? accent.lighter(140) : accent.darker(120);
        bar.setAlphaF(0.85);
        p.setBrush(bar);
        p.drawRoundedRect(QRectF(c * width + 4, CoverArt::size * (0.58 - level * 0.5), width - 8,
                                 CoverArt::size * level * 0.5),
                          6, 6);
    }
}

} // namespace

namespace CoverArt {

QByteArray png(const DemoStation &station, const DemoTrack &track)
{
    const size_t seed = qHash(track.slug);
    const int hue = static_cast<int>(seed % 360);
    const QColor accent = QColor::fromHsv(hue, 170, 230);

    QImage image(size, size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, size, size);
    background.setColorAt(0, QColor::fromHsv(hue, 120, 70));
    background.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 160, 25));
    p.fillRect(image.rect(), background);
    if (track.tune.drums)
        drawWeave(p, accent, track.slug);
    else
        drawOrbits(p, accent, seed);

    const QRect text(40, size * 62 / 100, size - 80, size * 34 / 100);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 170));
    p.drawText(QRect(40, 32, size - 80, 40), Qt::AlignLeft | Qt::AlignVCenter,
               station.name.toUpper());
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    font.setPixelSize(54);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, track.title);
    font.setPixelSize(30);
    font.setBold(false);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 210));
    p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, track.artist);
    p.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace CoverArt
