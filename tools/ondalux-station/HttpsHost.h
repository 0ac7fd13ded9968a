#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSslConfiguration>
#include <QString>

#include <functional>
#include <optional>

class QSslServer;
class QSslSocket;

struct HttpReply
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QByteArray cacheControl = "no-cache";

    static HttpReply notFound();
};

// One HTTPS host on 127.0.0.1: reads HTTP/1.1 requests, keeps connections alive, and answers
// each through its handler. Main thread.
class HttpsHost : public QObject
{
    Q_OBJECT

public:
    // Answers a request; or takes the socket over for an endless answer and returns nothing.
    using Handler = std::function<std::optional<HttpReply>(const HttpRequest &, QSslSocket *)>;

    HttpsHost(QString name, const QSslConfiguration &tls, Handler handler,
              QObject *parent = nullptr);

    QString name() const { return m_name; }
    // Port 0 lets the system choose one.
    bool listen(quint16 port);
    quint16 port() const;
    QString errorString() const;

Q_SIGNALS:
    void requestReceived(const QString &host, const HttpRequest &request);

private:
    void accept();
    void read(QSslSocket *socket);

    QString m_name;
    Handler m_handler;
    QSslServer *m_server;
    QHash<QSslSocket *, QByteArray> m_input; // connections still speaking HTTP
};
