#include "AirPlayRoutePicker.h"
#include "FakeStreamPlayer.h"
#include "GstStreamPlayer.h"
#include "OutputDevices.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString airPlaySink = u"ondalux_test_airplay"_s;

QByteArray pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(u"pactl"_s, arguments);
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

struct OurStream
{
    int index = -1; // the sound server's number for it
    QString sink; // the name of the output it plays on
};

// Our stream on the sound server; none (index -1) while there is none.
OurStream ourStream()
{
    QHash<int, QString> sinks;
    const QJsonArray sinkList
        = QJsonDocument::fromJson(pactl({ u"-f"_s, u"json"_s, u"list"_s, u"sinks"_s })).array();
    for (const QJsonValue &sink : sinkList)
        sinks.insert(sink[u"index"_s].toInt(), sink[u"name"_s].toString());
    const QJsonArray inputs
        = QJsonDocument::fromJson(pactl({ u"-f"_s, u"json"_s, u"list"_s, u"sink-inputs"_s }))
              .array();
    for (const QJsonValue &input : inputs) {
        const QJsonObject properties = input[u"properties"_s].toObject();
        // Other test programs may play at the same time; ours is the one from this process.
        if (properties[u"application.name"_s].toString() == u"Ondalux"_s
            && properties[u"media.role"_s].toString() == u"music"_s
            && properties[u"application.process.id"_s].toString()
                == QString::number(QCoreApplication::applicationPid()))
            return { input[u"index"_s].toInt(), sinks.value(input[u"sink"_s].toInt()) };
    }
    return {};
}

QString sinkOfOurStream()
{
    return ourStream().sink;
}

// The output whose entry is checked, after the menu was opened.
QString checkedOutput(AirPlayRoutePicker &picker)
{
    Q_EMIT picker.menu()->aboutToShow();
    for (QAction *action : picker.menu()->actions()) {
        if (action->isChecked())
            return action->data().toString();
    }
    return {};
}

} // namespace

class tst_AirPlayRoutePicker : public QObject
{
    Q_OBJECT

private:
    QString m_module;

    // An AirPlay receiver appears on the sound server.
    void addReceiver()
    {
        m_module = QString::fromUtf8(
            pactl({ u"load-module"_s, u"module-null-sink"_s, u"sink_name="_s + airPlaySink,
                    u"sink_properties=\"device.api=raop device.description=Living-Room\""_s })
                .trimmed());
        QVERIFY2(!m_module.isEmpty(), "no private sound server; run through with-test-session");
    }

    static void play(TestHttpServer &server, GstStreamPlayer &player)
    {
        TestHttpServer::StreamOptions stream;
        stream.audio = TestFixtures::read(u"tone-a.mp3"_s);
        server.stream(u"/live"_s, stream);
        player.replaceCurrentItem(server.url(u"/live"_s));
        player.play();
        // Until audio flows, the stream seen may be the sink's probe of the output's formats.
        QTRY_VERIFY_WITH_TIMEOUT(player.audioBuffersPlayed() > 0, 10000);
    }

private Q_SLOTS:
    void init() { addReceiver(); }

    void cleanup()
    {
        if (!m_module.isEmpty())
            pactl({ u"unload-module"_s, m_module });
        pactl({ u"set-default-sink"_s, u"ondalux_test_a"_s });
    }

