#pragma once

#include <memory>

class MacRootView;
class MprisExport;
class QWidget;

// The application: one window showing the root view, opened at launch.
class ondalux2025App
{
public:
    // Runs the application until its window closes or the desktop asks it to quit; returns the
    // exit code.
    static int main(int argc, char *argv[]);

    // Sets the application's identity and starts its services; after QApplication exists.
    static void configure();
    // The one window. The caller shows it.
    static std::unique_ptr<MacRootView> makeWindow();
    // Offers the player to the desktop's media panels and media keys; the desktop may raise
    // `window` and quit the application. Silently does nothing without a session bus.
    static std::unique_ptr<MprisExport> exportToDesktop(QWidget &window);
};
