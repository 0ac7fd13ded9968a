#include "HttpSession.h"
#include "LastTenViewModel.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"

#include <QMetaEnum>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

using TestFixtures::json;

using Outcome = LastTenViewModel::Outcome;

QStringList titles(int count, const QString &prefix = u"Track"_s)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list.append(prefix + u' ' + QString::number(i));
    return list;
}

// A last-ten document of `count` entries titled as titles() lists them.
QByteArray document(int count, const QString &prefix = u"Track"_s)
{
    QByteArrayList entries;
    for (const QString &title : titles(count, prefix))
        entries.append(json("{'artist':'Artist','year':'2001','title':'") + title.toUtf8() + "\"}");
    return '[' + entries.join(',') + ']';
}

QStringList titlesOf(const QList<LastTenItem> &items)
{
    QStringList list;
    for (const LastTenItem &item : items)
        list.append(item.title.value_or(u"<none>"_s));
    return list;
}

} // namespace

class tst_LastTenViewModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestHttpServer> server;
    std::unique_ptr<HttpSession> session;
    std::unique_ptr<LastTenViewModel> model;

    // Loads `url` and waits for that load to end; returns how it ended.
    Outcome loadAndWait(const QUrl &url)
    {
        QSignalSpy finished(model.get(), &LastTenViewModel::loadFinished);
        model->load(url);
        if (!finished.wait(10000))
            return Outcome::Superseded; // never ended: no outcome a test expects
        return finished.first().at(1).value<Outcome>();
    }

    // Publishes a known list, the one every failing load must leave in place.
    void publishPrevious()
    {
        server->route(u"/previous.json"_s, TestHttpServer::json(document(2, u"Previous"_s)));
        QCOMPARE(loadAndWait(server->url(u"/previous.json"_s)), Outcome::Published);
        QCOMPARE(titlesOf(model->items()), titles(2, u"Previous"_s));
    }

