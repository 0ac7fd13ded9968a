#include "Clock.h"

#include <QTest>

class tst_Clock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondsBetween_distantPastAndNow_isHugeAndPositive()
    {
        const double seconds = secondsBetween(Clock::distantPast(), Clock::system().now());
        QVERIFY(seconds > 1e9);
    }

    void secondsBetween_keepsSubSecondPrecision()
    {
        const Clock::TimePoint start = Clock::system().now();
        QCOMPARE(secondsBetween(start, start + std::chrono::milliseconds(8001)), 8.001);
        QCOMPARE(secondsBetween(start + std::chrono::seconds(8), start), -8.0);
    }
};

QTEST_GUILESS_MAIN(tst_Clock)
#include "tst_Clock.moc"
