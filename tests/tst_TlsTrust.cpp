#include "TestFixtures.h"
#include "TlsTrust.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTest>

class tst_TlsTrust : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trustInAddition_notACertificate_changesNothing_data()
    {
        QTest::addColumn<QByteArray>("pem");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a certificate");
        QTest::newRow("truncated") << TestFixtures::read(QStringLiteral("ca.pem")).left(200);
        QTest::newRow("private key") << TestFixtures::read(QStringLiteral("ca.key"));
    }

    void trustInAddition_notACertificate_changesNothing()
    {
        QFETCH(QByteArray, pem);
        const QList<QSslCertificate> before
            = QSslConfiguration::defaultConfiguration().caCertificates();
        QVERIFY(!TlsTrust::trustInAddition(pem));
        QCOMPARE(QSslConfiguration::defaultConfiguration().caCertificates(), before);
    }

    void trustInAddition_keepsSystemAuthorities()
    {
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        const QByteArray pem = TestFixtures::read(QStringLiteral("ca.pem"));
        const QSslCertificate added = QSslCertificate::fromData(pem).value(0);
        QVERIFY(!added.isNull());

        QVERIFY(TlsTrust::trustInAddition(pem));
        QVERIFY(TlsTrust::trustInAddition(pem)); // twice: no duplicate

        const QList<QSslCertificate> trusted
            = QSslConfiguration::defaultConfiguration().caCertificates();
        QCOMPARE(trusted.count(added), 1);
        for (const QSslCertificate &certificate : system)
            QVERIFY2(trusted.contains(certificate), qPrintable(certificate.subjectDisplayName()));
    }
};

QTEST_GUILESS_MAIN(tst_TlsTrust)
#include "tst_TlsTrust.moc"
