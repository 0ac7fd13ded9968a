#pragma once

#include <memory>

class MacRootView;

// The application: one window showing the root view, opened at launch.
class ondalux2025App
{
public:
    // Runs the application until its window closes; returns the exit code.
    static int main(int argc, char *argv[]);

    // Sets the application's identity and starts its services; after QApplication exists.
    static void configure();
    // The one window. The caller shows it.
    static std::unique_ptr<MacRootView> makeWindow();
};
