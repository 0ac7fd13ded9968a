#pragma once

#include "HttpSession.h"

#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <optional>

// A 72 x 72 artwork thumbnail for an optional image URL: a busy indicator while the image
// loads, then the image filling a rounded square, or a music-note placeholder when there is no
// URL or the image cannot be had. Loads once, when first shown; never retries. Main thread.
class ArtworkThumb : public QWidget
{
    Q_OBJECT

public:
    static constexpr int side = 72;
    static constexpr qreal cornerRadius = 6;
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;
    static constexpr std::chrono::milliseconds defaultIdleTimeout = std::chrono::seconds(10);
    // As for the now-playing cover: a 1 MB image arrives in 22 s at 384 kbit/s.
    static constexpr std::chrono::milliseconds deadline = std::chrono::seconds(30);
    // Decoded images are kept square and at most this large: two pixels a point, as the
    // now-playing cover. Ten of them stay in memory as long as the list shows them.
    static constexpr int keptSide = 2 * side;

    enum class Phase {
        Placeholder, // no URL
        Loading,
        Loaded,
        Failed, // shows the placeholder
    };
    Q_ENUM(Phase)

    ArtworkThumb(const std::optional<QUrl> &url, HttpSession &session, QWidget *parent = nullptr);

    std::optional<QUrl> url() const { return m_url; }
    Phase phase() const { return m_phase; }
    // The decoded image's middle square, at most keptSide a side; null unless Loaded.
    QImage image() const { return m_image; }

    // Takes effect for a load not yet started.
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }

    // The middle square of the image in `bytes`, at most keptSide a side; null when it is not a
    // cover image, would decode past ImageDecoder::maxDecodedBytes or does not decode. Safe on
    // any thread.
    static QImage decode(const QByteArray &bytes);

    QSize sizeHint() const override { return { side, side }; }

Q_SIGNALS:
    void phaseChanged(ArtworkThumb::Phase phase);
    void clicked();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void startLoad();
    void finishLoad(const QUrl &url, const QImage &image);
    void setPhase(Phase phase);
    QPixmap renderedImage(qreal dpr);
    void drawPlaceholder(QPainter &painter, qreal dpr) const;
    void drawBusyIndicator(QPainter &painter) const;

    std::optional<QUrl> m_url;
    HttpSession &m_session;
    std::chrono::milliseconds m_idleTimeout = defaultIdleTimeout;
    Phase m_phase = Phase::Placeholder;
    bool m_loadStarted = false;
    QImage m_image;
    QPixmap m_rendered; // m_image clipped and scaled for the last scale factor drawn at
    QTimer m_spinner;
    int m_spinnerStep = 0;
    bool m_pressed = false;
};
