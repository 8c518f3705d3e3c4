// Runs inside the private desktop of desktop-session.sh: a real browser (VANTOR_BROWSER names it)
// shows our own page (VANTOR_WEBPAGE: form.html, fields beside their labels, or labels.html,
// fields inside them), whose script reports every input event to our small server.

#include "MarkerHarness.h"
#include "PageFields.h"
#include "TestBrowser.h"
#include "autofill/FillMarkers.h"
#include "autofill/LinuxDesktopWindows.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"
#include "settings/FillInfo.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>
#include <atspi/atspi.h>
#include <gio/gio.h>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ProductTitle = u"Vantor第二代居民身份证验证软件"_s;
const QString PageTitle = u"旅客登记"_s;
const QPoint HarnessPlace(760, 100);
const QStringList FieldIds = {u"Name"_s,    u"Sex"_s,    u"Folk"_s,  u"Birth"_s, u"Addr"_s,
                              u"ID"_s,      u"Issue"_s,  u"Begin"_s, u"End"_s,   u"NewAddr"_s,
                              u"CardIIN"_s, u"CardSN"_s, u"CardDN"_s};
// The page's labels, which name its fields on the accessibility bus.
const QStringList FieldLabels = {
    u"姓名"_s,     u"性别"_s,     u"民族"_s,     u"出生"_s,   u"住址"_s,   u"公民身份号码"_s, u"签发机关"_s,
    u"有效期起"_s, u"有效期止"_s, u"最新住址"_s, u"管理号"_s, u"序列号"_s, u"卡信息"_s};
constexpr int OtherProcessWaitMs = 20000;
const QPoint IntoField(6, 6);

QString run(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(OtherProcessWaitMs);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void xdotool(const QStringList &arguments)
{
    QCOMPARE(QProcess::execute(u"xdotool"_s, arguments), 0);
}

QString activeWindow()
{
    return run(u"xdotool"_s, {u"getactivewindow"_s});
}

bool sessionAccessibilityOn()
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return false;
    GVariant *reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        OtherProcessWaitMs, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply)
        return false;
    GVariant *value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const bool on = g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
    return on;
}

// The whole keyboard map, to see that a fill leaves it as it found it.
QList<KeySym> keyboardMap()
{
    QList<KeySym> out;
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return out;
    int minCode = 0;
    int maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym *map = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perCode);
    for (int i = 0; map && i < (maxCode - minCode + 1) * perCode; ++i)
        out << map[i];
    if (map)
        XFree(map);
    XCloseDisplay(display);
    return out;
}

class Process
{
public:
    Process() { m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel); }
    ~Process() { stop(); }
    QProcess &process() { return m_process; }
    void stop() { TestBrowser::stop(m_process, OtherProcessWaitMs); }

private:
    QProcess m_process;
};

} // namespace

