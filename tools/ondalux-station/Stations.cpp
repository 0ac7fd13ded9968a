#include "Stations.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

using namespace Qt::StringLiterals;

Stations::Stations(const StationOptions &options, const QSslConfiguration &tls, Print print)
    : m_print(std::move(print))
    , m_softorbit(DemoTracks::softorbit(), options.trackLength)
    , m_radiobeatloom(DemoTracks::radiobeatloom(), options.trackLength)
    , m_softorbitMount(m_softorbit.station().name.toUtf8(), m_softorbit.station().genre.toUtf8(),
                       options.burst, options.leadIn)
    , m_radiobeatloomMount(m_radiobeatloom.station().name.toUtf8(),
                           m_radiobeatloom.station().genre.toUtf8(), options.burst, options.leadIn)
    , m_streams(u"stream"_s, tls,
                [this](const HttpRequest &request, QSslSocket *socket) {
                    return answerStream(request, socket);
                })
    , m_softorbitWeb(u"softorbit"_s, tls,
                     [this](const HttpRequest &request, QSslSocket *) {
                         return std::optional(m_softorbit.answer(request));
                     })
    , m_radiobeatloomWeb(u"radiobeatloom"_s, tls, [this](const HttpRequest &request, QSslSocket *) {
        return std::optional(m_radiobeatloom.answer(request));
    })
{
    for (auto [programme, mount] : { std::pair{ &m_softorbit, &m_softorbitMount },
                                     std::pair{ &m_radiobeatloom, &m_radiobeatloomMount } }) {
        QObject::connect(programme, &Programme::trackChanged, mount,
                         [this, programme = programme, mount = mount] { air(*programme, *mount); });
    }
    if (!options.logRequests)
        return;
    for (HttpsHost *host : { &m_streams, &m_softorbitWeb, &m_radiobeatloomWeb }) {
        QObject::connect(host, &HttpsHost::requestReceived, host,
                         [this](const QString &name, const HttpRequest &request) {
                             m_print(u"request "_s + name + u' '
                                     + QString::fromLatin1(request.method) + u' '
                                     + QString::fromLatin1(request.target));
                         });
    }
}

QString Stations::listen(const StationOptions &options)
{
    for (auto [host, port] : { std::pair{ &m_streams, options.streamPort },
                               std::pair{ &m_softorbitWeb, options.softorbitPort },
                               std::pair{ &m_radiobeatloomWeb, options.radiobeatloomPort } }) {
        if (!host->listen(port)) {
            return u"cannot listen on 127.0.0.1:%1 for the %2 host: %3"_s.arg(port).arg(
                host->name(), host->errorString());
        }
    }
    return {};
}

void Stations::start()
{
    // Tracks on the air first; the rest follow on worker threads in the order they will air.
    for (int ahead = 0; ahead < m_softorbit.station().tracks.size(); ++ahead) {
        m_audio.prepare(m_softorbit.aired(-ahead));
        m_audio.prepare(m_radiobeatloom.aired(-ahead));
    }
    air(m_softorbit, m_softorbitMount);
    air(m_radiobeatloom, m_radiobeatloomMount);
    m_softorbit.start();
    m_radiobeatloom.start();
    // The first cover waits for the font system; better now than in a listener's request.
    QTimer::singleShot(0, &m_softorbit, [this] {
        m_softorbit.drawCover();
        m_radiobeatloom.drawCover();
    });
}

QString Stations::readyLine() const
{
    return u"ready stream=%1 softorbit=%2 radiobeatloom=%3"_s.arg(m_streams.port())
        .arg(m_softorbitWeb.port())
        .arg(m_radiobeatloomWeb.port());
}

std::optional<HttpReply> Stations::answerStream(const HttpRequest &request, QSslSocket *socket)
{
    const QString path = request.path();
    Mount *mount = path == u"/softorbit"_s ? &m_softorbitMount
        : path == u"/radiobeatloom"_s      ? &m_radiobeatloomMount
                                           : nullptr;
    if (mount == nullptr)
        return HttpReply::notFound();
    mount->adopt(socket, request);
    return std::nullopt;
}

void Stations::air(const Programme &programme, Mount &mount)
{
    const DemoTrack &track = programme.current();
    mount.setTrack(m_audio.audio(track), programme.streamTitle());
    const QJsonObject line{ { u"index"_s, programme.currentIndex() },
                            { u"slug"_s, track.slug },
                            { u"artist"_s, track.artist },
                            { u"title"_s, track.title },
                            { u"mix"_s, track.mix } };
    m_print(u"track "_s + programme.station().id + u' '
            + QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)));
}
