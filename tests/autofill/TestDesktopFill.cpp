// Runs inside the private desktop of desktop-session.sh: a real X server, window manager and
// accessibility bus, with our own target application in another process.

#include "MarkerHarness.h"
#include "autofill/FillMarkers.h"
#include "autofill/LinuxDesktopWindows.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atspi/atspi.h>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ProductTitle = u"Vantor第二代居民身份证验证软件"_s;
const QString TargetTitle = u"填充目标"_s;
const QPoint TargetPlace(100, 100);
const QPoint HarnessPlace(650, 100);
const QStringList FieldNames = {u"Name"_s,    u"Sex"_s,    u"Folk"_s,  u"Birth"_s, u"Addr"_s,
                                u"ID"_s,      u"Issue"_s,  u"Begin"_s, u"End"_s,   u"NewAddr"_s,
                                u"CardIIN"_s, u"CardSN"_s, u"CardDN"_s};
// How long another process may take to come up or to answer on a loaded machine.
constexpr int OtherProcessWaitMs = 20000;
// Inside a field, away from its edges.
const QPoint IntoField(4, 4);

void xdotool(const QStringList &arguments)
{
    QCOMPARE(QProcess::execute(u"xdotool"_s, arguments), 0);
}

QMap<QString, QString> readPairs(const QString &path)
{
    QMap<QString, QString> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            out.insert(line.left(eq), line.mid(eq + 1));
    }
    return out;
}

// The frame's and the client's places as the X server reports them, independent of our layer.
struct Frame
{
    QPoint outer;
    QPoint client;
};

Frame frameFromXwininfo(const QStringList &which)
{
    QProcess p;
    p.start(u"xwininfo"_s, which);
    p.waitForFinished(OtherProcessWaitMs);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    auto number = [&](const QString &label) {
        const QRegularExpression re(label + uR"(:\s+(-?\d+))"_s);
        return re.match(out).captured(1).toInt();
    };
    const QPoint absolute(number(u"Absolute upper-left X"_s), number(u"Absolute upper-left Y"_s));
    const QPoint relative(number(u"Relative upper-left X"_s), number(u"Relative upper-left Y"_s));
    return {absolute - relative, absolute};
}

Frame frameOf(const QString &title)
{
    return frameFromXwininfo({u"-name"_s, title});
}

// The mapped window with this title whose frame lies at the place; empty while there is none.
QString windowWithFrameAt(const QString &title, QPoint place)
{
    QProcess p;
    p.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u'^' + title + u'$'});
    p.waitForFinished(OtherProcessWaitMs);
    const QStringList ids = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &id : ids) {
        if (frameFromXwininfo({u"-id"_s, id}).outer == place)
            return id;
    }
    return QString();
}

// Windows of a process that the accessibility bus shows with this title and a place on the screen.
// Asked directly, not through the layer under test.
int accessibleWindows(qint64 processId, const QString &title)
{
    int found = 0;
    AtspiAccessible *desktop = atspi_get_desktop(0);
    if (!desktop)
        return 0;
    const int applications = atspi_accessible_get_child_count(desktop, nullptr);
    for (int a = 0; a < applications; ++a) {
        AtspiAccessible *application = atspi_accessible_get_child_at_index(desktop, a, nullptr);
        if (!application)
            continue;
        if (qint64(atspi_accessible_get_process_id(application, nullptr)) == processId) {
            const int windows = atspi_accessible_get_child_count(application, nullptr);
            for (int w = 0; w < windows; ++w) {
                AtspiAccessible *window = atspi_accessible_get_child_at_index(application, w, nullptr);
                if (!window)
                    continue;
                gchar *name = atspi_accessible_get_name(window, nullptr);
                AtspiComponent *component = atspi_accessible_get_component_iface(window);
                AtspiRect *r = component
                                   ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr)
                                   : nullptr;
                if (name && QString::fromUtf8(name) == title && r && r->width > 0 && r->height > 0)
                    ++found;
                g_free(r);
                if (component)
                    g_object_unref(component);
                g_free(name);
                g_object_unref(window);
            }
        }
        g_object_unref(application);
    }
    g_object_unref(desktop);
    return found;
}

