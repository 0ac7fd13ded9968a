#pragma once

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QUrl>

// ondalux-station as a child process, and what it reports on standard output: its ports, the
// tracks it starts and, with --log, every request.
class StationProcess : public QObject
{
    Q_OBJECT

public:
    struct Ports
    {
        quint16 stream = 0;
        quint16 softorbit = 0;
        quint16 radiobeatloom = 0;
    };

    StationProcess(const QString &program, QString certificate, QString key,
                   QObject *parent = nullptr);
    // Stops the station.
    ~StationProcess() override;

    // Starts with --log and `arguments` on `ports` (0: any free port) and waits until it listens.
    bool start(Ports ports, const QStringList &arguments);
    // Why the last start() failed.
    QString error() const { return m_error; }
    // SIGTERM, then waits; the exit code, or -1 when it crashed or did not stop.
    int stop();
    // SIGKILL, as a crash would.
    void kill();

    QUrl url(const QString &host, const QString &path) const;
    QStringList lines() const { return m_lines; }
    // Requests the station logged for `host` ("stream", "softorbit" or "radiobeatloom") and
    // `target` (any when empty).
    int requestCount(const QString &host, const QString &target) const;
    // The last track the station started, as printed ("index", "slug", "artist", "title", "mix").
    QJsonObject track(const QString &station) const;
    // The text the program composes for `track`: "Artist – Title (Mix)".
    static QString nowPlayingText(const QJsonObject &track);

private:
    void readLines();

    QString m_certificate;
    QString m_key;
    QProcess m_process;
    QByteArray m_pending;
    QStringList m_lines;
    Ports m_ports;
    QString m_error;
};
