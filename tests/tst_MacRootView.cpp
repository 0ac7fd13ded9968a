#include "AccessibilityProbe.h"
#include "EngineTest.h"
#include "LastTenRow.h"
#include "MacRootView.h"
#include "ManualClock.h"
#include "NowPlayingArtwork.h"
#include "StationPicker.h"
#include "TestFixtures.h"
#include "UrlCatcher.h"
#include "ondalux2025App.h"

#include <QApplication>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QByteArray songInfo(const QString &artist, const QString &title, const QString &artwork = {})
{
    QJsonObject object{ { u"artist"_s, artist }, { u"title"_s, title } };
    if (!artwork.isEmpty())
        object.insert(u"artwork_url"_s, artwork);
    return QJsonDocument(object).toJson();
}

QByteArray lastTen(const QString &prefix, int count)
{
    QJsonArray items;
    for (int i = 1; i <= count; ++i) {
        QJsonObject item{ { u"artist"_s, QString(prefix + u" Artist "_s + QString::number(i)) },
                          { u"title"_s, QString(u"Song number "_s + QString::number(i)) },
                          { u"year"_s, QString::number(1990 + i) } };
        if (i % 4 != 0)
            item.insert(u"picture"_s, QString(u"art"_s + QString::number(i % 3) + u".png"_s));
        if (i % 2 == 0)
            item.insert(u"buycd"_s,
                        QString(u"https:"_s + u"/"_s + u"/store.example/"_s + QString::number(i)));
        items.append(item);
    }
    return QJsonDocument(items).toJson();
}

} // namespace

class tst_MacRootView : public EngineTest
{
    Q_OBJECT

private:
    ManualClock m_clock;
    std::unique_ptr<MacRootView> m_view;

    // Softorbit's song info and list under /a/, Radio Beatloom's under /b/.
    Station station(const QString &name, const QString &key) const
    {
        return EngineTest::station(name, u"/"_s + key + u"/song.json"_s,
                                   u"/"_s + key + u"/lastTen.json"_s);
    }

    // The station's song info now names this track, and the stream says so.
    void announceTrack(const QString &artist, const QString &title, const QString &artwork = {})
    {
        const QString key = m_view->current() == m_view->softorbit() ? u"a"_s : u"b"_s;
        m_server->route(u"/"_s + key + u"/song.json"_s,
                        TestHttpServer::json(songInfo(artist, title, artwork)));
        QSignalSpy applied(m_engine.get(), &RadioPlayer::nowPlayingChanged);
        m_stream->announce({ { TimedMetadataItem{ u"update"_s, {} } } });
        QVERIFY(applied.wait());
    }

    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    // The window shown with its first list of ten in place.
    bool showLoaded()
    {
        m_view->resize(1000, 900);
        m_view->show();
        return QTest::qWaitForWindowExposed(m_view.get()) && QTest::qWaitFor([this] {
                   return m_view->findChildren<LastTenRow *>().size() == 10;
               });
    }

    static QString focused() { return AccessibilityProbe::describe(QApplication::focusWidget()); }
    static QString item(int i)
    {
        return u"ListItem 'A Artist %1, Song number %1, %2'"_s.arg(i).arg(1990 + i);
    }

private Q_SLOTS:
    void initTestCase()
    {
        ondalux2025App::configure();
        AccessibilityProbe::activate();
    }

    void init()
    {
        makeEngine();
        for (const QString &key : { u"a"_s, u"b"_s }) {
            m_server->route(u"/"_s + key + u"/song.json"_s, TestHttpServer::json("{}"));
            m_server->route(u"/"_s + key + u"/lastTen.json"_s,
                            TestHttpServer::json(lastTen(key.toUpper(), 10)));
        }
        for (int i = 0; i < 3; ++i) {
            for (const QString &key : { u"a"_s, u"b"_s }) {
                m_server->route(u"/%1/art%2.png"_s.arg(key).arg(i),
                                TestHttpServer::bytes(TestFixtures::png(QSize(300, 300), Qt::blue),
                                                      "image/png"));
            }
        }
        m_view = std::make_unique<MacRootView>(*m_engine, m_clock, *m_session,
                                               station(u"Softorbit"_s, u"a"_s),
                                               station(u"Radio Beatloom"_s, u"b"_s));
    }

