#include "ondalux2025App.h"

#include "BuildConfig.h"
#include "MacRootView.h"
#include "MediaRuntime.h"
#include "MprisController.h"
#include "MprisExport.h"
#include "NowPlayingInfoCenter.h"
#include "RemoteCommandCenter.h"
#include "TerminationSignals.h"
#include "TlsTrust.h"

#include <QApplication>
#include <QIcon>

#include <malloc.h>

int ondalux2025App::main(int argc, char *argv[])
{
    // Each thread that allocates would get an arena of its own, which keeps what it freed (a
    // decoded cover on a worker, say), and glibc raises the size it maps apart each time a large
    // block is freed, so later covers stay in the arenas too. Two arenas and a fixed threshold
    // hand large blocks back to the system as they are freed.
    mallopt(M_ARENA_MAX, 2);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    MediaRuntime::initializeInBackground();
    QApplication app(argc, argv);
    TerminationSignals::quitOnTermination();
    configure();
    std::unique_ptr<MacRootView> window = makeWindow();
    window->show();
    // Offered once the window shows; ends before the window, taking its artwork files along.
    const std::unique_ptr<MprisExport> desktop = exportToDesktop(*window);
    return QApplication::exec();
}

void ondalux2025App::configure()
{
    QApplication::setApplicationName(QStringLiteral("Ondalux"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ondalux"));
    QApplication::setApplicationVersion(QStringLiteral(ONDALUX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ondalux"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ondalux.svg")));
    TlsTrust::installBuildAuthority(BuildConfig::extraAuthorityPem());
}

std::unique_ptr<MacRootView> ondalux2025App::makeWindow()
{
    return std::make_unique<MacRootView>();
}

std::unique_ptr<MprisExport> ondalux2025App::exportToDesktop(QWidget &window)
{
    auto desktop = std::make_unique<MprisExport>(NowPlayingInfoCenter::defaultCenter(),
                                                 RemoteCommandCenter::sharedCommandCenter());
    QObject::connect(&desktop->controller(), &MprisController::raiseRequested, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&desktop->controller(), &MprisController::quitRequested,
                     QCoreApplication::instance(), &QCoreApplication::quit);
    return desktop;
}
