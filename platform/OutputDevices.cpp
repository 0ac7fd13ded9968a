#include "OutputDevices.h"

#include "GstHandles.h"
#include "MediaRuntime.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

Q_LOGGING_CATEGORY(lcDevices, "ondalux.devices", QtWarningMsg)

namespace {

OutputDevice outputFrom(GstDevice *device)
{
    OutputDevice output;
    output.description
        = QString::fromUtf8(gsthandles::Text(gst_device_get_display_name(device)).get());
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name") != nullptr) {
        gchar *name = nullptr;
        g_object_get(device, "internal-name", &name, nullptr);
        output.name = QString::fromUtf8(gsthandles::Text(name).get());
    }
    if (const gsthandles::Structure owned{ gst_device_get_properties(device) }) {
        const GstStructure *properties = owned.get();
        // An AirPlay receiver reached through the sound server's RAOP module.
        const gchar *api = gst_structure_get_string(properties, "device.api");
        output.isAirPlay = api != nullptr && g_strcmp0(api, "raop") == 0;
        gboolean isDefault = FALSE;
        if (gst_structure_get_boolean(properties, "is-default", &isDefault))
            output.isDefault = isDefault != FALSE;
        if (output.name.isEmpty()) {
            const gchar *nodeName = gst_structure_get_string(properties, "node.name");
            output.name = QString::fromUtf8(nodeName);
        }
    }
    return output;
}

// The monitor counts as started when any provider started, such as one for capture cards,
// while the sound server's may not have answered.
bool soundServerWatched()
{
    const gsthandles::Object<GstDeviceProvider> provider(
        gst_device_provider_factory_get_by_name("pulsedeviceprovider"));
    if (provider == nullptr)
        return true; // another sound server's provider, then; the monitor's word stands
    return gst_device_provider_is_started(provider.get()) != FALSE;
}

} // namespace

struct OutputDevices::Private
{
    gsthandles::Object<GstDeviceMonitor> monitor;
    gsthandles::Bus bus;
    std::unique_ptr<QSocketNotifier> notifier;
};

OutputDevices::OutputDevices(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{ }

OutputDevices::~OutputDevices()
{
    if (d->monitor)
        gst_device_monitor_stop(d->monitor.get());
}

OutputDevices &OutputDevices::shared()
{
    static OutputDevices *const instance = new OutputDevices(QCoreApplication::instance());
    return *instance;
}

bool OutputDevices::isStarted() const
{
    return d->monitor != nullptr;
}

void OutputDevices::start()
{
    if (d->monitor || !MediaRuntime::initialize().isEmpty())
        return;
    d->monitor.reset(gst_device_monitor_new());
    gst_device_monitor_add_filter(d->monitor.get(), "Audio/Sink", nullptr);
    const bool started = gst_device_monitor_start(d->monitor.get());
    if (!started || !soundServerWatched()) {
        qCWarning(lcDevices) << "the sound server's outputs cannot be listed";
        if (started)
            gst_device_monitor_stop(d->monitor.get());
        d->monitor.reset(); // the next start() tries again
        return;
    }
    d->bus.reset(gst_device_monitor_get_bus(d->monitor.get()));
    GPollFD pollFd{};
    gst_bus_get_pollfd(d->bus.get(), &pollFd);
    d->notifier = std::make_unique<QSocketNotifier>(pollFd.fd, QSocketNotifier::Read);
    connect(d->notifier.get(), &QSocketNotifier::activated, this, [this] {
        bool changed = false;
        while (GstMessage *raw = gst_bus_pop(d->bus.get())) {
            const gsthandles::Message message(raw);
            switch (GST_MESSAGE_TYPE(raw)) {
            case GST_MESSAGE_DEVICE_ADDED:
            case GST_MESSAGE_DEVICE_REMOVED:
            case GST_MESSAGE_DEVICE_CHANGED:
                changed = true;
                break;
            default:
                break;
            }
        }
        if (changed)
            refresh();
    });
    refresh();
}

void OutputDevices::refresh()
{
    QList<OutputDevice> devices;
    const gsthandles::ObjectList list(gst_device_monitor_get_devices(d->monitor.get()));
    for (GList *item = list.get(); item != nullptr; item = item->next) {
        OutputDevice output = outputFrom(GST_DEVICE(item->data));
        if (!output.name.isEmpty())
            devices.append(output);
    }
    if (devices == m_devices)
        return;
    m_devices = devices;
    Q_EMIT devicesChanged();
}

std::optional<OutputDevice> OutputDevices::find(const QString &name) const
{
    for (const OutputDevice &device : m_devices) {
        if (device.name == name)
            return device;
    }
    return std::nullopt;
}

QString OutputDevices::defaultName() const
{
    for (const OutputDevice &device : m_devices) {
        if (device.isDefault)
            return device.name;
    }
    return {};
}
