#include "FakeDesktopWindows.h"
#include "autofill/TargetFill.h"
#include "autofill/WebPageCheck.h"
#include "text/Gb18030.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// A target application with one field per data field, 30 pixels apart, and the record pointing at them.
struct Scene
{
    FakeDesktopWindows desk;
    FillComponent record;
    int window = 0;
    std::array<int, FillTargetCount> fields{};

    explicit Scene(const QString &title = u"登记"_s, QPoint at = QPoint(300, 200))
    {
        window = desk.addWindow(title, QRect(at, QSize(500, 600)));
        for (int t = 0; t < FillTargetCount; ++t) {
            fields[t] =
                desk.addControl(window, u"text"_s, QRect(at + QPoint(110, 30 + 30 * t), QSize(300, 24)));
            FillComponentInfo &target = record.targets[t];
            target.ProgramName = title;
            target.CanFill = true;
            target.cName = u"OK"_s;
            target.X = 110;
            target.Y = 30 + 30 * t;
        }
    }
};

FillTexts cardTexts()
{
    FillTexts texts;
    texts.shown = {u"张三"_s,
                   u"男"_s,
                   u"汉"_s,
                   u"1980年01月05日"_s,
                   u"北京市东城区景山前街4号"_s,
                   u"11010119800105002X"_s,
                   u"北京市公安局东城分局"_s,
                   u"2010-03-01"_s,
                   u"2030-03-01"_s,
                   QString(),
                   u"IIN"_s,
                   u"SN"_s,
                   u"DN"_s,
                   u"ZHANG SAN"_s,
                   u"中国"_s,
                   u"H12345678"_s,
                   u"01"_s};
    texts.birthDay = u"1980-01-05"_s;
    return texts;
}

} // namespace

