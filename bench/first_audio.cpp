// Time from play() to the first audio reaching the output, against a local ICY server, with
// and without an Icecast-like connect burst. Prints medians over the runs.
#include "BenchStats.h"
#include "GstStreamPlayer.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr int runs = 10;

QList<double> measure(std::chrono::milliseconds burst)
{
    TestHttpServer server;
    TestHttpServer::StreamOptions stream;
    stream.audio = TestFixtures::read(QStringLiteral("tone-a.mp3"));
    stream.burst = burst;
    server.stream(QStringLiteral("/live"), stream);

    QList<double> samples;
    for (int run = 0; run < runs; ++run) {
        GstStreamPlayer player;
        QEventLoop loop;
        QElapsedTimer timer;
        QObject::connect(&player, &GstStreamPlayer::audioStarted, &loop, [&] {
            samples << timer.nsecsElapsed() / 1e6;
            loop.quit();
        });
        QTimer::singleShot(10s, &loop, &QEventLoop::quit);
        player.replaceCurrentItem(server.url(QStringLiteral("/live")));
        timer.start();
        player.play();
        loop.exec();
    }
    return samples;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    printStats("play to first audio, server sends at the real rate", measure(0ms));
    printStats("play to first audio, 4 s connect burst", measure(4s));
    return 0;
}
