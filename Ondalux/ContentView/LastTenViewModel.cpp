#include "LastTenViewModel.h"

LastTenViewModel::LastTenViewModel(QObject *parent)
    : LastTenViewModel(HttpSession::shared(), parent)
{ }

LastTenViewModel::LastTenViewModel(HttpSession &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
{ }

void LastTenViewModel::load(const QUrl &from)
{
    const quint64 thisLoad = ++m_latestLoad;
    m_latestUrl = from;
    const HttpSession::Request request{
        .url = from,
        .cachePolicy = HttpSession::CachePolicy::ReloadIgnoringLocalCache,
        .idleTimeout = m_idleTimeout,
        .maxBodyBytes = maxBodyBytes,
    };
    m_session.get(request, this, [this, from, thisLoad](const HttpSession::Result &result) {
        // A slow answer for the station the user left must not replace the one now selected.
        // An earlier load of the selected station's own list still counts, as its reload may
        // fail, unless a newer list of it is already shown.
        if (from != m_latestUrl || thisLoad < m_publishedLoad) {
            Q_EMIT loadFinished(from, Outcome::Superseded);
            return;
        }
        if (!result.ok() || result.status < 200 || result.status > 299) {
            Q_EMIT loadFinished(from, Outcome::Failed);
            return;
        }
        std::optional<QList<LastTenItem>> list = decodeItems(result.body);
        if (!list) {
            Q_EMIT loadFinished(from, Outcome::Failed);
            return;
        }
        if (list->size() > maxItems)
            list->resize(maxItems);
        m_publishedLoad = thisLoad;
        setItems(std::move(*list), from);
        Q_EMIT loadFinished(from, Outcome::Published);
    });
}

void LastTenViewModel::setItems(QList<LastTenItem> items, const QUrl &source)
{
    m_items = std::move(items);
    m_itemsSource = source;
    Q_EMIT itemsChanged();
}
