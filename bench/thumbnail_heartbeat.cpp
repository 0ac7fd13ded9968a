// Whether hostile covers can stall the window: ten thumbnails load covers a station might send
// to hurt (60,000 x 256 strips and 16-bit PNGs, small as downloads), while a 10 ms timer on the
// main thread notes the longest gap between its ticks. Each round starts with an empty cache.
#include "ArtworkThumb.h"
#include "BenchStats.h"
#include "HttpSession.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

using namespace std::chrono_literals;

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int rounds = 10;
    constexpr int covers = 10;

    TestHttpServer server;
    const QByteArray strip = TestFixtures::pngFilled(QSize(60000, 256));
    const QByteArray deep = TestFixtures::pngFilled(QSize(2048, 2048), 16);
    for (int i = 0; i < covers; ++i) {
        server.route(QStringLiteral("/cover/%1.png").arg(i),
                     TestHttpServer::bytes(i % 2 ? deep : strip, "image/png"));
    }

    QList<double> longestGaps;
    QList<double> loadTimes;
    for (int round = 0; round < rounds; ++round) {
        HttpSession session;
        QWidget list;
        auto *column = new QVBoxLayout(&list);
        QList<ArtworkThumb *> thumbs;
        for (int i = 0; i < covers; ++i) {
            thumbs << new ArtworkThumb(server.url(QStringLiteral("/cover/%1.png").arg(i)), session,
                                       &list);
            column->addWidget(thumbs.last());
        }
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(10ms);
        QObject::connect(&heartbeat, &QTimer::timeout, &list, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
        });
        clock.start();
        heartbeat.start();
        list.show();
        const auto settled = [&] {
            return std::none_of(thumbs.begin(), thumbs.end(), [](ArtworkThumb *thumb) {
                return thumb->phase() == ArtworkThumb::Phase::Loading;
            });
        };
        while (!settled() && clock.elapsed() < 60'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        loadTimes << double(clock.elapsed());
        longestGaps << double(std::max(longest, clock.elapsed() - lastTick));
    }
    printStats("ten hostile covers loaded", loadTimes);
    printStats("longest main-thread heartbeat gap (10 ms timer)", longestGaps);
    return 0;
}