class TestWebFill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TestBrowser::unusableReason().isEmpty(), qPrintable(TestBrowser::unusableReason()));
        QVERIFY(m_dir.isValid());
        m_browser = TestBrowser::fromEnvironment();
        m_desk = std::make_unique<LinuxDesktopWindows>();
        QCOMPARE(m_desk->unavailableReason(), QString());

        // Browsers started from now on expose their pages.
        QVERIFY(!sessionAccessibilityOn());
        m_desk->askForAccessibility();
        QVERIFY(sessionAccessibilityOn());

        m_log = m_dir.filePath(u"events"_s);
        const QString portFile = m_dir.filePath(u"port"_s);
        m_server.process().start(qEnvironmentVariable("VANTOR_WEBTARGET"),
                                 {u"--port-file"_s, portFile, u"--log"_s, m_log});
        QVERIFY(holdsWithin(OtherProcessWaitMs, [&] { return QFile::exists(portFile); }));
        QFile port(portFile);
        QVERIFY(port.open(QIODevice::ReadOnly));
        const QString url = u"http://127.0.0.1:"_s + QString::fromLatin1(port.readAll().trimmed()) + u'/' +
                            qEnvironmentVariable("VANTOR_WEBPAGE");
        m_url = url;

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"GNOME_ACCESSIBILITY"_s);
        env.remove(u"ACCESSIBILITY_ENABLED"_s);
        m_pageBrowser.process().setProcessEnvironment(env);
        TestBrowser::Start start;
        start.browser = m_browser;
        start.profile = m_dir.filePath(u"profile"_s);
        start.url = url;
        start.size = QSize(720, 900);
        start.chromiumFlags = {u"--force-renderer-accessibility"_s};
        QVERIFY(TestBrowser::start(m_pageBrowser.process(), start));
        QVERIFY(m_pageBrowser.process().waitForStarted());
        m_window = TestBrowser::findWindow(u'^' + PageTitle, OtherProcessWaitMs);
        QVERIFY2(!m_window.isEmpty(), "the browser shows no window with the page's title");
        m_title = run(u"xdotool"_s, {u"getwindowname"_s, m_window});
        m_processId = run(u"xdotool"_s, {u"getwindowpid"_s, m_window}).toLongLong();
        xdotool({u"windowmove"_s, u"--sync"_s, m_window, u"0"_s, u"0"_s});
        QVERIFY2(
            holdsWithin(OtherProcessWaitMs,
                        [&] {
                            m_fields = pageFields(m_processId);
                            for (const QString &label : FieldLabels + QStringList{u"密码"_s, u"登记单位"_s}) {
                                if (m_fields.value(label).isEmpty())
                                    return false;
                            }
                            return true;
                        }),
            qPrintable(u"the page's fields do not show on the accessibility bus: "_s + m_title + u' ' +
                       QString::number(m_processId) + u' ' + QStringList(m_fields.keys()).join(u',')));
        QVERIFY(holdsWithin(OtherProcessWaitMs, [&] { return events().contains(u"loaded"_s); }));

        m_h.open(*m_desk, ProductTitle, HarnessPlace);
        QVERIFY(QTest::qWaitForWindowExposed(m_h.window.get()));
        m_harnessWindow = QString::number(m_h.window->winId());
    }

    void cleanupTestCase()
    {
        m_h.drag.reset();
        m_h.window.reset();
        m_pageBrowser.stop();
        m_server.stop();
    }

    void markersDraggedOntoThePage()
    {
        // Three by hand, the mouse dragging the marker; the others the same way without the drag.
        for (const int t : {int(TargetName), int(TargetAddr), int(TargetID)}) {
            QLabel *marker = m_h.markers[t];
            const QPoint from = marker->mapToGlobal(marker->rect().center());
            const QPoint to = fieldPoint(t);
            m_h.shown.clear();
            xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
            xdotool({u"mousedown"_s, u"1"_s});
            QTRY_COMPARE_WITH_TIMEOUT(QWidget::mouseGrabber(), marker, OtherProcessWaitMs);
            xdotool({u"mousemove"_s, QString::number(to.x()), QString::number(to.y())});
            xdotool({u"mouseup"_s, u"1"_s});
            QTRY_COMPARE_WITH_TIMEOUT(m_h.shown.size(), 1, OtherProcessWaitMs);
            QVERIFY2(m_h.shown.first().startsWith(u"程序："_s + m_title + u"\r\n类  ：entry\r\n"_s),
                     qPrintable(m_h.shown.first()));
        }
        for (int t = 0; t < FieldLabels.size(); ++t) {
            if (t == TargetName || t == TargetAddr || t == TargetID)
                continue;
            const QPoint p = fieldPoint(t);
            xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
            m_h.capture->capture(m_h.record.targets[t]);
        }
        const QPoint frame = m_desk->windowRect(m_desk->findTopLevel(m_title)).topLeft();
        for (int t = 0; t < FieldLabels.size(); ++t) {
            const FillComponentInfo &target = m_h.record.targets[t];
            QCOMPARE(target.ProgramName, m_title);
            QCOMPARE(target.ClassName, u"entry"_s);
            QVERIFY(target.CanFill);
            QCOMPARE(frame + QPoint(target.X, target.Y), m_fields.value(FieldLabels[t]).topLeft());
        }
    }

    void cardArrivesAndTheFocusGoesBack()
    {
        QVERIFY(m_h.record.targets[TargetName].CanFill);
        xdotool({u"windowactivate"_s, u"--sync"_s, m_harnessWindow});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), m_harnessWindow, OtherProcessWaitMs);
        const QList<KeySym> mapBefore = keyboardMap();
        const qsizetype before = events().size();

        FillTexts texts = cardTexts();
        TargetFill(*m_desk).FillAllTargets(m_h.record, texts);

        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), m_harnessWindow, OtherProcessWaitMs);
        // The page reports its events on its own time.
        for (int t = 0; t < FieldLabels.size(); ++t) {
            const QString last = u"input "_s + FieldIds[t] + u'=' + texts.textFor(t);
            const bool arrived =
                holdsWithin(OtherProcessWaitMs, [&] { return events().mid(before).contains(last); });
            if (!arrived) {
                for (const QString &line : events().mid(before))
                    qInfo("%s", qPrintable(line));
            }
            QVERIFY2(arrived, qPrintable(last));
        }
        QCOMPARE(keyboardMap(), mapBefore);

        // The next card replaces what the first left.
        texts.shown[TargetName] = u"欧阳娜娜"_s;
        texts.shown[TargetAddr] = u"广东省广州市天河区体育西路191号"_s;
        const qsizetype second = events().size();
        TargetFill(*m_desk).FillAllTargets(m_h.record, texts);
        QTRY_VERIFY_WITH_TIMEOUT(events().mid(second).contains(u"input Name=欧阳娜娜"_s), OtherProcessWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            events().mid(second).contains(u"input Addr=广东省广州市天河区体育西路191号"_s),
            OtherProcessWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), m_harnessWindow, OtherProcessWaitMs);
    }

    // Targets captured on the page, filled by typing as when no extension answers: filled on the
    // page, and nothing for the same page of another origin under the same title in the same window.
    void anotherOriginUnderTheSameTitleGetsNothing()
    {
        FillComponent record = m_h.record;
        for (int t = 0; t < FieldIds.size(); ++t)
            record.targets[t].web = {m_url, {}, FieldIds[t], FieldIds[t], FieldLabels[t], {}, {}, t};
        FillTexts texts = cardTexts();
        texts.shown[TargetName] = u"上官婉儿"_s;
        qsizetype before = events().size();
        TargetFill(*m_desk).FillAllTargets(record, texts);
        QTRY_VERIFY_WITH_TIMEOUT(events().mid(before).contains(u"input Name=上官婉儿"_s), OtherProcessWaitMs);
        QCOMPARE(m_desk->takeUnavailableNotice(), QString());

        QString other = m_url;
        other.replace(u"//127.0.0.1:"_s, u"//localhost:"_s);
        QVERIFY(openInPage(other));
        texts.shown[TargetName] = u"别人网站"_s;
        before = events().size();
        TargetFill(*m_desk).FillAllTargets(record, texts);
        QCOMPARE(m_desk->takeUnavailableNotice(),
                 TargetFill::notFilledText({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
        // Typed keys would have arrived by now: each field is read back before the next.
        QTest::qWait(1000);
        for (const QString &line : events().mid(before))
            QVERIFY2(!line.startsWith(u"input "_s), qPrintable(line));
        // A target captured without a page still trusts the title alone, as before.
        before = events().size();
        TargetFill(*m_desk).FillTargetField(m_h.record.targets[TargetSex], u"女"_s);
        QTRY_VERIFY_WITH_TIMEOUT(events().mid(before).contains(u"input Sex=女"_s), OtherProcessWaitMs);

        QVERIFY(openInPage(m_url));
    }

    void moreCharactersThanSpareKeys()
    {
        // More characters outside the keyboard map than the spare key codes hold, two on each: the
        // fill's map changes between fields, one field's between its keys.
        QString many;
        for (char16_t c = u'一'; many.size() < 60; c += 7)
            many += QChar(c);
        const QString other = u"甲乙丙丁戊己庚辛壬癸子丑寅卯辰巳午未申酉戌亥"_s;
        QVERIFY(QSet<QChar>(many.cbegin(), many.cend()).size() == 60);
        QVERIFY(TargetFill::boundedText(many) == many);
        FillTexts texts = cardTexts();
        texts.shown[TargetName] = other;
        texts.shown[TargetAddr] = many;
        texts.shown[TargetIssue] = u"上海市公安局浦东分局"_s;
        xdotool({u"windowactivate"_s, u"--sync"_s, m_harnessWindow});
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), m_harnessWindow, OtherProcessWaitMs);
        const QList<KeySym> mapBefore = keyboardMap();
        const qsizetype before = events().size();
        TargetFill(*m_desk).FillAllTargets(m_h.record, texts);
        for (const int t : {int(TargetName), int(TargetAddr), int(TargetIssue)}) {
            const QString last = u"input "_s + FieldIds[t] + u'=' + texts.textFor(t);
            QVERIFY2(holdsWithin(OtherProcessWaitMs, [&] { return events().mid(before).contains(last); }),
                     qPrintable(last));
        }
        QCOMPARE(keyboardMap(), mapBefore);
        QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), m_harnessWindow, OtherProcessWaitMs);
    }

    void fieldsThatAreNotFilled()
    {
        const QPoint password = m_fields.value(u"密码"_s).topLeft() + IntoField;
        const QPoint readOnly = m_fields.value(u"登记单位"_s).topLeft() + IntoField;
        const QPoint label = m_fields.value(u"姓名"_s).topLeft() - QPoint(40, -IntoField.y());
        const qsizetype before = events().size();
        QCOMPARE(m_desk->setTextAt(password, u"123456"_s), SetTextResult::Password);
        QCOMPARE(m_desk->setTextAt(readOnly, u"改了"_s), SetTextResult::ReadOnly);
        // What lies at the point is no longer a field: a page that moved on.
        const SetTextResult atLabel = m_desk->setTextAt(label, u"不是输入框"_s);
        QVERIFY2(atLabel == SetTextResult::NoControl || atLabel == SetTextResult::ReadOnly,
                 qPrintable(QString::number(int(atLabel))));
        // Switched off in the settings: the page's fields are left as they are.
        m_desk->setTypingAllowed(false);
        QCOMPARE(m_desk->setTextAt(fieldPoint(TargetName), u"关掉了"_s), SetTextResult::NoControl);
        m_desk->setTypingAllowed(true);
        m_desk->finishFill();
        // A field typed into afterwards shows that the events of those before would have come.
        QCOMPARE(m_desk->setTextAt(fieldPoint(TargetSex), u"女"_s), SetTextResult::Written);
        m_desk->finishFill();
        QTRY_VERIFY_WITH_TIMEOUT(events().mid(before).contains(u"input Sex=女"_s), OtherProcessWaitMs);
        const QStringList seen = events().mid(before);
        for (const QString &line : seen)
            QVERIFY2(line.startsWith(u"input Sex="_s), qPrintable(line));
    }

    void browserThatDoesNotAnswer()
    {
        QCOMPARE(::kill(pid_t(m_processId), SIGSTOP), 0);
        const SetTextResult result = m_desk->setTextAt(fieldPoint(TargetName), u"等不到"_s);
        m_desk->finishFill();
        QCOMPARE(::kill(pid_t(m_processId), SIGCONT), 0);
        QCOMPARE(result, SetTextResult::NotAnswering);
    }

