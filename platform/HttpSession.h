#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

class Clock;
class QNetworkAccessManager;

// GET requests over http and https with a per-request cache policy, an idle timeout and a bound
// on the body, and an in-memory cache shared by all requests. Lives on the main thread;
// completions run there too.
class HttpSession : public QObject
{
    Q_OBJECT

public:
    enum class CachePolicy {
        ReloadIgnoringLocalCache, // never answered from the cache
        ReturnCacheDataElseLoad, // any cached response for the URL, whatever its age, else the
                                 // network
    };

    struct Request
    {
        QUrl url;
        CachePolicy cachePolicy = CachePolicy::ReloadIgnoringLocalCache;
        // Fails the request when no data has arrived for this long.
        std::chrono::milliseconds idleTimeout{ 60'000 };
        // Fails the request when it has not completed this long after get(), redirects
        // included, however steadily data arrives: a trickle cannot hold a connection for ever.
        // The default lets a 1 MiB body arrive over a 384 kbit/s link with room to spare.
        std::chrono::milliseconds deadline{ 30'000 };
        // A body larger than this fails the request; nothing past it is kept.
        qint64 maxBodyBytes = 1024 * 1024;
    };

    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // What a finished request gives: a response with any HTTP status, or an error.
    struct Result
    {
        enum class Error {
            None,
            UnsupportedScheme, // not http or https; nothing was touched
            Network, // refused, reset, name not found, TLS failure, ...
            Timeout, // idle for longer than the request's idleTimeout, or past its deadline
            TooLarge, // body past the request's maxBodyBytes
            Redirect, // too many redirects, or one from https to http
        };
        Error error = Error::None;
        QString errorText;
        int status = 0;
        Headers headers;
        QByteArray body;
        bool fromCache = false;

        bool ok() const { return error == Error::None; }
        // The first value of the named header, compared case-insensitively; empty when absent.
        QByteArray header(QByteArrayView name) const;
    };

    using Completion = std::function<void(const Result &)>;

    explicit HttpSession(QObject *parent = nullptr);
    // Deadlines are measured on `clock`, which must outlive the session.
    explicit HttpSession(const Clock &clock, QObject *parent = nullptr);
    ~HttpSession() override;

    // The process's session, created on first use on the main thread.
    static HttpSession &shared();
    // "Ondalux/<application version>", sent with every request, the stream's included.
    static QByteArray userAgent();

    // Starts a GET. `completion` runs later on the main thread, exactly once, also for a request
    // that fails at once, and never after `context` has been destroyed.
    void get(const Request &request, const QObject *context, Completion completion);

    // The in-memory cache's bound, in bytes; least recently used responses go first. The
    // program keeps the default; tests shrink it to see the eviction.
    void setCacheCapacity(qint64 bytes);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
