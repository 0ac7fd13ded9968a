#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

class QTcpServer;
class QTcpSocket;

// A scriptable HTTP/1.1 server on 127.0.0.1 for tests: fixed answers, misbehaving answers and
// endless ICY audio streams like an Icecast mount. Lives on the thread that makes it and never
// blocks it.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    // WrongHost and Expired serve a certificate from the test authority that a client must
    // refuse: one for wrong.example only, one that expired in 2020.
    enum class Tls { No, Yes, WrongHost, Expired, Impostor };
    // Localhost names the host the way the TLS certificate does.
    enum class Host { Ip, Localhost };
    using Headers = HttpHeaders;

    struct Response
    {
        enum class Mode {
            Answer,
            NeverAnswer, // reads the request, then keeps the connection open in silence
            TrickleThenStall, // the head, then trickleBytes of body a byte at a time, then silence
            CloseWithoutAnswer, // closes the connection instead of answering
        };

        int status = 200;
        // Sent as given. A Content-Length here replaces the computed one, so a response can
        // promise more than it sends; "Connection: close" here closes after the answer.
        Headers headers{};
        QByteArray body{};
        std::chrono::milliseconds delay{ 0 }; // before anything is sent
        Mode mode = Mode::Answer;
        bool chunked = false; // Transfer-Encoding: chunked instead of Content-Length
        qsizetype trickleBytes = 0;
        std::chrono::milliseconds trickleInterval{ 50 };
        // When larger than the body, spaces follow it up to this many bytes in all; they are
        // made as the client reads them, so a huge body costs the server no memory.
        qint64 paddedTo = 0;
    };

    static Response json(const QByteArray &body, int status = 200);
    static Response bytes(const QByteArray &body, const QByteArray &contentType);
    static Response redirect(const QString &location, int status = 302);

    using Request = HttpRequest;

    struct StreamOptions
    {
        QByteArray audio{}; // looped forever; must not be empty
        // Sent once to each listener before the audio, as Icecast sends an Ogg stream's headers.
        QByteArray header{};
        // Where in `audio` a new listener joins: a live stream is joined wherever it is.
        qsizetype joinAt = 0;
        // When set, only this much audio goes out with the head and the rest a tick later, so
        // the client's first read is as small as it often is on a real network.
        qsizetype firstPiece = 0;
        int bytesPerSecond = 16000;
        std::chrono::milliseconds burst{ 0 }; // this much audio goes out at once on connect
        int metaInt = 16000; // 0: no ICY metadata, even for listeners that ask
        bool repeatTitle = false; // every metadata block carries the title, as some servers do
        QByteArray contentType = "audio/mpeg";
    };

    // Listens at once on 127.0.0.1 at a port of the system's choosing.
    explicit TestHttpServer(Tls tls = Tls::No, QObject *parent = nullptr);
    ~TestHttpServer() override;

    quint16 port() const;
    // TLS handshakes that failed, such as those a client broke off over the certificate.
    int failedHandshakes() const { return m_failedHandshakes; }
    // `path` may carry a query: url(u"/search?q=x"_s).
    QUrl url(const QString &path, Host host = Host::Ip) const;

    // Serves `response` at `path` (a path with a query matches only that query), replacing any
    // earlier route there. Unrouted paths answer 404.
    void route(const QString &path, const Response &response);

    // Every request so far, in arrival order, logged before it is answered.
    QList<Request> requests() const { return m_requests; }
    // Requests for `path`, whatever their query unless `path` has one.
    int requestCount(const QString &path) const;
    // Padding sent so far for requests of `path` (see Response::paddedTo).
    qint64 paddingSent(const QString &path) const { return m_paddingSent.value(path); }

    // Serves an endless stream at `path`, paced at options.bytesPerSecond, with ICY metadata
    // for listeners that ask for it with "Icy-MetaData: 1".
    void stream(const QString &path, const StreamOptions &options);
    // Carried by the next metadata block of every listener of `path`, and the first block of
    // later ones.
    void setStreamTitle(const QString &path, const QString &title);
    int openStreamConnections(const QString &path) const;
    // A paused stream keeps its listeners connected but sends them nothing.
    void setStreamPaused(const QString &path, bool paused);

Q_SIGNALS:
    void requestReceived(const TestHttpServer::Request &request);

private:
    struct Connection;
    struct StreamRoute
    {
        StreamOptions options;
        std::optional<QString> title{};
        bool paused = false;
    };

    void acceptPending();
    void readFrom(QTcpSocket *socket);
    void serveWaiting(QTcpSocket *socket);
    void dispatch(QTcpSocket *socket, const Request &request);
    void respond(QTcpSocket *socket, const Response &response, const QString &path, bool keepAlive);
    void trickle(QTcpSocket *socket, const Response &response);
    void pad(QTcpSocket *socket, const Response &response, const QString &path, bool keepAlive);
    void endAnswer(QTcpSocket *socket, bool keepAlive);
    void startStream(QTcpSocket *socket, const QString &path, const Request &request);
    void feedStreams();
    void feed(QTcpSocket *socket, Connection &connection,
              std::chrono::steady_clock::time_point now);
    void abort(QTcpSocket *socket);
    void dropStreamConnections(const QString &path);
    void forget(QTcpSocket *socket);
    QList<QTcpSocket *> listenersOf(const QString &path) const;
    Connection *connectionOf(QTcpSocket *socket) const;

    Tls m_tls;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    int m_failedHandshakes = 0;
    QHash<QString, qint64> m_paddingSent;
    QHash<QString, Response> m_routes;
    std::map<QString, StreamRoute> m_streams;
    std::map<QTcpSocket *, std::unique_ptr<Connection>> m_connections;
    QList<Request> m_requests;
    QTimer m_streamTicker;
};
