#include "NowPlayingArtwork.h"

#include "Assets.h"
#include "WindowAccessibility.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int symbolSide = 48;

} // namespace

NowPlayingArtwork::NowPlayingArtwork(QWidget *parent)
    : QWidget(parent)
{
    WindowAccessibility::install();
    setFixedSize(side, side);
    setAccessibleName(tr("Artwork"));
    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.33F));
    shadow->setBlurRadius(16); // a soft shadow of radius 8 points
    shadow->setOffset(0, 0);
    setGraphicsEffect(shadow);
}

void NowPlayingArtwork::showPlaceholder()
{
    describe(tr("Nothing playing"));
    if (m_content == Content::Placeholder)
        return;
    m_content = Content::Placeholder;
    m_image = QImage();
    m_fitted = QImage();
    update();
}

void NowPlayingArtwork::showImage(const QImage &image, const QString &description)
{
    describe(description);
    // The window refreshes its controls on every step of the volume slider; the artwork, with
    // its shadow, is repainted only when it changed.
    if (m_content == Content::Image && image.cacheKey() == m_image.cacheKey())
        return;
    m_content = Content::Image;
    m_image = image;
    m_fitted = QImage();
    update();
}

const QImage &NowPlayingArtwork::fitted()
{
    const qreal dpr = devicePixelRatioF();
    if (m_fitted.isNull() || m_fittedFor != dpr) {
        const QSize pixels = QSizeF(m_image.size())
                                 .scaled(QSizeF(size()) * dpr, Qt::KeepAspectRatio)
                                 .toSize()
                                 .expandedTo(QSize(1, 1));
        m_fitted = pixels.width() < m_image.width()
            ? m_image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            : m_image;
        m_fittedFor = dpr;
    }
    return m_fitted;
}

void NowPlayingArtwork::describe(const QString &description)
{
    // Every assignment is announced as a change, also of the same text.
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

void NowPlayingArtwork::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF frame = rect();
    QPainterPath clip;
    clip.addRoundedRect(frame, cornerRadius, cornerRadius);
    painter.setClipPath(clip);

    if (m_content == Content::Placeholder) {
        QColor fill = palette().color(QPalette::PlaceholderText);
        fill.setAlphaF(0.15F);
        painter.fillRect(frame, fill);
        QColor ink = palette().color(QPalette::WindowText);
        ink.setAlphaF(0.5F);
        const QPixmap note = Assets::symbolPixmap(QStringLiteral("music.note"), symbolSide, ink,
                                                  devicePixelRatioF());
        const QSizeF noteSize = QSizeF(note.size()) / note.devicePixelRatio();
        painter.drawPixmap(QPointF(frame.center().x() - noteSize.width() / 2,
                                   frame.center().y() - noteSize.height() / 2),
                           note);
        return;
    }
    if (m_image.isNull())
        return;
    const QSizeF fittedSize = QSizeF(m_image.size()).scaled(frame.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), fittedSize);
    target.moveCenter(frame.center());
    painter.drawImage(target, fitted());
}
