#include "StationOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>

using namespace Qt::StringLiterals;

std::variant<StationOptions, QString> parseStationOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Serves Ondalux's two stations on 127.0.0.1 over HTTPS: the streams on one host, each "
        "station's song info, last ten and artwork on its own host.\nPrints \"ready stream=P "
        "softorbit=P radiobeatloom=P\" once it listens, and \"track STATION {json}\" whenever a "
        "track starts. Stops on SIGTERM or SIGINT."_s);
    parser.addHelpOption();
    const QCommandLineOption streamPort(
        u"stream-port"_s, u"Port of the streaming host (0: any free one)."_s, u"port"_s, u"8443"_s);
    const QCommandLineOption softorbitPort(u"softorbit-port"_s, u"Port of Softorbit's web host."_s,
                                           u"port"_s, u"8444"_s);
    const QCommandLineOption radiobeatloomPort(
        u"radiobeatloom-port"_s, u"Port of Radio Beatloom's web host."_s, u"port"_s, u"8445"_s);
    const QCommandLineOption certificate(u"cert"_s, u"PEM certificate of the hosts."_s, u"file"_s);
    const QCommandLineOption key(u"key"_s, u"PEM private key of the certificate."_s, u"file"_s);
    const QCommandLineOption trackSeconds(u"track-seconds"_s, u"How long each track airs."_s,
                                          u"seconds"_s, u"30"_s);
    const QCommandLineOption burstSeconds(u"burst-seconds"_s,
                                          u"Audio sent at once to a new listener, in seconds."_s,
                                          u"seconds"_s, u"3"_s);
    const QCommandLineOption leadIn(
        u"lead-in-ms"_s,
        u"Silence before each new track, in milliseconds: marks the change in the audio."_s,
        u"ms"_s, u"0"_s);
    const QCommandLineOption log(u"log"_s, u"Print \"request HOST METHOD TARGET\" per request."_s);
    parser.addOptions({ streamPort, softorbitPort, radiobeatloomPort, certificate, key,
                        trackSeconds, burstSeconds, leadIn, log });
    parser.process(app);

    StationOptions options;
    const auto port = [&parser](const QCommandLineOption &option, quint16 &into) {
        bool ok = false;
        const uint value = parser.value(option).toUInt(&ok);
        into = static_cast<quint16>(value);
        return ok && value <= 65535;
    };
    if (!port(streamPort, options.streamPort) || !port(softorbitPort, options.softorbitPort)
        || !port(radiobeatloomPort, options.radiobeatloomPort))
        return u"a port must be a number from 0 to 65535"_s;
    const auto seconds = [&parser](const QCommandLineOption &option, double minimum,
                                   std::chrono::milliseconds &into) {
        bool ok = false;
        const double value = parser.value(option).toDouble(&ok);
        into = std::chrono::milliseconds(std::llround(value * 1000));
        return ok && value >= minimum && value <= 86400;
    };
    if (!seconds(trackSeconds, 0.5, options.trackLength))
        return u"--track-seconds must be a number of seconds, at least 0.5"_s;
    if (!seconds(burstSeconds, 0, options.burst))
        return u"--burst-seconds must be a number of seconds"_s;
    bool leadInOk = false;
    const uint leadInMs = parser.value(leadIn).toUInt(&leadInOk);
    if (!leadInOk || leadInMs > 10'000)
        return u"--lead-in-ms must be a number of milliseconds up to 10000"_s;
    options.leadIn = std::chrono::milliseconds(leadInMs);
    options.certificate = parser.value(certificate);
    options.key = parser.value(key);
    if (options.certificate.isEmpty() || options.key.isEmpty())
        return u"--cert and --key are required (tools/ondalux-station/make-station-certificate "
               "makes them)"_s;
    options.logRequests = parser.isSet(log);
    return options;
}
