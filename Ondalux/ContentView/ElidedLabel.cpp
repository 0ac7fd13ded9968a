#include "ElidedLabel.h"

#include "ContentAccessibility.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr QChar ellipsis(0x2026);
// Laid out of the text at most, per line shown: more than the widest window fits.
constexpr qsizetype laidOutPerLine = 1000;

QStringList paragraphsOf(const QString &text)
{
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar separator : { QChar(u'\r'), QChar(0x2028), QChar(0x2029), QChar(0x0085) })
        normalised.replace(separator, QLatin1Char('\n'));
    return normalised.split(QLatin1Char('\n'));
}

struct LineRange
{
    int start = 0;
    int length = 0;
};

// Where `paragraph` breaks into lines of at most `width`; one empty line for an empty paragraph.
QList<LineRange> wrap(const QString &paragraph, const QFont &font, int width)
{
    QList<LineRange> ranges;
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ranges.append({ .start = line.textStart(), .length = line.textLength() });
    }
    layout.endLayout();
    if (ranges.isEmpty())
        ranges.append(LineRange{});
    return ranges;
}

} // namespace

ElidedLabel::ElidedLabel(const QString &text, int maxLines, QWidget *parent)
    : QWidget(parent)
    , m_text(text)
    , m_maxLines(qMax(1, maxLines))
{
    ContentAccessibility::install();
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_layout = {};
    setAccessibleName(text);
    updateGeometry();
    update();
}

void ElidedLabel::setTone(Tone tone)
{
    m_tone = tone;
    update();
}

const ElidedLabel::Layout &ElidedLabel::linesFor(int width) const
{
    if (m_layout.width == width)
        return m_layout;
    m_layout = Layout{ .width = width };
    const QFontMetrics metrics = fontMetrics();
    const int lineWidth = qMax(1, width);
    // A huge text costs no more than what the lines can show.
    const qsizetype laidOut = laidOutPerLine * m_maxLines;
    const bool cut = m_text.size() > laidOut;
    const QStringList paragraphs = paragraphsOf(cut ? m_text.left(laidOut) : m_text);
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        const QString &paragraph = paragraphs.at(p);
        const QList<LineRange> ranges = wrap(paragraph, font(), lineWidth);
        for (qsizetype r = 0; r < ranges.size(); ++r) {
            const bool more = r + 1 < ranges.size() || p + 1 < paragraphs.size() || cut;
            if (m_layout.lines.size() == m_maxLines - 1 && more) {
                // The last line we may show, with text still to come: cut it here.
                const QString rest = paragraph.mid(ranges.at(r).start);
                QString shown = metrics.elidedText(rest, Qt::ElideRight, lineWidth);
                if (shown == rest)
                    shown = metrics.elidedText(rest + ellipsis, Qt::ElideRight, lineWidth);
                m_layout.lines.append(shown);
                m_layout.elided = true;
                return m_layout;
            }
            QString line = paragraph.mid(ranges.at(r).start, ranges.at(r).length);
            // The space a line wraps at belongs to no line.
            if (r + 1 < ranges.size()) {
                while (!line.isEmpty() && line.back().isSpace())
                    line.chop(1);
            }
            m_layout.lines.append(line);
        }
    }
    return m_layout;
}

QColor ElidedLabel::textColor() const
{
    switch (m_tone) {
    case Tone::Secondary: {
        QColor color = palette().color(QPalette::WindowText);
        color.setAlphaF(0.6F);
        return color;
    }
    case Tone::Link:
        return palette().color(QPalette::Link);
    case Tone::Primary:
        break;
    }
    return palette().color(QPalette::WindowText);
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString &paragraph : paragraphsOf(m_text.left(laidOutPerLine * m_maxLines)))
        widest = qMax(widest, metrics.horizontalAdvance(paragraph));
    // Wide enough for the text on one line per paragraph, never absurdly so.
    const int width = qMin(widest + 1, metrics.averageCharWidth() * 80);
    return { width, heightForWidth(width) };
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    return { metrics.horizontalAdvance(ellipsis) * 3, metrics.lineSpacing() };
}

int ElidedLabel::heightForWidth(int width) const
{
    const qsizetype lines = linesFor(width).lines.size();
    const QFontMetrics metrics = fontMetrics();
    return static_cast<int>(lines - 1) * metrics.lineSpacing() + metrics.height();
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(textColor());
    const QFontMetrics metrics = fontMetrics();
    int baseline = metrics.ascent();
    for (const QString &line : linesFor(width()).lines) {
        painter.drawText(QPoint(0, baseline), line);
        baseline += metrics.lineSpacing();
    }
}

void ElidedLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_layout = Layout{};
        updateGeometry();
    }
    QWidget::changeEvent(event);
}
