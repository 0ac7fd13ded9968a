#include "BuildConfig.h"

#include "StationHosts.h"

#include <QFile>

namespace BuildConfig {

QLatin1StringView streamHost()
{
    return QLatin1StringView(ONDALUX_STREAM_HOST);
}

QLatin1StringView softorbitHost()
{
    return QLatin1StringView(ONDALUX_SOFTORBIT_HOST);
}

QLatin1StringView radiobeatloomHost()
{
    return QLatin1StringView(ONDALUX_RADIOBEATLOOM_HOST);
}

QByteArray extraAuthorityPem()
{
#ifdef ONDALUX_HAS_EXTRA_CA
    // In the binary, so the program reads no file at run time to trust it.
    QFile file(QStringLiteral(":/tls/extra-ca.pem"));
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
#endif
    return {};
}

} // namespace BuildConfig
