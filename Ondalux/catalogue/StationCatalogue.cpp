#include "StationCatalogue.h"

#include "BuildConfig.h"

namespace {

QUrl httpsUrl(QLatin1StringView host, QLatin1StringView path)
{
    return QUrl(QLatin1StringView("https://") + host + path, QUrl::StrictMode);
}

} // namespace

namespace StationCatalogue {

Station softorbit()
{
    return Station(
        QStringLiteral("Softorbit"),
        httpsUrl(BuildConfig::streamHost(), QLatin1StringView("/softorbit")),
        QStringLiteral("SoftorbitArt"),
        httpsUrl(BuildConfig::softorbitHost(), QLatin1StringView("/songInfo/softorbit.json")),
        httpsUrl(BuildConfig::softorbitHost(), QLatin1StringView("/songInfo/lastTen.json")));
}

Station radiobeatloom()
{
    return Station(
        QStringLiteral("Radio Beatloom"),
        httpsUrl(BuildConfig::streamHost(), QLatin1StringView("/radiobeatloom")),
        QStringLiteral("RadioBeatloomArt"),
        httpsUrl(BuildConfig::radiobeatloomHost(),
                 QLatin1StringView("/songInfo/radiobeatloom.json")),
        httpsUrl(BuildConfig::radiobeatloomHost(), QLatin1StringView("/songInfo/lastTen.json")));
}

} // namespace StationCatalogue
