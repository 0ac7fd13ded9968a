#pragma once

#include "HttpSession.h"
#include "LastTenItem.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <chrono>

// Loads and publishes a station's recently played tracks. Lives on the main thread.
class LastTenViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<LastTenItem> items READ items NOTIFY itemsChanged)

public:
    // At most this many records are published.
    static constexpr qsizetype maxItems = 10;
    static constexpr qint64 maxBodyBytes = 1024 * 1024;
    static constexpr std::chrono::milliseconds defaultIdleTimeout = std::chrono::seconds(10);

    // How one load ended.
    enum class Outcome {
        Published, // its list is now `items`
        Failed, // transport error, status outside 200..299 or an undecodable body
        Superseded, // dropped: the latest load() asks for another URL, or a later load was
                    // published first
    };
    Q_ENUM(Outcome)

    // Uses the process's HTTP session.
    explicit LastTenViewModel(QObject *parent = nullptr);
    explicit LastTenViewModel(HttpSession &session, QObject *parent = nullptr);

    // The records of the last successful load, in document order; empty at first.
    QList<LastTenItem> items() const { return m_items; }
    // The document `items` came from, against which their relative references resolve.
    QUrl itemsSource() const { return m_itemsSource; }

    // Fetches the last-ten document at `from` afresh and, when it succeeds, publishes its first
    // ten records if this is still the latest call, or if `from` is still the latest URL asked
    // for and no later load was published. Every failure leaves `items` as it was.
    void load(const QUrl &from);

    // How long a load may wait with no data arriving before it gives up.
    std::chrono::milliseconds idleTimeout() const { return m_idleTimeout; }
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }

Q_SIGNALS:
    // Emitted on every assignment of `items`, also when the list looks the same.
    void itemsChanged();
    // Emitted once per load() call when it ends, after `items` was published.
    void loadFinished(const QUrl &from, LastTenViewModel::Outcome outcome);

private:
    void setItems(QList<LastTenItem> items, const QUrl &source);

    HttpSession &m_session;
    QList<LastTenItem> m_items;
    QUrl m_itemsSource;
    std::chrono::milliseconds m_idleTimeout = defaultIdleTimeout;
    quint64 m_latestLoad = 0; // counts load() calls
    QUrl m_latestUrl;
    quint64 m_publishedLoad = 0; // the number of the load `items` came from
};
