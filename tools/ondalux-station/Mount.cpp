#include "Mount.h"

#include <QSslSocket>

#include <cmath>

namespace {

constexpr auto tick = std::chrono::milliseconds(40);
// A listener this far behind has stopped reading (paused); it earns no audio meanwhile.
constexpr qint64 maxBacklogBytes = 4 * Mount::bytesPerSecond;

} // namespace

Mount::Mount(QByteArray name, QByteArray genre, std::chrono::milliseconds burst, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_genre(std::move(genre))
    , m_burst(burst)
{
    m_clock.start();
    m_ticker.setInterval(tick);
    m_ticker.setTimerType(Qt::PreciseTimer);
    connect(&m_ticker, &QTimer::timeout, this, &Mount::feedAll);
}

Mount::~Mount()
{
    for (const auto &[socket, listener] : m_listeners) {
        socket->disconnect(this);
        socket->abort();
    }
}

void Mount::setTrack(const Mp3Audio &audio, const QString &title)
{
    m_audio = audio;
    m_title = title;
    ++m_track;
    m_trackStartedMs = m_clock.elapsed();
    for (auto &[socket, listener] : m_listeners) {
        if (listener.icy)
            listener.icy->setTitle(title);
    }
}

void Mount::adopt(QSslSocket *socket, const HttpRequest &request)
{
    Listener listener;
    QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: " + m_name
        + "\r\nicy-genre: " + m_genre + "\r\nicy-br: 128\r\nicy-pub: 0\r\n"
        + "Cache-Control: no-cache, no-store\r\nServer: ondalux-station\r\n";
    if (request.header("Icy-MetaData").trimmed() == "1") {
        listener.icy.emplace(metaInt);
        listener.icy->setTitle(m_title);
        head += "icy-metaint: " + QByteArray::number(metaInt) + "\r\n";
    }
    socket->write(head + "\r\n");
    if (request.method == "HEAD" || m_audio.frameCount() == 0) {
        socket->disconnectFromHost();
        return;
    }

    // Joins the track where it is now, as a live listener would.
    const qint64 nowMs = m_clock.elapsed();
    const double playedSeconds = static_cast<double>(nowMs - m_trackStartedMs) / 1000.0;
    listener.track = m_track;
    listener.frame = static_cast<qsizetype>(std::floor(playedSeconds / m_audio.frameSeconds))
        % m_audio.frameCount();
    listener.owedBytes = m_burst.count() * bytesPerSecond;
    listener.lastFedMs = nowMs;
    connect(socket, &QSslSocket::disconnected, this, [this, socket] { m_listeners.erase(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_listeners.erase(socket); });
    auto &added = m_listeners[socket] = std::move(listener);
    feed(socket, added, nowMs);
    m_ticker.start();
}

void Mount::feedAll()
{
    if (m_listeners.empty()) {
        m_ticker.stop();
        return;
    }
    const qint64 nowMs = m_clock.elapsed();
    for (auto &[socket, listener] : m_listeners)
        feed(socket, listener, nowMs);
}

void Mount::feed(QSslSocket *socket, Listener &listener, qint64 nowMs)
{
    const qint64 elapsedMs = nowMs - listener.lastFedMs;
    listener.lastFedMs = nowMs;
    if (socket->bytesToWrite() > maxBacklogBytes || m_audio.frameCount() == 0)
        return;
    listener.owedBytes += elapsedMs * bytesPerSecond;
    QByteArray out;
    for (;;) {
        if (listener.track != m_track) {
            listener.track = m_track;
            listener.frame = 0;
        }
        const QByteArrayView frame = m_audio.frame(listener.frame % m_audio.frameCount());
        if (listener.owedBytes < frame.size() * 1000)
            break;
        listener.owedBytes -= frame.size() * 1000;
        listener.frame = (listener.frame + 1) % m_audio.frameCount();
        out.append(frame);
    }
    if (!out.isEmpty())
        socket->write(listener.icy ? listener.icy->wrap(out) : out);
}
