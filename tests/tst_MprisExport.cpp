#include "EngineTest.h"
#include "MprisController.h"
#include "MprisExport.h"
#include "TestFixtures.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = u"org.mpris.MediaPlayer2.tst_mpris"_s;

using TestFixtures::png;

// The artwork files this process has left in the session's runtime directory.
QStringList artworkFiles()
{
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
        .entryList({ u"ondalux-artwork-%1-*"_s.arg(QCoreApplication::applicationPid()) },
                   QDir::Files);
}

} // namespace

// Collects PropertiesChanged as a desktop panel would receive it.
class PropertiesRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> changes;

public Q_SLOTS:
    void record(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == u"org.mpris.MediaPlayer2.Player"_s)
            changes << changed;
    }
};

class tst_MprisExport : public EngineTest
{
    Q_OBJECT

private:
    std::unique_ptr<MprisExport> m_export;

    Station softorbit() const { return station(u"Softorbit"_s); }

    std::unique_ptr<MprisExport> makeExport(const QString &busAddress = {}) const
    {
        MprisExport::Options options;
        options.serviceName = serviceName;
        options.busAddress = busAddress;
        return std::make_unique<MprisExport>(*m_center, *m_commands, options);
    }

    // Runs playerctl on this player while the event loop keeps serving the bus; its output.
    static QString playerctl(const QStringList &arguments)
    {
        QProcess process;
        process.start(u"playerctl"_s, QStringList{ u"--player=tst_mpris"_s } + arguments);
        if (!process.waitForStarted())
            return u"playerctl did not start"_s;
        QSignalSpy finished(&process, &QProcess::finished);
        if (!finished.wait(10000))
            return u"playerctl did not finish"_s;
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

private Q_SLOTS:
    void init()
    {
        makeEngine();
        m_export = makeExport();
        QCOMPARE(m_export->serviceName(), serviceName);
    }

    void cleanup()
    {
        m_export.reset();
        endEngine();
    }

    void controller_derivesTheStatusFromTheDictionary_data()
    {
        QTest::addColumn<std::optional<QVariantMap>>("info");
        QTest::addColumn<QString>("status");
        using Info = std::optional<QVariantMap>;
        const QString rate = NowPlayingInfoCenter::PlaybackRate;
        QTest::newRow("no dictionary") << Info() << u"Stopped"_s;
        QTest::newRow("rate 1.0") << Info({ { rate, 1.0 } }) << u"Playing"_s;
        QTest::newRow("integer rate 0") << Info({ { rate, 0 } }) << u"Paused"_s;
        QTest::newRow("rate 0.0") << Info({ { rate, 0.0 } }) << u"Paused"_s;
        QTest::newRow("no rate") << Info(QVariantMap{}) << u"Playing"_s;
    }

    void controller_derivesTheStatusFromTheDictionary()
    {
        QFETCH(std::optional<QVariantMap>, info);
        QFETCH(QString, status);
        m_center->setNowPlayingInfo(QVariantMap{ { NowPlayingInfoCenter::PlaybackRate, 0.5 } });
        m_center->setNowPlayingInfo(info);
        QCOMPARE(m_export->controller().playbackStatus(), status);
    }

    void controller_trackIdFollowsTheTrackText()
    {
        const auto idFor = [this](const QString &title) {
            m_center->setNowPlayingInfo(QVariantMap{ { NowPlayingInfoCenter::Title, title },
                                                     { NowPlayingInfoCenter::Artist, u"S"_s } });
            return m_export->controller()
                .metadata()
                .value(u"mpris:trackid"_s)
                .value<QDBusObjectPath>()
                .path();
        };
        const QString first = idFor(u"Ana – Rain"_s);
        QVERIFY(!first.startsWith(u"/org/mpris/"_s));
        QVERIFY(first != idFor(u"Bo – Sun"_s));
        QCOMPARE(idFor(u"Ana – Rain"_s), first);
    }

    void playerctl_seesTheStationThenTheTrackAndItsArtwork_whoseFilesGoWithTheExport()
    {
        TestHttpServer::Response silence;
        silence.mode = TestHttpServer::Response::Mode::NeverAnswer;
        m_server->route(u"/songInfo.json"_s, silence);
        const QString format = u"{{status}}|{{title}}|{{artist}}"_s;
        QCOMPARE(playerctl({ u"status"_s }), u"Stopped"_s);

        m_engine->play(softorbit());
        QCOMPARE(playerctl({ u"metadata"_s, u"--format"_s, format }),
                 u"Playing|Softorbit|Softorbit"_s);

        m_server->route(
            u"/songInfo.json"_s,
            TestHttpServer::json(R"({"artist":"Ana","title":"Rain","picture":"cover.png"})"));
        m_server->route(u"/cover.png"_s,
                        TestHttpServer::bytes(png(QSize(40, 30), Qt::red), "image/png"));
        m_stream->announce({ { TimedMetadataItem{ u"Ana - Rain"_s, u"Ana - Rain"_s } } });
        QTRY_VERIFY(!m_engine->artworkImage().isNull());
        QCOMPARE(playerctl({ u"metadata"_s, u"--format"_s, format }),
                 u"Playing|Ana – Rain|Softorbit"_s);
        const QUrl artUrl(playerctl({ u"metadata"_s, u"mpris:artUrl"_s }));
        QVERIFY(artUrl.isLocalFile());
        QCOMPARE(QFileInfo(artUrl.toLocalFile()).path(), qEnvironmentVariable("XDG_RUNTIME_DIR"));
        const QImage shown(artUrl.toLocalFile(), "PNG");
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32), m_engine->artworkImage());
        QCOMPARE(artworkFiles().size(), 1); // the station's picture made way for the cover
        m_export.reset();
        QCOMPARE(artworkFiles(), QStringList{});
    }

    void remoteCommands_data()
    {
        // What came before the commands: a station shown but not started, or playing.
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("playerCalls");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("playing");

        const QStringList start{ u"replace <softorbit>"_s, u"volume 0.8"_s, u"play"_s };
        QTest::newRow("play starts the station shown")
            << u"shown"_s << QStringList{ u"play"_s } << start << u"Playing"_s << true;
        QTest::newRow("play-pause starts the station shown")
            << u"shown"_s << QStringList{ u"play-pause"_s } << start << u"Playing"_s << true;
        QTest::newRow("play-pause twice")
            << u"playing"_s << QStringList{ u"play-pause"_s, u"play-pause"_s }
            << QStringList{ u"pause"_s, u"play"_s } << u"Playing"_s << true;
        QTest::newRow("pause while paused")
            << u"playing"_s << QStringList{ u"pause"_s, u"pause"_s }
            << QStringList{ u"pause"_s, u"pause"_s } << u"Paused"_s << false;
        QTest::newRow("stop pauses, keeping the station")
            << u"playing"_s << QStringList{ u"stop"_s } << QStringList{ u"pause"_s } << u"Paused"_s
            << false;
        QTest::newRow("next, previous and seeking change nothing")
            << u"playing"_s << QStringList{ u"next"_s, u"previous"_s, u"position 30"_s }
            << QStringList{} << u"Playing"_s << true;
        QTest::newRow("volume sets the engine's")
            << u"playing"_s << QStringList{ u"volume 0.3"_s } << QStringList{ u"volume 0.3"_s }
            << u"Playing"_s << true;
        QTest::newRow("volume above 1 is clamped")
            << u"shown"_s << QStringList{ u"volume 1.5"_s } << QStringList{ u"volume 1"_s }
            << u"Stopped"_s << false;
    }

    void remoteCommands()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, commands);
        QFETCH(QStringList, playerCalls);
        QFETCH(QString, status);
        QFETCH(bool, playing);
        if (before == u"shown"_s)
            m_engine->setStationToStart(softorbit());
        if (before == u"playing"_s)
            m_engine->play(softorbit());
        QVERIFY(m_export->controller().canPlay());
        m_stream->clearCalls();
        for (const QString &command : std::as_const(commands))
            playerctl(command.split(u' '));
        playerCalls.replaceInStrings(u"<softorbit>"_s, softorbit().url().toString());
        QCOMPARE(m_stream->calls(), playerCalls);
        QCOMPARE(m_engine->isPlaying(), playing);
        QCOMPARE(playerctl({ u"status"_s }), status);
        // Volume reads the engine's, which a write changed, clamped.
        QCOMPARE(playerctl({ u"volume"_s }), QString::number(m_engine->volume(), 'f', 6));
        // A live stream pauses, but never seeks or skips.
        QDBusInterface player(serviceName, u"/org/mpris/MediaPlayer2"_s,
                              u"org.mpris.MediaPlayer2.Player"_s);
        for (const auto &[name, can] : { std::pair("CanPause", true), std::pair("CanControl", true),
                                         std::pair("CanSeek", false), std::pair("CanGoNext", false),
                                         std::pair("CanGoPrevious", false) })
            QCOMPARE(player.property(name), QVariant(can));
    }

    // Play before a station, asked directly: playerctl might not ask when CanPlay is false.
    void playRequest_beforeAnyStation_changesNothing()
    {
        QVERIFY(!m_export->controller().canPlay());
        QSignalSpy playingChanged(m_engine.get(), &RadioPlayer::isPlayingChanged);
        m_export->controller().play();
        m_export->controller().playPause();
        QCOMPARE(playingChanged.count(), 0);
        QVERIFY(m_stream->calls().isEmpty());
        QVERIFY(!m_center->nowPlayingInfo());
    }

    void propertiesChanged_announcesEveryChange()
    {
        QDBusConnection observer
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"observer"_s);
        PropertiesRecorder recorder;
        QVERIFY(observer.connect(serviceName, u"/org/mpris/MediaPlayer2"_s,
                                 u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s,
                                 &recorder, SLOT(record(QString, QVariantMap, QStringList))));
        const auto changed = [&recorder] {
            QStringList names;
            for (const QVariantMap &change : std::as_const(recorder.changes))
                names << change.keys().join(u'+');
            return names;
        };

        m_engine->play(softorbit());
        QTRY_COMPARE(m_engine->nowPlaying(), u"Ana – Rain"_s);
        m_engine->pause();
        m_engine->refreshNowPlayingInfo(); // the same dictionary again: nothing to announce
        m_engine->setVolume(0.5F); // as the window's slider does
        m_engine->setVolume(0.5F);
        QTRY_COMPARE(changed().size(), 5);
        QCOMPARE(changed(),
                 (QStringList{ u"CanPlay"_s, u"Metadata+PlaybackStatus"_s, u"Metadata"_s,
                               u"PlaybackStatus"_s, u"Volume"_s }));
        QCOMPARE(recorder.changes.first().value(u"CanPlay"_s), QVariant(true));
        QCOMPARE(recorder.changes.at(3).value(u"PlaybackStatus"_s), QVariant(u"Paused"_s));
        QCOMPARE(recorder.changes.last().value(u"Volume"_s), QVariant(0.5));
        QDBusConnection::disconnectFromBus(u"observer"_s);
    }

    void artworkDirectory_onlyAPrivateRuntimeDirectory_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("used");
        QTest::newRow("ours alone") << u"0700"_s << true;
        QTest::newRow("group may read") << u"0750"_s << false;
        QTest::newRow("shared like /tmp") << u"1777"_s << false;
        QTest::newRow("a link to ours alone") << u"link"_s << false;
        QTest::newRow("missing") << u"missing"_s << false;
    }

    void artworkDirectory_onlyAPrivateRuntimeDirectory()
    {
        QFETCH(QString, kind);
        QFETCH(bool, used);
        QTemporaryDir parent;
        const QString directory = parent.filePath(u"run"_s);
        if (kind != u"missing") {
            // The link's target is private, so only being a link can rule it out.
            const QString made = kind == u"link" ? parent.filePath(u"real"_s) : directory;
            QVERIFY(QDir().mkdir(made));
            const uint mode = kind == u"link" ? 0700 : kind.toUInt(nullptr, 8);
            QVERIFY(chmod(QFile::encodeName(made).constData(), mode) == 0);
            QVERIFY(made == directory || QFile::link(made, directory));
        }
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", saved); });
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(directory));
        QCOMPARE(MprisArtworkFiles::sessionDirectory(), used ? directory : QString());
    }

    // Another user who could plant a link at the next file's name points it at a victim.
    void artworkFiles_aLinkAtTheFileName_isReplacedNotFollowed()
    {
        QTemporaryDir directory;
        QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(u"precious.txt"_s);
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("precious") == 8);
        file.close();
        const QString next = directory.filePath(
            u"ondalux-artwork-%1-1.png"_s.arg(QCoreApplication::applicationPid()));
        QVERIFY(QFile::link(victim, next));

        MprisArtworkFiles files(directory.path());
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        const QUrl url = files.urlFor(red);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "precious");
        QVERIFY(!QFileInfo(url.toLocalFile()).isSymLink());
        QCOMPARE(QImage(url.toLocalFile()).convertToFormat(QImage::Format_RGB32), red);
    }

    void busName_takenByAnother_fallsBackToAnInstanceName()
    {
        m_export.reset();
        QDBusConnection other
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"other"_s);
        QVERIFY(other.registerService(serviceName));
        m_export = makeExport();
        QCOMPARE(m_export->serviceName(),
                 serviceName + u".instance"_s
                     + QString::number(QCoreApplication::applicationPid()));
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
            m_export->serviceName()));
        other.unregisterService(serviceName);
        QDBusConnection::disconnectFromBus(u"other"_s);
    }

    void withoutABus_theEngineGoesOnSilently()
    {
        m_export.reset();
        static QStringList messages;
        messages.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
        m_export = makeExport(u"unix:path=/nonexistent/ondalux-bus"_s);
        m_engine->play(softorbit());
        m_engine->pause();
        qInstallMessageHandler(previous);
        QCOMPARE(messages, QStringList{});
        QCOMPARE(m_export->serviceName(), QString());
        QCOMPARE(m_export->controller().playbackStatus(), u"Paused"_s);
    }
};

QTEST_GUILESS_MAIN(tst_MprisExport)
#include "tst_MprisExport.moc"
