#include "TestHttpServer.h"

#include "IcyFraming.h"
#include "TestFixtures.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr qsizetype chunkedPieceBytes = 1000;
constexpr qsizetype paddingPieceBytes = 64 * 1024;
constexpr qint64 paddingWindowBytes = 256 * 1024; // unsent padding held at most
constexpr auto streamTick = 50ms;
constexpr qint64 nanosPerSecond = 1'000'000'000;

bool hasHeader(const TestHttpServer::Headers &headers, QByteArrayView name)
{
    return !httpHeader(headers, name).isEmpty();
}

QByteArray withoutQuery(const QByteArray &target)
{
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

bool hasNoBody(int status)
{
    return status < 200 || status == 204 || status == 304;
}

QByteArray headOf(const TestHttpServer::Response &response, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + httpReasonPhrase(response.status) + "\r\n";
    for (const auto &[name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (response.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!hasNoBody(response.status) && !hasHeader(response.headers, "Content-Length"))
        head += "Content-Length: "
            + QByteArray::number(std::max<qint64>(response.body.size(), response.paddedTo))
            + "\r\n";
    if (!hasHeader(response.headers, "Connection"))
        head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    return head + "\r\n";
}

QByteArray bodyOf(const TestHttpServer::Response &response)
{
    if (hasNoBody(response.status))
        return {};
    if (!response.chunked)
        return response.body;
    QByteArray body;
    for (qsizetype at = 0; at < response.body.size(); at += chunkedPieceBytes) {
        const QByteArray piece = response.body.mid(at, chunkedPieceBytes);
        body += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return body + "0\r\n\r\n";
}

} // namespace

// One accepted connection. Requests queue in `input` while one is being answered.
struct TestHttpServer::Connection
{
    QByteArray input;
    bool busy = false;

    // Stream listeners only.
    QString stream;
    std::optional<IcyFraming> icy;
    qsizetype audioOffset = 0;
    QByteArray pendingHeader;
    bool firstFeed = true;
    qint64 owedByteNanos = 0; // audio earned but not yet sent, in bytes times 1e9
    Clock::time_point lastFed;
};

TestHttpServer::Response TestHttpServer::json(const QByteArray &body, int status)
{
    return { .status = status,
             .headers = { { "Content-Type", "application/json" } },
             .body = body };
}

TestHttpServer::Response TestHttpServer::bytes(const QByteArray &body,
                                               const QByteArray &contentType)
{
    return { .headers = { { "Content-Type", contentType } }, .body = body };
}

TestHttpServer::Response TestHttpServer::redirect(const QString &location, int status)
{
    return { .status = status, .headers = { { "Location", location.toUtf8() } } };
}

TestHttpServer::TestHttpServer(Tls tls, QObject *parent)
    : QObject(parent)
    , m_tls(tls)
{
    if (tls != Tls::No) {
        auto *server = new QSslServer(this);
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        const QString certificate = tls == Tls::WrongHost ? u"wrong-host.pem"_s
            : tls == Tls::Expired                         ? u"expired.pem"_s
            : tls == Tls::Impostor                        ? u"impostor.pem"_s
                                                          : u"server.pem"_s;
        config.setLocalCertificate(QSslCertificate(TestFixtures::read(certificate)));
        config.setPrivateKey(QSslKey(TestFixtures::read(u"server.key"_s), QSsl::Ec));
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->setSslConfiguration(config);
        connect(server, &QSslServer::errorOccurred, this, [this] { ++m_failedHandshakes; });
        m_server = server;
    } else {
        m_server = new QTcpServer(this);
    }
    // QSslServer emits newConnection on accept but queues the socket only after its handshake.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this,
            &TestHttpServer::acceptPending);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        qFatal("test server: %s", qPrintable(m_server->errorString()));
    m_port = m_server->serverPort();

    m_streamTicker.setInterval(streamTick);
    m_streamTicker.setTimerType(Qt::PreciseTimer);
    connect(&m_streamTicker, &QTimer::timeout, this, &TestHttpServer::feedStreams);
}

TestHttpServer::~TestHttpServer()
{
    // The sockets die with m_server, after the map they would report to.
    for (const auto &[socket, connection] : m_connections)
        socket->disconnect(this);
}

quint16 TestHttpServer::port() const
{
    return m_port;
}

QUrl TestHttpServer::url(const QString &path, Host host) const
{
    return QUrl((m_tls != Tls::No ? u"https://"_s : u"http://"_s)
                % (host == Host::Localhost ? u"localhost"_s : u"127.0.0.1"_s) % u':'
                % QString::number(port()) % path);
}

void TestHttpServer::route(const QString &path, const Response &response)
{
    if (m_streams.erase(path) > 0)
        dropStreamConnections(path);
    m_routes.insert(path, response);
}

int TestHttpServer::requestCount(const QString &path) const
{
    const QByteArray wanted = path.toUtf8();
    return static_cast<int>(
        std::count_if(m_requests.cbegin(), m_requests.cend(), [&wanted](const Request &request) {
            return request.target == wanted || withoutQuery(request.target) == wanted;
        }));
}

void TestHttpServer::stream(const QString &path, const StreamOptions &options)
{
    Q_ASSERT(!options.audio.isEmpty());
    m_routes.remove(path);
    dropStreamConnections(path);
    m_streams[path] = StreamRoute{ .options = options };
}

void TestHttpServer::setStreamTitle(const QString &path, const QString &title)
{
    const auto found = m_streams.find(path);
    if (found == m_streams.end())
        return;
    found->second.title = title;
    for (QTcpSocket *socket : listenersOf(path)) {
        if (Connection *connection = connectionOf(socket); connection->icy)
            connection->icy->setTitle(title);
    }
}

int TestHttpServer::openStreamConnections(const QString &path) const
{
    return static_cast<int>(listenersOf(path).size());
}

void TestHttpServer::dropStreamConnections(const QString &path)
{
    for (QTcpSocket *socket : listenersOf(path))
        abort(socket);
}

void TestHttpServer::setStreamPaused(const QString &path, bool paused)
{
    if (const auto found = m_streams.find(path); found != m_streams.end())
        found->second.paused = paused;
}

void TestHttpServer::acceptPending()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto connection = std::make_unique<Connection>();
        m_connections.emplace(socket, std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        if (socket->state() != QAbstractSocket::ConnectedState)
            forget(socket);
        else if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void TestHttpServer::readFrom(QTcpSocket *socket)
{
    const QByteArray data = socket->readAll();
    Connection *connection = connectionOf(socket);
    // Listeners have nothing more to say that matters.
    if (!connection || !connection->stream.isEmpty())
        return;
    connection->input += data;
    serveWaiting(socket);
}

void TestHttpServer::serveWaiting(QTcpSocket *socket)
{
    // Looks the connection up afresh each time: answering or a requestReceived slot may end it.
    for (Connection *connection; (connection = connectionOf(socket)) && !connection->busy;) {
        Request request;
        switch (HttpRequest::take(connection->input, request)) {
        case HttpRequest::Parse::Incomplete:
            return;
        case HttpRequest::Parse::Malformed:
            connection->busy = true;
            socket->write(headOf({ .status = 400 }, false));
            socket->disconnectFromHost();
            return;
        case HttpRequest::Parse::Complete:
            break;
        }
        m_requests.append(request);
        connection->busy = true;
        dispatch(socket, request);
        Q_EMIT requestReceived(request);
    }
}

void TestHttpServer::dispatch(QTcpSocket *socket, const Request &request)
{
    const QString target = QString::fromUtf8(request.target);
    const QString path = QString::fromUtf8(withoutQuery(request.target));
    if (m_streams.contains(path)) {
        startStream(socket, path, request);
        return;
    }
    const auto found
        = m_routes.contains(target) ? m_routes.constFind(target) : m_routes.constFind(path);
    const Response response = found != m_routes.cend()
        ? *found
        : Response{ .status = 404,
                    .headers = { { "Content-Type", "text/plain" } },
                    .body = "not found\n" };
    const bool keepAlive = request.keepsAlive()
        && httpHeader(response.headers, "Connection").compare("close", Qt::CaseInsensitive) != 0;
    if (response.delay > 0ms) {
        QTimer::singleShot(response.delay, socket, [this, socket, response, path, keepAlive] {
            respond(socket, response, path, keepAlive);
        });
    } else {
        respond(socket, response, path, keepAlive);
    }
}

void TestHttpServer::respond(QTcpSocket *socket, const Response &response, const QString &path,
                             bool keepAlive)
{
    if (!connectionOf(socket))
        return;
    switch (response.mode) {
    case Response::Mode::NeverAnswer:
        return;
    case Response::Mode::CloseWithoutAnswer:
        socket->disconnectFromHost();
        return;
    case Response::Mode::TrickleThenStall:
        socket->write(headOf(response, keepAlive));
        trickle(socket, response);
        return;
    case Response::Mode::Answer:
        break;
    }
    if (response.paddedTo > response.body.size() && !hasNoBody(response.status)) {
        pad(socket, response, path, keepAlive);
        return;
    }
    socket->write(headOf(response, keepAlive) + bodyOf(response));
    endAnswer(socket, keepAlive);
}

void TestHttpServer::endAnswer(QTcpSocket *socket, bool keepAlive)
{
    if (!keepAlive) {
        socket->disconnectFromHost();
        return;
    }
    connectionOf(socket)->busy = false;
    serveWaiting(socket);
}

void TestHttpServer::pad(QTcpSocket *socket, const Response &response, const QString &path,
                         bool keepAlive)
{
    const auto frame = [chunked = response.chunked](QByteArrayView piece) -> QByteArray {
        if (!chunked || piece.isEmpty())
            return piece.toByteArray();
        return QByteArray::number(piece.size(), 16) + "\r\n" + piece.toByteArray() + "\r\n";
    };
    socket->write(headOf(response, keepAlive) + frame(response.body));
    // Refilled as the socket drains, and gone with the socket when the client hangs up.
    auto *pump = new QObject(socket);
    auto left = std::make_shared<qint64>(response.paddedTo - response.body.size());
    const auto refill
        = [this, socket, pump, frame, path, keepAlive, left, chunked = response.chunked] {
              static const QByteArray spaces(paddingPieceBytes, ' ');
              while (*left > 0 && socket->bytesToWrite() < paddingWindowBytes) {
                  const qsizetype piece = std::min<qint64>(*left, spaces.size());
                  socket->write(frame(QByteArrayView(spaces).first(piece)));
                  *left -= piece;
                  m_paddingSent[path] += piece;
              }
              if (*left != 0)
                  return;
              *left = -1; // answered
              pump->deleteLater();
              if (chunked)
                  socket->write("0\r\n\r\n");
              endAnswer(socket, keepAlive);
          };
    connect(socket, &QTcpSocket::bytesWritten, pump, refill);
    refill();
}

void TestHttpServer::trickle(QTcpSocket *socket, const Response &response)
{
    auto *timer = new QTimer(socket);
    timer->setInterval(response.trickleInterval);
    QByteArray rest = bodyOf(response).left(response.trickleBytes);
    connect(timer, &QTimer::timeout, socket, [this, socket, timer, rest]() mutable {
        if (!connectionOf(socket) || rest.isEmpty()) {
            timer->deleteLater();
            return;
        }
        socket->write(rest.first(1));
        rest.remove(0, 1);
    });
    timer->start();
}

void TestHttpServer::startStream(QTcpSocket *socket, const QString &path, const Request &request)
{
    Connection &connection = *connectionOf(socket);
    const StreamRoute &route = m_streams.at(path);
    const StreamOptions &options = route.options;
    QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: " + options.contentType
        + "\r\nicy-name: Test Radio\r\nicy-br: "
        + QByteArray::number(options.bytesPerSecond * 8 / 1000) + "\r\nCache-Control: no-cache\r\n";
    if (request.header("Icy-MetaData") == "1" && options.metaInt > 0) {
        connection.icy.emplace(options.metaInt);
        connection.icy->setRepeating(options.repeatTitle);
        if (route.title)
            connection.icy->setTitle(*route.title);
        head += "icy-metaint: " + QByteArray::number(options.metaInt) + "\r\n";
    }
    socket->write(head + "\r\n");

    connection.stream = path;
    connection.audioOffset = options.joinAt % options.audio.size();
    connection.pendingHeader = options.header;
    connection.lastFed = Clock::now();
    connection.owedByteNanos
        = options.burst.count() * options.bytesPerSecond * (nanosPerSecond / 1000);
    feed(socket, connection, connection.lastFed);
    m_streamTicker.start();
}

void TestHttpServer::feedStreams()
{
    const auto now = Clock::now();
    bool anyListener = false;
    for (const auto &[socket, connection] : m_connections) {
        if (!connection->stream.isEmpty()) {
            anyListener = true;
            feed(socket, *connection, now);
        }
    }
    if (!anyListener)
        m_streamTicker.stop();
}

void TestHttpServer::feed(QTcpSocket *socket, Connection &connection, Clock::time_point now)
{
    const StreamRoute &route = m_streams.at(connection.stream);
    const QByteArray &audio = route.options.audio;
    const qint64 elapsedNanos = std::chrono::nanoseconds(now - connection.lastFed).count();
    connection.lastFed = now;
    // A paused stream or a listener that stopped reading earns no audio meanwhile.
    if (route.paused || socket->bytesToWrite() > route.options.bytesPerSecond || audio.isEmpty())
        return;
    connection.owedByteNanos += elapsedNanos * route.options.bytesPerSecond;
    qsizetype due = connection.owedByteNanos / nanosPerSecond;
    if (std::exchange(connection.firstFeed, false) && route.options.firstPiece > 0)
        due = std::min(due, route.options.firstPiece);
    connection.owedByteNanos -= due * nanosPerSecond;

    QByteArray out;
    out.reserve(due);
    const qsizetype header = std::min(due, connection.pendingHeader.size());
    out.append(connection.pendingHeader.first(header));
    connection.pendingHeader.remove(0, header);
    due -= header;
    while (due > 0) {
        const qsizetype take = std::min(due, audio.size() - connection.audioOffset);
        out.append(QByteArrayView(audio).sliced(connection.audioOffset, take));
        connection.audioOffset = (connection.audioOffset + take) % audio.size();
        due -= take;
    }
    if (!out.isEmpty())
        socket->write(connection.icy ? connection.icy->wrap(out) : out);
}

void TestHttpServer::abort(QTcpSocket *socket)
{
    forget(socket);
    socket->abort();
}

void TestHttpServer::forget(QTcpSocket *socket)
{
    if (m_connections.erase(socket) > 0)
        socket->deleteLater();
}

QList<QTcpSocket *> TestHttpServer::listenersOf(const QString &path) const
{
    QList<QTcpSocket *> listeners;
    for (const auto &[socket, connection] : m_connections) {
        if (connection->stream == path)
            listeners.append(socket);
    }
    return listeners;
}

TestHttpServer::Connection *TestHttpServer::connectionOf(QTcpSocket *socket) const
{
    const auto found = m_connections.find(socket);
    return found == m_connections.end() ? nullptr : found->second.get();
}
