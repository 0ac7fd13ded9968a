#include "StationProcess.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

// The program built for the local station (ondalux-e2e) against ondalux-station, on the test
// session's X display, bus and sound server. It is driven as its user
// and the desktop drive it: keys pressed on its window, MPRIS commands (playerctl). What it
// does is read from outside: the requests the station logs, the sound server's streams, MPRIS.

namespace {

constexpr int launchTimeout = 20000; // a loaded machine starts a GUI program slowly
constexpr int playTimeout = 15000;

struct Output
{
    int exitCode = -1;
    QString text;
};

Output run(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
             QString::fromUtf8(process.readAllStandardOutput()).trimmed() };
}

enum class Audio { None, Corked, Flowing };

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QProcess> m_app;
    std::unique_ptr<StationProcess> m_station;
    QProcessEnvironment m_environment; // the display and the bus, for the program and its tools
    QNetworkAccessManager m_network;

    QString window()
    {
        return run(u"xdotool"_s,
                   { u"search"_s, u"--onlyvisible"_s, u"--pid"_s,
                     QString::number(m_app->processId()) },
                   m_environment)
            .text.section(u'\n', 0, 0);
    }

    // Types `key` on the program's window, as its user would. This helper and expectPlaying
    // return false once the test has failed, so that it stops there.
    bool press(const QString &key)
    {
        pressChecked(key);
        return !QTest::currentTestFailed();
    }

    void pressChecked(const QString &key)
    {
        const QString id = window();
        QVERIFY(!id.isEmpty());
        QCOMPARE(run(u"xdotool"_s, { u"windowfocus"_s, u"--sync"_s, id }, m_environment).exitCode,
                 0);
        QCOMPARE(run(u"xdotool"_s, { u"key"_s, key }, m_environment).exitCode, 0);
    }

    QString mpris(const QStringList &arguments)
    {
        return run(u"playerctl"_s, QStringList{ u"--player=ondalux"_s } + arguments, m_environment)
            .text;
    }

    // The program's stream on the sound server.
    Audio audio()
    {
        const QString listing = run(u"pactl"_s, { u"list"_s, u"sink-inputs"_s }).text;
        const QString owner
            = u"application.process.id = \""_s + QString::number(m_app->processId()) + u'"';
        for (const QString &block : listing.split(u"Sink Input #"_s)) {
            if (block.contains(owner))
                return block.contains(u"Corked: no"_s) ? Audio::Flowing : Audio::Corked;
        }
        return Audio::None;
    }

    // The cover the station serves for the track on air.
    QImage stationCover(const QString &station)
    {
        const QString slug = m_station->track(station).value(u"slug"_s).toString();
        std::unique_ptr<QNetworkReply> reply(
            m_network.get(QNetworkRequest(m_station->url(station, u"/art/"_s + slug + u".png"_s))));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(10000);
        return QImage::fromData(reply->readAll()).convertToFormat(QImage::Format_ARGB32);
    }

    // The cover the desktop's media panel is shown.
    QImage panelCover()
    {
        const QUrl url(mpris({ u"metadata"_s, u"mpris:artUrl"_s }));
        return QImage(url.toLocalFile()).convertToFormat(QImage::Format_ARGB32);
    }

    // Whether `shown` is `cover` at the size it is shown: the same shape, and the same colours
    // where both are reduced to 16 x 16.
    static bool showsCover(const QImage &shown, const QImage &cover)
    {
        if (shown.isNull() || cover.isNull()
            || qAbs(double(shown.width()) / shown.height() - double(cover.width()) / cover.height())
                > 0.02)
            return false;
        const QImage a = shown.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage b = cover.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                if (qAbs(qRed(p) - qRed(q)) > 12 || qAbs(qGreen(p) - qGreen(q)) > 12
                    || qAbs(qBlue(p) - qBlue(q)) > 12)
                    return false;
            }
        }
        return true;
    }

    bool expectPlaying(const QString &station, const QString &name)
    {
        expectPlayingChecked(station, name);
        return !QTest::currentTestFailed();
    }

    void expectPlayingChecked(const QString &station, const QString &name)
    {
        QTRY_COMPARE_WITH_TIMEOUT(audio(), Audio::Flowing, playTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(mpris({ u"metadata"_s, u"xesam:title"_s }),
                                  StationProcess::nowPlayingText(m_station->track(station)),
                                  playTimeout);
        QCOMPARE(mpris({ u"metadata"_s, u"xesam:artist"_s }), name);
        QCOMPARE(mpris({ u"status"_s }), u"Playing"_s);
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const QString &tool : { u"xdotool"_s, u"playerctl"_s, u"pactl"_s }) {
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QFAIL(qPrintable(tool + u" is missing: run scripts/setup"_s));
        }
        const QString display = qEnvironmentVariable("ONDALUX_TEST_DISPLAY");
        QVERIFY2(!display.isEmpty() && run(u"pactl"_s, { u"info"_s }).exitCode == 0,
                 "no test display or sound server: run it through tests/support/with-test-session");
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.remove(u"WAYLAND_DISPLAY"_s);
        m_environment.insert(u"DISPLAY"_s, display);
        m_environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(QStringLiteral(STATION_TLS_DIR "/ca.pem"));
        QSslConfiguration::setDefaultConfiguration(tls);
    }

    void cleanup()
    {
        if (m_app) {
            m_app->terminate();
            if (!m_app->waitForFinished(5000))
                m_app->kill();
            m_app->waitForFinished();
            if (QTest::currentTestFailed()) {
                qInfo().noquote() << "ondalux printed:\n" << m_app->readAll();
                if (m_station)
                    qInfo().noquote() << "ondalux-station printed:\n"
                                      << m_station->lines().join(u'\n');
            }
            m_app.reset();
        }
        m_station.reset();
    }

    // One launch, driven as its user and the desktop would: what only the whole program shows.
    void launch_thenTheDesktopAndTheKeysDriveIt()
    {
        // The station, then the program, up to its window and MPRIS.
        m_station = std::make_unique<StationProcess>(
            QStringLiteral(STATION_EXECUTABLE), QStringLiteral(STATION_TLS_DIR "/station.pem"),
            QStringLiteral(STATION_TLS_DIR "/station.key"));
        // A short burst keeps the program close to the live point, on the track the station has
        // on air.
        QVERIFY2(
            m_station->start({ STATION_FIRST_PORT, STATION_FIRST_PORT + 1, STATION_FIRST_PORT + 2 },
                             { u"--burst-seconds"_s, u"1"_s }),
            qPrintable(m_station->error()));
        m_app = std::make_unique<QProcess>();
        m_app->setProcessEnvironment(m_environment);
        m_app->setProcessChannelMode(QProcess::MergedChannels);
        m_app->start(QStringLiteral(APP_EXECUTABLE), {});
        QVERIFY(m_app->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_app->state() != QProcess::Running || !window().isEmpty(),
                                 launchTimeout);
        QVERIFY2(m_app->state() == QProcess::Running, "ondalux quit at start");
        QTRY_COMPARE_WITH_TIMEOUT(mpris({ u"status"_s }), u"Stopped"_s, launchTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(
            m_station->requestCount(u"softorbit"_s, u"/songInfo/lastTen.json"_s), 1, launchTimeout);
        QCOMPARE(m_station->requestCount(u"stream"_s, {}), 0);
        QCOMPARE(m_station->requestCount(u"radiobeatloom"_s, {}), 0);
        QCOMPARE(audio(), Audio::None);
        // The desktop's play starts the station the window shows.
        mpris({ u"play"_s });
        QTRY_COMPARE_WITH_TIMEOUT(m_station->requestCount(u"stream"_s, u"/softorbit"_s), 1,
                                  playTimeout);
        QVERIFY(expectPlaying(u"softorbit"_s, u"Softorbit"_s));
        QTRY_VERIFY_WITH_TIMEOUT(showsCover(panelCover(), stationCover(u"softorbit"_s)),
                                 playTimeout);
        // The first track text reloads the list at once.
        QTRY_COMPARE_WITH_TIMEOUT(
            m_station->requestCount(u"softorbit"_s, u"/songInfo/lastTen.json"_s), 2, playTimeout);

        QVERIFY(press(u"space"_s));
        QTRY_COMPARE_WITH_TIMEOUT(mpris({ u"status"_s }), u"Paused"_s, playTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(audio() != Audio::Flowing, playTimeout);
        mpris({ u"play"_s });
        QTRY_COMPARE_WITH_TIMEOUT(mpris({ u"status"_s }), u"Playing"_s, playTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(audio(), Audio::Flowing, playTimeout);

        // The station picker has kept the focus: the arrow picks the next segment, which plays.
        QVERIFY(press(u"Right"_s));
        QTRY_COMPARE_WITH_TIMEOUT(m_station->requestCount(u"stream"_s, u"/radiobeatloom"_s), 1,
                                  playTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_station->requestCount(u"radiobeatloom"_s, u"/songInfo/lastTen.json"_s) >= 1,
            playTimeout);
        QVERIFY(expectPlaying(u"radiobeatloom"_s, u"Radio Beatloom"_s));
    }
};

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
