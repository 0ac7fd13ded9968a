// How long Ondalux's main thread is ever busy at once, in the program as it ships: start-up, the
// first play, track changes with new covers and the last-ten list reloading its covers, and a
// volume drag. A 1 ms timer notes the gaps between its ticks, and every event delivered is timed,
// so the longest tasks can be named. Needs the demo station with short tracks: run it through
// `bench/compare main-thread`.
#include "MacRootView.h"
#include "MediaRuntime.h"
#include "MprisExport.h"
#include "ondalux2025App.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Task
{
    qint64 micros;
    QByteArray what;
};

struct Phase
{
    const char *name;
    qint64 longestGap = 0; // microseconds between heartbeat ticks
    std::vector<Task> tasks; // event deliveries of 8 ms or more
};

class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    Phase *phase = nullptr;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth > 0 || phase == nullptr)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        // Named before: the receiver may be gone after.
        const QByteArray what = QByteArray(receiver->metaObject()->className()) + ' '
            + receiver->objectName().toUtf8() + " event " + QByteArray::number(event->type());
        const bool result = QApplication::notify(receiver, event);
        const qint64 micros = clock.nsecsElapsed() / 1000;
        --m_depth;
        if (micros >= 8000)
            phase->tasks.push_back({ micros, what });
        return result;
    }

private:
    int m_depth = 0;
};

template<typename T> T *findByTip(QWidget &window, const QString &tip)
{
    const QList<T *> all = window.findChildren<T *>();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&tip](T *widget) { return widget->toolTip() == tip; });
    return found == all.end() ? nullptr : *found;
}

} // namespace

int main(int argc, char *argv[])
{
    MediaRuntime::initializeInBackground(); // as the program's main() does
    TimedApplication app(argc, argv);
    std::vector<Phase> phases;
    for (const char *name : { "start-up, list and covers loading (4 s)",
                              "play: first audio, song info, cover, panel file (4 s)",
                              "track changes with new covers, list reloads (14 s)",
                              "volume drag, 200 steps at 8 ms" }) {
        phases.push_back({ name, 0, {} });
    }
    std::size_t current = 0;
    app.phase = &phases[current];

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1ms);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000;
        phases[current].longestGap = std::max(phases[current].longestGap, now - lastTick);
        lastTick = now;
    });
    heartbeat.start();

    // Start-up runs before the event loop turns: its steps are timed one by one.
    QElapsedTimer step;
    step.start();
    ondalux2025App::configure();
    const double configured = step.nsecsElapsed() / 1e6;
    const std::unique_ptr<MacRootView> window = ondalux2025App::makeWindow();
    const double made = step.nsecsElapsed() / 1e6;
    window->show();
    const double shown = step.nsecsElapsed() / 1e6;
    const std::unique_ptr<MprisExport> desktop = ondalux2025App::exportToDesktop(*window);
    const double exported = step.nsecsElapsed() / 1e6;

    const auto next = [&] {
        if (current + 1 < phases.size())
            app.phase = &phases[++current];
    };
    QTimer::singleShot(4s, [&] {
        next();
        if (auto *play = findByTip<QAbstractButton>(*window, QObject::tr("Play")))
            play->click();
        else
            std::fputs("main_thread: no play button\n", stderr);
    });
    QTimer::singleShot(8s, next);
    QTimer::singleShot(22s, [&] {
        next();
        auto *slider = window->findChild<QSlider *>();
        auto *drag = new QTimer(&app);
        drag->setTimerType(Qt::PreciseTimer);
        drag->setInterval(8ms);
        int dragged = 0;
        QObject::connect(drag, &QTimer::timeout, [&app, slider, drag, dragged]() mutable {
            // Down to silence and back, as a hand drags it.
            if (slider != nullptr)
                slider->setValue(dragged < 100 ? 1000 - dragged * 10 : (dragged - 100) * 10);
            if (++dragged == 200) {
                drag->stop();
                QTimer::singleShot(200ms, &app, &QCoreApplication::quit);
            }
        });
        drag->start();
    });
    QApplication::exec();
    app.phase = nullptr;

    std::printf("start-up before the event loop: configure %.1f ms, window made %.1f ms, shown"
                " %.1f ms, on the bus %.1f ms\n",
                configured, made - configured, shown - made, exported - shown);
    for (Phase &phase : phases) {
        std::sort(phase.tasks.begin(), phase.tasks.end(),
                  [](const Task &a, const Task &b) { return a.micros > b.micros; });
        const auto over = std::count_if(phase.tasks.begin(), phase.tasks.end(),
                                        [](const Task &task) { return task.micros > 16000; });
        std::printf("%s\n  longest heartbeat gap %.1f ms; %ld tasks over 16 ms\n", phase.name,
                    phase.longestGap / 1000.0, long(over));
        for (std::size_t i = 0; i < std::min<std::size_t>(3, phase.tasks.size()); ++i)
            std::printf("    %.1f ms  %s\n", phase.tasks[i].micros / 1000.0,
                        phase.tasks[i].what.constData());
    }
    return 0;
}
