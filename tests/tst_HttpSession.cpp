#include "HttpSession.h"
#include "ManualClock.h"
#include "TestHttpServer.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

using Error = HttpSession::Result::Error;
using Response = TestHttpServer::Response;
using Policy = HttpSession::CachePolicy;

Q_DECLARE_METATYPE(Error)
Q_DECLARE_METATYPE(Policy)
Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

struct Completed
{
    std::optional<HttpSession::Result> result;
    bool synchronous = false; // the completion ran before get() returned
};

// Runs one request to its end; an absent result means it never completed.
Completed fetch(HttpSession &session, const HttpSession::Request &request)
{
    Completed completed;
    QObject context;
    bool returned = false;
    session.get(request, &context, [&](const HttpSession::Result &result) {
        completed.result = result;
        completed.synchronous = !returned;
    });
    returned = true;
    (void)QTest::qWaitFor([&] { return completed.result.has_value(); }, 10000);
    return completed;
}

Completed fetch(HttpSession &session, const QUrl &url,
                Policy policy = Policy::ReturnCacheDataElseLoad)
{
    return fetch(session, { .url = url, .cachePolicy = policy });
}

} // namespace

class tst_HttpSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion(u"1.2.3"_s); }

    void get_errorStatus_isAResponseWithHeadersAndBody()
    {
        TestHttpServer server;
        Response response = TestHttpServer::json(R"({"artist":"x"})", 404);
        response.headers.append(std::pair<QByteArray, QByteArray>("X-Station", "softorbit"));
        server.route(u"/np.json"_s, response);

        const Completed got = fetch(m_session, server.url(u"/np.json"_s));
        QVERIFY(got.result);
        QVERIFY(got.result->ok());
        QCOMPARE(got.result->status, 404);
        QCOMPARE(got.result->header("x-station"), "softorbit");
        QCOMPARE(got.result->body, R"({"artist":"x"})");
        QCOMPARE(server.requests().value(0).header("User-Agent"), "Ondalux/1.2.3");
    }

    void get_again_answersFromCacheOnlyWhenAllowed_data()
    {
        QTest::addColumn<Policy>("policy");
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("serverRequests");

        const Response ok = TestHttpServer::bytes("cover", "image/png");
        Response noStore = ok;
        noStore.headers = { { "Cache-Control", "max-age=60, No-Store" } };
        QTest::newRow("cache first") << Policy::ReturnCacheDataElseLoad << ok << 1;
        QTest::newRow("reload") << Policy::ReloadIgnoringLocalCache << ok << 2;
        QTest::newRow("no-store") << Policy::ReturnCacheDataElseLoad << noStore << 2;
        QTest::newRow("error status")
            << Policy::ReturnCacheDataElseLoad << TestHttpServer::json("{}", 404) << 2;
    }

    void get_again_answersFromCacheOnlyWhenAllowed()
    {
        QFETCH(Policy, policy);
        QFETCH(Response, response);
        QFETCH(int, serverRequests);
        TestHttpServer server;
        server.route(u"/art.png"_s, response);
        QVERIFY(
            fetch(m_session, server.url(u"/art.png"_s), Policy::ReloadIgnoringLocalCache).result);

        const Completed again = fetch(m_session, server.url(u"/art.png#x"_s), policy);
        QVERIFY(again.result);
        QVERIFY(!again.synchronous);
        QCOMPARE(again.result->body, response.body);
        QCOMPARE(again.result->fromCache, serverRequests == 1);
        QCOMPARE(server.requestCount(u"/art.png"_s), serverRequests);
    }

    void cache_pastCapacity_dropsLeastRecentlyUsed()
    {
        TestHttpServer server;
        for (const QString &path : { u"/a"_s, u"/b"_s, u"/c"_s })
            server.route(path, TestHttpServer::bytes(QByteArray(1000, 'x'), "image/png"));
        HttpSession small;
        small.setCacheCapacity(2500); // two responses with their headers, not three

        QVERIFY(fetch(small, server.url(u"/a"_s)).result);
        QVERIFY(fetch(small, server.url(u"/b"_s)).result);
        QVERIFY(fetch(small, server.url(u"/a"_s)).result->fromCache);
        QVERIFY(fetch(small, server.url(u"/c"_s)).result);

        QVERIFY(fetch(small, server.url(u"/a"_s)).result->fromCache);
        QVERIFY(!fetch(small, server.url(u"/b"_s)).result->fromCache);
        QCOMPARE(server.requestCount(u"/b"_s), 2);
    }

    void get_failure_isReportedAsItsKind_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<Error>("error");
        // Requested with 500 ms of idleness and 1000 bytes of body allowed.
        const QByteArray body(40, 'x');
        const Response trickle{ .body = body,
                                .mode = Response::Mode::TrickleThenStall,
                                .trickleBytes = body.size(),
                                .trickleInterval = 40ms };
        Response stall = trickle;
        stall.trickleBytes = 10;
        // 40 pieces 40 ms apart take well past the 500 ms of idleness allowed.
        QTest::newRow("data keeps flowing") << trickle << Error::None;
        QTest::newRow("stalls mid-body") << stall << Error::Timeout;
        QTest::newRow("never answers")
            << Response{ .mode = Response::Mode::NeverAnswer } << Error::Timeout;
        QTest::newRow("exactly the bound")
            << Response{ .body = QByteArray(1000, 'x'), .chunked = true } << Error::None;
        // Fails on the announcement alone, before the idle timeout could.
        QTest::newRow("announced past the bound, never sent")
            << Response{ .headers = { { "Content-Length", "1000000000" } },
                         .mode = Response::Mode::TrickleThenStall }
            << Error::TooLarge;
        QTest::newRow("closed before answering")
            << Response{ .mode = Response::Mode::CloseWithoutAnswer } << Error::Network;
        QTest::newRow("closed mid-body")
            << Response{ .headers = { { "Content-Length", "1000" }, { "Connection", "close" } },
                         .body = "only this" }
            << Error::Network;
        QTest::newRow("200 MiB of JSON, chunked")
            << Response{ .body = "{}", .chunked = true, .paddedTo = qint64{ 200 } * 1024 * 1024 }
            << Error::TooLarge;
    }

    void get_failure_isReportedAsItsKind()
    {
        QFETCH(Response, response);
        QFETCH(Error, error);
        TestHttpServer server;
        server.route(u"/r"_s, response);
        const Completed got = fetch(
            m_session, { .url = server.url(u"/r"_s), .idleTimeout = 500ms, .maxBodyBytes = 1000 });
        QVERIFY(got.result);
        QCOMPARE(got.result->error, error);
        QCOMPARE(got.result->body, error == Error::None ? response.body : QByteArray());
        // The client hung up long before a huge body could all be sent.
        QVERIFY(server.paddingSent(u"/r"_s) < 16 * 1024 * 1024);
    }

    // Each steady trickle keeps one of Qt's six connections to the host; the deadline frees them.
    void get_sixTrickling_failAtTheirDeadline_andALaterRequestGoesThrough()
    {
        TestHttpServer server;
        const QByteArray body(100'000, 'x');
        server.route(u"/slow"_s,
                     { .headers = { { "Content-Length", QByteArray::number(body.size()) } },
                       .body = body,
                       .mode = Response::Mode::TrickleThenStall,
                       .trickleBytes = body.size(),
                       .trickleInterval = 50ms });
        server.route(u"/fast"_s, TestHttpServer::json("{}"));
        ManualClock clock;
        HttpSession session(clock);
        QObject context;
        QList<Error> slow;
        for (int i = 0; i < 6; ++i) {
            session.get({ .url = server.url(u"/slow"_s), .deadline = 20s }, &context,
                        [&](const HttpSession::Result &result) { slow << result.error; });
        }
        QTRY_COMPARE(server.requestCount(u"/slow"_s), 6);
        clock.advance(19s);
        std::optional<HttpSession::Result> fast;
        session.get({ .url = server.url(u"/fast"_s) }, &context,
                    [&](const HttpSession::Result &result) { fast = result; });
        QTest::qWait(200); // the slow ones still hold every connection
        QVERIFY(!fast && slow.isEmpty());

        clock.advance(2s);
        QTRY_COMPARE(slow, QList<Error>(6, Error::Timeout));
        QTRY_VERIFY(fast);
        QCOMPARE(fast->status, 200);
    }

    void get_redirects_followsAtMostFiveWebHops_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<QString>("finalLocation"); // empty: the hops end at a document
        QTest::addColumn<Error>("error");
        QTest::newRow("five") << 5 << QString() << Error::None;
        QTest::newRow("six") << 6 << QString() << Error::Redirect;
        QTest::newRow("to file:") << 1 << u"file:///etc/hostname"_s << Error::Redirect;
        QTest::newRow("loop") << 2 << u"/hop/1"_s << Error::Redirect;
    }

    void get_redirects_followsAtMostFiveWebHops()
    {
        QFETCH(int, hops);
        QFETCH(QString, finalLocation);
        QFETCH(Error, error);
        TestHttpServer server;
        // Relative locations, resolved against each hop.
        for (int hop = 1; hop < hops; ++hop)
            server.route(u"/hop/%1"_s.arg(hop), TestHttpServer::redirect(QString::number(hop + 1)));
        server.route(u"/hop/%1"_s.arg(hops),
                     TestHttpServer::redirect(finalLocation.isEmpty() ? u"/end"_s : finalLocation));
        server.route(u"/end"_s, TestHttpServer::json("{}"));

        const Completed got = fetch(m_session, server.url(u"/hop/1"_s));
        QVERIFY(got.result);
        QCOMPARE(got.result->error, error);
        QCOMPARE(got.result->status, error == Error::None ? 200 : 0);
    }

    void get_notHttp_failsLaterTouchingNothing_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("file") << u"file:///etc/hostname"_s;
        QTest::newRow("no host") << u"/np.json"_s;
    }

    void get_notHttp_failsLaterTouchingNothing()
    {
        QFETCH(QString, url);
        const Completed got = fetch(m_session, QUrl(url));
        QVERIFY(got.result);
        QVERIFY(!got.synchronous);
        QCOMPARE(got.result->error, Error::UnsupportedScheme);
        QVERIFY(got.result->body.isEmpty());
    }

    void get_contextDestroyed_neverCompletes()
    {
        TestHttpServer server;
        server.route(u"/np.json"_s, { .body = "{}", .delay = 100ms });
        int completions = 0;
        auto context = std::make_unique<QObject>();
        m_session.get({ .url = server.url(u"/np.json"_s) }, context.get(),
                      [&completions](const HttpSession::Result &) { ++completions; });
        QTRY_COMPARE(server.requestCount(u"/np.json"_s), 1);
        context.reset();

        // A later request for the same answer completes after the first one would have.
        QVERIFY(
            fetch(m_session, server.url(u"/np.json"_s), Policy::ReloadIgnoringLocalCache).result);
        QCOMPARE(completions, 0);
    }

private:
    HttpSession m_session;
};

QTEST_GUILESS_MAIN(tst_HttpSession)
#include "tst_HttpSession.moc"