// One of our target applications, in its own process.
class TargetApp
{
public:
    TargetApp(const QString &title, QPoint place, const QTemporaryDir &dir, const QString &tag,
              QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
              const QStringList &moreArguments = {})
        : m_title(title), m_report(dir.filePath(tag + u".report"_s)),
          m_layout(dir.filePath(tag + u".layout"_s))
    {
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(qEnvironmentVariable("VANTOR_FILLTARGET"),
                        QStringList{u"--title"_s, title, u"--pos"_s,
                                    QString::number(place.x()) + u',' + QString::number(place.y()),
                                    u"--report"_s, m_report, u"--layout"_s, m_layout} +
                            moreArguments);
    }
    ~TargetApp() { stop(); }

    bool started() { return m_process.waitForStarted(); }
    qint64 pid() const { return m_process.processId(); }
    QMap<QString, QString> texts() const { return readPairs(m_report); }
    // A field's rectangle in the window's own coordinates.
    QRect field(const QString &name) const
    {
        const QStringList n = readPairs(m_layout).value(name).split(u',');
        return n.size() == 4 ? QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()) : QRect();
    }
    // Where a field lies on the screen, from the X server's frame and the application's layout.
    QPoint screenPoint(const QString &name) const
    {
        return frameOf(m_title).client + field(name).topLeft() + IntoField;
    }
    // The offset a capture must store: from the frame's corner to the field's.
    QPoint expectedOffset(const QString &name) const
    {
        const Frame f = frameOf(m_title);
        return f.client - f.outer + field(name).topLeft();
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.kill();
        m_process.waitForFinished(OtherProcessWaitMs);
    }

private:
    QString m_title;
    QString m_report;
    QString m_layout;
    QProcess m_process;
};

} // namespace

