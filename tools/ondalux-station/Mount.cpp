#include "Mount.h"

#include "ToneComposer.h"

#include <QSslSocket>

#include <cmath>

namespace {

constexpr auto tick = std::chrono::milliseconds(40);
// A listener this far behind has stopped reading (paused); it earns no audio meanwhile.
constexpr qint64 maxBacklogBytes = 4 * Mount::bytesPerSecond;

} // namespace

Mount::Mount(QByteArray name, QByteArray genre, std::chrono::milliseconds burst,
             std::chrono::milliseconds leadIn, QObject *parent)
    : QObject(parent)
    , m_name(std::move(name))
    , m_genre(std::move(genre))
    , m_burst(burst)
{
    if (leadIn.count() > 0) {
        const auto frames = leadIn.count() * ToneComposer::sampleRate / 1000;
        const QByteArray silence(frames * ToneComposer::channels * 2, '\0');
        m_leadIn = Mp3Encoder::encode(silence, ToneComposer::sampleRate, ToneComposer::channels)
                       .value_or(Mp3Audio{});
    }
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
    listener.leadInFrame = m_leadIn.frameCount();
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
    std::optional<IcyFraming> &icy = listener.icy;
    for (;;) {
        const qsizetype frames = m_audio.frameCount();
        const bool inLeadIn = listener.leadInFrame < m_leadIn.frameCount();
        QByteArrayView frame = inLeadIn ? m_leadIn.frame(listener.leadInFrame)
                                        : m_audio.frame(listener.frame % frames);
        // Switching where the next block falls inside the new track's first frame puts the
        // title at most one frame after the audio it names.
        const auto untilBlock = [&icy, queued = out.size()] {
            const qsizetype past = queued - icy->untilBlock();
            return past < 0 ? -past : metaInt - past % metaInt;
        };
        if (listener.track != m_track && (!icy || untilBlock() < frame.size())) {
            listener.track = m_track;
            listener.frame = 0;
            listener.leadInFrame = 0;
            continue;
        }
        if (listener.owedBytes < frame.size() * 1000)
            break;
        listener.owedBytes -= frame.size() * 1000;
        if (inLeadIn)
            ++listener.leadInFrame;
        else
            listener.frame = (listener.frame + 1) % frames;
        out.append(frame);
    }
    if (!out.isEmpty())
        socket->write(icy ? icy->wrap(out) : out);
}
