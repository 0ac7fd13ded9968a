#include "TlsTrust.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QThreadPool>

#include <utility>

namespace TlsTrust {

namespace {

QByteArray &addedPem()
{
    static QByteArray pem;
    return pem;
}

// What waits for installBuildAuthority(); main thread only.
struct Installing
{
    bool running = false;
    QList<std::pair<QPointer<const QObject>, std::function<void()>>> waiting;
};

Installing &installing()
{
    static Installing state;
    return state;
}

// Its own thread: Qt's global pool is where painting waits for pieces of large fills.
QThreadPool &reader()
{
    static QThreadPool pool;
    return pool;
}

void trustInQt(QList<QSslCertificate> authorities, const QList<QSslCertificate> &extra)
{
    for (const QSslCertificate &certificate : extra) {
        if (!authorities.contains(certificate))
            authorities.append(certificate);
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(authorities);
    QSslConfiguration::setDefaultConfiguration(config);
}

} // namespace

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

void installBuildAuthority(const QByteArray &pem)
{
    const QList<QSslCertificate> extra = QSslCertificate::fromData(pem, QSsl::Pem);
    if (extra.isEmpty())
        return;
    // The stream's verification reads this from its own threads, all started after this call.
    for (const QSslCertificate &certificate : extra)
        addedPem() += certificate.toPem();
    installing().running = true;
    QPointer<QCoreApplication> app = QCoreApplication::instance();
    reader().start([app, extra] {
        QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        if (!app)
            return;
        QMetaObject::invokeMethod(app, [system = std::move(system), extra] {
            trustInQt(system, extra);
            const auto waiting = std::exchange(installing().waiting, {});
            installing().running = false;
            for (const auto &[context, then] : waiting) {
                if (context)
                    then();
            }
        });
    });
}

void whenTrusted(const QObject *context, std::function<void()> then)
{
    if (!installing().running) {
        then();
        return;
    }
    installing().waiting.append({ QPointer<const QObject>(context), std::move(then) });
}

} // namespace TlsTrust
