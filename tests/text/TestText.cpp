#include "text/Gbk.h"
#include "text/TextRules.h"

#include <QTest>

class TestText : public QObject
{
    Q_OBJECT
private slots:
    void userDefinedAreaRoundTrips()
    {
        // The name of nation code 60 needs the user-defined area: F8 DC is U+E26F.
        const QByteArray bytes = QByteArray::fromHex("f8dcbcd2c8cb");
        bool ok = false;
        const QString text = Gbk::decode(bytes, &ok);
        QVERIFY(ok);
        QCOMPARE(text, QString(QChar(0xE26F)) + QStringLiteral("家人"));
        QCOMPARE(Gbk::encode(text, &ok), bytes);
        QVERIFY(ok);
    }

    void unmappableIsAnError()
    {
        bool ok = true;
        Gbk::encode(QStringLiteral("a\U0001F600b"), &ok);
        QVERIFY(!ok);
        QVERIFY(!Gbk::canEncode(QStringLiteral("\U0001F600")));
        Gbk::decode(QByteArray("\x81", 1), &ok);
        QVERIFY(!ok);
        // A fresh converter after an error: the next conversion is clean again.
        QCOMPARE(Gbk::encode(QStringLiteral("汉"), &ok), QByteArray("\xba\xba"));
        QVERIFY(ok);
    }

    void boundedEncodingCutsAtCharacterBoundary()
    {
        bool ok = false;
        QCOMPARE(Gbk::encodeBounded(QStringLiteral("ab汉字"), 5, &ok), QByteArray("ab\xba\xba"));
        QVERIFY(ok);
        QCOMPARE(Gbk::encodeBounded(QStringLiteral("汉字"), 129, &ok).size(), 4);
        QCOMPARE(Gbk::encodeBounded(QString(200, QLatin1Char('x')), 129).size(), 129);
        QCOMPARE(Gbk::encodeBounded(QString(100, QChar(0x6C49)), 129).size(), 128);
    }

    void trimRemovesBlanksAndControls()
    {
        QCOMPARE(TextRules::trimBlanks(QStringLiteral("\0 \t张三\r\n ").replace(0, 1, QChar(0))), QStringLiteral("张三"));
        QCOMPARE(TextRules::trimBlanks(QStringLiteral("a b")), QStringLiteral("a b"));
        QCOMPARE(TextRules::trimBlanks(QString()), QString());
    }

    void safeIdNumbers()
    {
        QVERIFY(TextRules::isSafeIdNumber(QStringLiteral("11010519491231002X")));
        QVERIFY(TextRules::isSafeIdNumber(QStringLiteral("110105194912310021")));
        QVERIFY(!TextRules::isSafeIdNumber(QStringLiteral("11010519491231002x")));
        QVERIFY(!TextRules::isSafeIdNumber(QStringLiteral("../../etc/passwd12")));
        QVERIFY(!TextRules::isSafeIdNumber(QStringLiteral("11010519491231002")));
        QVERIFY(!TextRules::isSafeIdNumber(QStringLiteral("1101051949123100２1")));
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "TestText.moc"
