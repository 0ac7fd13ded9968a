#include "HttpSession.h"

#include <QCoreApplication>
#include <QTimer>

struct HttpSession::Private
{
    qint64 cacheCapacity = 32 * 1024 * 1024;
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
{ }

HttpSession::~HttpSession() = default;

HttpSession &HttpSession::shared()
{
    static HttpSession *const instance = new HttpSession(QCoreApplication::instance());
    return *instance;
}

void HttpSession::get(const Request &request, const QObject *context, Completion completion)
{
    Q_UNUSED(request);
    // Not implemented yet: every request fails.
    QTimer::singleShot(0, context, [completion = std::move(completion)] {
        Result result;
        result.error = Result::Error::Network;
        result.errorText = QStringLiteral("not implemented");
        completion(result);
    });
}

void HttpSession::setCacheCapacity(qint64 bytes)
{
    d->cacheCapacity = bytes;
}

qint64 HttpSession::cacheCapacity() const
{
    return d->cacheCapacity;
}
