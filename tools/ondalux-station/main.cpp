// ondalux-station: both stations of Ondalux on this machine, over HTTPS, for the demo build and
// the end-to-end tests. See README.md, "The demo station".

#include "Mp3Encoder.h"
#include "StationOptions.h"
#include "Stations.h"
#include "TerminationSignals.h"

#include <QFile>
#include <QGuiApplication>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>

#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

void printLine(const QString &line)
{
    std::fputs(qUtf8Printable(line + u'\n'), stdout);
    std::fflush(stdout);
}

int fail(const QString &message)
{
    std::fputs(qUtf8Printable(u"ondalux-station: "_s + message + u'\n'), stderr);
    return 1;
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace

int main(int argc, char *argv[])
{
    // Covers are drawn with fonts, which need a GUI application, though no window opens.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"ondalux-station"_s);

    const auto parsed = parseStationOptions(app);
    if (const auto *error = std::get_if<QString>(&parsed))
        return fail(*error);
    const StationOptions &options = std::get<StationOptions>(parsed);
    if (!QSslSocket::supportsSsl())
        return fail(u"this Qt has no TLS backend"_s);
    const auto certificate = readFile(options.certificate);
    const auto key = readFile(options.key);
    if (!certificate || !key)
        return fail(u"cannot read %1 or %2"_s.arg(options.certificate, options.key));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(*certificate, QSsl::Pem));
    QSslKey privateKey(*key, QSsl::Ec);
    if (privateKey.isNull())
        privateKey = QSslKey(*key, QSsl::Rsa);
    tls.setPrivateKey(privateKey);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (tls.localCertificate().isNull() || privateKey.isNull())
        return fail(
            u"%1 or %2 holds no PEM certificate or key"_s.arg(options.certificate, options.key));
    if (const QString error = Mp3Encoder::initialize(); !error.isEmpty())
        return fail(u"cannot encode MP3: "_s + error);
    if (!TerminationSignals::quitOnTermination())
        return fail(u"cannot watch for signals"_s);

    Stations stations(options, tls, printLine);
    if (const QString error = stations.listen(options); !error.isEmpty())
        return fail(error);
    stations.start();
    printLine(stations.readyLine());
    return QGuiApplication::exec();
}
