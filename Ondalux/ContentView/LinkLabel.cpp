#include "LinkLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

LinkLabel::LinkLabel(const QString &text, QWidget *parent)
    : ElidedLabel(text, 1, parent)
{
    setTone(Tone::Link);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool clicked = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (clicked)
        activate();
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        activate();
        return;
    default:
        ElidedLabel::keyPressEvent(event);
    }
}

void LinkLabel::enterEvent(QEnterEvent *event)
{
    setUnderlined(true);
    ElidedLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent *event)
{
    setUnderlined(false);
    ElidedLabel::leaveEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent *event)
{
    ElidedLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void LinkLabel::setUnderlined(bool underlined)
{
    // The hover cue must not move the text, so only the underline changes.
    QFont changed = font();
    changed.setUnderline(underlined);
    setFont(changed);
}
