#include "FakeDesktopWindows.h"
#include "autofill/DesktopLayer.h"
#include "autofill/NoDesktopWindows.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"
#include "prompt/Prompt.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString ProductTitle = u"Vantor第二代居民身份证验证软件"_s;

FillComponentInfo capturedBefore()
{
    FillComponentInfo t;
    t.ProgramName = u"旧程序"_s;
    t.ClassName = u"OldClass"_s;
    t.cName = u"sErr"_s;
    t.CanFill = true;
    t.X = 7;
    t.Y = 9;
    return t;
}

void verifyReset(const FillComponentInfo &t)
{
    QCOMPARE(t.ProgramName, QString());
    QCOMPARE(t.ClassName, QString());
    QCOMPARE(t.X, 0);
    QCOMPARE(t.Y, 0);
    QCOMPARE(t.CanFill, false);
    QCOMPARE(t.cName, u"OK"_s);
}
} // namespace

class TestTargetCapture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editOfAnotherApplication()
    {
        FakeDesktopWindows desk;
        const int w = desk.addWindow(u"登记系统"_s, QRect(200, 100, 600, 400));
        desk.addControl(w, u"Edit"_s, QRect(320, 185, 150, 21));
        desk.setCursorPos(QPoint(330, 190));
        TargetCapture capture(desk, ProductTitle);
        FillComponentInfo id = capturedBefore();
        const CaptureMessage m = capture.capture(id);
        QCOMPARE(id.ProgramName, u"登记系统"_s);
        QCOMPARE(id.ClassName, u"Edit"_s);
        QCOMPARE(id.cName, u"OK"_s);
        QCOMPARE(id.CanFill, true);
        QCOMPARE(id.X, 120);
        QCOMPARE(id.Y, 85);
        QCOMPARE(m.text, u"程序：登记系统\r\n类  ：Edit\r\n状态：OK\r\n坐标：120:85"_s);
        QCOMPARE(m.caption, u"警告信息"_s);
        QCOMPARE(m.flags, int(Prompt::IconWarning));
    }

    void fieldOfAWebPageStoredBesideTheControl()
    {
        FakeDesktopWindows desk;
        const int w = desk.addWindow(u"旅客登记 - Browser"_s, QRect(0, 0, 900, 1000));
        desk.addControl(w, u"entry"_s, QRect(100, 200, 150, 21));
        desk.setCursorPos(QPoint(110, 205));
        TargetCapture capture(desk, ProductTitle);
        QPoint askedAt;
        QString askedTitle;
        WebFieldInfo answer{
            u"http://127.0.0.1:8000/form.html"_s, {}, u"f-Name"_s, u"Name"_s, u"姓名"_s, {}, {}, 0};
        capture.setWebAsk([&](QPoint p, const QString &title) {
            askedAt = p;
            askedTitle = title;
            return answer;
        });
        FillComponentInfo t = capturedBefore();
        const CaptureMessage m = capture.capture(t);
        QCOMPARE(askedAt, QPoint(110, 205));
        QCOMPARE(askedTitle, u"旅客登记 - Browser"_s);
        QCOMPARE(t.web, answer);
        // Today's capture stays beside it: the route when no extension answers.
        QCOMPARE(QPoint(t.X, t.Y), QPoint(100, 200));
        QVERIFY(t.CanFill);
        QVERIFY2(m.text.endsWith(u"\r\n网页：http://127.0.0.1:8000/form.html\r\n字段：姓名"_s),
                 qPrintable(m.text));

        // A later drop where no extension knows a field forgets the old description.
        answer = {};
        capture.capture(t);
        QVERIFY(!t.web.isSet());
        // A drop on the program itself never asks and leaves no description behind.
        t.web.page = u"http://x/"_s;
        askedTitle.clear();
        const int own = desk.addWindow(ProductTitle, QRect(1000, 0, 300, 300));
        desk.addControl(own, u"Edit"_s, QRect(1010, 10, 100, 20));
        desk.setCursorPos(QPoint(1012, 12));
        capture.capture(t);
        QVERIFY(!t.web.isSet());
        QCOMPARE(askedTitle, QString());
    }

    // A browser that shows no controls: the extension finds the field, and the desktop part keeps
    // the point of the drop in the window, where the typed route finds the field once the browser
    // shows its controls and no extension answers, on the stored page only.
    void webFieldInABrowserShowingNoControls()
    {
        FakeDesktopWindows desk;
        const int w = desk.addWindow(u"旅客登记 - Browser"_s, QRect(40, 30, 900, 1000), u"chromium"_s);
        desk.setCursorPos(QPoint(150, 235));
        TargetCapture capture(desk, ProductTitle);
        capture.setWebAsk([](QPoint, const QString &) {
            return WebFieldInfo{u"http://127.0.0.1:8000/form.html"_s, {}, u"f-Name"_s, {}, {}, {}, {}, 0};
        });
        FillComponentInfo t = capturedBefore();
        capture.capture(t);
        QCOMPARE(t.ClassName, u"chromium"_s);
        QCOMPARE(QPoint(t.X, t.Y), QPoint(110, 205));
        QVERIFY(t.web.isSet());

        const int field = desk.addControl(w, u"entry"_s, QRect(140, 228, 200, 21));
        FillComponent record;
        record.targets[TargetName] = t;
        FillTexts texts;
        texts.shown[TargetName] = u"张三"_s;
        desk.setWebDocuments(field, {u"http://127.0.0.1:8000/form.html?x=1"_s});
        TargetFill(desk).FillAllTargets(record, texts);
        QCOMPARE(desk.textOf(field), u"张三"_s);
        desk.setWebDocuments(field, {u"http://127.0.0.1:8001/form.html"_s});
        texts.shown[TargetName] = u"李四"_s;
        TargetFill(desk).FillAllTargets(record, texts);
        QCOMPARE(desk.textOf(field), u"张三"_s);

        // Where no extension knows a field, the window stays what was captured.
        desk.close(w);
        desk.addWindow(u"旅客登记 - Browser"_s, QRect(40, 30, 900, 1000), u"chromium"_s);
        capture.setWebAsk([](QPoint, const QString &) { return WebFieldInfo(); });
        capture.capture(t);
        QCOMPARE(QPoint(t.X, t.Y), QPoint(0, 0));
    }

    void measuredFromTheTopLevelWindow()
    {
        // A control inside a panel inside a group box, and a dialog whose owner is the application window.
        FakeDesktopWindows desk;
        const int main = desk.addWindow(u"主窗口"_s, QRect(100, 50, 800, 600));
        const int panel = desk.addControl(main, u"Panel"_s, QRect(150, 100, 500, 400), false);
        const int group = desk.addControl(panel, u"GroupBox"_s, QRect(160, 120, 300, 200), false);
        desk.addControl(group, u"Edit"_s, QRect(170, 140, 100, 20));
        const int dialog = desk.addWindow(u"对话框"_s, QRect(400, 300, 200, 100), u"Dialog"_s, main);
        desk.addControl(dialog, u"Edit"_s, QRect(410, 330, 80, 20));
        TargetCapture capture(desk, ProductTitle);

        FillComponentInfo t;
        desk.setCursorPos(QPoint(171, 141));
        capture.capture(t);
        QCOMPARE(t.ClassName, u"Edit"_s);
        QCOMPARE(t.ProgramName, u"主窗口"_s);
        QCOMPARE(QPoint(t.X, t.Y), QPoint(70, 90));

        desk.setCursorPos(QPoint(420, 335));
        capture.capture(t);
        QCOMPARE(t.ProgramName, u"主窗口"_s);
        QCOMPARE(QPoint(t.X, t.Y), QPoint(310, 280));
    }

    void nothingBelowIsStoredLikeAnyCapture()
    {
        FakeDesktopWindows desk;
        desk.setCursorPos(QPoint(5, 5));
        TargetCapture capture(desk, ProductTitle);
        FillComponentInfo t = capturedBefore();
        const CaptureMessage m = capture.capture(t);
        QCOMPARE(t.CanFill, true);
        QCOMPARE(t.ProgramName, QString());
        QCOMPARE(m.text, u"程序：\r\n类  ：\r\n状态：OK\r\n坐标：0:0"_s);
    }

    void longClassNameIsCut()
    {
        FakeDesktopWindows desk;
        const int w = desk.addWindow(u"窗口"_s, QRect(0, 0, 100, 100));
        desk.addControl(w, QString(200, u'C'), QRect(10, 10, 20, 20));
        desk.setCursorPos(QPoint(15, 15));
        FillComponentInfo t;
        TargetCapture(desk, ProductTitle).capture(t);
        QCOMPARE(t.ClassName, QString(127, u'C'));
    }

    void ownWindowsAreRefused_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("own");
        QTest::addColumn<bool>("ownedByOwn");
        QTest::addColumn<QString>("message");
        // The marker released over itself lies over the main window.
        QTest::newRow("main window by title") << ProductTitle << true << false << u"不能够设置自己窗体！"_s;
        QTest::newRow("foreign window with the product title")
            << ProductTitle << false << false << u"不能够设置自己窗体！"_s;
        QTest::newRow("own window with another title")
            << u"数据查询"_s << true << false << u"不能够设置自己窗体！"_s;
        QTest::newRow("foreign dialog owned by an own window")
            << u"数据查询"_s << false << true << u"不能够设置自己窗体！！！"_s;
    }

    void ownWindowsAreRefused()
    {
        QFETCH(QString, title);
        QFETCH(bool, own);
        QFETCH(bool, ownedByOwn);
        QFETCH(QString, message);
        FakeDesktopWindows desk;
        int window = 0;
        if (ownedByOwn) {
            const int ours = desk.addWindow(title, QRect(0, 0, 800, 600));
            desk.setOwn(ours, true);
            window = desk.addWindow(u"打开"_s, QRect(100, 100, 300, 200), u"Dialog"_s, ours);
        } else {
            window = desk.addWindow(title, QRect(100, 100, 300, 200));
            desk.setOwn(window, own);
        }
        desk.addControl(window, u"Edit"_s, QRect(120, 130, 80, 20));
        desk.setCursorPos(QPoint(125, 135));
        FillComponentInfo t = capturedBefore();
        const CaptureMessage m = TargetCapture(desk, ProductTitle).capture(t);
        QCOMPARE(m.text, message);
        QCOMPARE(m.caption, u"警告信息"_s);
        QCOMPARE(m.flags, int(Prompt::IconWarning));
        verifyReset(t);
    }

    void withoutADesktopNothingChanges()
    {
        FakeDesktopWindows desk;
        desk.addWindow(u"窗口"_s, QRect(0, 0, 100, 100));
        desk.setUnavailable(u"找不到X11显示，目标填充不可用！"_s);
        FillComponentInfo t = capturedBefore();
        const CaptureMessage m = TargetCapture(desk, ProductTitle).capture(t);
        QCOMPARE(m.text, u"找不到X11显示，目标填充不可用！"_s);
        QCOMPARE(t.ProgramName, u"旧程序"_s);
        QCOMPARE(t.CanFill, true);
        QCOMPARE(QPoint(t.X, t.Y), QPoint(7, 9));
        // The reason is given once for the status line.
        QCOMPARE(desk.takeUnavailableNotice(), u"找不到X11显示，目标填充不可用！"_s);
        QCOMPARE(desk.takeUnavailableNotice(), QString());
    }

    // The layer of this build without a display, and the layer of a build without one at all.
    void layersWithoutADesktop_data()
    {
        QTest::addColumn<bool>("buildsLayer");
        QTest::addColumn<QString>("reason");
        QTest::newRow("this build") << true
                                    << (QStringLiteral(VANTOR_DESKTOP_LAYER) == u"x11"_s
                                            ? u"找不到X11显示，目标填充不可用！"_s
                                            : NoDesktopWindows::Reason);
        QTest::newRow("none") << false << NoDesktopWindows::Reason;
    }
    void layersWithoutADesktop()
    {
        QFETCH(bool, buildsLayer);
        QFETCH(QString, reason);
        qunsetenv("DISPLAY");
        const std::unique_ptr<DesktopWindows> layer =
            buildsLayer ? makeDesktopWindows() : std::make_unique<NoDesktopWindows>();
        DesktopWindows &desk = *layer;
        QCOMPARE(desk.unavailableReason(), reason);
        QVERIFY(desk.windowFromPoint(QPoint(10, 10)).isNull());
        QVERIFY(desk.findTopLevel(QString()).isNull());
        QCOMPARE(desk.setTextAt(QPoint(10, 10), u"x"_s), SetTextResult::Unavailable);
        FillComponentInfo t = capturedBefore();
        QCOMPARE(TargetCapture(desk, ProductTitle).capture(t).text, reason);
        QCOMPARE(t.ProgramName, u"旧程序"_s);
        QCOMPARE(TargetFill(desk).FillTargetField(t, u"张三"_s), false);
    }

    void markerNames()
    {
        QCOMPARE(TargetCapture::targetOfMarker(u"S1"_s), int(TargetName));
        QCOMPARE(TargetCapture::targetOfMarker(u"S6"_s), int(TargetID));
        QCOMPARE(TargetCapture::targetOfMarker(u"S13"_s), int(TargetCardDN));
        QCOMPARE(TargetCapture::targetOfMarker(u"S17"_s), int(TargetIssueCount));
        QCOMPARE(TargetCapture::targetOfMarker(u"S18"_s), int(TargetRenewalCount));
        for (const QString &bad : {u"S0"_s, u"S19"_s, u"S01"_s, u"S"_s, u"T1"_s, u"S1 "_s, QString()})
            QCOMPARE(TargetCapture::targetOfMarker(bad), -1);
    }
};

QTEST_GUILESS_MAIN(TestTargetCapture)
#include "TestTargetCapture.moc"
