#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Stands in for the desktop's URL opener: give it to QDesktopServices::setUrlHandler with the
// method "open".
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};
