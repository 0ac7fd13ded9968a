// Ondalux's own start-up, unchanged, that prints "painted" once the window's first frame is on
// screen and then quits: bench/compare times it from the process's start.
#include "MacRootView.h"
#include "MediaRuntime.h"
#include "MprisExport.h"
#include "ondalux2025App.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>

namespace {

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The top-level paint ends the frame; the next turn of the loop has flushed it.
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow()) {
            QCoreApplication::instance()->removeEventFilter(this);
            QTimer::singleShot(0, [] {
                std::puts("painted");
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    MediaRuntime::initializeInBackground(); // as the program's main() does
    QApplication app(argc, argv);
    FirstPaint firstPaint;
    app.installEventFilter(&firstPaint);
    ondalux2025App::configure();
    const std::unique_ptr<MacRootView> window = ondalux2025App::makeWindow();
    window->show();
    const std::unique_ptr<MprisExport> desktop = ondalux2025App::exportToDesktop(*window);
    return QApplication::exec();
}
