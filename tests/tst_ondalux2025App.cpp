#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = u"org.mpris.MediaPlayer2.ondalux"_s;

} // namespace

// The shipped program, started as the desktop starts it.
class tst_ondalux2025App : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void launch_reportsTheAudioSessionOnce_showsItsWindow_andEndsInOrder_data()
    {
        QTest::addColumn<bool>("emptyMediaRegistry");
        QTest::addColumn<int>("audioSessionLines");
        QTest::addColumn<bool>("terminate"); // else Quit over the bus
        QTest::newRow("player elements installed") << false << 0 << false;
        QTest::newRow("player elements missing") << true << 1 << false;
        QTest::newRow("terminated by a signal") << false << 0 << true;
    }

    void launch_reportsTheAudioSessionOnce_showsItsWindow_andEndsInOrder()
    {
        QFETCH(bool, emptyMediaRegistry);
        QFETCH(int, audioSessionLines);
        QFETCH(bool, terminate);
        QTemporaryDir runtime;
        QTemporaryDir noPlugins;
        QVERIFY(runtime.isValid() && noPlugins.isValid());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        // Its own runtime directory, to see what it leaves behind; the same sound server.
        const QString sessionRuntime = env.value(u"XDG_RUNTIME_DIR"_s);
        if (!sessionRuntime.isEmpty())
            env.insert(u"PULSE_SERVER"_s, u"unix:"_s + sessionRuntime + u"/pulse/native"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        if (emptyMediaRegistry) {
            for (const QString &name : { u"GST_PLUGIN_PATH"_s, u"GST_PLUGIN_SYSTEM_PATH"_s })
                env.insert(name + u"_1_0"_s, noPlugins.path());
            env.insert(u"GST_REGISTRY_1_0"_s, noPlugins.filePath(u"registry.bin"_s));
        }
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(ONDALUX_BINARY));
        QVERIFY(app.waitForStarted());

        // The program takes its bus name once its window shows.
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(serviceName).value(), 20000);
        QDBusInterface root(serviceName, u"/org/mpris/MediaPlayer2"_s, u"org.mpris.MediaPlayer2"_s);
        QCOMPARE(root.property("Identity"), QVariant(u"Ondalux"_s));
        QCOMPARE(root.property("DesktopEntry"), QVariant(u"ondalux"_s));
        QVERIFY(QDBusReply<void>(root.call(u"Raise"_s)).isValid());
        QCOMPARE(app.state(), QProcess::Running);

        QSignalSpy finished(&app, &QProcess::finished);
        if (terminate)
            app.terminate();
        else
            QVERIFY(QDBusReply<void>(root.call(u"Quit"_s)).isValid());
        QVERIFY(finished.wait(20000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);

        const QStringList lines = QString::fromUtf8(app.readAllStandardOutput())
                                      .split(u'\n', Qt::SkipEmptyParts)
                                      .filter(u"Audio session error:"_s);
        QCOMPARE(lines.size(), audioSessionLines);
        for (const QString &line : lines) {
            QVERIFY2(line.startsWith(u"Audio session error: GStreamer elements missing: playbin"_s),
                     qPrintable(line));
        }
        QCOMPARE(QDir(runtime.path()).entryList({ u"ondalux-artwork-*"_s }), QStringList{});
    }
};

QTEST_GUILESS_MAIN(tst_ondalux2025App)
#include "tst_ondalux2025App.moc"
