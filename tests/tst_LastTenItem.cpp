#include "LastTenItem.h"
#include "TestFixtures.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using TestFixtures::json;

// A record's present fields as "key=value", in the document's key order; absent fields are left
// out, so an empty value ("title=") and an absent one stay apart.
QString describe(const LastTenItem &item)
{
    const std::pair<const char *, std::optional<QString> LastTenItem::*> fields[] = {
        { "artist", &LastTenItem::artist },
        { "title", &LastTenItem::title },
        { "mix", &LastTenItem::mix },
        { "year", &LastTenItem::year },
        { "buycd", &LastTenItem::buycd },
        { "picture", &LastTenItem::picture },
        { "artwork_url", &LastTenItem::artwork_url },
        { "artwork", &LastTenItem::artwork },
        { "cover", &LastTenItem::cover },
        { "coverart", &LastTenItem::coverart },
        { "albumart", &LastTenItem::albumart },
        { "image", &LastTenItem::image },
        { "image_url", &LastTenItem::image_url },
    };
    QStringList present;
    for (const auto &[name, member] : fields) {
        if (item.*member)
            present.append(QLatin1StringView(name) + u'=' + *(item.*member));
    }
    return present.join(u'|');
}

} // namespace

class tst_LastTenItem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeItems_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QStringList>("records");

        const QByteArray a = json("{'artist':'A','title':'T1'}");
        const QByteArray b = json("{'artist':'B','title':'T2'}");
        const QByteArray c = json("{'artist':'C','title':'T3'}");
        const QStringList ab{ u"artist=A|title=T1"_s, u"artist=B|title=T2"_s };
        const QStringList abc = ab + QStringList{ u"artist=C|title=T3"_s };
        const QStringList none;

        // Array shape
        QTest::newRow("array: entries in document order")
            << QByteArray("[" + a + "," + b + "]") << true << ab;
        QTest::newRow("array: empty is an empty list") << "[]"_ba << true << none;
        QTest::newRow("array: all thirteen keys")
            << json("[{'artist':'a','title':'t','mix':'m','year':'1999','buycd':'https://b',"
                    "'picture':'p','artwork_url':'au','artwork':'aw','cover':'c',"
                    "'coverart':'ca','albumart':'aa','image':'i','image_url':'iu'}]")
            << true
            << QStringList{ u"artist=a|title=t|mix=m|year=1999|buycd=https://b|picture=p|"
                            u"artwork_url=au|artwork=aw|cover=c|coverart=ca|albumart=aa|"
                            u"image=i|image_url=iu"_s };
        QTest::newRow("array: empty title present, null title absent, empty entry")
            << json("[{'title':''},{'title':null,'artist':'x'},{}]") << true
            << QStringList{ u"title="_s, u"artist=x"_s, QString() };
        QTest::newRow("array: surrounding spaces and escapes kept as sent")
            << json("[{'artist':'  Ana \\u00e9\\n ','mix':'\\t'}]") << true
            << QStringList{ u"artist=  Ana \u00e9\n |mix=\t"_s };
        QTest::newRow("array: unknown keys, id and other spellings ignored")
            << json("[{'id':7,'Artist':5,'imageUrl':1,'extra':{'n':[1,true]},'artist':'a'}]")
            << true << QStringList{ u"artist=a"_s };
        QTest::newRow("array: year as a number fails the whole list")
            << QByteArray("[" + a + json(",{'artist':'B','year':1999}]")) << false << none;
        QTest::newRow("array: entry that is a number")
            << QByteArray("[" + a + ",1]") << false << none;

        // Object shape
        QTest::newRow("object: items wins over data") << QByteArray(
            "{\"items\":[" + a + "," + b + "],\"data\":[" + a + "," + b + "," + c + "]}")
                                                      << true << ab;
        QTest::newRow("object: Items is not items")
            << QByteArray("{\"Items\":[" + a + "],\"data\":[" + b + "]}") << true
            << QStringList{ u"artist=B|title=T2"_s };
        QTest::newRow("object: null items gives data")
            << QByteArray("{\"items\":null,\"data\":[" + a + "," + b + "," + c + "]}") << true
            << abc;
        QTest::newRow("object: empty items wins over data")
            << QByteArray("{\"items\":[],\"data\":[" + a + "]}") << true << none;
        QTest::newRow("object: neither items nor data") << json("{'list':[]}") << false << none;
        QTest::newRow("object: items a string, good data")
            << QByteArray("{\"items\":\"x\",\"data\":[" + a + "]}") << false << none;
        QTest::newRow("object: bad entry in data beside good items")
            << QByteArray("{\"items\":[" + a + "],\"data\":[{\"mix\":1}]}") << false << none;

        // Not a document
        QTest::newRow("HTML") << "<html><body>502</body></html>"_ba << false << none;
        QTest::newRow("truncated JSON") << QByteArray("[" + a + ",") << false << none;
        QTest::newRow("top-level string, not array or object") << json("'items'") << false << none;
        QTest::newRow("invalid UTF-8 in a string")
            << "[{\"artist\":\"\xff\xfe\"}]"_ba << false << none;
        QTest::newRow("nested far too deep") << QByteArray(100000, '[') << false << none;
    }

    void decodeItems()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);
        QFETCH(QStringList, records);

        const std::optional<QList<LastTenItem>> list = ::decodeItems(body);
        QCOMPARE(list.has_value(), decodes);
        if (!list)
            return;
        QStringList described;
        for (const LastTenItem &item : *list)
            described.append(describe(item));
        QCOMPARE(described, records);
    }

    void decodeItems_givesEveryRecordAFreshId()
    {
        const QByteArray body = json("[{'artist':'A'},{'artist':'A'},{'artist':'A'}]");
        QSet<QUuid> ids;
        for (int pass = 0; pass < 2; ++pass) {
            const std::optional<QList<LastTenItem>> list = ::decodeItems(body);
            QVERIFY(list);
            for (const LastTenItem &item : *list) {
                QVERIFY(!item.id.isNull());
                ids.insert(item.id);
            }
        }
        QCOMPARE(ids.size(), 6);
    }
};

QTEST_GUILESS_MAIN(tst_LastTenItem)
#include "tst_LastTenItem.moc"
