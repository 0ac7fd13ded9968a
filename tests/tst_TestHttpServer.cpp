#include "IcyEncoder.h"
#include "TestFixtures.h"
#include "TestHttpServer.h"
#include "TlsTrust.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// A stream with its ICY metadata taken out.
struct IcyDecoded
{
    QByteArray audio;
    QList<QByteArray> blocks; // each block's text without padding; empty for L = 0
    bool wellFormed = true; // every block's padding was NUL
};

// Decodes every complete audio run and block of `stream`; a trailing partial block is left out.
IcyDecoded decodeIcy(const QByteArray &stream, int metaInt)
{
    IcyDecoded decoded;
    qsizetype at = 0;
    while (at < stream.size()) {
        const QByteArray audio = stream.mid(at, metaInt);
        if (audio.size() < metaInt || at + metaInt == stream.size()) {
            decoded.audio += audio;
            break;
        }
        const qsizetype length = static_cast<uchar>(stream.at(at + metaInt)) * 16;
        const qsizetype textAt = at + metaInt + 1;
        if (textAt + length > stream.size()) {
            decoded.audio += audio;
            break;
        }
        const QByteArray block = stream.mid(textAt, length);
        const qsizetype nul = block.indexOf('\0');
        const QByteArray text = nul < 0 ? block : block.left(nul);
        decoded.wellFormed = decoded.wellFormed && block.count('\0') == block.size() - text.size()
            && (length == 0 || block.size() - text.size() < 16);
        decoded.audio += audio;
        decoded.blocks.append(text);
        at = textAt + length;
    }
    return decoded;
}

QList<QByteArray> titlesIn(const QList<QByteArray> &blocks)
{
    QList<QByteArray> titles;
    for (const QByteArray &block : blocks) {
        if (block.startsWith("StreamTitle='") && block.endsWith("';StreamUrl='';"))
            titles.append(block.sliced(13, block.size() - 13 - 15));
        else if (!block.isEmpty())
            titles.append("<malformed: " + block + '>');
    }
    return titles;
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return bytes;
}

QByteArray looped(const QByteArray &bytes, qsizetype size)
{
    return bytes.repeated(size / bytes.size() + 1).left(size);
}

// The status codes of the answers in `raw`, in order, stepping over each answer's body.
QList<int> statusesIn(QByteArray raw)
{
    QList<int> statuses;
    for (qsizetype end; (end = raw.indexOf("\r\n\r\n")) >= 0;) {
        const QByteArray head = raw.left(end);
        statuses.append(head.mid(9, 3).toInt());
        const qsizetype at = head.toLower().indexOf("content-length: ");
        const qsizetype bodySize = at < 0 ? 0 : head.mid(at + 16).split('\r').first().toInt();
        raw.remove(0, end + 4 + bodySize);
    }
    return statuses;
}

// Accumulates everything a reply delivers.
struct Received
{
    explicit Received(QNetworkReply *started)
        : reply(started)
    {
        QObject::connect(started, &QNetworkReply::readyRead, started,
                         [this] { bytes += reply->readAll(); });
    }
    std::unique_ptr<QNetworkReply> reply;
    QByteArray bytes;
};

QNetworkReply *finished(QNetworkReply *reply)
{
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        done.wait(5000);
    return reply;
}

} // namespace