private Q_SLOTS:
    void init()
    {
        server = std::make_unique<TestHttpServer>();
        session = std::make_unique<HttpSession>();
        model = std::make_unique<LastTenViewModel>(*session);
    }

    void cleanup()
    {
        model.reset();
        session.reset();
        server.reset();
    }

    void load_success_publishesAtMostTenInDocumentOrder_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("11 entries") << 200 << document(11) << titles(10);
        QTest::newRow("empty list clears") << 200 << "[]"_ba << QStringList();
        QTest::newRow("object shape, 12 entries")
            << 200 << QByteArray(json("{'items':") + document(12) + '}') << titles(10);
        QTest::newRow("status 299, 3 entries") << 299 << document(3) << titles(3);
    }

    void load_success_publishesAtMostTenInDocumentOrder()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        publishPrevious();
        server->route(u"/songInfo/lastTen.json"_s, TestHttpServer::json(body, status));
        QSignalSpy changed(model.get(), &LastTenViewModel::itemsChanged);

        QCOMPARE(loadAndWait(server->url(u"/songInfo/lastTen.json"_s)), Outcome::Published);
        QCOMPARE(titlesOf(model->items()), expected);
        QCOMPARE(changed.count(), 1);
    }

    void load_failure_leavesItemsAsTheyWere_data()
    {
        QTest::addColumn<TestHttpServer::Response>("response");
        const QByteArray valid = document(5, u"New"_s);
        TestHttpServer::Response huge = TestHttpServer::json(valid);
        huge.paddedTo = qint64{ 200 } * 1024 * 1024;
        QTest::newRow("404 with a valid body") << TestHttpServer::json(valid, 404);
        QTest::newRow("200, undecodable: one bad entry")
            << TestHttpServer::json(json("[{'title':'a'},{'year':1999}]"));
        QTest::newRow("200, 200 MiB body") << huge;
        QTest::newRow("server never answers")
            << TestHttpServer::Response{ .mode = TestHttpServer::Response::Mode::NeverAnswer };
    }

    void load_failure_leavesItemsAsTheyWere()
    {
        QFETCH(TestHttpServer::Response, response);
        publishPrevious();
        server->route(u"/songInfo/lastTen.json"_s, response);
        model->setIdleTimeout(400ms);
        QSignalSpy changed(model.get(), &LastTenViewModel::itemsChanged);

        QCOMPARE(loadAndWait(server->url(u"/songInfo/lastTen.json"_s)), Outcome::Failed);
        QCOMPARE(titlesOf(model->items()), titles(2, u"Previous"_s));
        QCOMPARE(changed.count(), 0);
        // Cut at the bound: the client hung up long before a huge body could all be sent.
        QVERIFY(server->paddingSent(u"/songInfo/lastTen.json"_s) < 16 * 1024 * 1024);
    }

    void load_overlapping_publishesOnlyTheLatestCall_data()
    {
        QTest::addColumn<int>("firstDelay");
        QTest::addColumn<int>("firstStatus");
        QTest::addColumn<int>("secondDelay");
        QTest::addColumn<int>("secondStatus");
        QTest::addColumn<bool>("sameUrl"); // the second call reloads the first one's URL
        QTest::addColumn<QString>("shown"); // the title prefix on show afterwards
        QTest::addColumn<QString>("outcomes"); // first call's, then second call's

        QTest::newRow("earlier call answers last: dropped")
            << 600 << 200 << 0 << 200 << false << u"Second"_s << u"Superseded Published"_s;
        QTest::newRow("earlier call answers first: dropped too")
            << 0 << 200 << 400 << 200 << false << u"Second"_s << u"Superseded Published"_s;
        QTest::newRow("latest fails, earlier succeeds later: nothing changes")
            << 600 << 200 << 0 << 500 << false << u"Previous"_s << u"Superseded Failed"_s;
        QTest::newRow("same URL: reload fails, earlier succeeds later: published")
            << 600 << 200 << 0 << 500 << true << u"First"_s << u"Published Failed"_s;
        QTest::newRow("same URL: reload published first: earlier dropped")
            << 600 << 200 << 0 << 200 << true << u"Second"_s << u"Superseded Published"_s;
    }

    void load_overlapping_publishesOnlyTheLatestCall()
    {
        QFETCH(int, firstDelay);
        QFETCH(int, firstStatus);
        QFETCH(int, secondDelay);
        QFETCH(int, secondStatus);
        QFETCH(bool, sameUrl);
        QFETCH(QString, shown);
        QFETCH(QString, outcomes);
        publishPrevious();
        auto first = TestHttpServer::json(document(3, u"First"_s), firstStatus);
        first.delay = std::chrono::milliseconds(firstDelay);
        auto second = TestHttpServer::json(document(4, u"Second"_s), secondStatus);
        second.delay = std::chrono::milliseconds(secondDelay);
        const QString firstPath = u"/first/lastTen.json"_s;
        const QString secondPath = sameUrl ? firstPath : u"/second/lastTen.json"_s;
        server->route(firstPath, first);
        QSignalSpy finished(model.get(), &LastTenViewModel::loadFinished);

        model->load(server->url(firstPath));
        if (sameUrl) // the server has the first request before its answer changes
            QTRY_COMPARE(server->requestCount(firstPath), 1);
        server->route(secondPath, second);
        model->load(server->url(secondPath));

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        const int expectedCount = shown == u"Second" ? 4 : shown == u"First" ? 3 : 2;
        QCOMPARE(titlesOf(model->items()), titles(expectedCount, shown));
        // The calls ended in the order of their delays.
        QStringList ended;
        for (const QList<QVariant> &args : std::as_const(finished))
            ended << QString::fromLatin1(QMetaEnum::fromType<Outcome>().valueToKey(
                static_cast<int>(args.at(1).value<Outcome>())));
        if (firstDelay > secondDelay)
            std::swap(ended[0], ended[1]);
        QCOMPARE(ended.join(u' '), outcomes);
    }
};

QTEST_GUILESS_MAIN(tst_LastTenViewModel)
#include "tst_LastTenViewModel.moc"