    void cleanup()
    {
        m_view.reset();
        endEngine();
    }

    void window_opensAtLeastMinimumSize_showingRootView()
    {
        const std::unique_ptr<MacRootView> window = ondalux2025App::makeWindow();
        window->resize(400, 300);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->width() >= 900);
        QVERIFY(window->height() >= 700);
        QCOMPARE(QApplication::applicationName(), u"Ondalux"_s);
        QCOMPARE(window->current(), window->softorbit());
        QCOMPARE(window->lastRefresh(), Clock::distantPast());
    }

    void refreshRules_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("loads");
        QTest::addColumn<bool>("refreshMoved");

        QTest::newRow("first showing loads, plays nothing")
            << QStringList{ u"show"_s } << QStringList{ u"a"_s } << false;
        QTest::newRow("station change while paused plays and loads")
            << QStringList{ u"show"_s, u"play"_s, u"pause"_s, u"pick b"_s }
            << QStringList{ u"a"_s, u"b"_s } << false;
        QTest::newRow("the selected segment again changes nothing")
            << QStringList{ u"show"_s, u"pick a"_s } << QStringList{ u"a"_s } << false;
        QTest::newRow("first track text reloads at once")
            << QStringList{ u"show"_s, u"play"_s, u"track X"_s } << QStringList{ u"a"_s, u"a"_s }
            << true;
        QTest::newRow("two texts 5 s apart reload once")
            << QStringList{ u"show"_s, u"play"_s, u"track X"_s, u"wait 5"_s, u"track Y"_s }
            << QStringList{ u"a"_s, u"a"_s } << true;
        QTest::newRow("exactly 8.0 s is too soon, later is not")
            << QStringList{ u"show"_s,    u"play"_s,    u"track X"_s,    u"wait 8"_s,
                            u"track Y"_s, u"loads 2"_s, u"wait 0.001"_s, u"track Z"_s }
            << QStringList{ u"a"_s, u"a"_s, u"a"_s } << true;
        QTest::newRow("a track change while paused")
            << QStringList{ u"show"_s, u"play"_s, u"pause"_s, u"track X"_s }
            << QStringList{ u"a"_s } << false;
        QTest::newRow("a track, then a text equal to the station name")
            << QStringList{ u"show"_s, u"play"_s, u"track X"_s, u"wait 9"_s, u"track Softorbit"_s }
            << QStringList{ u"a"_s, u"a"_s } << true;
        QTest::newRow("station switch does not move the throttle")
            << QStringList{ u"show"_s,   u"play"_s,   u"track X"_s,
                            u"wait 3"_s, u"pick b"_s, u"track Y"_s }
            << QStringList{ u"a"_s, u"a"_s, u"b"_s } << true;
    }

    void refreshRules()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, loads);
        QFETCH(bool, refreshMoved);
        QSignalSpy started(m_view.get(), &MacRootView::lastTenLoadStarted);
        for (const QString &step : std::as_const(steps)) {
            const QString argument = step.section(u' ', 1);
            if (step == u"show"_s) {
                m_view->show();
            } else if (step == u"play"_s || step == u"pause"_s) {
                m_view->togglePlayback();
            } else if (step.startsWith(u"pick "_s)) {
                m_view->selectStation(argument == u"a"_s ? m_view->softorbit()
                                                         : m_view->radiobeatloom());
            } else if (step.startsWith(u"wait "_s)) {
                m_clock.advance(std::chrono::duration<double>(argument.toDouble()));
            } else if (step.startsWith(u"loads "_s)) {
                QCOMPARE(started.count(), argument.toInt());
            } else if (argument == m_view->current().name()) {
                announceTrack({}, {}); // blank song info stands for the station's name
            } else {
                announceTrack(argument, u"Song"_s);
                QTRY_COMPARE(m_engine->nowPlaying(), argument + u" – Song"_s);
            }
            settle();
        }
        QStringList seen;
        for (const QList<QVariant> &arguments : std::as_const(started))
            seen << arguments.at(0).toUrl().path().section(u'/', 1, 1);
        QCOMPARE(seen, loads);
        QCOMPARE(m_view->lastRefresh() != Clock::distantPast(), refreshMoved);
        QTRY_COMPARE(m_server->requestCount(u"/"_s + loads.constLast() + u"/lastTen.json"_s),
                     loads.count(loads.constLast()));
    }

    void spaceBar_togglesWhateverHasFocus_onlyWithoutModifiers_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("toggles");
        for (const QString &focus : { u"slider"_s, u"segment"_s, u"button"_s }) {
            QTest::addRow("%s, no modifier", qPrintable(focus))
                << focus << Qt::KeyboardModifiers() << true;
            QTest::addRow("%s, shift", qPrintable(focus))
                << focus << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
            QTest::addRow("%s, control", qPrintable(focus))
                << focus << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
            QTest::addRow("%s, alt", qPrintable(focus))
                << focus << Qt::KeyboardModifiers(Qt::AltModifier) << false;
        }
    }

    void spaceBar_togglesWhateverHasFocus_onlyWithoutModifiers()
    {
        QFETCH(QString, focus);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, toggles);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        QWidget *target = focus == u"slider"_s
            ? static_cast<QWidget *>(m_view->findChild<QSlider *>())
            : focus == u"segment"_s
            ? static_cast<QWidget *>(m_view->findChild<StationPicker *>()->segment(1))
            : m_view->findChild<QToolButton *>(u"playPause"_s);
        target->setFocus();
        const int volumeBefore = m_view->findChild<QSlider *>()->value();
        QTest::keyClick(target, Qt::Key_Space, modifiers);
        QCOMPARE(m_engine->isPlaying(), toggles);
        QCOMPARE(m_view->current(), m_view->softorbit()); // the focused segment was not picked
        QCOMPARE(m_view->findChild<QSlider *>()->value(), volumeBefore);
        if (toggles) {
            QTest::keyClick(target, Qt::Key_Space);
            QVERIFY(!m_engine->isPlaying());
        }
    }

    void accessibleTree_afterALoadOfTen_data()
    {
        QTest::addColumn<QString>("pattern"); // a whole line of AccessibilityProbe::tree
        QTest::addColumn<int>("count");
        QTest::newRow("the window's parts") << u"Window > .*"_s << 4;
        QTest::newRow("station group") << u".* > Grouping 'Station'"_s << 1;
        QTest::newRow("selected station") << u"Grouping > RadioButton 'Softorbit' checked"_s << 1;
        QTest::newRow("other station") << u"Grouping > RadioButton 'Radio Beatloom'"_s << 1;
        QTest::newRow("play button") << u".* > Button 'Play'"_s << 1;
        QTest::newRow("artwork") << u".* > Graphic 'Artwork'"_s << 1;
        QTest::newRow("station name and now playing") << u".* > StaticText 'Softorbit'"_s << 2;
        QTest::newRow("volume") << u".* > Slider 'Volume'"_s << 1;
        QTest::newRow("list and its heading") << u".* > (List|StaticText) 'Last 10'"_s << 2;
        QTest::newRow("list items") << u"List > ListItem '.*'"_s << 10;
        QTest::newRow("store links") << u"ListItem > Link 'Open in Apple Music'"_s << 5;
        QTest::newRow("unnamed controls") << u".*\\[unnamed\\]"_s << 0;
        QTest::newRow("undescribed images") << u".*\\[undescribed\\]"_s << 0;
        QTest::newRow("lost children") << u".*\\[astray\\]"_s << 0;
    }

    void accessibleTree_afterALoadOfTen()
    {
        QFETCH(QString, pattern);
        QFETCH(int, count);
        QVERIFY(showLoaded());
        const QStringList tree
            = AccessibilityProbe::tree(QAccessible::queryAccessibleInterface(m_view.get()));
        const QStringList found
            = tree.filter(QRegularExpression(QRegularExpression::anchoredPattern(pattern)));
        QVERIFY2(found.size() == count, qPrintable(u"found: "_s + found.join(u"; "_s)));
    }

    void nameChanges_areAnnounced_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QStringList>("renamed");
        QTest::newRow("play") << u"play"_s << QStringList{ u"Button 'Pause'"_s };
        QTest::newRow("pause") << u"pause"_s << QStringList{ u"Button 'Play'"_s };
        QTest::newRow("a new track") << u"track"_s << QStringList{ u"StaticText 'Ana – Rain'"_s };
        QTest::newRow("volume renames nothing") << u"volume"_s << QStringList();
    }

    void nameChanges_areAnnounced()
    {
        QFETCH(QString, step);
        QFETCH(QStringList, renamed);
        QVERIFY(showLoaded());
        if (step != u"play"_s)
            m_view->togglePlayback();
        settle();
        AccessibilityProbe::EventRecorder events;
        if (step == u"track"_s)
            announceTrack(u"Ana"_s, u"Rain"_s);
        else if (step == u"volume"_s)
            m_engine->setVolume(0.3F);
        else
            m_view->togglePlayback();
        settle();
        QCOMPARE(events.take(QAccessible::NameChanged).join(u"; "_s), renamed.join(u"; "_s));
    }

    // Tab visits rows and links in order, the arrows move between rows, Enter follows a link and
    // Space still plays or pauses; a reload keeps the focus where it was.
    void keyboard_reachesRowsAndLinks()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"https"_s, &catcher, "open");
        const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"https"_s); });
        QVERIFY(showLoaded());
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        m_view->findChild<QSlider *>()->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focused();
        }
        const QString link = u"Link 'Open in Apple Music'"_s;
        QCOMPARE(visited, (QStringList{ item(1), item(2), link, item(3) }));

        const QList<std::pair<Qt::Key, QString>> keys{
            { Qt::Key_Down, item(4) }, { Qt::Key_Up, item(3) },   { Qt::Key_End, item(10) },
            { Qt::Key_Home, item(1) }, { Qt::Key_Down, item(2) }, { Qt::Key_Tab, link },
        };
        for (const auto &[key, expected] : keys) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QCOMPARE(focused(), expected);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(catcher.opened, QList<QUrl>{ QUrl(u"https://store.example/2"_s) });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(m_engine->isPlaying());
        QCOMPARE(catcher.opened.size(), 1);

        QSignalSpy reloaded(&m_view->lastTenVM(), &LastTenViewModel::itemsChanged);
        m_view->lastTenVM().load(m_view->current().lastTenJSON());
        QVERIFY(reloaded.wait());
        QCOMPARE(focused(), item(2));
    }

    void volumeSlider_endsAreExact_andFollowsThePlayer()
    {
        auto *slider = m_view->findChild<QSlider *>();
        QCOMPARE(slider->value(), 800);
        slider->setValue(slider->minimum());
        QCOMPARE(m_engine->volume(), 0.0F);
        slider->setValue(slider->maximum());
        QCOMPARE(m_engine->volume(), 1.0F);
        m_engine->setVolume(0.25F);
        QCOMPARE(slider->value(), 250);
    }

    void artwork_choiceFollowsPlaybackAndTrack()
    {
        auto *artwork = m_view->findChild<NowPlayingArtwork *>();
        QCOMPARE(artwork->content(), NowPlayingArtwork::Content::Placeholder);
        auto *button = m_view->findChild<QToolButton *>(u"playPause"_s);
        QCOMPARE(button->toolTip(), u"Play"_s);

        m_view->togglePlayback();
        QCOMPARE(button->toolTip(), u"Pause"_s);
        QCOMPARE(artwork->content(), NowPlayingArtwork::Content::Image);
        QCOMPARE(artwork->image(), m_engine->currentArtwork()); // the station's own

        announceTrack(u"Ana"_s, u"Rain"_s, u"art1.png"_s);
        QTRY_VERIFY(!m_engine->artworkImage().isNull());
        QCOMPARE(artwork->image(), m_engine->artworkImage());

        m_view->togglePlayback();
        QCOMPARE(artwork->content(), NowPlayingArtwork::Content::Placeholder);
        QVERIFY(!m_engine->artworkImage().isNull());
    }
};

QTEST_MAIN(tst_MacRootView)
#include "tst_MacRootView.moc"
