#include "IcyEncoder.h"
#include "TestHttpServer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QByteArray icyText(const QByteArray &title)
{
    return "StreamTitle='" + title + "';StreamUrl='';";
}

// The audio and the metadata texts (padding cut off; empty for L = 0) of every complete block
// of `stream`. A block whose padding is not 0 to 15 NUL bytes is kept whole, to fail compares.
std::pair<QByteArray, QList<QByteArray>> decodeIcy(const QByteArray &stream, int metaInt)
{
    QByteArray audio;
    QList<QByteArray> blocks;
    for (qsizetype at = 0;;) {
        const qsizetype textAt = at + metaInt + 1;
        const qsizetype length
            = textAt > stream.size() ? 0 : static_cast<uchar>(stream.at(at + metaInt)) * 16;
        audio += stream.mid(at, metaInt);
        if (textAt + length > stream.size())
            return { audio, blocks };
        const QByteArray block = stream.mid(textAt, length);
        const qsizetype nul = block.indexOf('\0');
        const QByteArray text = nul < 0 ? block : block.first(nul);
        const bool padded
            = block.size() - text.size() < 16 && block.count('\0') == block.size() - text.size();
        blocks.append(padded ? text : block);
        at = textAt + length;
    }
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
    return bytes.repeated(size / bytes.size() + 1).first(size);
}

} // namespace

class tst_TestHttpServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void icyEncoder_anyChunking_putsBlockAfterEveryMetaIntAudioBytes_data()
    {
        QTest::addColumn<int>("chunk");
        QTest::newRow("one byte") << 1;
        QTest::newRow("seven bytes") << 7;
        QTest::newRow("metaInt - 1") << 99;
        QTest::newRow("metaInt") << 100;
        QTest::newRow("3 metaInt + 5") << 305;
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

        const auto [decodedAudio, blocks] = decodeIcy(stream, metaInt);
        QCOMPARE(decodedAudio, audio);
        QCOMPARE(blocks, QList<QByteArray>{ icyText("First") } + QList<QByteArray>(9));
    }

    void icyEncoder_titleChange_sendsBlockOnceThenZeroLength()
    {
        IcyEncoder encoder(4);
        const QByteArray quiet("abcd\0", 5);
        QCOMPARE(encoder.encode("abcd"), quiet);
        encoder.setTitle(u"One"_s);
        QCOMPARE(encoder.encode("abcd"), "abcd" + IcyEncoder::metadataBlock(u"One"_s));
        QCOMPARE(encoder.encode("abcd"), quiet);
        encoder.setTitle(u"One"_s);
        QCOMPARE(encoder.encode("abcd"), quiet);
        encoder.setTitle(u"Two"_s);
        encoder.setTitle(u"Three"_s);
        QCOMPARE(encoder.encode("abcd"), "abcd" + IcyEncoder::metadataBlock(u"Three"_s));
        QCOMPARE(encoder.encode("abcd"), quiet);
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

        const QByteArray text = icyText(sentTitle);
        QCOMPARE(static_cast<uchar>(block.at(0)), lengthByte);
        QCOMPARE(block.sliced(1), text + QByteArray(lengthByte * 16 - text.size(), '\0'));
    }

    void rawRequest_isAnsweredInOrderOrRefused_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QList<int>>("statuses");

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
        QList<int> answered; // the bodies here never hold a status line
        for (qsizetype at = 0; (at = answer.indexOf("HTTP/1.1 ", at)) >= 0; at += 9)
            answered.append(answer.mid(at + 9, 3).toInt());
        QCOMPARE(answered, statuses);
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
        QNetworkReply *reply = network.get(request);
        QByteArray bytes;
        connect(reply, &QNetworkReply::readyRead, this, [&] { bytes += reply->readAll(); });
        QTRY_VERIFY(bytes.size() > 9000);

        if (!askForMetadata) {
            QVERIFY(!reply->hasRawHeader("icy-metaint"));
            QCOMPARE(bytes, looped(audio, bytes.size()));
            return;
        }
        QCOMPARE(reply->rawHeader("icy-metaint"), "1000");
        server.setStreamTitle(u"/live"_s, u"Second"_s);
        QTRY_VERIFY(decodeIcy(bytes, metaInt).second.contains(icyText("Second")));
        auto [streamAudio, blocks] = decodeIcy(bytes, metaInt);
        QCOMPARE(streamAudio, looped(audio, streamAudio.size()));
        blocks.removeAll(QByteArray());
        QCOMPARE(blocks,
                 (QList<QByteArray>{ icyText(u"Artist – First"_s.toUtf8()), icyText("Second") }));
    }
};

QTEST_GUILESS_MAIN(tst_TestHttpServer)
#include "tst_TestHttpServer.moc"
