#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The child: ends its event loop on a signal, then hangs as a stuck shutdown would.
int runChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!TerminationSignals::quitOnTermination())
        return 2;
    // "stuck": the main thread never comes back to the event loop, which so never quits.
    const bool stuck = argc > 2 && qstrcmp(argv[2], "stuck") == 0;
    QTimer::singleShot(0, &app, [stuck] {
        std::puts("ready");
        std::fflush(stdout);
        while (stuck) {
            pause();
            std::puts("woken");
            std::fflush(stdout);
        }
    });
    QCoreApplication::exec();
    std::puts("quit");
    std::fflush(stdout);
    for (;;)
        pause();
}

} // namespace

// This program started again as the child, signalled as a terminal or a session would.
class tst_TerminationSignals : public QObject
{
    Q_OBJECT

    QProcess m_child;
    QByteArray m_output;

    // Starts the child with `ignored` ignored, as nohup leaves SIGHUP; true once it is ready.
    bool startChild(int ignored = 0, bool stuck = false)
    {
        m_child.setChildProcessModifier([ignored] {
            if (ignored != 0)
                signal(ignored, SIG_IGN);
        });
        m_child.start(QCoreApplication::applicationFilePath(),
                      stuck ? QStringList{ u"--child"_s, u"stuck"_s }
                            : QStringList{ u"--child"_s });
        return m_child.waitForStarted() && printed("ready");
    }

    bool printed(const QByteArray &line)
    {
        return QTest::qWaitFor(
            [&] { return (m_output += m_child.readAllStandardOutput()).contains(line); }, 10'000);
    }

    void send(int number) { kill(static_cast<pid_t>(m_child.processId()), number); }

private Q_SLOTS:
    void cleanup()
    {
        m_child.kill();
        m_child.waitForFinished();
        m_output.clear();
    }

    void ignoredSignal_staysIgnored()
    {
        QVERIFY(startChild(SIGHUP));
        send(SIGHUP);
        QTest::qWait(300);
        m_output += m_child.readAllStandardOutput();
        QVERIFY(!m_output.contains("quit"));
        QCOMPARE(m_child.state(), QProcess::Running);
        send(SIGTERM);
        QVERIFY(printed("quit"));
    }

    void secondInterrupt_duringAStuckShutdown_endsTheProcess_data()
    {
        QTest::addColumn<bool>("stuck");
        QTest::addColumn<QByteArray>("afterFirst");
        QTest::newRow("stuck after the event loop") << false << QByteArray("quit");
        QTest::newRow("stuck inside the event loop") << true << QByteArray("woken");
    }

    void secondInterrupt_duringAStuckShutdown_endsTheProcess()
    {
        QFETCH(bool, stuck);
        QFETCH(QByteArray, afterFirst);
        QVERIFY(startChild(0, stuck));
        send(SIGINT);
        QVERIFY(printed(afterFirst));
        QSignalSpy finished(&m_child, &QProcess::finished);
        send(SIGINT);
        QVERIFY(finished.wait(10'000));
        QCOMPARE(m_child.exitStatus(), QProcess::CrashExit);
    }
};

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_TerminationSignals test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_TerminationSignals.moc"
