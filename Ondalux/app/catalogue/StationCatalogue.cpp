#include "StationCatalogue.h"

#include "StationHosts.h"

namespace {

QUrl httpsUrl(const char *host, QLatin1StringView path)
{
    return QUrl(QLatin1StringView("https://") + QLatin1StringView(host) + path, QUrl::StrictMode);
}

} // namespace

namespace StationCatalogue {

Station softorbit()
{
    return Station(QStringLiteral("Softorbit"),
                   httpsUrl(ONDALUX_STREAM_HOST, QLatin1StringView("/softorbit")),
                   QStringLiteral("SoftorbitArt"),
                   httpsUrl(ONDALUX_SOFTORBIT_HOST, QLatin1StringView("/songInfo/softorbit.json")),
                   httpsUrl(ONDALUX_SOFTORBIT_HOST, QLatin1StringView("/songInfo/lastTen.json")));
}

Station radiobeatloom()
{
    return Station(
        QStringLiteral("Radio Beatloom"),
        httpsUrl(ONDALUX_STREAM_HOST, QLatin1StringView("/radiobeatloom")),
        QStringLiteral("RadioBeatloomArt"),
        httpsUrl(ONDALUX_RADIOBEATLOOM_HOST, QLatin1StringView("/songInfo/radiobeatloom.json")),
        httpsUrl(ONDALUX_RADIOBEATLOOM_HOST, QLatin1StringView("/songInfo/lastTen.json")));
}

} // namespace StationCatalogue
