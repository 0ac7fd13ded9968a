#pragma once

#include <QImage>
#include <QWidget>

// The 240 x 240 artwork of the window: a placeholder while nothing plays, otherwise an image
// fitted inside with its aspect ratio kept, all clipped to rounded corners. An image to
// assistive technology, described by what it shows.
class NowPlayingArtwork : public QWidget
{
    Q_OBJECT

public:
    enum class Content { Placeholder, Image };

    static constexpr int side = 240;
    static constexpr qreal cornerRadius = 12;

    explicit NowPlayingArtwork(QWidget *parent = nullptr);

    void showPlaceholder();
    // A null image leaves the frame empty inside its rounded clip. `description` says what the
    // image shows, for assistive technology. Showing what is shown already repaints nothing.
    void showImage(const QImage &image, const QString &description);

    Content content() const { return m_content; }
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe(const QString &description);
    const QImage &fitted();

    Content m_content = Content::Placeholder;
    QImage m_image;
    // m_image reduced to the frame at the screen's pixel density, made on the first paint.
    QImage m_fitted;
    qreal m_fittedFor = 0; // the pixel density m_fitted was made for
};