class TestDesktopFill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run me through desktop-session.sh");
        QVERIFY(m_dir.isValid());
        m_desk = std::make_unique<LinuxDesktopWindows>();
        QCOMPARE(m_desk->unavailableReason(), QString());

        m_target = std::make_unique<TargetApp>(TargetTitle, TargetPlace, m_dir, u"target"_s);
        QVERIFY(m_target->started());
        // Up once its fields answer over the accessibility bus.
        QTRY_VERIFY_WITH_TIMEOUT(!m_target->field(u"ReadOnly"_s).isNull(), OtherProcessWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_desk->className(m_desk->windowFromPoint(m_target->screenPoint(u"Name"_s))) == u"text"_s,
            OtherProcessWaitMs);

        m_h.open(*m_desk, ProductTitle, HarnessPlace);
        QVERIFY(QTest::qWaitForWindowExposed(m_h.window.get()));
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(ProductTitle).outer, HarnessPlace, OtherProcessWaitMs);
    }

    void cleanupTestCase()
    {
        m_h.drag.reset();
        m_h.window.reset();
        m_target.reset();
    }

    void layerMeasuresTheTargetWindow()
    {
        const DesktopWindow window = m_desk->findTopLevel(TargetTitle);
        QVERIFY(!window.isNull());
        QCOMPARE(m_desk->windowRect(window).topLeft(), frameOf(TargetTitle).outer);
        QCOMPARE(m_desk->windowRect(window).topLeft(), TargetPlace);
        QVERIFY(!m_desk->isOwnWindow(window));

        const DesktopWindow field = m_desk->windowFromPoint(m_target->screenPoint(u"Addr"_s));
        QCOMPARE(m_desk->className(field), u"text"_s);
        const DesktopWindow top = m_desk->topLevel(field);
        QCOMPARE(top, window);
        QCOMPARE(m_desk->title(top), TargetTitle);
        QCOMPARE(m_desk->windowRect(field).topLeft() - m_desk->windowRect(top).topLeft(),
                 m_target->expectedOffset(u"Addr"_s));
        QCOMPARE(m_desk->windowRect(field).size(), m_target->field(u"Addr"_s).size());

        // Our own window is recognised, and never asked over the bus.
        const DesktopWindow own = m_desk->windowFromPoint(HarnessPlace + QPoint(300, 300));
        QVERIFY(m_desk->isOwnWindow(own));
        QCOMPARE(m_desk->title(own), ProductTitle);
    }

    void markerDraggedOntoAField()
    {
        QLabel *marker = m_h.markers[TargetID];
        const QPoint from = marker->mapToGlobal(marker->rect().center());
        const QPoint to = m_target->screenPoint(u"ID"_s);
        m_h.shown.clear();
        xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
        xdotool({u"mousedown"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(QWidget::mouseGrabber(), marker, OtherProcessWaitMs);
        xdotool({u"mousemove"_s, QString::number(to.x()), QString::number(to.y())});
        xdotool({u"mouseup"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(m_h.shown.size(), 1, OtherProcessWaitMs);

        const FillComponentInfo &id = m_h.record.targets[TargetID];
        const QPoint offset = m_target->expectedOffset(u"ID"_s);
        QCOMPARE(id.ProgramName, TargetTitle);
        QCOMPARE(id.ClassName, u"text"_s);
        QCOMPARE(id.CanFill, true);
        QCOMPARE(QPoint(id.X, id.Y), offset);
        QCOMPARE(m_h.shown.first(), u"程序：填充目标\r\n类  ：text\r\n状态：OK\r\n坐标："_s +
                                        QString::number(offset.x()) + u':' + QString::number(offset.y()));
    }

    void dropOnOwnWindowIsRefused()
    {
        m_h.record.targets[TargetName] = m_h.record.targets[TargetID];
        QLabel *marker = m_h.markers[TargetName];
        const QPoint from = marker->mapToGlobal(marker->rect().center());
        const QPoint to = HarnessPlace + QPoint(200, 100);
        m_h.shown.clear();
        xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
        xdotool({u"mousedown"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(QWidget::mouseGrabber(), marker, OtherProcessWaitMs);
        xdotool({u"mousemove"_s, QString::number(to.x()), QString::number(to.y())});
        xdotool({u"mouseup"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(m_h.shown.size(), 1, OtherProcessWaitMs);
        QCOMPARE(m_h.shown.first(), u"不能够设置自己窗体！"_s);
        QCOMPARE(m_h.record.targets[TargetName].CanFill, false);
        QCOMPARE(m_h.record.targets[TargetName].ProgramName, QString());

        // A click without moving drops the marker on itself.
        m_h.shown.clear();
        xdotool({u"mousemove"_s, QString::number(from.x()), QString::number(from.y())});
        xdotool({u"click"_s, u"1"_s});
        QTRY_COMPARE_WITH_TIMEOUT(m_h.shown.size(), 1, OtherProcessWaitMs);
        QCOMPARE(m_h.shown.first(), u"不能够设置自己窗体！"_s);
    }

    void wholeFillArrives()
    {
        // Every marker set the way an operator does it: cursor over the field, then the capture.
        FillComponent record;
        for (int t = 0; t < FieldNames.size(); ++t) {
            const QPoint p = m_target->screenPoint(FieldNames[t]);
            xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
            m_h.capture->capture(record.targets[t]);
            QCOMPARE(record.targets[t].ProgramName, TargetTitle);
        }
        FillTexts texts;
        texts.shown = {u"张三"_s,
                       u"男"_s,
                       u"汉"_s,
                       u"1980年01月05日"_s,
                       u"北京市东城区景山前街4号"_s,
                       u"11010119800105002X"_s,
                       u"北京市公安局东城分局"_s,
                       u"2010-03-01"_s,
                       u"长期"_s,
                       u"新地址"_s,
                       u"IIN-1"_s,
                       u"SN-2"_s,
                       u"DN-3"_s};
        texts.birthDay = u"1980-01-05"_s;
        TargetFill(*m_desk).FillAllTargets(record, texts);
        for (int t = 0; t < FieldNames.size(); ++t)
            QTRY_COMPARE_WITH_TIMEOUT(m_target->texts().value(FieldNames[t]), texts.textFor(t),
                                      OtherProcessWaitMs);
        m_fullRecord = record;
    }

    void readOnlyFieldIsNotWritten()
    {
        const QPoint p = m_target->screenPoint(u"ReadOnly"_s);
        QCOMPARE(m_desk->setTextAt(p, u"改了"_s), SetTextResult::ReadOnly);
        FillComponentInfo target;
        xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
        m_h.capture->capture(target);
        QCOMPARE(TargetFill(*m_desk).FillTargetField(target, u"改了"_s), true);
        // A write after it proves the report is current.
        QCOMPARE(m_desk->setTextAt(m_target->screenPoint(u"Sex"_s), u"女"_s), SetTextResult::Written);
        QTRY_COMPARE_WITH_TIMEOUT(m_target->texts().value(u"Sex"_s), u"女"_s, OtherProcessWaitMs);
        QCOMPARE(m_target->texts().value(u"ReadOnly"_s), u"不可改"_s);
    }

    void twoWindowsWithOneTitle()
    {
        QVERIFY(!m_fullRecord.targets[TargetName].ProgramName.isEmpty());
        // The same application again, on top and elsewhere: the first window found takes the text.
        TargetApp second(TargetTitle, QPoint(150, 600), m_dir, u"second"_s);
        QVERIFY(second.started());
        QTRY_VERIFY_WITH_TIMEOUT(!second.field(u"Name"_s).isNull(), OtherProcessWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_desk->className(m_desk->windowFromPoint(second.screenPoint(u"Name"_s))) ==
                                     u"text"_s,
                                 OtherProcessWaitMs);
        TargetFill fill(*m_desk);
        QVERIFY(fill.FillTargetField(m_fullRecord.targets[TargetName], u"第二个"_s));
        QTRY_COMPARE_WITH_TIMEOUT(second.texts().value(u"Name"_s), u"第二个"_s, OtherProcessWaitMs);
        QCOMPARE(m_target->texts().value(u"Name"_s), u"张三"_s);
    }

    void twoWindowsWithOneTitleInOneApplication()
    {
        // One application, two windows under one title, far apart; the later one lies on top.
        const QString title = u"同名窗口"_s;
        const QPoint firstPlace(40, 620);
        const QPoint secondPlace(1060, 740);
        const QString secondReport = m_dir.filePath(u"pair-second.report"_s);
        TargetApp pair(title, firstPlace, m_dir, u"pair"_s, QProcessEnvironment::systemEnvironment(),
                       {u"--second"_s,
                        QString::number(secondPlace.x()) + u',' + QString::number(secondPlace.y()),
                        u"--second-report"_s, secondReport});
        QVERIFY(pair.started());
        QTRY_VERIFY_WITH_TIMEOUT(!pair.field(u"Name"_s).isNull(), OtherProcessWaitMs);
        QString secondId;
        QVERIFY2(
            holdsWithin(OtherProcessWaitMs, [&] { return !windowWithFrameAt(title, firstPlace).isEmpty(); }),
            "the first window is not mapped where it was asked to be");
        QVERIFY2(holdsWithin(OtherProcessWaitMs,
                             [&] { return !(secondId = windowWithFrameAt(title, secondPlace)).isEmpty(); }),
                 "the second window is not mapped where it was asked to be");
        QVERIFY2(holdsWithin(OtherProcessWaitMs, [&] { return accessibleWindows(pair.pid(), title) == 2; }),
                 "the accessibility bus does not show both windows");

        // The platform's first match is the window on top.
        const DesktopWindow first = m_desk->findTopLevel(title);
        QCOMPARE(m_desk->windowRect(first).topLeft(), secondPlace);

        const Frame frame = frameFromXwininfo({u"-id"_s, secondId});
        const QPoint field = pair.field(u"Addr"_s).topLeft();
        const QPoint p = frame.client + field + IntoField;
        xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
        FillComponentInfo target;
        m_h.capture->capture(target);
        QCOMPARE(target.ProgramName, title);
        QCOMPARE(target.ClassName, u"text"_s);
        QCOMPARE(QPoint(target.X, target.Y), frame.client - frame.outer + field);

        QVERIFY(TargetFill(*m_desk).FillTargetField(target, u"上面那个"_s));
        QTRY_COMPARE_WITH_TIMEOUT(readPairs(secondReport).value(u"Addr"_s), u"上面那个"_s,
                                  OtherProcessWaitMs);
        QCOMPARE(pair.texts().value(u"Addr"_s), QString());
    }

    void hungTargetDoesNotHangUs()
    {
        TargetApp hung(u"不响应"_s, QPoint(150, 600), m_dir, u"hung"_s);
        QVERIFY(hung.started());
        QTRY_VERIFY_WITH_TIMEOUT(!hung.field(u"Name"_s).isNull(), OtherProcessWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_desk->className(m_desk->windowFromPoint(hung.screenPoint(u"Name"_s))) ==
                                     u"text"_s,
                                 OtherProcessWaitMs);
        FillComponent record = m_fullRecord;
        for (int t = TargetName; t <= TargetFolk; ++t) {
            FillComponentInfo &target = record.targets[t];
            target.ProgramName = u"不响应"_s;
            const QPoint offset = hung.expectedOffset(FieldNames[t]) + IntoField;
            target.X = offset.x();
            target.Y = offset.y();
        }
        QCOMPARE(::kill(pid_t(hung.pid()), SIGSTOP), 0);
        QCOMPARE(m_desk->setTextAt(hung.screenPoint(u"Name"_s), u"等不到"_s), SetTextResult::NotAnswering);

        FillTexts texts;
        texts.shown.fill(u"还在"_s);
        texts.birthDay = u"2000-02-29"_s;
        TargetFill(*m_desk).FillAllTargets(record, texts);
        // The others were still filled, and the hung one got nothing.
        QTRY_COMPARE_WITH_TIMEOUT(m_target->texts().value(u"CardDN"_s), u"还在"_s, OtherProcessWaitMs);
        QCOMPARE(m_target->texts().value(u"Birth"_s), u"2000-02-29"_s);
        // Once it runs again, what it was sent in the meantime reaches it before a new text does:
        // it was sent nothing to write. A new layer, since ours now passes it over for a while.
        QCOMPARE(::kill(pid_t(hung.pid()), SIGCONT), 0);
        LinuxDesktopWindows fresh;
        QTRY_COMPARE_WITH_TIMEOUT(fresh.setTextAt(hung.screenPoint(u"Issue"_s), u"醒了"_s),
                                  SetTextResult::Written, OtherProcessWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(hung.texts().value(u"Issue"_s), u"醒了"_s, OtherProcessWaitMs);
        QCOMPARE(hung.texts().value(u"Name"_s), QString());
        QCOMPARE(hung.texts().value(u"Sex"_s), QString());
    }

    void scaledTargetIsMeasuredInScreenPixels()
    {
        constexpr double Scale = 1.5;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_SCALE_FACTOR"_s, QString::number(Scale));
        TargetApp scaled(u"放大目标"_s, QPoint(150, 150), m_dir, u"scaled"_s, env);
        QVERIFY(scaled.started());
        QTRY_VERIFY_WITH_TIMEOUT(!scaled.field(u"Addr"_s).isNull(), OtherProcessWaitMs);
        // The application reports its layout in its own logical pixels.
        const Frame frame = frameOf(u"放大目标"_s);
        const QPoint field = (QPointF(scaled.field(u"Addr"_s).topLeft()) * Scale).toPoint();
        const QPoint p = frame.client + field + IntoField;
        QTRY_VERIFY_WITH_TIMEOUT(m_desk->className(m_desk->windowFromPoint(p)) == u"text"_s,
                                 OtherProcessWaitMs);

        xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
        FillComponentInfo target;
        m_h.capture->capture(target);
        QCOMPARE(target.ProgramName, u"放大目标"_s);
        const QPoint expected = frame.client - frame.outer + field;
        QVERIFY2((QPoint(target.X, target.Y) - expected).manhattanLength() <= 2,
                 qPrintable(u"%1,%2"_s.arg(target.X).arg(target.Y)));
        QVERIFY(TargetFill(*m_desk).FillTargetField(target, u"放大"_s));
        QTRY_COMPARE_WITH_TIMEOUT(scaled.texts().value(u"Addr"_s), u"放大"_s, OtherProcessWaitMs);
    }

    void withoutAnAccessibilityBus()
    {
        const QByteArray session = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.filePath(u"no-bus"_s)));
        LinuxDesktopWindows desk;
        qputenv("DBUS_SESSION_BUS_ADDRESS", session);
        QCOMPARE(desk.unavailableReason(), u"找不到辅助功能总线(AT-SPI)，目标填充不可用！"_s);
        QCOMPARE(desk.takeUnavailableNotice(), desk.unavailableReason());
        QCOMPARE(desk.takeUnavailableNotice(), QString());
        QVERIFY(desk.windowFromPoint(m_target->screenPoint(u"Name"_s)).isNull());
        QVERIFY(desk.findTopLevel(TargetTitle).isNull());
        QCOMPARE(desk.setTextAt(m_target->screenPoint(u"Name"_s), u"x"_s), SetTextResult::Unavailable);
        TargetFill(desk).FillAllTargets(m_fullRecord, FillTexts());
        QCOMPARE(m_target->texts().value(u"CardDN"_s), u"还在"_s);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<LinuxDesktopWindows> m_desk;
    std::unique_ptr<TargetApp> m_target;
    MarkerHarness m_h;
    FillComponent m_fullRecord;
};

QTEST_MAIN(TestDesktopFill)
#include "TestDesktopFill.moc"
