#include "HttpSession.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "TlsTrust.h"

#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

using Error = HttpSession::Result::Error;
using Tls = TestHttpServer::Tls;

Q_DECLARE_METATYPE(Error)
Q_DECLARE_METATYPE(Tls)

namespace {

std::optional<HttpSession::Result> fetch(HttpSession &session, const QUrl &url)
{
    std::optional<HttpSession::Result> got;
    QObject context;
    session.get({ .url = url }, &context,
                [&got](const HttpSession::Result &result) { got = result; });
    (void)QTest::qWaitFor([&got] { return got.has_value(); }, 10'000);
    return got;
}

} // namespace

// Trust is process-wide and cannot be taken back, so the cases run in declaration order:
// first without the test authority, then with it.
class tst_HttpSessionTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void get_unknownAuthority_failsAsNetwork()
    {
        TestHttpServer server(TestHttpServer::Tls::Yes);
        server.route(u"/np.json"_s, TestHttpServer::json("{}"));
        HttpSession session;
        const auto got = fetch(session, server.url(u"/np.json"_s, TestHttpServer::Host::Localhost));
        QVERIFY(got);
        QCOMPARE(got->error, Error::Network);
        QVERIFY(got->body.isEmpty());
    }

    void get_addedAuthority_verifiesServer_data()
    {
        QTest::addColumn<Tls>("tls");
        QTest::addColumn<Error>("error");
        QTest::newRow("valid") << Tls::Yes << Error::None;
        QTest::newRow("certificate for another host") << Tls::WrongHost << Error::Network;
        QTest::newRow("expired certificate") << Tls::Expired << Error::Network;
    }

    void get_addedAuthority_verifiesServer()
    {
        QFETCH(Tls, tls);
        QFETCH(Error, error);
        QVERIFY(TlsTrust::trustInAddition(TestFixtures::read(u"ca.pem"_s)));
        TestHttpServer server(tls);
        server.route(u"/np.json"_s, TestHttpServer::json(R"({"title":"t"})"));
        HttpSession session;
        const auto got = fetch(session, server.url(u"/np.json"_s, TestHttpServer::Host::Localhost));
        QVERIFY(got);
        QCOMPARE(got->error, error);
        QCOMPARE(got->body, error == Error::None ? R"({"title":"t"})" : QByteArray());
        QCOMPARE(server.requests().size(), error == Error::None ? 1 : 0);
    }

    void get_redirectFromHttpsToHttp_isRefused()
    {
        TestHttpServer secure(TestHttpServer::Tls::Yes);
        TestHttpServer plain;
        plain.route(u"/np.json"_s, TestHttpServer::json("{}"));
        secure.route(u"/np.json"_s, TestHttpServer::redirect(plain.url(u"/np.json"_s).toString()));
        HttpSession session;
        const auto got = fetch(session, secure.url(u"/np.json"_s));
        QVERIFY(got);
        QCOMPARE(got->error, Error::Redirect);
        QCOMPARE(secure.requestCount(u"/np.json"_s), 1);
        QCOMPARE(plain.requestCount(u"/np.json"_s), 0);
    }
};

QTEST_GUILESS_MAIN(tst_HttpSessionTls)
#include "tst_HttpSessionTls.moc"
