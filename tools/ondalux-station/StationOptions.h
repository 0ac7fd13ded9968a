#pragma once

#include <QString>

#include <chrono>
#include <variant>

class QCoreApplication;

// The command line of ondalux-station.
struct StationOptions
{
    quint16 streamPort = 8443;
    quint16 softorbitPort = 8444;
    quint16 radiobeatloomPort = 8445;
    QString certificate;
    QString key;
    std::chrono::milliseconds trackLength{ 30'000 };
    std::chrono::milliseconds burst{ 3'000 };
    std::chrono::milliseconds leadIn{ 0 };
    bool logRequests = false;
};

// The options given to `app`, or what is wrong with them. Exits for --help.
std::variant<StationOptions, QString> parseStationOptions(const QCoreApplication &app);
