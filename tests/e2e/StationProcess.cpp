#include "StationProcess.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

StationProcess::StationProcess(const QString &program, QString certificate, QString key,
                               QObject *parent)
    : QObject(parent)
    , m_certificate(std::move(certificate))
    , m_key(std::move(key))
{
    m_process.setProgram(program);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &StationProcess::readLines);
}

StationProcess::~StationProcess()
{
    stop();
}

bool StationProcess::start(Ports ports, const QStringList &arguments)
{
    m_lines.clear();
    m_pending.clear();
    m_error.clear();
    m_process.setArguments(QStringList{ u"--cert"_s, m_certificate, u"--key"_s, m_key, u"--log"_s,
                                        u"--stream-port"_s, QString::number(ports.stream),
                                        u"--softorbit-port"_s, QString::number(ports.softorbit),
                                        u"--radiobeatloom-port"_s,
                                        QString::number(ports.radiobeatloom) }
                           + arguments);
    m_process.start();
    if (!m_process.waitForStarted()) {
        m_error = m_process.errorString();
        return false;
    }
    static const QRegularExpression ready(
        u"^ready stream=(\\d+) softorbit=(\\d+) radiobeatloom=(\\d+)$"_s);
    QElapsedTimer waited;
    waited.start();
    while (m_process.state() == QProcess::Running && waited.elapsed() < 30000) {
        for (const QString &line : std::as_const(m_lines)) {
            if (const auto match = ready.match(line); match.hasMatch()) {
                m_ports = { match.captured(1).toUShort(), match.captured(2).toUShort(),
                            match.captured(3).toUShort() };
                return true;
            }
        }
        m_process.waitForReadyRead(100);
        readLines();
    }
    m_error = m_process.state() == QProcess::Running
        ? u"not ready after %1 ms; printed: %2"_s.arg(waited.elapsed()).arg(m_lines.join(u" | "_s))
        : u"exited with %1 (status %2)"_s.arg(m_process.exitCode()).arg(m_process.exitStatus());
    return false;
}

int StationProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (!m_process.waitForFinished(10'000)) {
        m_process.kill();
        m_process.waitForFinished();
        return -1;
    }
    readLines();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void StationProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished();
}

QUrl StationProcess::url(const QString &host, const QString &path) const
{
    const quint16 port = host == u"stream"_s ? m_ports.stream
        : host == u"softorbit"_s             ? m_ports.softorbit
                                             : m_ports.radiobeatloom;
    return QUrl(u"https://127.0.0.1:"_s + QString::number(port) + path);
}

int StationProcess::requestCount(const QString &host, const QString &target) const
{
    return static_cast<int>(
        std::count_if(m_lines.cbegin(), m_lines.cend(), [&](const QString &line) {
            const QStringList words = line.split(u' ');
            return words.size() == 4 && words[0] == u"request"_s && words[1] == host
                && (target.isEmpty() || words[3] == target);
        }));
}

QJsonObject StationProcess::track(const QString &station) const
{
    const QString prefix = u"track "_s + station + u' ';
    for (auto line = m_lines.crbegin(); line != m_lines.crend(); ++line) {
        if (line->startsWith(prefix))
            return QJsonDocument::fromJson(line->mid(prefix.size()).toUtf8()).object();
    }
    return {};
}

QString StationProcess::nowPlayingText(const QJsonObject &track)
{
    const QString mix = track.value(u"mix"_s).toString();
    return track.value(u"artist"_s).toString() + u" \u2013 "_s + track.value(u"title"_s).toString()
        + (mix.isEmpty() ? QString() : u' ' + mix);
}

void StationProcess::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_pending.left(end)));
        m_pending.remove(0, end + 1);
    }
}
