#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// One output of the sound server.
struct OutputDevice
{
    QString name; // what StreamPlayer::setOutputDevice() takes
    QString description; // for people
    bool isAirPlay = false;
    bool isDefault = false;

    friend bool operator==(const OutputDevice &, const OutputDevice &) = default;
};

// The sound server's outputs, kept up to date as they come and go. Watching starts on the first
// call to start() that succeeds, so programs that never ask pay nothing. Main thread.
class OutputDevices : public QObject
{
    Q_OBJECT

public:
    explicit OutputDevices(QObject *parent = nullptr);
    ~OutputDevices() override;

    // The process's watcher, created on first use.
    static OutputDevices &shared();

    void start();
    bool isStarted() const; // for tests, which wait for the sound server's outputs

    QList<OutputDevice> devices() const { return m_devices; }
    std::optional<OutputDevice> find(const QString &name) const;
    // The server's default output; empty when unknown.
    QString defaultName() const;

Q_SIGNALS:
    void devicesChanged();

private:
    void refresh();

    struct Private;
    std::unique_ptr<Private> d;
    QList<OutputDevice> m_devices;
};
