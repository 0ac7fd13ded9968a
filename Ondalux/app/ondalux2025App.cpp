#include "ondalux2025App.h"

#include "MacRootView.h"
#include "MediaRuntime.h"
#include "TlsTrust.h"

#include <QApplication>

#include <cstdio>

int ondalux2025App::main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    configure();
    std::unique_ptr<MacRootView> window = makeWindow();
    window->show();
    return QApplication::exec();
}

void ondalux2025App::configure()
{
    QApplication::setApplicationName(QStringLiteral("Ondalux"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ondalux"));
    QApplication::setApplicationVersion(QStringLiteral(ONDALUX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("ondalux"));
    TlsTrust::installBuildAuthority();
    const QString mediaError = MediaRuntime::initialize();
    if (!mediaError.isEmpty())
        std::printf("Audio session error: %s\n", qUtf8Printable(mediaError));
}

std::unique_ptr<MacRootView> ondalux2025App::makeWindow()
{
    auto window = std::make_unique<MacRootView>();
    window->setMinimumSize(MacRootView::minimumWindowSize);
    return window;
}