    void picker_listsOutputs_movesPlayback_andFallsBack()
    {
        TestHttpServer server;
        GstStreamPlayer player;
        OutputDevices devices;
        AirPlayRoutePicker picker(player, devices);
        QVERIFY(!devices.isStarted()); // nothing is asked before a stream plays or the menu opens
        play(server, player);
        QTRY_COMPARE_WITH_TIMEOUT(sinkOfOurStream(), u"ondalux_test_a"_s, 10000);
        QCOMPARE(picker.tint(), AirPlayRoutePicker::inactiveTint);

        // Opening the menu lists every output, the one in use checked.
        Q_EMIT picker.menu()->aboutToShow();
        QTRY_COMPARE(devices.devices().size(), 3);
        // Listing the sound server's outputs wakes no video capture card's provider.
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libgstdecklink"));
        QStringList listed;
        QString checked;
        for (QAction *action : picker.menu()->actions()) {
            listed << action->text();
            if (action->isChecked())
                checked = action->data().toString();
        }
        QCOMPARE(listed, (QStringList{ u"Test-Output-A"_s, u"Test-Output-B"_s, u"Living-Room"_s }));
        QCOMPARE(checked, u"ondalux_test_a"_s);
        QVERIFY(devices.find(airPlaySink)->isAirPlay);
        QVERIFY(!devices.find(u"ondalux_test_b"_s)->isAirPlay);

        // Choosing the receiver moves the stream there without a new connection.
        picker.menu()->actions().at(2)->trigger();
        QCOMPARE(picker.chosen(), airPlaySink);
        QCOMPARE(picker.tint(), AirPlayRoutePicker::activeTint);
        QTRY_COMPARE(sinkOfOurStream(), airPlaySink);
        QCOMPARE(server.requestCount(u"/live"_s), 1);

        // The receiver goes away: back to the default output, still playing.
        pactl({ u"unload-module"_s, std::exchange(m_module, {}) });
        QTRY_VERIFY(picker.chosen().isEmpty());
        QCOMPARE(picker.tint(), AirPlayRoutePicker::inactiveTint);
        QTRY_COMPARE_WITH_TIMEOUT(sinkOfOurStream(), u"ondalux_test_a"_s, 10000);
        const quint64 played = player.audioBuffersPlayed();
        QTRY_VERIFY_WITH_TIMEOUT(player.audioBuffersPlayed() > played + 20, 10000);

        // From then on the stream follows the default: not the receiver when it returns, but the
        // output that becomes the default, as when headphones are plugged in; on one connection.
        addReceiver();
        pactl({ u"set-default-sink"_s, u"ondalux_test_b"_s });
        QTRY_COMPARE_WITH_TIMEOUT(sinkOfOurStream(), u"ondalux_test_b"_s, 10000);

        // Choosing the default output by its entry follows the default the same way.
        picker.choose(airPlaySink);
        QTRY_COMPARE(sinkOfOurStream(), airPlaySink);
        QTRY_COMPARE(devices.defaultName(), u"ondalux_test_b"_s);
        const int onReceiver = ourStream().index;
        picker.choose(u"ondalux_test_b"_s);
        QVERIFY(picker.chosen().isEmpty());
        // The stream is opened anew on the default. A default that changes within the few
        // milliseconds of that can be missed (pulsesink may ask for the output the old stream was
        // just moved to), far faster than anyone changes outputs; so it changes once that is done.
        QTRY_VERIFY(ourStream().index != onReceiver && sinkOfOurStream() == u"ondalux_test_b"_s);
        pactl({ u"set-default-sink"_s, u"ondalux_test_a"_s });
        // Should it fail again: what the sound server saw.
        QTRY_VERIFY2_WITH_TIMEOUT(sinkOfOurStream() == u"ondalux_test_a"_s,
                                  QByteArray(pactl({ u"list"_s, u"short"_s, u"sink-inputs"_s })
                                             + pactl({ u"list"_s, u"short"_s, u"sinks"_s })
                                             + pactl({ u"get-default-sink"_s })
                                             + player.currentOutput().toUtf8())
                                      .constData(),
                                  10000);
        QCOMPARE(server.requestCount(u"/live"_s), 1);
    }

    // The default output is a receiver, then a mixer moves our stream elsewhere: the button and
    // the check mark follow the stream, not what was chosen here.
    void picker_showsWhereTheStreamReallyPlays()
    {
        pactl({ u"set-default-sink"_s, airPlaySink });
        TestHttpServer server;
        GstStreamPlayer player;
        OutputDevices devices;
        AirPlayRoutePicker picker(player, devices);
        play(server, player);
        QTRY_COMPARE_WITH_TIMEOUT(sinkOfOurStream(), airPlaySink, 10000);
        QTRY_COMPARE(picker.tint(), AirPlayRoutePicker::activeTint);
        QCOMPARE(checkedOutput(picker), airPlaySink);

        pactl({ u"move-sink-input"_s, QString::number(ourStream().index), u"ondalux_test_b"_s });
        QTRY_COMPARE(picker.tint(), AirPlayRoutePicker::inactiveTint);
        QCOMPARE(checkedOutput(picker), u"ondalux_test_b"_s);
        pactl({ u"move-sink-input"_s, QString::number(ourStream().index), airPlaySink });
        QTRY_COMPARE(picker.tint(), AirPlayRoutePicker::activeTint);
        QCOMPARE(picker.chosen(), QString());
    }

    void menu_whenTheOutputsCouldNotBeListed_triesAgainOnTheNextOpening()
    {
        FakeStreamPlayer player;
        OutputDevices devices;
        AirPlayRoutePicker picker(player, devices);
        qputenv("PULSE_SERVER", "unix:/nonexistent/ondalux-sound");
        Q_EMIT picker.menu()->aboutToShow();
        qunsetenv("PULSE_SERVER"); // with-test-session's server again
        QCOMPARE(picker.menu()->actions().size(), 1);
        QVERIFY(!picker.menu()->actions().first()->isEnabled()); // "No outputs found"

        Q_EMIT picker.menu()->aboutToShow();
        QTRY_COMPARE(devices.devices().size(), 3);
    }
};

QTEST_MAIN(tst_AirPlayRoutePicker)
#include "tst_AirPlayRoutePicker.moc"
