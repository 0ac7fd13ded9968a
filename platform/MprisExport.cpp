#include "MprisExport.h"

#include "MprisController.h"
#include "MprisPlayerAdaptor.h"
#include "MprisRootAdaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMpris, "ondalux.mpris", QtWarningMsg)

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

struct MprisExport::Private
{
    MprisController controller;
    QObject exported; // carries the adaptors
    QDBusConnection connection{ QString() };
    QString privateConnectionName;
    QString serviceName;

    Private(NowPlayingInfoCenter &info, RemoteCommandCenter &commands, const Options &options)
        : controller(info, commands, options.artworkDirectory)
    { }

    bool registerService(const QString &name)
    {
        QDBusConnectionInterface *bus = connection.interface();
        if (bus == nullptr)
            return false;
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply
            = bus->registerService(name, QDBusConnectionInterface::DontQueueService,
                                   QDBusConnectionInterface::DontAllowReplacement);
        return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
    }
};

MprisExport::MprisExport(NowPlayingInfoCenter &info, RemoteCommandCenter &commands, QObject *parent)
    : MprisExport(info, commands, Options{}, parent)
{ }

MprisExport::MprisExport(NowPlayingInfoCenter &info, RemoteCommandCenter &commands,
                         const Options &options, QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>(info, commands, options))
{
    new MprisRootAdaptor(d->controller, &d->exported);
    new MprisPlayerAdaptor(d->controller, &d->exported);

    if (options.busAddress.isEmpty()) {
        d->connection = QDBusConnection::sessionBus();
    } else {
        d->privateConnectionName
            = QStringLiteral("ondalux-mpris-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
        d->connection = QDBusConnection::connectToBus(options.busAddress, d->privateConnectionName);
    }
    if (!d->connection.isConnected()) {
        qCDebug(lcMpris) << "no session bus:" << d->connection.lastError().message();
        return;
    }
    // The object first, so a client that sees the name can read it at once.
    if (!d->connection.registerObject(objectPath, &d->exported, QDBusConnection::ExportAdaptors)) {
        qCDebug(lcMpris) << "cannot export" << objectPath;
        return;
    }
    const QString instanceName = options.serviceName + QStringLiteral(".instance")
        + QString::number(QCoreApplication::applicationPid());
    for (const QString &name : { options.serviceName, instanceName }) {
        if (d->registerService(name)) {
            d->serviceName = name;
            break;
        }
    }
    if (d->serviceName.isEmpty()) {
        qCDebug(lcMpris) << "no bus name free for" << options.serviceName;
        d->connection.unregisterObject(objectPath);
        return;
    }

    connect(&d->controller, &MprisController::playerPropertiesChanged, this,
            [this](const QVariantMap &changed) {
                QDBusMessage signal = QDBusMessage::createSignal(
                    objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("PropertiesChanged"));
                signal << playerInterface << changed << QStringList();
                d->connection.send(signal);
            });
}

MprisExport::~MprisExport()
{
    if (!d->serviceName.isEmpty()) {
        d->connection.unregisterService(d->serviceName);
        d->connection.unregisterObject(objectPath);
    }
    if (!d->privateConnectionName.isEmpty())
        QDBusConnection::disconnectFromBus(d->privateConnectionName);
}

QString MprisExport::serviceName() const
{
    return d->serviceName;
}

MprisController &MprisExport::controller() const
{
    return d->controller;
}
