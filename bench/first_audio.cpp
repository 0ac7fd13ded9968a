// Time from play() to the first audio reaching the output, against a local ICY server, with
// and without an Icecast-like connect burst. Prints medians over the runs.
#include "BenchStats.h"
#include "GstStreamPlayer.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "TlsTrust.h"

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

// One player switching between two stations, as a listener does: replaceCurrentItem() and
// play() to the new station's first audio. The slowest switch is the figure to watch.
QList<double> measureSwitches(int switches, TestHttpServer::Tls tls)
{
    TestHttpServer server(tls);
    TestHttpServer::StreamOptions stream;
    stream.burst = 4s;
    stream.audio = TestFixtures::read(QStringLiteral("tone-a.mp3"));
    server.stream(QStringLiteral("/a"), stream);
    stream.audio = TestFixtures::read(QStringLiteral("tone-b.mp3"));
    server.stream(QStringLiteral("/b"), stream);

    GstStreamPlayer player;
    QEventLoop loop;
    QElapsedTimer timer;
    QTimer next; // gives up on a switch, or listens a while after its audio
    next.setSingleShot(true);
    QObject::connect(&next, &QTimer::timeout, &loop, &QEventLoop::quit);
    QList<double> samples;
    QObject::connect(&player, &GstStreamPlayer::audioStarted, &loop, [&] {
        samples << timer.nsecsElapsed() / 1e6;
        next.start(700ms);
    });
    for (int run = 0; run <= switches; ++run) {
        next.start(10s);
        timer.start();
        player.replaceCurrentItem(server.url(QString::fromLatin1(run % 2 == 0 ? "/a" : "/b"),
                                             TestHttpServer::Host::Localhost));
        player.play();
        loop.exec();
    }
    samples.removeFirst(); // the first start, not a switch
    return samples;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    printStats("play to first audio, server sends at the real rate", measure(0ms));
    printStats("play to first audio, 4 s connect burst", measure(4s));
    printStats("station switch to first audio, 4 s connect burst",
               measureSwitches(40, TestHttpServer::Tls::No));
    TlsTrust::trustInAddition(TestFixtures::read(QStringLiteral("ca.pem")));
    printStats("station switch to first audio, 4 s connect burst, TLS",
               measureSwitches(40, TestHttpServer::Tls::Yes));
    return 0;
}
