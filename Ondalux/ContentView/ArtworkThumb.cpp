#include "ArtworkThumb.h"

#include "Assets.h"
#include "ImageDecoder.h"
#include "ThumbnailCache.h"

#include <QFutureWatcher>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtConcurrent/QtConcurrentRun>

using namespace std::chrono_literals;

namespace {

// Only an image this small, by its header and by its body, is decoded on the main thread (a
// millisecond or so); larger ones go to a worker, so the list never stutters.
constexpr qint64 decodeHereUpTo = 256 * 256 * 4;
constexpr qsizetype decodeHereBodyUpTo = 64 * 1024;
constexpr int noteSide = 22;
constexpr int spinnerSpokes = 12;

bool isWebURL(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == u"http" || url.scheme() == u"https");
}

QPainterPath roundedSquare(qreal length, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, length, length), radius, radius);
    return path;
}

} // namespace

ArtworkThumb::ArtworkThumb(const std::optional<QUrl> &url, HttpSession &session, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
    , m_session(session)
{
    setFixedSize(side, side);
    m_spinner.setInterval(80ms);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerStep = (m_spinnerStep + 1) % spinnerSpokes;
        update();
    });
    if (!m_url)
        return;
    if (std::optional<QImage> cached = ThumbnailCache::of(m_session).find(*m_url)) {
        m_image = std::move(*cached);
        m_phase = Phase::Loaded;
        return;
    }
    m_phase = Phase::Loading;
}

QImage ArtworkThumb::decode(const QByteArray &bytes)
{
    const QImage image = ImageDecoder::decode(
        bytes, { .largestSide = keptSide, .shape = ImageDecoder::Shape::MiddleSquare });
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void ArtworkThumb::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_phase == Phase::Loading && !m_loadStarted)
        startLoad();
    if (m_phase == Phase::Loading)
        m_spinner.start();
}

void ArtworkThumb::hideEvent(QHideEvent *event)
{
    m_spinner.stop();
    QWidget::hideEvent(event);
}

void ArtworkThumb::startLoad()
{
    m_loadStarted = true;
    const QUrl url = *m_url;
    if (!isWebURL(url)) {
        finishLoad(url, {});
        return;
    }
    const HttpSession::Request request{
        .url = url,
        .cachePolicy = HttpSession::CachePolicy::ReturnCacheDataElseLoad,
        .idleTimeout = m_idleTimeout,
        .deadline = deadline,
        .maxBodyBytes = maxBodyBytes,
    };
    m_session.get(request, this, [this, url](const HttpSession::Result &result) {
        if (!result.ok() || result.status < 200 || result.status > 299) {
            finishLoad(url, {});
            return;
        }
        const std::optional<ImageDecoder::Header> header = ImageDecoder::readHeader(result.body);
        if (!header) {
            finishLoad(url, {});
            return;
        }
        if (header->decodesWithin(decodeHereUpTo) && result.body.size() <= decodeHereBodyUpTo) {
            finishLoad(url, decode(result.body));
            return;
        }
        // The watcher goes with this thumbnail, so a result for a destroyed one is dropped.
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url] {
            finishLoad(url, watcher->result());
            watcher->deleteLater();
        });
        watcher->setFuture(
            QtConcurrent::run(&ImageDecoder::workers(), &ArtworkThumb::decode, result.body));
    });
}

void ArtworkThumb::finishLoad(const QUrl &url, const QImage &image)
{
    if (image.isNull()) {
        setPhase(Phase::Failed);
        return;
    }
    ThumbnailCache::of(m_session).insert(url, image);
    m_image = image;
    m_rendered = {};
    setPhase(Phase::Loaded);
}

void ArtworkThumb::setPhase(Phase phase)
{
    m_phase = phase;
    if (phase == Phase::Loading && isVisible())
        m_spinner.start();
    else if (phase != Phase::Loading)
        m_spinner.stop();
    update();
    Q_EMIT phaseChanged(phase);
}

QPixmap ArtworkThumb::renderedImage(qreal dpr)
{
    if (!m_rendered.isNull() && qFuzzyCompare(m_rendered.devicePixelRatio(), dpr))
        return m_rendered;
    // Scaled to fill the square at the screen's own pixel density, its middle kept.
    const int pixels = qMax(1, qRound(side * dpr));
    const QImage filled
        = m_image.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QImage cropped = filled.copy((filled.width() - pixels) / 2,
                                       (filled.height() - pixels) / 2, pixels, pixels);
    QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    // Filling the path, rather than clipping to it, keeps the corners antialiased.
    painter.fillPath(roundedSquare(pixels, cornerRadius * dpr), QBrush(cropped));
    painter.end();
    m_rendered = QPixmap::fromImage(std::move(canvas));
    m_rendered.setDevicePixelRatio(dpr);
    return m_rendered;
}

void ArtworkThumb::drawPlaceholder(QPainter &painter, qreal dpr) const
{
    QColor fill = palette().color(QPalette::WindowText);
    fill.setAlphaF(0.6F * 0.2F); // the secondary colour, at 0.2
    painter.fillPath(roundedSquare(side, cornerRadius), fill);
    const QPixmap note = Assets::symbolPixmap(QStringLiteral("music.note"), noteSide,
                                              palette().color(QPalette::WindowText), dpr);
    painter.setOpacity(0.5);
    painter.drawPixmap(QPoint((side - noteSide) / 2, (side - noteSide) / 2), note);
    painter.setOpacity(1.0);
}

void ArtworkThumb::drawBusyIndicator(QPainter &painter) const
{
    painter.translate(side / 2.0, side / 2.0);
    QColor color = palette().color(QPalette::WindowText);
    for (int spoke = 0; spoke < spinnerSpokes; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (m_spinnerStep - spoke + spinnerSpokes) % spinnerSpokes;
        color.setAlphaF(static_cast<float>(0.85 - 0.6 * age / (spinnerSpokes - 1)));
        QPen pen(color, 2.0, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * spoke / spinnerSpokes);
        painter.drawLine(QPointF(0, -5.0), QPointF(0, -9.5));
        painter.restore();
    }
}

void ArtworkThumb::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const qreal dpr = devicePixelRatioF();
    switch (m_phase) {
    case Phase::Loaded:
        painter.drawPixmap(QPoint(0, 0), renderedImage(dpr));
        break;
    case Phase::Loading:
        drawBusyIndicator(painter);
        break;
    case Phase::Placeholder:
    case Phase::Failed:
        drawPlaceholder(painter, dpr);
        break;
    }
}

void ArtworkThumb::mousePressEvent(QMouseEvent *event)
{
    // Accepted, so the release comes here too.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ArtworkThumb::mouseReleaseEvent(QMouseEvent *event)
{
    const bool isClick = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (isClick)
        Q_EMIT clicked();
}
