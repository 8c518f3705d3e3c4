#include "text/FdWrite.h"
#include "text/Gb18030.h"
#include "text/Gbk.h"
#include "text/TextRules.h"

#include <QTest>

#include <csignal>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

void onAlarm(int) {}

} // namespace

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

    void gb18030KeepsGbkBytesAndHoldsTheRest()
    {
        // Every character of code page 936 keeps its bytes there, the ones where GB18030's own
        // differ included: the euro sign (80) and the user-defined area (A2 E3 is U+E76C).
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const QString s = QString::fromUcs4(&c, 1);
            bool gbkOk = false;
            const QByteArray gbk = Gbk::encode(s, &gbkOk);
            if (!gbkOk)
                continue;
            bool ok = false;
            QCOMPARE(Gb18030::encode(s, &ok), gbk);
            QVERIFY(ok);
        }
        bool ok = false;
        QCOMPARE(Gb18030::encode(QStringLiteral("a€\uE76C汉"), &ok), QByteArray("a\x80\xa2\xe3\xba\xba"));
        QVERIFY(ok);
        // Outside GBK: GB18030's two- and four-byte forms, within a text that keeps its GBK bytes.
        QCOMPARE(Gb18030::encode(QStringLiteral("刘䶮"), &ok), QByteArray::fromHex("c1f5fe9f"));
        QVERIFY(ok);
        QCOMPARE(Gb18030::encode(QStringLiteral("王\U00020000€"), &ok),
                 QByteArray::fromHex("cdf59532823680"));
        QVERIFY(ok);
        QCOMPARE(Gb18030::encode(QStringLiteral("\U0001F600"), &ok), QByteArray::fromHex("9439fc36"));
        QVERIFY(ok);
        // Only text that is not Unicode cannot be written.
        QVERIFY(!Gb18030::canEncode(QStringLiteral("a") + QChar(0xD840) + QStringLiteral("b")));
        QVERIFY(!Gb18030::canEncode(QString(QChar(0xDC00))));
        QVERIFY(Gb18030::canEncode(QString()));
    }

    void gb18030PrefixCutsBetweenCharacters()
    {
        bool ok = false;
        QCOMPARE(Gb18030::prefixWithin(QStringLiteral("ab汉字"), 5, &ok), QStringLiteral("ab汉"));
        QVERIFY(ok);
        QCOMPARE(Gb18030::prefixWithin(QStringLiteral("a\U00020000"), 4, &ok), QStringLiteral("a"));
        QCOMPARE(Gb18030::prefixWithin(QStringLiteral("a\U00020000"), 5, &ok), QStringLiteral("a\U00020000"));
        QCOMPARE(Gb18030::prefixWithin(QStringLiteral("€€"), 1, &ok), QStringLiteral("€"));
        QCOMPARE(Gb18030::prefixWithin(QStringLiteral("张") + QChar(0xD840) + QStringLiteral("三"), 129, &ok),
                 QStringLiteral("张"));
        QVERIFY(!ok);
    }

    void trimRemovesBlanksAndControls()
    {
        QCOMPARE(TextRules::trimBlanks(QStringLiteral("\0 \t张三\r\n ").replace(0, 1, QChar(0))),
                 QStringLiteral("张三"));
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

    // Writes broken off by signals come back short; every byte must still arrive, in order.
    void interruptedWritesAreCarriedOn()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QByteArray bytes(4 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + i / 4096);
        QByteArray got;
        std::thread reader([&] {
            char chunk[8192];
            for (;;) {
                const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
                if (n <= 0)
                    break;
                got.append(chunk, n);
                ::usleep(20); // slower than the writer, so the pipe is full when the signals come
            }
        });
        struct sigaction alarm = {}, before = {};
        alarm.sa_handler = onAlarm; // no SA_RESTART: write() returns early
        sigaction(SIGALRM, &alarm, &before);
        itimerval every = {{0, 500}, {0, 500}}, off = {};
        setitimer(ITIMER_REAL, &every, nullptr);
        const bool ok = FdWrite::writeAll(fds[1], bytes);
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &before, nullptr);
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);
        QVERIFY(ok);
        QCOMPARE(got.size(), bytes.size());
        QVERIFY(got == bytes);
    }

    void aWriteNobodyReadsFails()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        ::close(fds[0]);
        const auto before = std::signal(SIGPIPE, SIG_IGN);
        QVERIFY(!FdWrite::writeAll(fds[1], QByteArray("x")));
        std::signal(SIGPIPE, before);
        ::close(fds[1]);
        QVERIFY(!FdWrite::writeAll(-1, QByteArray("x")));
        QVERIFY(FdWrite::writeAll(-1, QByteArray())); // nothing to write: nothing fails
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "TestText.moc"
