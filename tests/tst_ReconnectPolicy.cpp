#include "GstStreamPlayer.h"
#include "ManualClock.h"
#include "ReconnectPolicy.h"

#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;
using Answer = ReconnectPolicy::Answer;

// With the player's own constants: a first wait of 500 ms, a longest of 10 s, a stall after 6 s
// of silence, a resume guard of 1 s and a long pause of 15 s.
class tst_ReconnectPolicy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Steps: "+N" moves the clock N ms on, "audio" plays audio, "started" is a connection's first
    // audio, "new" a new item, "pause" a pause; play, failed, check (the stall watchdog), network
    // (back) and due (the wait is over) answer what follows "=": nothing, now or a wait in ms.
    void script_answersAsTheRulesSay_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("each failure waits twice as long as the one before, up to the longest")
            << u"play=nothing failed=500 due=now failed=1000 due=now failed=2000 due=now "
               "failed=4000 due=now failed=8000 due=now failed=10000 due=now failed=10000"_s;
        QTest::newRow("a connection's first audio, or a new item, brings back the first wait")
            << u"play=nothing failed=500 due=now failed=1000 due=now started failed=500 due=now "
               "failed=1000 new play=nothing failed=500"_s;
        QTest::newRow("while a retry waits, failures and silence change nothing")
            << u"play=nothing failed=500 failed=nothing +7000 check=nothing due=now failed=1000"_s;
        QTest::newRow("the network coming back cuts a waiting retry short and starts over")
            << u"play=nothing failed=500 due=now network=nothing failed=1000 network=0 due=now "
               "failed=500"_s;
        QTest::newRow("a failure while paused, or a retry waiting then, leaves it to the resume")
            << u"play=nothing pause failed=nothing +60000 play=now failed=500 pause play=now"_s;
        QTest::newRow("silence for the stall timeout reconnects, counted from the reconnection")
            << u"play=nothing +5999 check=nothing +1 check=500 +500 due=now +5999 check=nothing "
               "+1 check=1000"_s;
        QTest::newRow("silence counts from the last audio, not from the start")
            << u"play=nothing +5000 audio check=nothing +5999 check=nothing +1 check=500"_s;
        QTest::newRow("no stall while paused or stopped")
            << u"play=nothing pause +7000 check=nothing play=nothing new +7000 check=nothing"_s;
        QTest::newRow("a resume after a long pause reconnects, and waits the stall timeout")
            << u"play=nothing pause +14999 play=nothing pause +15000 play=now +5999 check=nothing "
               "+1 check=500"_s;
        QTest::newRow("a first play is no resume, however late")
            << u"+60000 play=nothing +1000 check=nothing pause +20000 new play=nothing"_s;
        QTest::newRow("a kept connection silent for the resume timeout reconnects at once")
            << u"play=nothing pause +1000 play=nothing +999 check=nothing +1 check=now"_s;
        QTest::newRow("audio after the resume lifts its guard")
            << u"play=nothing pause play=nothing +500 audio check=nothing +1000 check=nothing "
               "+4999 check=nothing +1 check=500"_s;
    }

    void script_answersAsTheRulesSay()
    {
        QFETCH(QString, script);
        const GstStreamPlayer::Options player;
        ManualClock clock;
        ReconnectPolicy policy({ player.firstRetryDelay, player.longestRetryDelay,
                                 player.stallTimeout, player.resumeTimeout, player.longPause },
                               clock);
        quint64 buffers = 0;
        const QStringList steps = script.split(u' ');
        QHash<QString, std::function<void()>> actions;
        actions.insert(u"audio"_s, [&] { ++buffers; });
        actions.insert(u"started"_s, [&] { policy.audioStarted(); });
        actions.insert(u"new"_s, [&] { policy.newItem(); });
        actions.insert(u"pause"_s, [&] { policy.pause(); });
        QHash<QString, std::function<Answer()>> events;
        events.insert(u"play"_s, [&] { return policy.play(buffers); });
        events.insert(u"failed"_s, [&] { return policy.failed(); });
        events.insert(u"check"_s, [&] { return policy.check(buffers); });
        events.insert(u"network"_s, [&] { return policy.networkBack(); });
        events.insert(u"due"_s, [&] { return policy.retryDue(); });
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const QString event = steps.at(i).section(u'=', 0, 0);
            if (event.startsWith(u'+')) {
                clock.advance(std::chrono::milliseconds(event.mid(1).toInt()));
            } else if (actions.contains(event)) {
                actions.value(event)();
            } else {
                QVERIFY2(events.contains(event), qPrintable(steps.at(i)));
                const Answer answer = events.value(event)();
                QString spelled
                    = answer.action == Answer::Action::ReconnectNow ? u"now"_s : u"nothing"_s;
                if (answer.action == Answer::Action::ReconnectAfter)
                    spelled = QString::number(answer.delay.count());
                QCOMPARE(u"%1: %2=%3"_s.arg(i + 1).arg(event, spelled),
                         u"%1: %2"_s.arg(i + 1).arg(steps.at(i)));
                // As the player does: the reconnection starts a new connection.
                if (answer.action == Answer::Action::ReconnectNow)
                    policy.connecting(buffers);
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_ReconnectPolicy)
#include "tst_ReconnectPolicy.moc"
