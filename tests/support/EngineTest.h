#pragma once

#include "FakeStreamPlayer.h"
#include "HttpSession.h"
#include "NowPlayingInfoCenter.h"
#include "RadioPlayer.h"
#include "RemoteCommandCenter.h"
#include "Station.h"
#include "TestHttpServer.h"

#include <QObject>

#include <memory>

// A test case around the engine: a RadioPlayer on a fake stream, with real HTTP to a local
// server, whose song info names Ana's "Rain". Made afresh for each test function.
class EngineTest : public QObject
{
protected:
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<HttpSession> m_session;
    std::unique_ptr<NowPlayingInfoCenter> m_center;
    std::unique_ptr<RemoteCommandCenter> m_commands;
    std::unique_ptr<FakeStreamPlayer> m_stream;
    std::unique_ptr<RadioPlayer> m_engine;

    void makeEngine()
    {
        m_server = std::make_unique<TestHttpServer>();
        m_server->route(QStringLiteral("/songInfo.json"),
                        TestHttpServer::json(R"({"artist":"Ana","title":"Rain"})"));
        m_session = std::make_unique<HttpSession>();
        m_center = std::make_unique<NowPlayingInfoCenter>();
        m_commands = std::make_unique<RemoteCommandCenter>();
        m_stream = std::make_unique<FakeStreamPlayer>();
        m_engine = std::make_unique<RadioPlayer>(*m_stream, *m_center, *m_session, *m_commands);
    }

    // Before the next test's server takes the port, and while the stream is still there.
    void endEngine()
    {
        m_engine.reset();
        m_stream.reset();
    }

    // "Softorbit" or "Radio Beatloom" on the local server: its stream at /stream/softorbit or
    // /stream/radiobeatloom.
    Station station(const QString &name,
                    const QString &songInfoPath = QStringLiteral("/songInfo.json"),
                    const QString &lastTenPath = QStringLiteral("/lastTen.json")) const
    {
        const bool softorbit = name == QStringLiteral("Softorbit");
        return Station(name,
                       m_server->url(softorbit ? QStringLiteral("/stream/softorbit")
                                               : QStringLiteral("/stream/radiobeatloom")),
                       softorbit ? QStringLiteral("SoftorbitArt")
                                 : QStringLiteral("RadioBeatloomArt"),
                       m_server->url(songInfoPath), m_server->url(lastTenPath));
    }
};
