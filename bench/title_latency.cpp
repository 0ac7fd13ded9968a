// How soon a new ICY StreamTitle shows: from the moment its audio is heard to nowPlaying
// holding the new track's text. The server sends a metadata block after every second of audio
// and a 4 s burst on connect, so a block's audio plays on a whole second of the stream and
// arrives seconds before it plays.
#include "BenchStats.h"
#include "GstStreamPlayer.h"
#include "HttpSession.h"
#include "NowPlayingInfoCenter.h"
#include "RadioPlayer.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

using namespace std::chrono_literals;

namespace {

void waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int changes = 10;
    constexpr int bytesPerSecond = 16000;

    TestHttpServer server;
    TestHttpServer::StreamOptions stream;
    stream.audio = TestFixtures::read(QStringLiteral("tone-a.mp3"));
    stream.bytesPerSecond = bytesPerSecond;
    stream.metaInt = bytesPerSecond;
    stream.burst = 4s;
    server.stream(QStringLiteral("/live"), stream);
    server.route(QStringLiteral("/song.json"), TestHttpServer::json("{}"));

    HttpSession session;
    NowPlayingInfoCenter center;
    GstStreamPlayer gst;
    RadioPlayer player(gst, center, session);
    const Station station(QStringLiteral("Bench"), server.url(QStringLiteral("/live")),
                          QStringLiteral("SoftorbitArt"), server.url(QStringLiteral("/song.json")),
                          server.url(QStringLiteral("/lastTen.json")));

    QElapsedTimer clock;
    clock.start();
    qint64 announcedAt = -1;
    qint64 positionAtAnnouncement = 0;
    QObject::connect(&gst, &StreamPlayer::timedMetadata, &app, [&] {
        announcedAt = clock.nsecsElapsed();
        positionAtAnnouncement = gst.position().count();
    });

    QList<double> offsets; // announcement against the block's place in the stream
    QList<double> toText; // announcement to the new text
    QList<double> heardToText;
    player.play(station);
    waitFor([&] { return server.requestCount(QStringLiteral("/song.json")) == 1; }, 5s);
    for (int change = 1; change <= changes; ++change) {
        const QString artist = QStringLiteral("Artist %1").arg(change);
        server.route(
            QStringLiteral("/song.json"),
            TestHttpServer::json("{\"artist\":\"" + artist.toUtf8() + "\",\"title\":\"T\"}"));
        announcedAt = -1;
        server.setStreamTitle(QStringLiteral("/live"), artist);
        waitFor([&] { return player.nowPlaying().startsWith(artist); }, 15s);
        if (announcedAt < 0)
            continue;
        const double textAt = clock.nsecsElapsed() / 1e6;
        const double blockAt = std::round(positionAtAnnouncement / 1000.0) * 1000.0;
        const double offset = positionAtAnnouncement - blockAt;
        offsets << std::abs(offset);
        toText << textAt - announcedAt / 1e6;
        heardToText << textAt - announcedAt / 1e6 + offset;
    }
    printStats("announcement against its audio's place in the stream (absolute)", offsets);
    printStats("announcement to nowPlaying updated", toText);
    printStats("audio of a new StreamTitle heard to nowPlaying updated", heardToText);
    return 0;
}
