#include "TlsTrust.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace TlsTrust {

QByteArray buildAuthorityPem()
{
#ifdef ONDALUX_HAS_EXTRA_CA
    QFile file(QStringLiteral(":/tls/extra-ca.pem"));
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
#endif
    return {};
}

bool trustInAddition(const QByteArray &pem)
{
    const QList<QSslCertificate> extra = QSslCertificate::fromData(pem, QSsl::Pem);
    if (extra.isEmpty())
        return false;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    // Setting the list replaces the system's on-demand roots, so name them explicitly.
    QList<QSslCertificate> authorities = config.caCertificates();
    if (authorities.isEmpty())
        authorities = QSslConfiguration::systemCaCertificates();
    for (const QSslCertificate &certificate : extra) {
        if (!authorities.contains(certificate))
            authorities.append(certificate);
    }
    config.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(config);
    return true;
}

void installBuildAuthority()
{
    const QByteArray pem = buildAuthorityPem();
    if (!pem.isEmpty())
        trustInAddition(pem);
}

} // namespace TlsTrust
