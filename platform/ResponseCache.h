#pragma once

#include "HttpSession.h"

#include <QByteArray>
#include <QHash>
#include <QUrl>

#include <list>

// HttpSession's responses, kept in memory only, bounded by their size in bytes; the least
// recently used go first. Main thread only.
class ResponseCache
{
public:
    struct Entry
    {
        QUrl key{};
        int status = 0;
        HttpSession::Headers headers{};
        QByteArray body{};
        qint64 cost = 0; // bytes charged against the capacity
    };

    // Drops entries at once until the rest fit.
    void setCapacity(qint64 bytes);

    // The entry for `key`, now the most recently used; null when there is none. Valid until
    // the next store().
    const Entry *find(const QUrl &key);

    // Replaces any entry for `key`; a response larger than the whole capacity is not kept.
    void store(const QUrl &key, int status, const HttpSession::Headers &headers,
               const QByteArray &body);

private:
    void remove(const QUrl &key);
    void trim();

    qint64 m_capacity = 32 * 1024 * 1024;
    qint64 m_used = 0;
    std::list<Entry> m_entries; // most recently used first
    QHash<QUrl, std::list<Entry>::iterator> m_index;
};
