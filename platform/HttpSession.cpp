#include "HttpSession.h"

#include "Clock.h"
#include "ResponseCache.h"
#include "TlsTrust.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcNet, "ondalux.net", QtWarningMsg)

namespace {

using Error = HttpSession::Result::Error;

constexpr int maxRedirects = 5;
// What Qt's network thread may hold of a response that this thread has not taken yet, so a busy
// main thread cannot let a body grow past its bound there.
constexpr qint64 maxReadBuffer = 512 * 1024;

bool isWebUrl(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
        && (scheme.compare("http"_L1, Qt::CaseInsensitive) == 0
            || scheme.compare("https"_L1, Qt::CaseInsensitive) == 0);
}

bool isHttps(const QUrl &url)
{
    return url.scheme().compare("https"_L1, Qt::CaseInsensitive) == 0;
}

bool isRedirect(const QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
        && reply->hasRawHeader("Location");
}

QUrl cacheKeyOf(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
}

bool forbidsStoring(const HttpSession::Headers &headers)
{
    for (const auto &[name, value] : headers) {
        if (name.compare("Cache-Control", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &directive : value.split(',')) {
            if (directive.trimmed().compare("no-store", Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

// The errors Qt derives from an HTTP status once the whole response has arrived: for us the
// response is the result, not a failure.
bool isStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied
            && error <= QNetworkReply::UnknownContentError)
        || (error >= QNetworkReply::InternalServerError
            && error <= QNetworkReply::UnknownServerError)
        || error == QNetworkReply::ProtocolInvalidOperationError
        || error == QNetworkReply::ProxyAuthenticationRequiredError;
}

HttpSession::Result failure(Error error, const QString &text)
{
    HttpSession::Result result;
    result.error = error;
    result.errorText = text;
    return result;
}

// One request on the network, from get() until its completion ran or was dropped.
struct Transfer
{
    HttpSession::Request request;
    QUrl at; // where the request is now, after the redirects so far
    QPointer<const QObject> context;
    bool hasContext = false;
    HttpSession::Completion completion;
    Clock::TimePoint deadline;
    QByteArray body;
    int redirects = 0;
    Error abortedAs = Error::None;
    QString abortText;
    bool finished = false;
};

} // namespace

struct HttpSession::Private
{
    const Clock *clock = &Clock::system();
    QNetworkAccessManager *manager = nullptr;
    ResponseCache cache;

    void start(HttpSession *session, const std::shared_ptr<Transfer> &transfer);
    // Starts the next hop when `reply` is a redirect worth following.
    bool follow(HttpSession *session, QNetworkReply *reply,
                const std::shared_ptr<Transfer> &transfer);
    void finish(QNetworkReply *reply, Transfer &transfer);
};

QByteArray HttpSession::Result::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpSession::HttpSession(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    // No disk cache and no Qt cache at all: ours is the only one, in memory.
    d->manager = new QNetworkAccessManager(this);
}

HttpSession::HttpSession(const Clock &clock, QObject *parent)
    : HttpSession(parent)
{
    d->clock = &clock;
}

HttpSession::~HttpSession() = default;

QByteArray HttpSession::userAgent()
{
    const QString version = QCoreApplication::applicationVersion();
    return "Ondalux/" + (version.isEmpty() ? QByteArray("0") : version.toUtf8());
}

HttpSession &HttpSession::shared()
{
    static HttpSession *const instance = new HttpSession(QCoreApplication::instance());
    return *instance;
}

void HttpSession::get(const Request &request, const QObject *context, Completion completion)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QObject *receiver = context ? context : this;
    if (!isWebUrl(request.url)) {
        qCDebug(lcNet) << "refusing" << request.url.scheme() << "URL";
        QTimer::singleShot(0, receiver, [completion = std::move(completion)] {
            completion(failure(Error::UnsupportedScheme, u"only http and https are requested"_s));
        });
        return;
    }
    if (request.cachePolicy == CachePolicy::ReturnCacheDataElseLoad) {
        if (const ResponseCache::Entry *entry = d->cache.find(cacheKeyOf(request.url))) {
            Result result;
            result.status = entry->status;
            result.headers = entry->headers;
            result.body = entry->body;
            result.fromCache = true;
            QTimer::singleShot(
                0, receiver, [completion = std::move(completion), result] { completion(result); });
            return;
        }
    }
    auto transfer = std::make_shared<Transfer>();
    transfer->request = request;
    transfer->at = request.url;
    transfer->context = context;
    transfer->hasContext = context != nullptr;
    transfer->completion = std::move(completion);
    transfer->deadline = d->clock->now() + request.deadline;
    // The build's own authority may still be on its way to Qt; nothing goes out before it.
    TlsTrust::whenTrusted(this, [this, transfer] { d->start(this, transfer); });
}

void HttpSession::setCacheCapacity(qint64 bytes)
{
    d->cache.setCapacity(bytes);
}

void HttpSession::Private::start(HttpSession *session, const std::shared_ptr<Transfer> &transfer)
{
    QNetworkRequest networkRequest(transfer->at);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    // Redirects are followed here, not by Qt, whose own following loses the final response.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::ManualRedirectPolicy);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Qt restarts this timer whenever data moves, so it is an idle timeout.
    const auto idle = std::clamp<qint64>(transfer->request.idleTimeout.count(), 1,
                                         std::numeric_limits<int>::max());
    networkRequest.setTransferTimeout(static_cast<int>(idle));

    QNetworkReply *reply = manager->get(networkRequest);
    reply->setReadBufferSize(std::min(transfer->request.maxBodyBytes + 1, maxReadBuffer));
    Transfer *t = transfer.get();
    t->finished = false;
    t->body.clear();

    const auto abortAs = [reply, t](Error error, const QString &text) {
        if (t->abortedAs != Error::None || t->finished)
            return;
        qCDebug(lcNet) << "aborting" << t->at << text;
        t->abortedAs = error;
        t->abortText = text;
        t->body.clear();
        reply->abort();
    };
    const Clock *const timeSource = clock;
    // Checked as data arrives, so an injected clock decides; the timer below ends a silence.
    const auto pastDeadline = [t, timeSource, abortAs] {
        if (timeSource->now() < t->deadline)
            return false;
        abortAs(Error::Timeout, u"not done within %1 ms"_s.arg(t->request.deadline.count()));
        return true;
    };
    const auto take = [reply, t, abortAs] {
        if (t->abortedAs != Error::None || !reply->isOpen())
            return;
        const qint64 available = reply->bytesAvailable();
        if (t->body.size() + available > t->request.maxBodyBytes) {
            abortAs(Error::TooLarge, u"body larger than %1 bytes"_s.arg(t->request.maxBodyBytes));
            return;
        }
        t->body += reply->read(available);
    };

    auto *deadlineTimer = new QTimer(reply);
    deadlineTimer->setSingleShot(true);
    const auto armDeadline = [deadlineTimer, t, timeSource] {
        using namespace std::chrono;
        const auto left = duration_cast<milliseconds>(t->deadline - timeSource->now()).count();
        deadlineTimer->start(static_cast<int>(std::clamp<qint64>(left, 1, 24 * 3600 * 1000)));
    };
    QObject::connect(deadlineTimer, &QTimer::timeout, reply, [pastDeadline, armDeadline] {
        if (!pastDeadline())
            armDeadline(); // a coarse timer may fire early
    });
    armDeadline();
    QObject::connect(
        reply, &QNetworkReply::metaDataChanged, session, [reply, t, abortAs, pastDeadline] {
            if (pastDeadline())
                return;
            if (isRedirect(reply))
                return; // its length says nothing about the body to come
            bool known = false;
            const qint64 announced
                = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
            if (known && announced > t->request.maxBodyBytes)
                abortAs(Error::TooLarge, u"announced body of %1 bytes"_s.arg(announced));
        });
    QObject::connect(reply, &QNetworkReply::readyRead, session, [take, pastDeadline] {
        if (!pastDeadline())
            take();
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, session,
                     [t](const QList<QSslError> &errors) {
                         qCDebug(lcNet) << "TLS errors for" << t->at << errors;
                     });
    QObject::connect(reply, &QNetworkReply::finished, session,
                     [this, session, reply, transfer, take] {
                         if (transfer->finished)
                             return;
                         take();
                         transfer->finished = true;
                         reply->deleteLater();
                         if (!follow(session, reply, transfer))
                             finish(reply, *transfer);
                     });
}

bool HttpSession::Private::follow(HttpSession *session, QNetworkReply *reply,
                                  const std::shared_ptr<Transfer> &transfer)
{
    if (transfer->abortedAs != Error::None || reply->error() != QNetworkReply::NoError
        || !isRedirect(reply))
        return false;
    const QUrl to = transfer->at.resolved(QUrl(QString::fromUtf8(reply->rawHeader("Location"))));
    if (++transfer->redirects > maxRedirects)
        transfer->abortText = u"too many redirects"_s;
    else if (!isWebUrl(to))
        transfer->abortText = u"redirect to a URL that is not http or https"_s;
    else if (isHttps(transfer->at) && !isHttps(to))
        transfer->abortText = u"redirect from https to http"_s;
    if (!transfer->abortText.isEmpty()) {
        qCDebug(lcNet) << "not following" << transfer->at << "to" << to;
        transfer->abortedAs = Error::Redirect;
        return false;
    }
    transfer->at = to;
    start(session, transfer);
    return true;
}

void HttpSession::Private::finish(QNetworkReply *reply, Transfer &transfer)
{
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    Result result;
    if (transfer.abortedAs != Error::None) {
        result = failure(transfer.abortedAs, transfer.abortText);
    } else if (error == QNetworkReply::NoError || (status.isValid() && isStatusError(error))) {
        result.status = status.toInt();
        result.headers = reply->rawHeaderPairs();
        result.body = std::move(transfer.body);
    } else if (error == QNetworkReply::OperationCanceledError
               || error == QNetworkReply::TimeoutError) {
        // Only Qt's transfer timer cancels without our say.
        result = failure(Error::Timeout,
                         u"no data for %1 ms"_s.arg(transfer.request.idleTimeout.count()));
    } else {
        result = failure(Error::Network, reply->errorString());
    }
    qCDebug(lcNet) << transfer.request.url << "status" << result.status << "error"
                   << static_cast<int>(result.error) << result.errorText;

    if (result.ok() && result.status >= 200 && result.status < 300
        && !forbidsStoring(result.headers)) {
        cache.store(cacheKeyOf(transfer.request.url), result.status, result.headers, result.body);
    }
    if (transfer.hasContext && !transfer.context)
        return;
    transfer.completion(result);
}