class tst_TestHttpServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void icyEncoder_anyChunking_putsBlockAfterEveryMetaIntAudioBytes_data()
    {
        QTest::addColumn<int>("chunk");
        constexpr int metaInt = 100;
        QTest::newRow("one byte") << 1;
        QTest::newRow("seven bytes") << 7;
        QTest::newRow("metaInt - 1") << metaInt - 1;
        QTest::newRow("metaInt") << metaInt;
        QTest::newRow("3 metaInt + 5") << 3 * metaInt + 5;
    }

    void icyEncoder_anyChunking_putsBlockAfterEveryMetaIntAudioBytes()
    {
        QFETCH(int, chunk);
        constexpr int metaInt = 100;
        const QByteArray audio = pattern(10 * metaInt + 37);
        IcyEncoder encoder(metaInt);
        encoder.setTitle(u"First"_s);
        QByteArray stream;
        for (qsizetype at = 0; at < audio.size(); at += chunk)
            stream += encoder.encode(QByteArrayView(audio).sliced(at).first(
                std::min<qsizetype>(chunk, audio.size() - at)));

        const IcyDecoded decoded = decodeIcy(stream, metaInt);
        QCOMPARE(decoded.audio, audio);
        QCOMPARE(decoded.blocks.size(), 10);
        QCOMPARE(titlesIn(decoded.blocks), QList<QByteArray>{ "First" });
        QVERIFY(decoded.blocks.first().size() > 0);
        QCOMPARE(stream.size(), audio.size() + 9 + 1 + 48);
    }

    void icyEncoder_titleChange_sendsBlockOnceThenZeroLength()
    {
        IcyEncoder encoder(4);
        const QByteArray audio = "abcd";
        const QByteArray quiet("abcd\0", 5);
        QCOMPARE(encoder.encode(audio), quiet);

        encoder.setTitle(u"One"_s);
        QCOMPARE(encoder.encode(audio), QByteArray(audio + IcyEncoder::metadataBlock(u"One"_s)));
        QCOMPARE(encoder.encode(audio), quiet);

        encoder.setTitle(u"One"_s);
        QCOMPARE(encoder.encode(audio), quiet);

        encoder.setTitle(u"Two"_s);
        encoder.setTitle(u"Three"_s);
        QCOMPARE(encoder.encode(audio), QByteArray(audio + IcyEncoder::metadataBlock(u"Three"_s)));
        QCOMPARE(encoder.encode(audio), quiet);
    }

    void icyEncoder_block_carriesTitlePaddedToSixteenBytes_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("sentTitle");
        QTest::addColumn<int>("lengthByte");

        // 28 bytes of "StreamTitle='';StreamUrl='';" surround every title.
        QTest::newRow("empty") << QString() << QByteArray() << 2;
        QTest::newRow("fills the last unit") << u"abcd"_s << QByteArray("abcd") << 2;
        QTest::newRow("one byte into a unit") << u"abcde"_s << QByteArray("abcde") << 3;
        QTest::newRow("non-ASCII")
            << u"Café – Señor"_s << QByteArray("Caf\xc3\xa9 \xe2\x80\x93 Se\xc3\xb1or") << 3;
        QTest::newRow("overlong ASCII") << QString(5000, u'a') << QByteArray(4052, 'a') << 255;
        QTest::newRow("two-byte character across the limit")
            << QString(QString(4051, u'a') + u"é"_s) << QByteArray(4051, 'a') << 255;
        QTest::newRow("three-byte characters")
            << QString(2000, u'€') << QByteArray("\xe2\x82\xac").repeated(1350) << 255;
    }

    void icyEncoder_block_carriesTitlePaddedToSixteenBytes()
    {
        QFETCH(QString, title);
        QFETCH(QByteArray, sentTitle);
        QFETCH(int, lengthByte);
        IcyEncoder encoder(1);
        encoder.setTitle(title);
        const QByteArray block = encoder.encode("x").sliced(1);

        QCOMPARE(static_cast<uchar>(block.at(0)), lengthByte);
        QCOMPARE(block.size(), 1 + lengthByte * 16);
        const QByteArray text = "StreamTitle='" + sentTitle + "';StreamUrl='';";
        QCOMPARE(block.sliced(1, text.size()), text);
        QCOMPARE(block.sliced(1 + text.size()), QByteArray(lengthByte * 16 - text.size(), '\0'));
    }

    void rawRequest_isAnsweredInOrderOrRefused_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QList<int>>("statuses");

        QTest::newRow("CRLF") << QByteArray(
            "GET /a HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                              << QList<int>{ 200 };
        QTest::newRow("LF only") << QByteArray("GET /a HTTP/1.1\nHost: x\nConnection: close\n\n")
                                 << QList<int>{ 200 };
        QTest::newRow("HTTP/1.0 closes unasked")
            << QByteArray("GET /a HTTP/1.0\r\n\r\n") << QList<int>{ 200 };
        QTest::newRow("pipelined, body skipped") << QByteArray(
            "POST /a HTTP/1.1\r\nContent-Length: 6\r\n\r\nGET /bGET /b?q=1 HTTP/1.1\r\n"
            "\r\nGET /none HTTP/1.1\r\nConnection: close\r\n\r\n")
                                                 << QList<int>{ 200, 201, 404 };
        QTest::newRow("malformed request line")
            << QByteArray("NONSENSE\r\n\r\n") << QList<int>{ 400 };
        QTest::newRow("bad Content-Length")
            << QByteArray("POST /a HTTP/1.1\r\nContent-Length: many\r\n\r\n") << QList<int>{ 400 };
        QTest::newRow("head over 64 KiB")
            << QByteArray("GET /a HTTP/1.1\r\nX-Big: " + QByteArray(70000, 'x')) << QList<int>{};
    }

    void rawRequest_isAnsweredInOrderOrRefused()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QList<int>, statuses);
        TestHttpServer server;
        server.route(u"/a"_s, { .body = "alpha" });
        server.route(u"/b"_s, { .status = 201, .body = "bravo" });

        QTcpSocket socket;
        QByteArray answer;
        connect(&socket, &QTcpSocket::readyRead, this, [&] { answer += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        socket.write(raw);
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 5000);
        QCOMPARE(statusesIn(answer), statuses);
    }

    void route_scriptedResponse_reachesClient_data()
    {
        QTest::addColumn<TestHttpServer::Response>("response");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("body");

        QTest::newRow("json") << TestHttpServer::json(R"({"a":1})") << u"/r"_s << 200
                              << QByteArray("Content-Type") << QByteArray("application/json")
                              << QByteArray(R"({"a":1})");
        QTest::newRow("status and header")
            << TestHttpServer::Response{ .status = 201,
                                         .headers = { { "X-Thing", "yes" } },
                                         .body = "made" }
            << u"/r"_s << 201 << QByteArray("X-Thing") << QByteArray("yes") << QByteArray("made");
        QTest::newRow("redirect") << TestHttpServer::redirect(u"/elsewhere"_s, 301) << u"/r"_s
                                  << 301 << QByteArray("Location") << QByteArray("/elsewhere")
                                  << QByteArray();
        QTest::newRow("chunked") << TestHttpServer::Response{ .body = pattern(2500),
                                                              .chunked = true }
                                 << u"/r"_s << 200 << QByteArray("Transfer-Encoding")
                                 << QByteArray("chunked") << pattern(2500);
        QTest::newRow("error with body")
            << TestHttpServer::Response{ .status = 503, .body = "busy" } << u"/r"_s << 503
            << QByteArray("Content-Length") << QByteArray("4") << QByteArray("busy");
        QTest::newRow("unknown path")
            << TestHttpServer::json("{}") << u"/missing"_s << 404 << QByteArray("Content-Type")
            << QByteArray("text/plain") << QByteArray("not found\n");
    }

    void route_scriptedResponse_reachesClient()
    {
        QFETCH(TestHttpServer::Response, response);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, body);
        TestHttpServer server;
        QVERIFY(server.isListening());
        server.route(u"/r"_s, response);

        QNetworkAccessManager network;
        QNetworkRequest request(server.url(path));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        std::unique_ptr<QNetworkReply> reply(finished(network.get(request)));
        QVERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), status);
        QCOMPARE(reply->rawHeader(header), value);
        QCOMPARE(reply->readAll(), body);
    }

    void requestLog_keepAliveConnection_recordsEveryRequestInOrder()
    {
        TestHttpServer server;
        server.route(u"/a"_s, { .body = "alpha" });
        server.route(u"/b"_s, { .body = "bravo" });
        QNetworkAccessManager network;

        QNetworkRequest post(server.url(u"/a"_s));
        post.setRawHeader("X-Test", "one");
        post.setHeader(QNetworkRequest::ContentTypeHeader, u"text/plain"_s);
        std::unique_ptr<QNetworkReply> first(finished(network.post(post, "hello")));
        QCOMPARE(first->readAll(), "alpha");
        std::unique_ptr<QNetworkReply> second(
            finished(network.get(QNetworkRequest(server.url(u"/b?x=1"_s)))));
        QCOMPARE(second->readAll(), "bravo");

        const QList<TestHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].method, "POST");
        QCOMPARE(requests[0].path, "/a");
        QCOMPARE(requests[0].header("x-TEST"), "one");
        QCOMPARE(requests[0].body, "hello");
        QCOMPARE(requests[1].method, "GET");
        QCOMPARE(requests[1].path, "/b?x=1");
        QCOMPARE(requests[1].connection, requests[0].connection);
        QVERIFY(requests[1].arrived >= requests[0].arrived);
        QCOMPARE(server.requestCount(u"/b"_s), 1);
        QCOMPARE(server.requestCount(u"/b?x=1"_s), 1);
        QCOMPARE(server.requestCount(u"/b?x=2"_s), 0);
    }

    void delay_holdsTheAnswerBack()
    {
        TestHttpServer server;
        server.route(u"/slow"_s, { .body = "late", .delay = 300ms });
        QNetworkAccessManager network;
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<QNetworkReply> reply(
            finished(network.get(QNetworkRequest(server.url(u"/slow"_s)))));
        QCOMPARE(reply->readAll(), "late");
        QVERIFY2(clock.elapsed() >= 290, QByteArray::number(clock.elapsed()));
    }

    void neverAnswer_clientTimesOut_requestStillLogged()
    {
        TestHttpServer server;
        server.route(u"/void"_s, { .mode = TestHttpServer::Response::Mode::NeverAnswer });
        QSignalSpy received(&server, &TestHttpServer::requestReceived);
        QNetworkAccessManager network;
        QNetworkRequest request(server.url(u"/void"_s));
        request.setTransferTimeout(200);
        std::unique_ptr<QNetworkReply> reply(finished(network.get(request)));

        QVERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::OperationCanceledError);
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().value<TestHttpServer::Request>().path, "/void");
        QCOMPARE(server.requestCount(u"/void"_s), 1);
    }

    void trickleThenStall_sendsExactlyTrickleBytesThenNothing()
    {
        TestHttpServer server;
        server.route(u"/drip"_s,
                     { .body = pattern(100),
                       .mode = TestHttpServer::Response::Mode::TrickleThenStall,
                       .trickleBytes = 10,
                       .trickleChunk = 3,
                       .trickleInterval = 20ms });
        QNetworkAccessManager network;
        Received received(network.get(QNetworkRequest(server.url(u"/drip"_s))));
        QSignalSpy readyRead(received.reply.get(), &QNetworkReply::readyRead);

        QTRY_COMPARE(received.bytes, pattern(10));
        readyRead.clear();
        QVERIFY(!readyRead.wait(300));
        QCOMPARE(received.bytes.size(), 10);
        QVERIFY(!received.reply->isFinished());
        QCOMPARE(received.reply->header(QNetworkRequest::ContentLengthHeader).toInt(), 100);
    }

    void stream_metadataOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("askForMetadata");
        QTest::newRow("plain") << false;
        QTest::newRow("Icy-MetaData: 1") << true;
    }

    void stream_metadataOnlyWhenAsked()
    {
        QFETCH(bool, askForMetadata);
        constexpr int metaInt = 1000;
        const QByteArray audio = pattern(777); // short, so the loop wraps often
        TestHttpServer server;
        server.stream(
            u"/live"_s,
            { .audio = audio, .bytesPerSecond = 16000, .burst = 500ms, .metaInt = metaInt });
        server.setStreamTitle(u"/live"_s, u"Artist – First"_s);

        QNetworkAccessManager network;
        QNetworkRequest request(server.url(u"/live"_s));
        if (askForMetadata)
            request.setRawHeader("Icy-MetaData", "1");
        Received received(network.get(request));
        QTRY_VERIFY(received.bytes.size() > 9000);

        QCOMPARE(received.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(received.reply->rawHeader("Content-Type"), "audio/mpeg");
        QCOMPARE(received.reply->rawHeader("icy-name"), "Test Radio");
        QCOMPARE(received.reply->rawHeader("icy-br"), "128");
        QCOMPARE(received.reply->rawHeader("Cache-Control"), "no-cache");
        if (!askForMetadata) {
            QVERIFY(!received.reply->hasRawHeader("icy-metaint"));
            QCOMPARE(received.bytes, looped(audio, received.bytes.size()));
            return;
        }

        QCOMPARE(received.reply->rawHeader("icy-metaint"), "1000");
        server.setStreamTitle(u"/live"_s, u"Second"_s);
        const QByteArray second = "Second";
        QTRY_VERIFY(titlesIn(decodeIcy(received.bytes, metaInt).blocks).contains(second));
        const IcyDecoded decoded = decodeIcy(received.bytes, metaInt);
        QVERIFY(decoded.wellFormed);
        QCOMPARE(decoded.audio, looped(audio, decoded.audio.size()));
        QCOMPARE(titlesIn(decoded.blocks),
                 (QList<QByteArray>{ u"Artist – First"_s.toUtf8(), second }));
        QCOMPARE(decoded.blocks.first(),
                 QByteArray("StreamTitle='" + u"Artist – First"_s.toUtf8() + "';StreamUrl='';"));
    }

    void stream_burstArrivesAtOnceThenRealRate()
    {
        TestHttpServer server;
        server.stream(u"/live"_s, { .audio = pattern(4000), .bytesPerSecond = 1000, .burst = 5s });
        QNetworkAccessManager network;
        QElapsedTimer clock;
        clock.start();
        Received received(network.get(QNetworkRequest(server.url(u"/live"_s))));

        // Without the burst, 5000 bytes would take five seconds.
        QTRY_VERIFY_WITH_TIMEOUT(received.bytes.size() >= 5000, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(received.bytes.size() >= 5400, 3000);
        QVERIFY2(clock.elapsed() >= 350, QByteArray::number(clock.elapsed()));
    }

    void stream_listeners_areCountedPausedAndDropped()
    {
        TestHttpServer server;
        server.stream(u"/live"_s, { .audio = pattern(1000), .bytesPerSecond = 8000 });
        QNetworkAccessManager network;
        Received leaving(network.get(QNetworkRequest(server.url(u"/live"_s))));
        Received staying(network.get(QNetworkRequest(server.url(u"/live"_s))));
        QTRY_COMPARE(server.openStreamConnections(u"/live"_s), 2);
        QCOMPARE(server.openStreamConnections(u"/other"_s), 0);

        leaving.reply->abort();
        QTRY_COMPARE(server.openStreamConnections(u"/live"_s), 1);

        QTRY_VERIFY(!staying.bytes.isEmpty());
        server.setStreamPaused(u"/live"_s, true);
        QSignalSpy readyRead(staying.reply.get(), &QNetworkReply::readyRead);
        readyRead.wait(100); // what was already on its way
        readyRead.clear();
        QVERIFY(!readyRead.wait(300));
        server.setStreamPaused(u"/live"_s, false);
        QVERIFY(readyRead.wait(1000));

        QSignalSpy ended(staying.reply.get(), &QNetworkReply::finished);
        server.dropStreamConnections(u"/live"_s);
        QVERIFY(ended.wait(2000));
        QCOMPARE(server.openStreamConnections(u"/live"_s), 0);
    }

    void tls_trustedAuthority_clientVerifiesCertificate_data()
    {
        QTest::addColumn<TestHttpServer::Host>("host");
        QTest::newRow("127.0.0.1") << TestHttpServer::Host::Ip;
        QTest::newRow("localhost") << TestHttpServer::Host::Localhost;
    }

    void tls_trustedAuthority_clientVerifiesCertificate()
    {
        QFETCH(TestHttpServer::Host, host);
        QVERIFY(TlsTrust::trustInAddition(TestFixtures::read(u"ca.pem"_s)));
        TestHttpServer server(TestHttpServer::Tls::Yes);
        QVERIFY(server.isListening());
        server.route(u"/secure"_s, TestHttpServer::json(R"({"ok":true})"));

        QNetworkAccessManager network;
        std::unique_ptr<QNetworkReply> reply(
            finished(network.get(QNetworkRequest(server.url(u"/secure"_s, host)))));
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(reply->url().scheme(), u"https"_s);
        QCOMPARE(reply->readAll(), R"({"ok":true})");
    }
};

QTEST_GUILESS_MAIN(tst_TestHttpServer)
#include "tst_TestHttpServer.moc"
