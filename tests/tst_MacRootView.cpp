#include "MacRootView.h"
#include "ondalux2025App.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>

class tst_MacRootView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ondalux2025App::configure(); }

    void window_opensAtLeastMinimumSize_showingRootView()
    {
        const std::unique_ptr<MacRootView> window = ondalux2025App::makeWindow();
        window->resize(400, 300);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->isWindow());
        QVERIFY(window->width() >= 900);
        QVERIFY(window->height() >= 700);
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Ondalux"));
        QCOMPARE(QApplication::topLevelWidgets().count(window.get()), 1);

        // Kept beside the test binary for a person to look at.
        QDir().mkpath(QStringLiteral("screenshots"));
        QVERIFY(window->grab().save(QStringLiteral("screenshots/MacRootView-launch.png")));
    }

    void storedState_atLaunch()
    {
        MacRootView view;
        QCOMPARE(view.current(), view.softorbit());
        QCOMPARE(view.softorbit().name(), QStringLiteral("Softorbit"));
        QCOMPARE(view.radiobeatloom().name(), QStringLiteral("Radio Beatloom"));
        QCOMPARE(view.lastRefresh(), Clock::distantPast());
        QCOMPARE(&view.player(), &RadioPlayer::shared());
        QVERIFY(!view.player().isPlaying());
    }

    void storedState_eachViewBuildsItsOwnRecordsAndLoader()
    {
        MacRootView first;
        MacRootView second;
        QVERIFY(first.softorbit() != second.softorbit());
        QCOMPARE(first.softorbit().url(), second.softorbit().url());
        QVERIFY(&first.lastTenVM() != &second.lastTenVM());
        QCOMPARE(&first.player(), &second.player());
    }

    void stationArtwork_isPackaged_data()
    {
        QTest::addColumn<QString>("assetName");
        QTest::newRow("softorbit") << QStringLiteral("SoftorbitArt");
        QTest::newRow("radiobeatloom") << QStringLiteral("RadioBeatloomArt");
    }

    void stationArtwork_isPackaged()
    {
        QFETCH(QString, assetName);
        const QImage image(QStringLiteral(":/assets/") + assetName + QStringLiteral(".png"));
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 480);
        QCOMPARE(image.width(), image.height());
    }
};

QTEST_MAIN(tst_MacRootView)
#include "tst_MacRootView.moc"
