#include "TlsTrust.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace TlsTrust {

namespace {

QByteArray &addedPem()
{
    static QByteArray pem;
    return pem;
}

} // namespace

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
        if (authorities.contains(certificate))
            continue;
        authorities.append(certificate);
        addedPem() += certificate.toPem();
    }
    config.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(config);
    return true;
}

QByteArray additionalAuthoritiesPem()
{
    return addedPem();
}

void installBuildAuthority()
{
    const QByteArray pem = buildAuthorityPem();
    if (!pem.isEmpty())
        trustInAddition(pem);
}

} // namespace TlsTrust
