#include "LastTenList.h"

#include "ContentAccessibility.h"
#include "LastTenRow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

constexpr int rowInset = 16;

} // namespace

LastTenList::LastTenList(HttpSession &session, QWidget *parent)
    : QScrollArea(parent)
    , m_session(session)
{
    ContentAccessibility::install();
    // The rows take the focus; the list itself would be an empty stop.
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItems({}, QUrl());
}

void LastTenList::setItems(const QList<LastTenItem> &items, const QUrl &baseURL)
{
    const qsizetype focused = focusedRow();
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_rows.clear();
    for (const LastTenItem &item : items) {
        // Built whole before it joins the window, so its accessible interface is made for
        // the finished row.
        auto *row = new LastTenRow(item, baseURL, m_session);
        // Inset inside the row, so its focus frame and the hairline span the whole width.
        row->setContentsMargins(rowInset, 0, rowInset, 0);
        column->addWidget(row);
        m_rows.append(row);
        auto *hairline = new QWidget(content);
        hairline->setFixedHeight(1);
        hairline->setAutoFillBackground(true);
        hairline->setBackgroundRole(QPalette::Midlight);
        column->addWidget(hairline);
    }
    column->addStretch(1);
    setWidget(content); // deletes the previous rows
    content->setAutoFillBackground(false);
    if (focused >= 0 && !m_rows.isEmpty())
        focusRow(qMin(focused, m_rows.size() - 1));
}

void LastTenList::keyPressEvent(QKeyEvent *event)
{
    const qsizetype current = focusedRow();
    qsizetype target = -1;
    switch (event->key()) {
    case Qt::Key_Up:
        target = current - 1;
        break;
    case Qt::Key_Down:
        target = current + 1;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = m_rows.size() - 1;
        break;
    default:
        break;
    }
    if (current < 0 || target < 0 || target >= m_rows.size()) {
        QScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
    focusRow(target);
}

qsizetype LastTenList::focusedRow() const
{
    for (QWidget *focus = QApplication::focusWidget(); focus; focus = focus->parentWidget()) {
        if (auto *row = qobject_cast<LastTenRow *>(focus))
            return m_rows.indexOf(row);
    }
    return -1;
}

void LastTenList::focusRow(qsizetype index)
{
    LastTenRow *row = m_rows.at(index);
    row->setFocus(Qt::OtherFocusReason);
    ensureWidgetVisible(row);
}
