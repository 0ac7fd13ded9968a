#pragma once

#include "HttpSession.h"
#include "LastTenItem.h"

#include <QList>
#include <QScrollArea>
#include <QUrl>

class LastTenRow;

// The recently played tracks: a scrolling column of rows, a hairline under each. Tab visits
// each row and its store link in turn; the arrow keys, Home and End move between rows.
// Main thread.
class LastTenList : public QScrollArea
{
    Q_OBJECT

public:
    explicit LastTenList(HttpSession &session, QWidget *parent = nullptr);

    // Replaces the rows with one per item, their artwork resolved against `baseURL`. A row that
    // had the keyboard focus hands it to the new row in its place.
    void setItems(const QList<LastTenItem> &items, const QUrl &baseURL);
    QList<LastTenRow *> rows() const { return m_rows; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The row holding the focus, itself or through its link; -1 when none does.
    qsizetype focusedRow() const;
    void focusRow(qsizetype index);

    HttpSession &m_session;
    QList<LastTenRow *> m_rows;
};
