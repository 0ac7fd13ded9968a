#include "HttpsHost.h"

#include <QSslServer>
#include <QSslSocket>

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
        const HttpRequest::Parse parsed = HttpRequest::take(input, request);
        if (parsed == HttpRequest::Parse::Incomplete)
            return;
        std::optional<HttpReply> reply;
        bool keepAlive = false;
        if (parsed == HttpRequest::Parse::Malformed) {
            reply
                = HttpReply{ .status = 400, .contentType = "text/plain", .body = "bad request\n" };
        } else {
            Q_EMIT requestReceived(m_name, request);
            keepAlive = request.keepsAlive();
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
            + httpReasonPhrase(reply->status) + "\r\nContent-Type: " + reply->contentType
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