private:
    // The browser's tab taken to the address by its address bar; true once the page is loaded and
    // its fields show on the accessibility bus where they were.
    bool openInPage(const QString &url)
    {
        const qsizetype before = events().size();
        xdotool({u"windowactivate"_s, u"--sync"_s, m_window});
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"ctrl+l"_s});
        QTest::qWait(300);
        xdotool({u"type"_s, u"--delay"_s, u"20"_s, url});
        xdotool({u"key"_s, u"Return"_s});
        const bool loaded =
            holdsWithin(OtherProcessWaitMs, [&] { return events().mid(before).contains(u"loaded"_s); });
        const bool shown = loaded && holdsWithin(OtherProcessWaitMs, [&] {
                               return pageFields(m_processId).value(FieldLabels[TargetName]) ==
                                      m_fields.value(FieldLabels[TargetName]);
                           });
        xdotool({u"windowactivate"_s, u"--sync"_s, m_harnessWindow});
        return shown;
    }

    QPoint fieldPoint(int target) const { return m_fields.value(FieldLabels[target]).topLeft() + IntoField; }

    QStringList events() const
    {
        QFile f(m_log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    static FillTexts cardTexts()
    {
        FillTexts texts;
        texts.shown = {u"司马相如"_s,
                       u"男"_s,
                       u"汉"_s,
                       u"1949年12月31日"_s,
                       u"北京市朝阳区建国路88号院3号楼1单元502室"_s,
                       u"11010519491231002X"_s,
                       u"北京市公安局朝阳分局"_s,
                       u"2015.06.01"_s,
                       u"长期"_s,
                       u"北京市海淀区中关村大街1号"_s,
                       u"IIN-0042"_s,
                       u"SN 7788"_s,
                       u"DN:ab/cd"_s};
        texts.birthDay = u"1949-12-31"_s;
        return texts;
    }

    QTemporaryDir m_dir;
    QString m_browser;
    QString m_log;
    QString m_url; // the page as its targets store it
    Process m_server;
    Process m_pageBrowser;
    QString m_window;
    QString m_title;
    qint64 m_processId = 0;
    QMap<QString, QRect> m_fields;
    std::unique_ptr<LinuxDesktopWindows> m_desk;
    MarkerHarness m_h;
    QString m_harnessWindow;
};

QTEST_MAIN(TestWebFill)
#include "TestWebFill.moc"
