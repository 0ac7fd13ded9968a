#pragma once

#include "ElidedLabel.h"

// One line of text in the link colour that reports activation by click, Space or Return.
class LinkLabel : public ElidedLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    // Follows the link as a click does; also what assistive technology's press action calls.
    void activate() { Q_EMIT activated(); }

Q_SIGNALS:
    void activated();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setUnderlined(bool underlined);

    bool m_pressed = false;
};
