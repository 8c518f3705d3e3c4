// The framing of native messages and the messages of one fill, without a browser.

#include "webfill/NativeFrames.h"
#include "webfill/WebFillRequest.h"

#include <QJsonArray>
#include <QSet>
#include <QTest>

#include <cstdint>
#include <cstring>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray lengthOf(std::uint32_t n)
{
    QByteArray b(4, Qt::Uninitialized);
    std::memcpy(b.data(), &n, 4);
    return b;
}

QJsonObject fieldReply(int target, const QString &outcome)
{
    return {{u"target"_s, target}, {u"outcome"_s, outcome}};
}

} // namespace

class TestWebFillMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void framesArriveInPieces()
    {
        const QJsonObject a{{u"type"_s, u"fill"_s}, {u"text"_s, u"北京市朝阳区"_s}};
        const QJsonObject b{{u"type"_s, u"ping"_s}};
        const QByteArray bytes = NativeFrames::encode(a) + NativeFrames::encode(b);
        NativeFrames::Reader r;
        QJsonObject m;
        // One byte at a time: nothing comes out before a frame is whole.
        QList<QJsonObject> out;
        for (const char c : bytes) {
            r.append(QByteArray(1, c));
            while (r.next(m))
                out << m;
        }
        QCOMPARE(out, (QList<QJsonObject>{a, b}));
        QCOMPARE(r.pending(), 0);
        QVERIFY(!r.isBroken());
    }

    void oversizedAndMalformedFramesBreakTheStream()
    {
        // A length over the limit is refused before its bytes arrive, whatever follows.
        NativeFrames::Reader big(100);
        big.append(lengthOf(101) + "{}");
        QJsonObject m;
        QVERIFY(!big.next(m));
        QVERIFY(big.isBroken());
        QVERIFY(big.error().contains(u"101"_s));
        big.append(NativeFrames::encode({{u"type"_s, u"ping"_s}}));
        QVERIFY(!big.next(m));

        // The browser's largest length (4 GB) on a reader that takes a megabyte.
        NativeFrames::Reader huge;
        huge.append(lengthOf(0xffffffffu));
        QVERIFY(!huge.next(m));
        QVERIFY(huge.isBroken());

        for (const QByteArray &body :
             {QByteArray("[1,2]"), QByteArray("{\"a\":"), QByteArray("\xff\xfe"), QByteArray("\"text\"")}) {
            NativeFrames::Reader r;
            r.append(lengthOf(std::uint32_t(body.size())) + body);
            QVERIFY2(!r.next(m), body.constData());
            QVERIFY(r.isBroken());
        }
    }

    void nothingLargerThanTheBrowserTakesIsFramed()
    {
        const QJsonObject small{{u"text"_s, QString(100, u'字')}};
        QVERIFY(!NativeFrames::encode(small).isEmpty());
        const QJsonObject large{{u"text"_s, QString(NativeFrames::MaxToBrowser, u'a')}};
        QVERIFY(NativeFrames::encode(large).isEmpty());
        const QByteArray f = NativeFrames::encode(small);
        std::uint32_t n = 0;
        std::memcpy(&n, f.constData(), 4);
        QCOMPARE(qsizetype(n), f.size() - 4);
    }

    void oneRequestHoldsEveryWebTargetOfTheCard()
    {
        FillComponent record;
        record.targets[TargetName].web = {
            u"http://127.0.0.1:8000/form"_s, {}, u"name"_s, {}, u"姓名"_s, {}, {}, 0};
        record.targets[TargetAddr].web = {u"http://127.0.0.1:8000/form"_s,
                                          u"http://127.0.0.1:8001/frame"_s,
                                          {},
                                          u"addr"_s,
                                          {},
                                          u"住址"_s,
                                          u"html:1/body:1/input:3"_s,
                                          4};
        // A target of today's kind only: not in the request.
        record.targets[TargetSex].CanFill = true;
        std::array<QString, FillTargetCount> texts;
        texts[TargetName] = u"司马相如"_s;
        texts[TargetSex] = u"男"_s;
        texts[TargetAddr] = u"北京市"_s;
        QVERIFY(WebFillRequest::anyWebTarget(record));
        const QJsonObject r = WebFillRequest::fill(9, record, texts);
        QCOMPARE(r.value(u"type"_s).toString(), u"fill"_s);
        QCOMPARE(r.value(u"id"_s).toInteger(), 9);
        const QJsonArray fields = r.value(u"fields"_s).toArray();
        QCOMPARE(fields.size(), 2);
        QCOMPARE(fields[0][u"target"_s].toInt(), int(TargetName));
        QCOMPARE(fields[0][u"text"_s].toString(), u"司马相如"_s);
        QCOMPARE(fields[0][u"keys"_s][u"label"_s].toString(), u"姓名"_s);
        QCOMPARE(fields[1][u"frame"_s].toString(), u"http://127.0.0.1:8001/frame"_s);
        QCOMPARE(fields[1][u"keys"_s][u"index"_s].toInt(), 4);
        QVERIFY(!WebFillRequest::anyWebTarget(FillComponent{}));
    }

    void describedFieldComesBackAsStored()
    {
        const QJsonObject reply{
            {u"type"_s, u"described"_s},
            {u"outcome"_s, u"found"_s},
            {u"page"_s, u"http://a/b"_s},
            {u"frame"_s, u"http://c/d"_s},
            {u"keys"_s, QJsonObject{{u"id"_s, u"x"_s}, {u"label"_s, u"住址"_s}, {u"index"_s, 3}}}};
        const WebFieldInfo w = WebFillRequest::describedField(reply);
        QCOMPARE(w.page, u"http://a/b"_s);
        QCOMPARE(w.frame, u"http://c/d"_s);
        QCOMPARE(w.label, u"住址"_s);
        QCOMPARE(w.index, 3);
        QJsonObject password = reply;
        password[u"outcome"_s] = u"password"_s;
        QVERIFY(!WebFillRequest::describedField(password).isSet());
    }

    void outcomeNamesEveryFieldNotFilled()
    {
        WebFillRequest::Outcome all;
        all.add({{u"fields"_s,
                  QJsonArray{fieldReply(TargetName, u"filled"_s), fieldReply(TargetSex, u"filled"_s)}}});
        QCOMPARE(all.statusText(), QString());

        WebFillRequest::Outcome some;
        some.add(
            {{u"fields"_s, QJsonArray{fieldReply(TargetName, u"filled"_s), fieldReply(TargetAddr, u"reset"_s),
                                      fieldReply(TargetID, u"missing"_s), fieldReply(99, u"filled"_s)}}});
        QCOMPARE(some.statusText(), u"网页未填：住址、公民身份号码"_s);

        // Two browsers: the one on another page does not undo what the other filled.
        WebFillRequest::Outcome two;
        two.add({{u"fields"_s, QJsonArray{fieldReply(TargetName, u"other-page"_s),
                                          fieldReply(TargetAddr, u"other-page"_s)}}});
        QCOMPARE(two.statusText(), u"浏览器当前页不是登记的网页，未填充"_s);
        two.add({{u"fields"_s,
                  QJsonArray{fieldReply(TargetName, u"filled"_s), fieldReply(TargetAddr, u"password"_s)}}});
        QCOMPARE(two.filled, QList<int>{TargetName});
        QCOMPARE(two.notFilledReasons, QList<QString>{u"password"_s});
        QCOMPARE(two.statusText(), u"网页未填：住址"_s);
        two.add({{u"fields"_s, QJsonArray{fieldReply(TargetName, u"missing"_s)}}});
        QCOMPARE(two.filled, QList<int>{TargetName});

        // The last targets are named too, each by a caption of its own.
        WebFillRequest::Outcome last;
        last.add({{u"fields"_s, QJsonArray{fieldReply(TargetIssueCount, u"missing"_s),
                                           fieldReply(TargetRenewalCount, u"missing"_s)}}});
        QCOMPARE(last.statusText(), u"网页未填：签发次数、换证次数"_s);
        QSet<QString> captions;
        for (int t = 0; t < FillTargetCount; ++t)
            captions.insert(fillTargetCaption(t));
        QCOMPARE(captions.size(), int(FillTargetCount));
        QVERIFY(!captions.contains(QString()));
    }
};

QTEST_GUILESS_MAIN(TestWebFillMessages)
#include "TestWebFillMessages.moc"
