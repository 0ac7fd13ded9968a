#pragma once

#include "HttpsHost.h"
#include "Mount.h"
#include "Programme.h"
#include "StationOptions.h"
#include "TrackAudio.h"

#include <functional>

class QSslConfiguration;

// Both stations: their programmes, their mounts on the streaming host and their web hosts,
// wired together. Main thread.
class Stations
{
public:
    // Receives each line the station reports: "track STATION {json}", "request HOST ...".
    using Print = std::function<void(const QString &line)>;

    Stations(const StationOptions &options, const QSslConfiguration &tls, Print print);

    // Listens on the three ports; an error text when one cannot be had.
    QString listen(const StationOptions &options);
    // Puts the first tracks on the air and starts the rotation.
    void start();
    // "ready stream=P softorbit=P radiobeatloom=P", the ports listened on.
    QString readyLine() const;

private:
    std::optional<HttpReply> answerStream(const HttpRequest &request, QSslSocket *socket);
    void air(const Programme &programme, Mount &mount);

    Print m_print;
    TrackAudio m_audio;
    Programme m_softorbit;
    Programme m_radiobeatloom;
    Mount m_softorbitMount;
    Mount m_radiobeatloomMount;
    // Last, so they go first: no request arrives while the rest is torn down.
    HttpsHost m_streams;
    HttpsHost m_softorbitWeb;
    HttpsHost m_radiobeatloomWeb;
};
