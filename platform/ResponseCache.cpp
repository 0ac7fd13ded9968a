#include "ResponseCache.h"

#include <algorithm>

void ResponseCache::setCapacity(qint64 bytes)
{
    m_capacity = std::max<qint64>(bytes, 0);
    trim();
}

const ResponseCache::Entry *ResponseCache::find(const QUrl &key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.cend())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, *found);
    return &m_entries.front();
}

void ResponseCache::store(const QUrl &key, int status, const HttpSession::Headers &headers,
                          const QByteArray &body)
{
    remove(key);
    // Headers and the URL count too, so many small responses cannot outgrow the bound.
    qint64 cost = body.size() + key.toEncoded().size();
    for (const auto &[name, value] : headers)
        cost += name.size() + value.size();
    if (cost > m_capacity)
        return;
    m_entries.push_front(
        { .key = key, .status = status, .headers = headers, .body = body, .cost = cost });
    m_index.insert(key, m_entries.begin());
    m_used += cost;
    trim();
}

void ResponseCache::remove(const QUrl &key)
{
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return;
    m_used -= (*found)->cost;
    m_entries.erase(*found);
    m_index.erase(found);
}

void ResponseCache::trim()
{
    while (m_used > m_capacity && !m_entries.empty())
        remove(m_entries.back().key);
}
