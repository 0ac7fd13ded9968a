#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

// Plain text wrapped at word boundaries within the width it is given and cut after a number of
// lines, the last shown line ending in an ellipsis when text was cut. Never interprets markup.
class ElidedLabel : public QWidget
{
    Q_OBJECT

public:
    enum class Tone {
        Primary, // the palette's text colour
        Secondary, // the text colour, faded
        Link, // the palette's link colour
    };

    ElidedLabel(const QString &text, int maxLines, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);
    void setTone(Tone tone);

    // The lines as drawn at the current width.
    QStringList visibleLines() const { return linesFor(width()).lines; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Layout
    {
        int width = -1;
        QStringList lines{};
        bool elided = false;
    };

    const Layout &linesFor(int width) const;
    QColor textColor() const;

    QString m_text;
    int m_maxLines;
    Tone m_tone = Tone::Primary;
    mutable Layout m_layout; // the last width laid out
};
