#include "HttpsHost.h"

#include <QSslServer>
#include <QSslSocket>
#include <QUrl>

namespace {

constexpr qsizetype maxHeadBytes = 16 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    default:
        return "Unknown";
    }
}

enum class Parse { Incomplete, Complete, Malformed };

// Takes the request at the front of `input` once its head has fully arrived. Requests with a
// body are not expected here and count as malformed.
Parse takeRequest(QByteArray &input, HttpRequest &request)
{
    qsizetype end = input.indexOf("\r\n\r\n");
    if (end < 0)
        return input.size() > maxHeadBytes ? Parse::Malformed : Parse::Incomplete;
    QList<QByteArray> lines = input.left(end).split('\n');
    input.remove(0, end + 4);
    const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
        return Parse::Malformed;
    request.method = requestLine[0];
    request.target = requestLine[1];
    request.version = requestLine[2];
    for (const QByteArray &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return Parse::Malformed;
        request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    const QByteArray length = request.header("Content-Length");
    if ((!length.isEmpty() && length != "0") || !request.header("Transfer-Encoding").isEmpty())
        return Parse::Malformed;
    return Parse::Complete;
}

bool keepsAlive(const HttpRequest &request)
{
    const QByteArray connection = request.header("Connection").toLower();
    return request.version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString HttpRequest::path() const
{
    const qsizetype query = target.indexOf('?');
    return QUrl::fromPercentEncoding(query < 0 ? target : target.left(query));
}

HttpReply HttpReply::notFound()
{
    return { .status = 404, .contentType = "text/plain; charset=utf-8", .body = "not found\n" };
}

HttpsHost::HttpsHost(QString name, const QSslConfiguration &tls, Handler handler, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_handler(std::move(handler))
    , m_server(new QSslServer(this))
{
    m_server->setSslConfiguration(tls);
    // QSslServer queues a socket only once its handshake is done.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpsHost::accept);
}

bool HttpsHost::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 HttpsHost::port() const
{
    return m_server->serverPort();
}

QString HttpsHost::errorString() const
{
    return m_server->errorString();
}

void HttpsHost::accept()
{
    while (auto *socket = qobject_cast<QSslSocket *>(m_server->nextPendingConnection())) {
        m_input.insert(socket, {});
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            m_input.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void HttpsHost::read(QSslSocket *socket)
{
    const auto found = m_input.find(socket);
    if (found == m_input.end()) {
        socket->readAll(); // a listener's chatter: nothing more it says matters
        return;
    }
    found->append(socket->readAll());
    for (;;) {
        QByteArray &input = m_input[socket];
        HttpRequest request;
        const Parse parsed = takeRequest(input, request);
        if (parsed == Parse::Incomplete)
            return;
        std::optional<HttpReply> reply;
        bool keepAlive = false;
        if (parsed == Parse::Malformed) {
            reply
                = HttpReply{ .status = 400, .contentType = "text/plain", .body = "bad request\n" };
        } else {
            Q_EMIT requestReceived(m_name, request);
            keepAlive = keepsAlive(request);
            if (request.method != "GET" && request.method != "HEAD") {
                reply = HttpReply{ .status = 405,
                                   .contentType = "text/plain",
                                   .body = "only GET and HEAD\n" };
            } else {
                reply = m_handler(request, socket);
            }
        }
        if (!reply) {
            m_input.remove(socket);
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(reply->status) + ' '
            + reasonPhrase(reply->status) + "\r\nContent-Type: " + reply->contentType
            + "\r\nContent-Length: " + QByteArray::number(reply->body.size())
            + "\r\nCache-Control: " + reply->cacheControl + "\r\nServer: ondalux-station\r\n"
            + (keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n");
        socket->write(request.method == "HEAD" ? head : head + reply->body);
        if (!keepAlive) {
            m_input.remove(socket);
            socket->disconnectFromHost();
            return;
        }
    }
}