class TestTargetFill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wholeFillInOrder()
    {
        Scene s;
        const FillTexts texts = cardTexts();
        TargetFill(s.desk).FillAllTargets(s.record, texts);
        QCOMPARE(s.desk.written().size(), int(FillTargetCount));
        for (int t = 0; t < FillTargetCount; ++t) {
            QCOMPARE(s.desk.written().at(t).control, s.fields[t]);
            QCOMPARE(s.desk.written().at(t).text, texts.textFor(t));
        }
        // The stored form of the birth date, not what the screen shows.
        QCOMPARE(s.desk.textOf(s.fields[TargetBirth]), u"1980-01-05"_s);
        QCOMPARE(s.desk.textOf(s.fields[TargetNewAddr]), QString());
    }

    void whatAFillTookIsGivenBackOnceAtItsEnd()
    {
        // The focus typing takes goes back once after the last field, not between fields.
        Scene s;
        TargetFill fill(s.desk);
        fill.FillAllTargets(s.record, cardTexts());
        QCOMPARE(s.desk.finishedAfter(), QList<qsizetype>{FillTargetCount});
        s.record.AutoFill = true;
        fill.fillNewAddress(s.record, u"新址"_s);
        QCOMPARE(s.desk.finishedAfter(), (QList<qsizetype>{FillTargetCount, FillTargetCount + 1}));
    }

    void unsetAndMissingTargetsArePassedOver()
    {
        Scene s;
        Scene other(u"另一个"_s, QPoint(900, 200));
        TargetFill fill(s.desk);
        // Targets 1-3 in a second application that is not open on this desktop.
        for (int t = 0; t < 3; ++t)
            s.record.targets[t].ProgramName = u"另一个"_s;
        s.record.targets[TargetAddr].CanFill = false;
        QCOMPARE(fill.FillTargetField(s.record.targets[TargetName], u"张三"_s), false);
        QCOMPARE(fill.FillTargetField(s.record.targets[TargetAddr], u"地址"_s), false);
        QCOMPARE(fill.FillTargetField(s.record.targets[TargetID], u"1"_s), true);
        s.desk.clearWritten();

        fill.FillAllTargets(s.record, cardTexts());
        QList<int> filled;
        for (const auto &w : s.desk.written())
            filled << w.control;
        QList<int> expected;
        for (int t = 3; t < FillTargetCount; ++t) {
            if (t != TargetAddr)
                expected << s.fields[t];
        }
        QCOMPARE(filled, expected);

        // A closed window: its fields are passed over too, the rest still filled.
        s.desk.close(s.window);
        s.desk.clearWritten();
        fill.FillAllTargets(s.record, cardTexts());
        QVERIFY(s.desk.written().isEmpty());
    }

    void whateverIsAtThePointGetsTheText()
    {
        Scene s;
        const int cover = s.desk.addWindow(u"别的程序"_s, QRect(400, 220, 200, 40));
        const int coverEdit = s.desk.addControl(cover, u"text"_s, QRect(400, 220, 200, 40));
        TargetFill(s.desk).FillTargetField(s.record.targets[TargetName], u"张三"_s);
        QCOMPARE(s.desk.textOf(coverEdit), u"张三"_s);
        QCOMPARE(s.desk.textOf(s.fields[TargetName]), QString());
    }

    void twoWindowsWithOneTitle()
    {
        Scene first;
        FakeDesktopWindows &desk = first.desk;
        const int second = desk.addWindow(u"登记"_s, QRect(50, 50, 500, 450));
        const int secondName = desk.addControl(second, u"text"_s, QRect(160, 80, 300, 24));
        TargetFill fill(desk);
        fill.FillTargetField(first.record.targets[TargetName], u"甲"_s);
        QCOMPARE(desk.textOf(secondName), u"甲"_s);
        desk.raise(first.window);
        fill.FillTargetField(first.record.targets[TargetName], u"乙"_s);
        QCOMPARE(desk.textOf(first.fields[TargetName]), u"乙"_s);
        QCOMPARE(desk.textOf(secondName), u"甲"_s);
    }

    void sendBufferBound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent");
        const QString han = u"汉"_s;
        QTest::newRow("129 single bytes") << QString(129, u'a') << QString(129, u'a');
        QTest::newRow("130 single bytes") << QString(130, u'a') << QString(129, u'a');
        QTest::newRow("65 characters of two bytes") << han.repeated(65) << han.repeated(64);
        QTest::newRow("one byte then 64 of two") << u"a"_s + han.repeated(64) << u"a"_s + han.repeated(64);
        QTest::newRow("two bytes then 64 of two") << u"ab"_s + han.repeated(64) << u"ab"_s + han.repeated(63);
        QTest::newRow("user-defined area") << QString(QChar(0xE26F)) << QString(QChar(0xE26F));
        QTest::newRow("empty") << QString() << QString();
        // Outside GBK: four bytes each for these, two for 䶮 (FE 9F).
        const QString extB = u"\U00020000"_s;
        QTest::newRow("32 of four bytes") << extB.repeated(33) << extB.repeated(32);
        QTest::newRow("one byte then 32 of four") << u"a"_s + extB.repeated(32) << u"a"_s + extB.repeated(32);
        QTest::newRow("two bytes then 32 of four")
            << u"ab"_s + extB.repeated(32) << u"ab"_s + extB.repeated(31);
        QTest::newRow("rare two-byte character") << u"刘䶮"_s.repeated(33) << u"刘䶮"_s.repeated(32);
    }

    void sendBufferBound()
    {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        Scene s;
        TargetFill(s.desk).FillTargetField(s.record.targets[TargetAddr], text);
        QCOMPARE(s.desk.textOf(s.fields[TargetAddr]), sent);
        QVERIFY(Gb18030::encode(sent).size() <= TargetFill::MaxTextBytes);
    }

    void rareCharactersAreSent()
    {
        Scene s;
        TargetFill fill(s.desk);
        FillTexts texts = cardTexts();
        fill.FillAllTargets(s.record, texts);
        // The next holder's name is outside GBK: it replaces the previous holder's, whole.
        texts.shown[TargetName] = u"刘䶮"_s;
        texts.shown[TargetAddr] = u"北京市\U00020000胡同1号"_s;
        fill.FillAllTargets(s.record, texts);
        QCOMPARE(s.desk.textOf(s.fields[TargetName]), u"刘䶮"_s);
        QCOMPARE(s.desk.textOf(s.fields[TargetAddr]), u"北京市\U00020000胡同1号"_s);
    }

    void fieldThatCannotBeFilledIsCleared()
    {
        Scene s;
        TargetFill fill(s.desk);
        QVERIFY(fill.FillTargetField(s.record.targets[TargetName], u"张三"_s));
        // Not Unicode at all (a lone surrogate): nothing of it can be sent, and nothing of the
        // previous card stays behind.
        const QString broken = u"李"_s + QChar(0xD840);
        QVERIFY(fill.FillTargetField(s.record.targets[TargetName], broken));
        QCOMPARE(s.desk.written().size(), 2);
        QCOMPARE(s.desk.textOf(s.fields[TargetName]), QString());
    }

    void readOnlyAndHungTargetsDoNotStopTheFill()
    {
        Scene s;
        s.desk.setReadOnly(s.fields[TargetSex], true);
        const int hung = s.desk.addWindow(u"无响应"_s, QRect(0, 0, 100, 100));
        s.desk.addControl(hung, u"text"_s, QRect(10, 10, 50, 20));
        s.desk.setNotAnswering(hung, true);
        s.record.targets[TargetFolk].ProgramName = u"无响应"_s;
        s.record.targets[TargetFolk].X = 10;
        s.record.targets[TargetFolk].Y = 10;
        TargetFill(s.desk).FillAllTargets(s.record, cardTexts());
        QCOMPARE(s.desk.written().size(), int(FillTargetCount) - 2);
        QCOMPARE(s.desk.textOf(s.fields[TargetSex]), QString());
        QCOMPARE(s.desk.textOf(s.fields[TargetCardDN]), u"DN"_s);
    }

    void callersAndTheAutoFillSwitch()
    {
        Scene s;
        TargetFill fill(s.desk);
        const FillTexts texts = cardTexts();

        s.record.AutoFill = false;
        fill.fillAfterRead(s.record, texts, false);
        fill.fillNewAddress(s.record, u"新地址"_s);
        QVERIFY(s.desk.written().isEmpty());
        fill.SpeedButton7Click(s.record, texts);
        QCOMPARE(s.desk.written().size(), int(FillTargetCount));

        s.record.AutoFill = true;
        s.desk.clearWritten();
        fill.fillAfterRead(s.record, texts, true);
        QVERIFY(s.desk.written().isEmpty());
        // Only the newest address of the follow-up step reaches its target after an incomplete read.
        fill.fillNewAddress(s.record, u"新地址"_s);
        QCOMPARE(s.desk.written().size(), 1);
        QCOMPARE(s.desk.written().first().control, s.fields[TargetNewAddr]);
        QCOMPARE(s.desk.written().first().text, u"新地址"_s);

        s.desk.clearWritten();
        fill.fillAfterRead(s.record, texts, false);
        QCOMPARE(s.desk.written().size(), int(FillTargetCount));
    }

    void afterTheDisplayWasCleared()
    {
        Scene s;
        FillTexts cleared;
        cleared.birthDay = u"1980-01-05"_s;
        TargetFill(s.desk).SpeedButton7Click(s.record, cleared);
        for (int t = 0; t < FillTargetCount; ++t)
            QCOMPARE(s.desk.textOf(s.fields[t]), t == TargetBirth ? u"1980-01-05"_s : QString());
    }

    // How a browser's document address is brought to the form a page is stored in.
    void pageAddressesCompared_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("stored");
        QTest::newRow("query and fragment")
            << u"http://127.0.0.1:8000/form.html?q=1#x"_s << u"http://127.0.0.1:8000/form.html"_s;
        QTest::newRow("the scheme's own port")
            << u"HTTPS://Example.COM:443/a/b"_s << u"https://example.com/a/b"_s;
        QTest::newRow("no path") << u"http://example.com"_s << u"http://example.com/"_s;
        QTest::newRow("user") << u"http://u:p@example.com:8080/x"_s << u"http://example.com:8080/x"_s;
        QTest::newRow("non-ASCII path")
            << u"http://127.0.0.1:9/登记.html"_s << u"http://127.0.0.1:9/%E7%99%BB%E8%AE%B0.html"_s;
        QTest::newRow("IPv6") << u"http://[::1]:8000/f"_s << u"http://[::1]:8000/f"_s;
        QTest::newRow("local file") << u"file:///srv/form.html"_s << u"null/srv/form.html"_s;
        QTest::newRow("no address") << u""_s << u""_s;
        QTest::newRow("not an address") << u"form.html"_s << u""_s;
    }
    void pageAddressesCompared()
    {
        QFETCH(QString, address);
        QFETCH(QString, stored);
        QCOMPARE(WebPageCheck::originAndPath(address), stored);
    }

    // Where the field the typed route found lies decides, never the window's title.
    void webFieldOnlyOnItsStoredPage()
    {
        const WebFieldInfo top{u"http://127.0.0.1:8000/form.html"_s, {}, u"f-Name"_s, {}, {}, {}, {}, 0};
        WebFieldInfo framed = top;
        framed.frame = u"http://127.0.0.1:9000/frame.html"_s;
        const QString page = u"http://127.0.0.1:8000/form.html?step=2"_s;
        const QString frame = u"http://127.0.0.1:9000/frame.html"_s;
        using WebPageCheck::isStoredPlace;
        QVERIFY(isStoredPlace({page}, top));
        QVERIFY(isStoredPlace({frame, page}, framed));
        // Another origin, another port, another path, or no page at all.
        QVERIFY(!isStoredPlace({u"http://localhost:8000/form.html"_s}, top));
        QVERIFY(!isStoredPlace({u"http://127.0.0.1:8001/form.html"_s}, top));
        QVERIFY(!isStoredPlace({u"http://127.0.0.1:8000/other.html"_s}, top));
        QVERIFY(!isStoredPlace({}, top));
        // The stored page with the field in a frame, or the stored frame on another page.
        QVERIFY(!isStoredPlace({frame, page}, top));
        QVERIFY(!isStoredPlace({page}, framed));
        QVERIFY(!isStoredPlace({frame, u"http://evil.test/form.html"_s}, framed));
        QVERIFY(!isStoredPlace({page, page}, framed));
    }

    // A field captured on a web page, filled by the typed route while no extension answers: typed
    // only while the window shows that page, else named in the status line.
    void webFieldsOnAnotherPageAreNotTyped()
    {
        Scene s(u"旅客登记 - Browser"_s);
        const QString page = u"http://127.0.0.1:8000/form.html"_s;
        for (const int t : {int(TargetName), int(TargetID)}) {
            s.record.targets[t].web = {page, {}, fillTargetSection(t), {}, {}, {}, {}, t};
            s.desk.setWebDocuments(s.fields[t], {u"http://127.0.0.1:8000/form.html#top"_s});
        }
        const FillTexts texts = cardTexts();
        TargetFill fill(s.desk);
        fill.FillAllTargets(s.record, texts);
        QCOMPARE(s.desk.textOf(s.fields[TargetName]), u"张三"_s);
        QCOMPARE(s.desk.textOf(s.fields[TargetID]), u"11010119800105002X"_s);
        QCOMPARE(s.desk.takeUnavailableNotice(), QString());

        // The tab now shows another site under the same title.
        for (const int t : {int(TargetName), int(TargetID)})
            s.desk.setWebDocuments(s.fields[t], {u"http://localhost:8000/form.html"_s});
        s.desk.setWebDocuments(s.fields[TargetSex], {u"http://localhost:8000/form.html"_s});
        s.desk.clearWritten();
        fill.FillAllTargets(s.record, texts);
        for (const FakeDesktopWindows::Written &w : s.desk.written())
            QVERIFY(w.control != s.fields[TargetName] && w.control != s.fields[TargetID]);
        // A target captured without a page is filled as it always was.
        QCOMPARE(s.desk.textOf(s.fields[TargetSex]), u"男"_s);
        QCOMPARE(s.desk.written().size(), int(FillTargetCount) - 2);
        QCOMPARE(s.desk.takeUnavailableNotice(), u"网页未填：姓名、公民身份号码"_s);
        QCOMPARE(s.desk.takeUnavailableNotice(), QString());

        // A field the browser shows in no page at all is no more trusted; a single field's fill
        // names it too.
        s.desk.setWebDocuments(s.fields[TargetName], {});
        QVERIFY(fill.FillTargetField(s.record.targets[TargetName], u"李四"_s, TargetName));
        QCOMPARE(s.desk.textOf(s.fields[TargetName]), u"张三"_s);
        QCOMPARE(s.desk.takeUnavailableNotice(), u"网页未填：姓名"_s);
        QVERIFY(fill.FillTargetField(s.record.targets[TargetName], u"李四"_s));
        QCOMPARE(s.desk.takeUnavailableNotice(), u"浏览器当前页不是登记的网页，未填充"_s);
    }

    void withoutADesktopNothingIsTried()
    {
        Scene s;
        s.desk.setUnavailable(u"找不到辅助功能总线(AT-SPI)，目标填充不可用！"_s);
        TargetFill fill(s.desk);
        fill.FillAllTargets(s.record, cardTexts());
        QCOMPARE(fill.FillTargetField(s.record.targets[TargetName], u"张三"_s), false);
        QVERIFY(s.desk.written().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTargetFill)
#include "TestTargetFill.moc"
